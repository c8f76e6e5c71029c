#include "xmca/history_model.h"

#include <QBrush>
#include <QColor>
#include <QStringList>
#include <cmath>

#include "model/local_time.h"
#include "xmca/screening_support.h"
#include "xmca/window_language.h"

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

HistoryModel::FirstPage HistoryModel::readFirstPage(xmca::reg::Register& reg,
                                                   const xmca::reg::MeasurementFilter& filter) {
    FirstPage out;
    xmca::reg::MeasurementFilter all = filter;
    all.limit = -1;
    all.offset = 0;
    all.beforeId.reset();
    out.ok = reg.countMeasurements(all, out.total, out.error);
    if (out.ok) {
        all.limit = kPage;
        out.ok = reg.listMeasurements(all, out.rows, out.error);
    }
    if (!out.ok) out.rows.clear();
    else out.corrections = readCorrections(reg, out.rows);
    return out;
}

HistoryModel::Page HistoryModel::readPage(xmca::reg::Register& reg, const xmca::reg::MeasurementFilter& page) {
    Page out;
    std::string error;
    if (!reg.listMeasurements(page, out.rows, error)) out.rows.clear();
    else out.corrections = readCorrections(reg, out.rows);
    return out;
}

HistoryModel::Corrections HistoryModel::readCorrections(xmca::reg::Register& reg,
                                                        const std::vector<xmca::reg::MeasurementRecord>& rows) {
    Corrections links;
    if (rows.empty()) return links;
    std::vector<std::int64_t> ids;
    ids.reserve(rows.size());
    for (const auto& r : rows) ids.push_back(r.id);
    std::string error;
    if (!reg.listCorrections(ids, links, error)) links.clear();
    return links;
}

void HistoryModel::reset(const xmca::reg::MeasurementFilter& filter, std::int64_t total,
                         std::vector<xmca::reg::MeasurementRecord> firstPage, const Corrections& corrections) {
    beginResetModel();
    filter_ = filter;
    filter_.limit = -1;
    filter_.offset = 0;
    filter_.beforeId.reset();
    rows_ = std::move(firstPage);
    total_ = total;
    exhausted_ = rows_.empty() || static_cast<std::int64_t>(rows_.size()) >= total_ ||
                 rows_.size() < static_cast<std::size_t>(kPage);
    fetching_ = false;
    supersededBy_.clear();
    addCorrections(corrections);
    endResetModel();
}

xmca::reg::MeasurementFilter HistoryModel::nextPage() const {
    // Keyset paging: the next page is older than the last row shown.
    xmca::reg::MeasurementFilter page = filter_;
    if (!rows_.empty()) page.beforeId = rows_.back().id;
    page.limit = kPage;
    return page;
}

const xmca::reg::MeasurementRecord* HistoryModel::recordAt(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)] : nullptr;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

bool HistoryModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !exhausted_ && !fetching_;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || exhausted_ || fetching_ || rows_.empty()) return;
    fetching_ = true;
    emit moreWanted();
}

void HistoryModel::append(std::vector<xmca::reg::MeasurementRecord> more, const Corrections& corrections) {
    fetching_ = false;
    if (more.empty()) {
        exhausted_ = true;
        return;
    }
    exhausted_ = more.size() < static_cast<std::size_t>(kPage);
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(more.size()) - 1);
    for (auto& r : more) rows_.push_back(std::move(r));
    addCorrections(corrections);
    endInsertRows();
}

void HistoryModel::addCorrections(const Corrections& links) {
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
        case ColMethod:  // "factory v1", "marinelli v2"; empty for records made before methods were named
            return r->methodName.empty() || !r->methodVersion
                       ? QString()
                       : QString::fromStdString(r->methodName) + " v" + QString::number(*r->methodVersion);
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
        case ColMethod: return tr("Method");
        default: return {};
    }
}
