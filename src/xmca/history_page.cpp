#include "xmca/history_page.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

#include "files/safe_write.h"
#include "model/lab_settings.h"
#include "register/csv_export.h"
#include "report/screening_report.h"
#include "xmca/history_model.h"
#include "xmca/lab_context.h"
#include "xmca/page_dialogs.h"
#include "xmca/screening_support.h"
#include "xmca/measurement_document.h"
#include "xmca/window_language.h"

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

HistoryPage::HistoryPage(MeasurementDocument& doc, LabContext& lab, PageDialogs& dialogs, QWidget* parent)
    : QWidget(parent), doc_(doc), lab_(lab), dialogs_(dialogs) {
    setObjectName(QStringLiteral("HistoryPage"));
    auto* lay = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    from_ = new QLineEdit(this);
    from_->setObjectName(QStringLiteral("HistoryFrom"));
    from_->setPlaceholderText(tr("YYYY-MM-DD"));
    to_ = new QLineEdit(this);
    to_->setObjectName(QStringLiteral("HistoryTo"));
    to_->setPlaceholderText(tr("YYYY-MM-DD"));
    sampleId_ = new QLineEdit(this);
    sampleId_->setObjectName(QStringLiteral("HistorySampleId"));
    sampleId_->setPlaceholderText(tr("part of the ID"));
    sampleId_->setToolTip(tr("Lists every record whose sample ID contains this text (letters in either case)"));
    installation_ = new QLineEdit(this);
    installation_->setObjectName(QStringLiteral("HistoryInstallation"));
    installation_->setPlaceholderText(tr("all"));
    verdict_ = new QComboBox(this);
    verdict_->setObjectName(QStringLiteral("HistoryVerdict"));
    // Shown translated, filtered by the English prefix the register holds.
    verdict_->addItem(tr("All verdicts"), QString());
    verdict_->addItem(tr("Below screening level"), QStringLiteral("Below"));
    verdict_->addItem(tr("Above screening level"), QStringLiteral("Above"));
    verdict_->addItem(tr("Lower limit not met"), QStringLiteral("Lower limit"));
    verdict_->addItem(tr("No verdict"), QStringLiteral("No verdict"));
    auto* apply = new QPushButton(tr("Show"), this);
    apply->setObjectName(QStringLiteral("HistoryShow"));
    filters->addWidget(new QLabel(tr("From"), this));
    filters->addWidget(from_);
    filters->addWidget(new QLabel(tr("to"), this));
    filters->addWidget(to_);
    filters->addWidget(new QLabel(tr("Sample ID contains"), this));
    filters->addWidget(sampleId_);
    filters->addWidget(new QLabel(tr("Installation"), this));
    filters->addWidget(installation_);
    filters->addWidget(verdict_);
    filters->addWidget(apply);
    lay->addLayout(filters);

    model_ = new HistoryModel(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("HistoryTable"));
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->verticalHeader()->setVisible(false);
    lay->addWidget(view_, 1);

    auto* actions = new QHBoxLayout;
    auto* open = new QPushButton(tr("Open spectra"), this);
    open->setObjectName(QStringLiteral("HistoryOpen"));
    auto* reprint = new QPushButton(tr("Print report again"), this);
    reprint->setObjectName(QStringLiteral("HistoryReprint"));
    auto* fix = new QPushButton(tr("Correct..."), this);
    fix->setObjectName(QStringLiteral("HistoryCorrect"));
    auto* csv = new QPushButton(tr("Export CSV..."), this);
    csv->setObjectName(QStringLiteral("HistoryExport"));
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("HistoryMessage"));
    actions->addWidget(open);
    actions->addWidget(reprint);
    actions->addWidget(fix);
    actions->addWidget(csv);
    actions->addWidget(message_, 1);
    lay->addLayout(actions);

    connect(apply, &QPushButton::clicked, this, &HistoryPage::refresh);
    for (QLineEdit* e : {from_, to_, sampleId_, installation_}) connect(e, &QLineEdit::returnPressed, this, &HistoryPage::refresh);
    connect(verdict_, &QComboBox::activated, this, &HistoryPage::refresh);
    connect(open, &QPushButton::clicked, this, &HistoryPage::openSpectra);
    connect(reprint, &QPushButton::clicked, this, &HistoryPage::reprint);
    connect(csv, &QPushButton::clicked, this, &HistoryPage::exportCsv);
    connect(fix, &QPushButton::clicked, this, &HistoryPage::correct);
    connect(model_, &HistoryModel::moreWanted, this, &HistoryPage::fetchMore);
    connect(&lab_, &LabContext::registerLocationChanged, this, &HistoryPage::recordAdded);
}

void HistoryPage::correct() {
    const auto* r = selected();
    if (!r) {
        message(tr("Select a record first."), true);
        return;
    }
    emit correctionRequested(*r);
}

void HistoryPage::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!loaded_) refresh();
}

void HistoryPage::recordAdded() {
    if (loaded_) refresh();
}

void HistoryPage::message(const QString& text, bool error) {
    message_->setText(text);
    message_->setStyleSheet(error ? QStringLiteral("color: #c00000;") : QString());
}

bool HistoryPage::readFilter(xmca::reg::MeasurementFilter& f) {
    const QDate from = QDate::fromString(from_->text().trimmed(), Qt::ISODate);
    const QDate to = QDate::fromString(to_->text().trimmed(), Qt::ISODate);
    if ((!from_->text().trimmed().isEmpty() && !from.isValid()) || (!to_->text().trimmed().isEmpty() && !to.isValid())) {
        message(tr("Dates: enter YYYY-MM-DD."), true);
        return false;
    }
    // The days are the laboratory's, in local time as the table shows the records;
    // the register keeps UTC, so each day's first second is taken there.
    const auto utcStart = [](const QDate& day) {
        return QDateTime(day, QTime(0, 0)).toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'")).toStdString();
    };
    if (from.isValid()) f.createdFrom = utcStart(from);
    if (to.isValid()) f.createdBefore = utcStart(to.addDays(1));  // the whole day
    f.sampleIdContains = sampleId_->text().trimmed().toStdString();
    f.verdictPrefix = verdict_->currentData().toString().toStdString();
    f.installation = installation_->text().trimmed().toStdString();
    return true;
}

void HistoryPage::refresh() {
    loaded_ = true;
    xmca::reg::MeasurementFilter f;
    if (!readFilter(f)) return;
    const int generation = ++generation_;
    message(tr("Reading the register..."));
    lab_.request<HistoryModel::FirstPage>(
        this,
        [f](RegisterAccess& a) {
            if (auto* reg = a.reg()) return HistoryModel::readFirstPage(*reg, f);
            HistoryModel::FirstPage failed;
            failed.error = a.error();
            return failed;
        },
        [this, f, generation](HistoryModel::FirstPage page) {
            if (generation != generation_) return;  // a newer filter is being read
            model_->reset(f, page.total, std::move(page.rows), page.corrections);
            if (!page.ok) {
                message(tr("The register cannot be read: %1").arg(q(page.error)), true);
                return;
            }
            view_->resizeColumnsToContents();
            message(tr("%n record(s)", nullptr, static_cast<int>(model_->total())));
        });
}

void HistoryPage::fetchMore() {
    const xmca::reg::MeasurementFilter page = model_->nextPage();
    const int generation = generation_;
    lab_.request<HistoryModel::Page>(
        this,
        [page](RegisterAccess& a) {
            if (auto* reg = a.reg()) return HistoryModel::readPage(*reg, page);
            return HistoryModel::Page{};
        },
        [this, generation](HistoryModel::Page more) {
            if (generation == generation_) model_->append(std::move(more.rows), more.corrections);
        });
}

const xmca::reg::MeasurementRecord* HistoryPage::selected() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    return rows.isEmpty() ? model_->recordAt(view_->currentIndex().row()) : model_->recordAt(rows.first().row());
}

void HistoryPage::openSpectra() {
    const auto* r = selected();
    if (!r) {
        message(tr("Select a record first."), true);
        return;
    }
    if (!QFileInfo(q(r->sampleFile)).isFile()) {
        message(tr("The sample spectrum %1 is no longer there.").arg(q(r->sampleFile)), true);
        return;
    }
    doc_.readSpectrum(q(r->sampleFile));
    message(tr("Opened %1").arg(QFileInfo(q(r->sampleFile)).fileName()));
}

void HistoryPage::reprint() {
    const auto* r = selected();
    if (!r) {
        message(tr("Select a record first."), true);
        return;
    }
    const xmca::LabSettings& lab = lab_.settings();
    auto data = std::make_shared<xmca::report::ScreeningReportData>();
    data->laboratoryName = q(lab.laboratoryName);
    data->laboratoryAddress = q(lab.laboratoryAddress);
    data->record = *r;
    data->verdictShown = xmca::ui::verdictText(q(r->verdict));
    data->methodShown = xmca::ui::statusText(r->method);
    data->qcStatusShown = qcStatusText(r->qcStatus);
    data->reprint = true;
    data->supersededBy = model_->supersededBy(r->id);
    xmca::report::loadReportSpectrum(r->sampleFile, *data);
    const QString base = QFileInfo(q(r->sampleFile)).completeBaseName() + QStringLiteral("-record%1").arg(r->id);
    const QString folder = q(xmca::dataFolder(lab));
    auto deliver = [this, data, base, folder] {
        QString failure;
        if (deliverScreeningReport(dialogs_, *data, base, folder, failure))
            message(tr("Report of record %1 delivered").arg(data->record.id));
        else if (!failure.isEmpty())
            message(failure, true);
    };
    if (!r->supersedes) {
        deliver();
        return;
    }
    // A correction says what it changed against the record it replaces (read off the
    // window thread; printed without the changes when the original cannot be read).
    struct Original {
        bool found = false;
        xmca::reg::MeasurementRecord record;
    };
    const std::int64_t originalId = *r->supersedes;
    message(tr("Reading the register..."));
    lab_.request<Original>(
        this,
        [originalId](RegisterAccess& a) {
            Original o;
            std::string error;
            if (auto* reg = a.reg(); !reg || !reg->getMeasurement(originalId, o.record, o.found, error)) o.found = false;
            return o;
        },
        [this, data, deliver](Original o) {
            message(QString());
            if (o.found) setCorrectionChanges(*data, o.record, data->record);
            deliver();
        });
}

void HistoryPage::exportCsv() {
    xmca::reg::MeasurementFilter filter = model_->filter();
    if (!loaded_) {
        refresh();
        if (!readFilter(filter)) return;
    }
    PageDialogs::FileQuestion question;
    question.kind = PageDialogs::Kind::SaveCsv;
    question.title = tr("Export records as CSV");
    question.filter = tr("CSV (*.csv)");
    question.suffix = QStringLiteral("csv");
    question.suggested = QDir(q(xmca::dataFolder(lab_.settings()))).filePath(QStringLiteral("register.csv"));
    const QString path = dialogs_.chooseFile(question);
    if (path.isEmpty()) return;
    struct Rows {
        bool ok = false;
        std::string error;
        std::vector<xmca::reg::MeasurementRecord> rows;
    };
    filter.limit = -1;
    filter.beforeId.reset();
    message(tr("Reading the register..."));
    lab_.request<Rows>(
        this,
        [filter](RegisterAccess& a) {
            Rows out;
            if (auto* reg = a.reg()) out.ok = reg->listMeasurements(filter, out.rows, out.error);
            else out.error = a.error();
            return out;
        },
        [this, path](Rows r) {
            if (!r.ok) {
                message(tr("The register cannot be read: %1").arg(q(r.error)), true);
                return;
            }
            if (xmca::writeWholeFile(path.toStdString(), xmca::reg::measurementsCsv(r.rows)) != xmca::WriteStatus::Ok) {
                message(tr("%1 could not be written.").arg(path), true);
                return;
            }
            message(tr("Exported %n record(s) to %1", nullptr, static_cast<int>(r.rows.size()))
                        .arg(QFileInfo(path).fileName()));
            emit statusMessage(tr("Saved %1").arg(QFileInfo(path).fileName()));
        });
}
