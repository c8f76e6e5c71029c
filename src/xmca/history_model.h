// The register's measurements as a table model, newest first, fetched in pages
// as the view scrolls, so that a register of 100 000 records opens at once. The
// model holds rows only: whoever owns it reads the register (off the window
// thread) when it asks for more and hands the rows back.
#pragma once

#include <QAbstractTableModel>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "register/register.h"

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPage = 200;
    enum Column { ColId, ColCreated, ColSampleId, ColProduct, ColOrigin, ColMass, ColCsAll, ColDetectionLimit,
                  ColVerdict, ColMarks, ColOperator, ColMethod, ColumnCount };

    explicit HistoryModel(QObject* parent = nullptr);

    // (correcting id, corrected id) pairs, as Register::listCorrections gives them.
    using Corrections = std::vector<std::pair<std::int64_t, std::int64_t>>;

    // The first page under filter, of total records (no rows: the register could not be
    // read), with the records that correct its rows.
    void reset(const xmca::reg::MeasurementFilter& filter, std::int64_t total,
               std::vector<xmca::reg::MeasurementRecord> firstPage, const Corrections& corrections = {});
    // The next page, as asked for by moreWanted (empty: no more).
    void append(std::vector<xmca::reg::MeasurementRecord> more, const Corrections& corrections = {});
    // The filter and keyset of the next page to read.
    xmca::reg::MeasurementFilter nextPage() const;
    // Reads the first page of filter from reg, on the thread that holds reg.
    struct FirstPage {
        bool ok = false;
        std::string error;
        std::int64_t total = 0;
        std::vector<xmca::reg::MeasurementRecord> rows;
        Corrections corrections;
    };
    static FirstPage readFirstPage(xmca::reg::Register& reg, const xmca::reg::MeasurementFilter& filter);
    // A page after the first, read on the thread that holds reg (no rows: none left, or unreadable).
    struct Page {
        std::vector<xmca::reg::MeasurementRecord> rows;
        Corrections corrections;
    };
    static Page readPage(xmca::reg::Register& reg, const xmca::reg::MeasurementFilter& page);
    // The records that correct any of rows (none when that cannot be read: the marks
    // stay unknown and the rows are shown all the same).
    static Corrections readCorrections(xmca::reg::Register& reg, const std::vector<xmca::reg::MeasurementRecord>& rows);
    const xmca::reg::MeasurementRecord* recordAt(int row) const;
    std::int64_t total() const { return total_; }
    const xmca::reg::MeasurementFilter& filter() const { return filter_; }
    // The records that correct the record id (empty: it stands), as far as read.
    std::vector<std::int64_t> supersededBy(std::int64_t id) const;
    // What the marks column says of a record: "SIMULATED", "corrects N", "superseded by N".
    QString marks(const xmca::reg::MeasurementRecord& r) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // The view scrolled to the end of the rows read: read nextPage() and append it.
    void moreWanted();

private:
    void addCorrections(const Corrections& links);
    xmca::reg::MeasurementFilter filter_;
    std::vector<xmca::reg::MeasurementRecord> rows_;
    std::int64_t total_ = 0;
    bool exhausted_ = true;
    bool fetching_ = false;  // moreWanted sent, rows not yet appended
    std::map<std::int64_t, std::vector<std::int64_t>> supersededBy_;
};
