// The register's measurements as a table model, newest first, fetched in pages
// as the view scrolls, so that a register of 100 000 records opens at once. The
// model holds rows only: whoever owns it reads the register (off the window
// thread) when it asks for more and hands the rows back.
#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <vector>

#include "register/register.h"

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPage = 200;
    enum Column { ColId, ColCreated, ColSampleId, ColProduct, ColOrigin, ColMass, ColCsAll, ColDetectionLimit,
                  ColVerdict, ColOperator, ColMethod, ColumnCount };

    explicit HistoryModel(QObject* parent = nullptr);

    // The first page under filter, of total records (no rows: the register could not be read).
    void reset(const xmca::reg::MeasurementFilter& filter, std::int64_t total,
               std::vector<xmca::reg::MeasurementRecord> firstPage);
    // The next page, as asked for by moreWanted (empty: no more).
    void append(std::vector<xmca::reg::MeasurementRecord> more);
    // The filter and keyset of the next page to read.
    xmca::reg::MeasurementFilter nextPage() const;
    // Reads the first page of filter from reg, on the thread that holds reg.
    struct FirstPage {
        bool ok = false;
        std::string error;
        std::int64_t total = 0;
        std::vector<xmca::reg::MeasurementRecord> rows;
    };
    static FirstPage readFirstPage(xmca::reg::Register& reg, const xmca::reg::MeasurementFilter& filter);
    const xmca::reg::MeasurementRecord* recordAt(int row) const;
    std::int64_t total() const { return total_; }
    const xmca::reg::MeasurementFilter& filter() const { return filter_; }

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
    xmca::reg::MeasurementFilter filter_;
    std::vector<xmca::reg::MeasurementRecord> rows_;
    std::int64_t total_ = 0;
    bool exhausted_ = true;
    bool fetching_ = false;  // moreWanted sent, rows not yet appended
};
