// The register's measurements as a table model, newest first, fetched in pages
// as the view scrolls, so that a register of 100 000 records opens at once.
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

    // Reads the first page under filter (false and error when the register fails).
    bool reset(std::shared_ptr<xmca::reg::Register> reg, const xmca::reg::MeasurementFilter& filter,
               std::string& error);
    const xmca::reg::MeasurementRecord* recordAt(int row) const;
    std::int64_t total() const { return total_; }
    const xmca::reg::MeasurementFilter& filter() const { return filter_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    std::shared_ptr<xmca::reg::Register> reg_;
    xmca::reg::MeasurementFilter filter_;
    std::vector<xmca::reg::MeasurementRecord> rows_;
    std::int64_t total_ = 0;
    bool exhausted_ = true;
};
