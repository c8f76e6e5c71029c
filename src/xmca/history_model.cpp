#include "xmca/history_model.h"

#include <QBrush>
#include <QColor>
#include <QStringList>
#include <cmath>

#include "model/local_time.h"
#include "xmca/screening_support.h"
#include "xmca/window_language.h"

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

bool HistoryModel::reset(std::shared_ptr<xmca::reg::Register> reg, const xmca::reg::MeasurementFilter& filter,
                         std::string& error) {
    beginResetModel();
    reg_ = std::move(reg);
    filter_ = filter;
    filter_.limit = -1;
    filter_.offset = 0;
    filter_.beforeId.reset();
    rows_.clear();
    total_ = 0;
    exhausted_ = true;
    bool ok = true;
    if (reg_) {
        ok = reg_->countMeasurements(filter_, total_, error);
        if (ok) {
            xmca::reg::MeasurementFilter page = filter_;
            page.limit = kPage;
            ok = reg_->listMeasurements(page, rows_, error);
            exhausted_ = !ok || static_cast<std::int64_t>(rows_.size()) >= total_ ||
                         rows_.size() < static_cast<std::size_t>(kPage);
        }
    }
    supersededBy_.clear();
    if (ok) readCorrections(0);
    endResetModel();
    return ok;
}

const xmca::reg::MeasurementRecord* HistoryModel::recordAt(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)] : nullptr;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

bool HistoryModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !exhausted_; }

void HistoryModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || exhausted_ || !reg_ || rows_.empty()) return;
    // Keyset paging: the next page is older than the last row shown.
    xmca::reg::MeasurementFilter page = filter_;
    page.beforeId = rows_.back().id;
    page.limit = kPage;
    std::vector<xmca::reg::MeasurementRecord> more;
    std::string error;
    if (!reg_->listMeasurements(page, more, error) || more.empty()) {
        exhausted_ = true;
        return;
    }
    exhausted_ = more.size() < static_cast<std::size_t>(kPage);
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(more.size()) - 1);
    for (auto& r : more) rows_.push_back(std::move(r));
    readCorrections(static_cast<std::size_t>(first));
    endInsertRows();
}

void HistoryModel::readCorrections(std::size_t from) {
    if (!reg_ || from >= rows_.size()) return;
    std::vector<std::int64_t> ids;
    for (std::size_t i = from; i < rows_.size(); ++i) ids.push_back(rows_[i].id);
    std::vector<std::pair<std::int64_t, std::int64_t>> links;
    std::string error;
    if (!reg_->listCorrections(ids, links, error)) return;  // the marks stay unknown, the rows shown
    for (const auto& [by, of] : links) supersededBy_[of].push_back(by);
}

std::vector<std::int64_t> HistoryModel::supersededBy(std::int64_t id) const {
    const auto it = supersededBy_.find(id);
    return it == supersededBy_.end() ? std::vector<std::int64_t>{} : it->second;
}

QString HistoryModel::marks(const xmca::reg::MeasurementRecord& r) const {
    QStringList m;
    if (r.simulated) m << tr("SIMULATED");
    if (r.supersedes) m << tr("corrects %1").arg(*r.supersedes);
    for (std::int64_t by : supersededBy(r.id)) m << tr("superseded by %1").arg(by);
    return m.join(QStringLiteral(", "));
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    const auto* r = recordAt(index.row());
    if (!r) return {};
    if (role == Qt::ForegroundRole && index.column() == ColVerdict)
        return QBrush(QColor(verdictColourName(r->verdict)));
    // A record that no longer stands, or one of the simulator, is told apart at a glance.
    if (role == Qt::ForegroundRole && index.column() == ColMarks && (r->simulated || !supersededBy(r->id).empty()))
        return QBrush(QColor(0xc0, 0, 0));
    if (role == Qt::TextAlignmentRole && (index.column() == ColId || index.column() == ColMass ||
                                          index.column() == ColCsAll || index.column() == ColDetectionLimit))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    auto num = [](const std::optional<double>& v, int d) {
        return v && std::isfinite(*v) ? QString::number(*v, 'f', d) : QString();
    };
    switch (index.column()) {
        case ColId: return QString::number(r->id);
        case ColCreated: {
            const std::string local = xmca::isoLocalOfUtc(r->createdUtc);
            return QString::fromStdString(local.empty() ? r->createdUtc : local);
        }
        case ColSampleId: return QString::fromStdString(r->sampleId);
        case ColProduct: return QString::fromStdString(r->product);
        case ColOrigin: return QString::fromStdString(r->origin);
        case ColMass: return num(r->massKg, 3);
        case ColCsAll: return num(r->csAll.activity, 1);
        case ColDetectionLimit: return num(r->csAll.detectionLimit, 1);
        case ColVerdict: return xmca::ui::verdictText(QString::fromStdString(r->verdict));
        case ColMarks: return marks(*r);
        case ColOperator: return QString::fromStdString(r->operatorName);
        default: return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case ColId: return tr("Record");
        case ColCreated: return tr("Recorded (local time)");
        case ColSampleId: return tr("Sample ID");
        case ColProduct: return tr("Product");
        case ColOrigin: return tr("Origin");
        case ColMass: return tr("Mass (kg)");
        case ColCsAll: return tr("Cs-All (Bq/kg)");
        case ColDetectionLimit: return tr("Detection limit");
        case ColVerdict: return tr("Verdict");
        case ColMarks: return tr("Correction");
        case ColOperator: return tr("Operator");
        default: return {};
    }
}
