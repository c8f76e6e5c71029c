#include "xmca/screening_page.h"

#include <QDate>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "files/spectrum_file.h"
#include "files/spectrum_header.h"
#include "model/method_store.h"
#include "model/qc_log.h"
#include "model/screening.h"
#include "model/settings_io.h"
#include "register/postgres_register.h"
#include "report/screening_report.h"
#include "xmca/lab_context.h"
#include "xmca/method_dialog.h"
#include "xmca/page_dialogs.h"
#include "xmca/screening_support.h"
#include "xmca/analyser_session.h"
#include "xmca/measurement_document.h"
#include "xmca/window_language.h"

namespace {

// The QC state as the operator sees it before evaluating: verdicts given, or withheld and why.
void showQcState(QLabel* label, const std::string& reason) {
    if (reason.empty()) {
        label->setText(ScreeningPage::tr("Check-source QC: verdicts are given"));
        label->setStyleSheet(QString());
    } else {
        label->setText(ScreeningPage::tr("Check-source QC: verdicts withheld - %1")
                           .arg(xmca::ui::statusText(reason)));
        label->setStyleSheet(QStringLiteral("color: white; background: #d0202a; padding: 4px; font-weight: bold;"));
    }
}

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s8(const QString& s) { return s.trimmed().toStdString(); }

QLineEdit* edit(QWidget* parent, const char* name, const QString& placeholder = {}) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setPlaceholderText(placeholder);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// The date a spectrum was started, from its header (invalid when unset or unreadable).
QDate spectrumDate(const QString& path) {
    xmca::SpectrumHeader h;
    std::vector<std::int32_t> counts(xmca::kWorkChannels);
    const auto r = xmca::readSpectrumFile(path.toStdString(), h, counts);
    if (!r.headerComplete) return {};
    using H = xmca::SpectrumHeader;
    return QDate(h.i16(H::kYear), h.i16(H::kMonth), h.i16(H::kDay));
}

QString cell(double v) { return std::isfinite(v) ? QString::number(v, 'f', 1) : QStringLiteral("-"); }

}  // namespace

ScreeningPage::ScreeningPage(AnalyserSession& session, MeasurementDocument& doc, LabContext& lab, PageDialogs& dialogs,
                             QWidget* parent)
    : QWidget(parent), session_(session), doc_(doc), lab_(lab), dialogs_(dialogs) {
    setObjectName(QStringLiteral("ScreeningPage"));
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    top->addLayout(left, 2);
    top->addLayout(right, 3);

    // Background.
    auto* bgBox = new QGroupBox(tr("1. Background"), this);
    auto* bgGrid = new QGridLayout(bgBox);
    bgAcquire_ = button(bgBox, "BackgroundAcquire", tr("Acquire background"));
    bgChoose_ = button(bgBox, "BackgroundChoose", tr("Choose background file..."));
    bgSeconds_ = edit(bgBox, "BackgroundSeconds");
    bgSeconds_->setText(QStringLiteral("3600"));
    bgFile_ = edit(bgBox, "BackgroundFile");
    bgFile_->setReadOnly(true);
    bgInfo_ = new QLabel(bgBox);
    bgInfo_->setObjectName(QStringLiteral("BackgroundInfo"));
    bgInfo_->setWordWrap(true);
    bgGrid->addWidget(new QLabel(tr("Counting time (s)"), bgBox), 0, 0);
    bgGrid->addWidget(bgSeconds_, 0, 1);
    bgGrid->addWidget(bgAcquire_, 1, 0);
    bgGrid->addWidget(bgChoose_, 1, 1);
    bgGrid->addWidget(bgFile_, 2, 0, 1, 2);
    bgGrid->addWidget(bgInfo_, 3, 0, 1, 2);
    left->addWidget(bgBox);

    // Sample.
    auto* sBox = new QGroupBox(tr("2. Sample"), this);
    auto* sForm = new QFormLayout(sBox);
    sampleId_ = edit(sBox, "SampleId", tr("e.g. rice-0412"));
    product_ = edit(sBox, "Product");
    origin_ = edit(sBox, "Origin");
    mass_ = edit(sBox, "MassKg", tr("kg, e.g. 0.8"));
    samplingDate_ = edit(sBox, "SamplingDate", tr("YYYY-MM-DD"));
    operator_ = edit(sBox, "Operator");
    operator_->setText(q(lab_.settings().operatorName));
    sampleSeconds_ = edit(sBox, "SampleSeconds");
    sampleSeconds_->setText(QStringLiteral("1800"));
    sForm->addRow(tr("Sample ID"), sampleId_);
    sForm->addRow(tr("Product"), product_);
    sForm->addRow(tr("Origin"), origin_);
    sForm->addRow(tr("Mass (kg)"), mass_);
    sForm->addRow(tr("Sampling date"), samplingDate_);
    sForm->addRow(tr("Operator"), operator_);
    sForm->addRow(tr("Counting time (s)"), sampleSeconds_);
    auto* sButtons = new QHBoxLayout;
    sampleAcquire_ = button(sBox, "SampleAcquire", tr("Acquire sample"));
    sampleChoose_ = button(sBox, "SampleChoose", tr("Choose sample file..."));
    sButtons->addWidget(sampleAcquire_);
    sButtons->addWidget(sampleChoose_);
    sForm->addRow(sButtons);
    sampleFile_ = edit(sBox, "SampleFile");
    sampleFile_->setReadOnly(true);
    sForm->addRow(tr("Sample file"), sampleFile_);
    sampleInfo_ = new QLabel(sBox);
    sampleInfo_->setObjectName(QStringLiteral("SampleInfo"));
    sampleInfo_->setWordWrap(true);
    sForm->addRow(sampleInfo_);
    left->addWidget(sBox);

    auto* runRow = new QHBoxLayout;
    stop_ = button(this, "StopRun", tr("Stop counting"));
    stop_->setEnabled(false);
    auto* settings = button(this, "LabSettings", tr("Laboratory settings..."));
    auto* methods = button(this, "Methods", tr("Methods..."));
    runRow->addWidget(stop_);
    runRow->addWidget(settings);
    runRow->addWidget(methods);
    left->addLayout(runRow);
    methodInfo_ = new QLabel(this);
    methodInfo_->setObjectName(QStringLiteral("MethodInfo"));
    methodInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    left->addWidget(methodInfo_);
    left->addStretch(1);

    // Result.
    auto* rBox = new QGroupBox(tr("3. Result"), this);
    auto* rLay = new QVBoxLayout(rBox);
    qcState_ = new QLabel(rBox);
    qcState_->setObjectName(QStringLiteral("ScreeningQcState"));
    qcState_->setWordWrap(true);
    rLay->addWidget(qcState_);
    auto* actions = new QHBoxLayout;
    evaluate_ = button(rBox, "Evaluate", tr("Evaluate"));
    record_btn_ = button(rBox, "Record", tr("Record"));
    print_ = button(rBox, "Print", tr("Print"));
    record_btn_->setEnabled(false);
    print_->setEnabled(false);
    actions->addWidget(evaluate_);
    actions->addWidget(record_btn_);
    actions->addWidget(print_);
    rLay->addLayout(actions);
    // Shown while a recorded result is corrected: a correction is recorded only with its reason.
    auto* reasonRow = new QHBoxLayout;
    reasonLabel_ = new QLabel(tr("Reason for the correction"), rBox);
    reason_ = edit(rBox, "CorrectionReason", tr("required: what was wrong and what changed"));
    reasonRow->addWidget(reasonLabel_);
    reasonRow->addWidget(reason_, 1);
    rLay->addLayout(reasonRow);
    reasonLabel_->hide();
    reason_->hide();
    table_ = new QTableWidget(4, 5, rBox);
    table_->setObjectName(QStringLiteral("ResultTable"));
    table_->setHorizontalHeaderLabels(
        {tr("Activity"), tr("u"), tr("Decision threshold"), tr("Detection limit"), tr("Unit")});
    table_->setVerticalHeaderLabels({QStringLiteral("Cs-All"), QStringLiteral("Cs-134"), QStringLiteral("Cs-137"),
                                     QStringLiteral("K-40")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    table_->setMinimumHeight(150);
    rLay->addWidget(table_);
    verdict_ = new QLabel(rBox);
    verdict_->setObjectName(QStringLiteral("Verdict"));
    QFont vf = verdict_->font();
    vf.setPointSize(vf.pointSize() * 2);
    vf.setBold(true);
    verdict_->setFont(vf);
    verdict_->setWordWrap(true);
    rLay->addWidget(verdict_);
    notes_ = new QLabel(rBox);
    notes_->setObjectName(QStringLiteral("ResultNotes"));
    notes_->setWordWrap(true);
    rLay->addWidget(notes_);
    recordLabel_ = new QLabel(rBox);
    recordLabel_->setObjectName(QStringLiteral("RecordId"));
    QFont rf = recordLabel_->font();
    rf.setBold(true);
    recordLabel_->setFont(rf);
    rLay->addWidget(recordLabel_);
    message_ = new QLabel(rBox);
    message_->setObjectName(QStringLiteral("ScreeningMessage"));
    message_->setWordWrap(true);
    rLay->addWidget(message_);
    rLay->addStretch(1);
    right->addWidget(rBox);

    connect(bgAcquire_, &QPushButton::clicked, this, &ScreeningPage::acquireBackground);
    connect(bgChoose_, &QPushButton::clicked, this, &ScreeningPage::chooseBackground);
    connect(sampleAcquire_, &QPushButton::clicked, this, &ScreeningPage::acquireSample);
    connect(sampleChoose_, &QPushButton::clicked, this, &ScreeningPage::chooseSample);
    connect(stop_, &QPushButton::clicked, this, &ScreeningPage::stopRun);
    connect(evaluate_, &QPushButton::clicked, this, &ScreeningPage::evaluate);
    connect(record_btn_, &QPushButton::clicked, this, &ScreeningPage::recordResult);
    connect(print_, &QPushButton::clicked, this, &ScreeningPage::printReport);
    connect(settings, &QPushButton::clicked, this, &ScreeningPage::editSettings);
    connect(methods, &QPushButton::clicked, this, [this] {
        MethodDialog dlg(this, lab_, dialogs_);
        dlg.exec();
        showMethodInForce();
    });
    // The method in force follows the settings and the register's location.
    connect(&lab_, &LabContext::settingsChanged, this, &ScreeningPage::showMethodInForce);
    connect(&lab_, &LabContext::registerLocationChanged, this, &ScreeningPage::showMethodInForce);
    connect(&session_, &AnalyserSession::runFinished, this, &ScreeningPage::onRunFinished);
    // The background chosen or counted last, as long as its file is there.
    if (const QString last = q(lab_.settings().backgroundFile); !last.isEmpty() && QFileInfo(last).isFile())
        setBackground(last);
    // Any change to the sample's data makes the shown result stale.
    for (QLineEdit* e : {sampleId_, product_, origin_, mass_, samplingDate_, operator_})
        connect(e, &QLineEdit::textEdited, this, [this] {
            if (record_.id == 0) record_btn_->setEnabled(false);
        });
}

void ScreeningPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showMethodInForce();
    refreshQcState();
}

void ScreeningPage::message(const QString& text, bool error) {
    message_->setText(text);
    message_->setStyleSheet(error ? QStringLiteral("color: #c00000;") : QString());
    if (!text.isEmpty()) emit statusMessage(text);
}

QString ScreeningPage::askSpectrum(const QString& title) {
    return dialogs_.chooseFile(PageDialogs::spectrumToOpen(title, q(xmca::dataFolder(lab_.settings()))));
}

void ScreeningPage::chooseBackground() {
    const QString p = askSpectrum(tr("Open background spectrum"));
    if (!p.isEmpty()) setBackground(p);
}

void ScreeningPage::chooseSample() {
    const QString p = askSpectrum(tr("Open sample spectrum"));
    if (p.isEmpty()) return;
    endCorrection();
    setSample(p);
}

void ScreeningPage::endCorrection() {
    original_.reset();
    reason_->clear();
    reasonLabel_->hide();
    reason_->hide();
}

void ScreeningPage::setBackground(const QString& path) {
    ++evaluation_;  // an evaluation under way was of the pair before
    bgPath_ = path;
    bgFile_->setText(path);
    if (lab_.settings().backgroundFile != s8(path)) {  // offered again at the next start
        const std::string file = s8(path);
        if (!lab_.updateSettings([&](xmca::LabSettings& l) { l.backgroundFile = file; }))
            message(tr("The settings could not be saved."), true);
    }
    const QDate d = spectrumDate(path);
    QString info = d.isValid() ? tr("Counted on %1").arg(d.toString(Qt::ISODate)) : tr("Date unknown");
    bool old = false;
    if (d.isValid()) {
        const qint64 days = d.daysTo(QDate::currentDate());
        if (days > lab_.settings().backgroundMaxAgeDays) {
            info += QStringLiteral(" - ") + tr("%n day(s) old: count a new background", nullptr, static_cast<int>(days));
            old = true;
        }
    }
    bgInfo_->setText(info);
    bgInfo_->setStyleSheet(old ? QStringLiteral("color: #c06000; font-weight: bold;") : QString());
    outcome_.reset();
    showOutcome();
}

void ScreeningPage::setSample(const QString& path) {
    ++evaluation_;
    samplePath_ = path;
    sampleFile_->setText(path);
    const QDate d = spectrumDate(path);
    sampleInfo_->setText(d.isValid() ? tr("Counted on %1").arg(d.toString(Qt::ISODate)) : QString());
    outcome_.reset();
    showOutcome();
}

void ScreeningPage::setBusy(bool busy) {
    for (QPushButton* b : {bgAcquire_, bgChoose_, sampleAcquire_, sampleChoose_, evaluate_}) b->setEnabled(!busy);
    if (busy) {
        record_btn_->setEnabled(false);
        print_->setEnabled(false);
    }
    stop_->setEnabled(busy);
}

void ScreeningPage::acquireBackground() { startAcquisition(Acquiring::Background, bgSeconds_); }

void ScreeningPage::acquireSample() {
    if (sampleId_->text().trimmed().isEmpty()) {
        message(tr("Enter the sample ID first: the spectrum is saved under it."), true);
        sampleId_->setFocus();
        return;
    }
    endCorrection();  // a new count is a new measurement
    startAcquisition(Acquiring::Sample, sampleSeconds_);
}

void ScreeningPage::startAcquisition(Acquiring what, QLineEdit* seconds) {
    const auto tenths = xmca::settings::presetTenthsFromSeconds(s8(seconds->text()));
    if (!tenths || *tenths <= 0) {
        message(tr("Counting time: enter seconds, e.g. 1800."), true);
        seconds->setFocus();
        return;
    }
    // On the simulated analyser the sample comes off the detector for the background
    // and goes back for the sample, as the operator does on a real one.
    const bool sample = what == Acquiring::Sample;
    setBusy(true);  // until the run has started or could not
    stop_->setEnabled(false);
    const std::int32_t preset = *tenths;
    QPointer<ScreeningPage> self(this);
    AnalyserSession::RunRequest run;
    run.tenths = preset;
    run.sampleOnDetector = sample;
    // The run's header names what was counted.
    run.sampleId = sample ? s8(sampleId_->text()) : std::string("BG");
    run.comment = sample ? s8(product_->text()) : std::string("background");
    runTicket_ = session_.startRun(
        run,
        [self, what] {
            if (!self) return;
            self->acquiring_ = what;
            self->stop_->setEnabled(true);
        },
        [self, what, preset](const QString& failed) {
            if (!self) return;
            if (!failed.isEmpty()) {
                self->acquiring_ = Acquiring::None;
                self->setBusy(false);
                self->message(failed, true);
                return;
            }
            self->message(what == Acquiring::Background
                              ? tr("Counting the background for %1 s...").arg(preset / 10.0)
                              : tr("Counting the sample for %1 s...").arg(preset / 10.0));
        });
}

void ScreeningPage::stopRun() {
    if (acquiring_ != Acquiring::None) session_.stop();
}

void ScreeningPage::onRunFinished(int ticket, bool atPreset) {
    if (acquiring_ == Acquiring::None || ticket != runTicket_) return;  // another page's run, or the MCA page's
    const Acquiring what = acquiring_;
    acquiring_ = Acquiring::None;
    setBusy(false);
    // Saved whatever happens next, under a name made of the date and the sample ID.
    const QString folder = q(xmca::dataFolder(lab_.settings()));
    QDir().mkpath(folder);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString name = what == Acquiring::Background
                             ? stamp + QStringLiteral("-background.dat")
                             : stamp + QLatin1Char('-') + screeningFileStem(sampleId_->text()) + QStringLiteral(".dat");
    const QString path = QDir(folder).filePath(name);
    if (const QString failed = doc_.writeSpectrum(path); !failed.isEmpty()) {
        message(tr("The spectrum could not be saved in %1.").arg(folder) + QLatin1Char(' ') +
                    xmca::ui::statusText(failed),
                true);
        return;
    }
    if (what == Acquiring::Background) setBackground(path);
    else setSample(path);
    message(atPreset ? tr("Saved %1").arg(name) : tr("Stopped before the preset; saved %1").arg(name), !atPreset);
}

bool ScreeningPage::readSampleData(xmca::SampleData& out, QString& problem) const {
    out.sampleId = s8(sampleId_->text());
    out.product = s8(product_->text());
    out.origin = s8(origin_->text());
    out.operatorName = s8(operator_->text());
    out.samplingDate = s8(samplingDate_->text());
    if (out.sampleId.empty()) {
        problem = tr("Enter the sample ID.");
        return false;
    }
    const QString m = mass_->text().trimmed();
    if (!m.isEmpty()) {
        const auto v = xmca::settings::parseReal(m.toStdString());
        if (!v || !(*v > 0) || !std::isfinite(*v)) {
            problem = tr("Mass: enter kilograms, e.g. 0.8.");
            return false;
        }
        out.massKg = *v;
    }
    if (!out.samplingDate.empty() && !QDate::fromString(q(out.samplingDate), Qt::ISODate).isValid()) {
        problem = tr("Sampling date: enter YYYY-MM-DD.");
        return false;
    }
    return true;
}

void ScreeningPage::evaluate() {
    if (bgPath_.isEmpty()) {
        message(tr("Acquire or choose a background first."), true);
        return;
    }
    if (samplePath_.isEmpty()) {
        message(tr("Acquire or choose a sample first."), true);
        return;
    }
    xmca::SampleData sample;
    QString problem;
    if (!readSampleData(sample, problem)) {
        message(problem, true);
        return;
    }
    const xmca::LabSettings& lab = lab_.settings();
    options_ = {};
    options_.settings = doc_.state().screeningSettings;
    options_.nominalMassKg = lab.nominalMassKg;
    if (original_) {
        // A correction keeps the settings the original was formed with; only what the
        // operator changes on the page changes.
        if (original_->screeningLevel) options_.settings.level = *original_->screeningLevel;
        if (original_->lowerLimit) options_.settings.lowerLimit = *original_->lowerLimit;
        options_.nominalMassKg = original_->nominalMassKg;
    }
    options_.massKg = sample.massKg;
    options_.settings.backgroundMaxAgeDays = lab.backgroundMaxAgeDays;
    options_.samplingDate = sample.samplingDate;
    options_.decayToSampling = lab.decayToSamplingDate;
    const int evaluation = ++evaluation_;
    outcome_.reset();
    showOutcome();
    // The laboratory's own method (its newest version) is read from the register first.
    if (!(lab.defaultMethod.empty() || lab.defaultMethod == xmca::method::kFactoryName))
        message(tr("Reading the method from the register..."));
    askMethodInForce([this, sample, evaluation](MethodAnswer answer) {
        if (evaluation != evaluation_) return;
        if (!answer.method) {
            message(tr("The laboratory's method cannot be used: %1").arg(q(answer.error)), true);
            return;
        }
        options_.method = std::move(answer.method);
        evaluateWith(sample, evaluation);
    });
}

void ScreeningPage::askMethodInForce(std::function<void(MethodAnswer)> done) {
    const xmca::LabSettings lab = lab_.settings();
    if (lab.defaultMethod.empty() || lab.defaultMethod == xmca::method::kFactoryName) {
        MethodAnswer answer;  // the factory method needs no register
        answer.method = xmca::methodInForce(nullptr, lab, "", answer.error);
        done(std::move(answer));
        return;
    }
    lab_.request<MethodAnswer>(
        this,
        [lab](RegisterAccess& a) {
            MethodAnswer answer;
            answer.method = xmca::methodInForce(a.reg(), lab, "", answer.error);
            if (!a.reg() && !a.error().empty()) answer.error = a.error();
            return answer;
        },
        std::move(done));
}

void ScreeningPage::evaluateWith(const xmca::SampleData& sample, int evaluation) {
    const xmca::LabSettings lab = lab_.settings();
    xmca::ScreeningOutcome out = xmca::screenFiles(s8(samplePath_), s8(bgPath_), options_);
    if (!out.computed) {
        message(q(out.error), true);
        return;
    }
    // The check-source QC lock-out, read from the register: the figures are shown,
    // the verdict withheld. Nothing can be recorded or printed before it is known.
    message(tr("Reading the QC state from the register..."));
    auto computed = std::make_shared<xmca::ScreeningOutcome>(std::move(out));
    lab_.request<xmca::QcStanding>(
        this, [lab](RegisterAccess& a) { return xmca::qcStanding(a.reg(), lab); },
        [this, computed, sample, lab, evaluation](xmca::QcStanding qc) {
            if (evaluation != evaluation_) return;  // the pair or its data changed meanwhile
            if (!qc.reason.empty()) xmca::withholdVerdict(computed->result, qc.reason);
            showQcState(qcState_, qc.reason);
            outcome_ = std::move(*computed);
            record_ = xmca::measurementRecord(*outcome_, s8(samplePath_), s8(bgPath_), sample, options_,
                                              xmca::installationName(lab), xmca::programVersion());
            xmca::setQcStanding(record_, qc);
            if (original_) record_.supersedes = original_->id;
            showOutcome();
            record_btn_->setEnabled(true);
            print_->setEnabled(true);
            message(tr("Evaluated: %1").arg(xmca::ui::verdictText(q(record_.verdict))));
        });
}

void ScreeningPage::showMethodInForce() {
    const xmca::LabSettings lab = lab_.settings();
    const int asked = ++methodShown_;
    auto show = [this, lab, asked](MethodAnswer answer) {
        if (asked != methodShown_) return;  // the settings changed again meanwhile
        const auto& m = answer.method;
        if (!m) {
            methodInfo_->setText(tr("Method %1 cannot be used: %2").arg(q(lab.defaultMethod), q(answer.error)));
            methodInfo_->setToolTip(methodInfo_->text());
            return;
        }
        QString t = m->isFactory() ? tr("Method: factory (the fixed factors)")
                                   : tr("Method: %1 v%2, calibrated %3")
                                         .arg(q(m->name))
                                         .arg(m->version)
                                         .arg(q(m->calibratedUtc.substr(0, 10)));
        QStringList notes;
        if (m->cs134Assumed) notes << tr("Cs-134 response assumed");
        if (lab.decayToSamplingDate) notes << tr("figures corrected to the sampling date");
        methodInfo_->setText(notes.isEmpty() ? t : t + " (" + notes.join("; ") + ")");
        methodInfo_->setToolTip(methodInfo_->text());
    };
    askMethodInForce(show);
}

void ScreeningPage::showOutcome() {
    table_->clearContents();
    if (!outcome_) {
        verdict_->clear();
        notes_->clear();
        recordLabel_->clear();
        record_ = {};
        record_btn_->setEnabled(false);
        print_->setEnabled(false);
        return;
    }
    const xmca::reg::Figures* rows[] = {&record_.csAll, &record_.cs134, &record_.cs137, &record_.k40};
    for (int r = 0; r < 4; ++r) {
        const auto& f = *rows[r];
        const std::optional<double> cols[] = {f.activity, f.u, f.decisionThreshold, f.detectionLimit};
        for (int c = 0; c < 4; ++c) {
            auto* it = new QTableWidgetItem(cols[c] ? cell(*cols[c]) : QStringLiteral("-"));
            it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(r, c, it);
        }
        table_->setItem(r, 4, new QTableWidgetItem(QStringLiteral("Bq/kg")));
    }
    verdict_->setText(xmca::ui::verdictText(q(record_.verdict)));
    verdict_->setStyleSheet(QStringLiteral("color: %1;").arg(verdictColourName(record_.verdict)));
    QStringList notes;
    if (record_.simulated) notes << QString::fromLatin1(xmca::report::kSimulatedBanner);
    notes << tr("Screening level %1 Bq/kg, lower limit %2 Bq/kg, method %3")
                 .arg(cell(record_.screeningLevel.value_or(NAN)), cell(record_.lowerLimit.value_or(NAN)),
                      xmca::ui::statusText(record_.method));
    if (outcome_->massFactor)
        notes << tr("Mass corrected: figures scaled by nominal %1 kg / actual %2 kg (x %3)")
                     .arg(QString::number(*options_.nominalMassKg), QString::number(*options_.massKg),
                          QString::number(*outcome_->massFactor, 'f', 3));
    else if (options_.nominalMassKg && !options_.massKg)
        notes << tr("No mass entered: figures hold for the nominal %1 kg").arg(QString::number(*options_.nominalMassKg));
    else if (options_.massKg)
        notes << tr("No mass correction: no nominal mass is set, so the mass entered does not change the figures");
    if (record_.achievedLowerLimit)
        notes << tr("Lower limit of measurement reached: %1 Bq/kg").arg(cell(*record_.achievedLowerLimit));
    if (original_) notes << correctionChangesText(*original_, record_);
    if (const auto& t = outcome_->result.screening.countTimeNeeded)
        notes << tr("Count the sample for %1 to meet the lower limit").arg(q(xmca::countTimeText(t)));
    if (record_.gainOk && !*record_.gainOk) notes << q(outcome_->result.screening.gain.warning);
    notes_->setText(notes.join(QLatin1Char('\n')));
    if (record_.id > 0) recordLabel_->setText(tr("Record ID %1").arg(record_.id));
    else if (record_.supersedes) recordLabel_->setText(tr("Not recorded yet (corrects record %1)").arg(*record_.supersedes));
    else recordLabel_->setText(tr("Not recorded yet"));
}

void ScreeningPage::correctRecord(const xmca::reg::MeasurementRecord& old) {
    if (acquiring_ != Acquiring::None) return;
    sampleId_->setText(q(old.sampleId));
    product_->setText(q(old.product));
    origin_->setText(q(old.origin));
    mass_->setText(old.massKg ? QString::number(*old.massKg) : QString());
    samplingDate_->setText(q(old.samplingDate));
    operator_->setText(q(old.operatorName));
    setBackground(q(old.backgroundFile));
    setSample(q(old.sampleFile));
    original_ = old;
    reason_->clear();
    reasonLabel_->show();
    reason_->show();
    recordLabel_->setText(tr("Correcting record %1: change what was wrong, give the reason, then Evaluate and Record")
                              .arg(old.id));
}

void ScreeningPage::refreshQcState() {
    lab_.request<std::string>(
        this, [lab = lab_.settings()](RegisterAccess& a) { return xmca::qcLockoutReason(a.reg(), lab); },
        [this](std::string reason) { showQcState(qcState_, reason); });
}

void ScreeningPage::recordResult() {
    if (!outcome_ || recording_ || record_.id > 0 || !record_.uid.empty()) return;  // recorded (or waiting) already
    if (original_) {
        record_.correctionReason = s8(reason_->text());
        if (!xmca::correctionProblem(record_).empty()) {
            message(tr("Enter the reason for the correction: it is recorded with the new record."), true);
            reason_->setFocus();
            return;
        }
    }
    const bool correction = original_.has_value();
    struct Appended {
        bool ok = false;
        std::string error;
        xmca::reg::MeasurementRecord rec;
        std::int64_t pending = 0;
    };
    recording_ = true;
    record_btn_->setEnabled(false);
    const int evaluation = evaluation_;
    lab_.request<Appended>(
        this,
        [rec = record_](RegisterAccess& a) {
            Appended out;
            out.rec = rec;
            auto* reg = a.reg();
            if (!reg) {
                out.error = a.error();
                return out;
            }
            out.ok = reg->appendMeasurement(out.rec, out.error);
            if (out.ok) out.pending = reg->pendingCount();
            return out;
        },
        [this, evaluation, correction](Appended r) {
            recording_ = false;
            if (!r.ok) {
                if (evaluation == evaluation_ && outcome_) record_btn_->setEnabled(true);
                message(tr("Not recorded: %1. The spectra stay saved in their files.").arg(q(r.error)), true);
                return;
            }
            // The operator offered next time is who measured last, not a name put right afterwards.
            const std::string operatorName = r.rec.operatorName;
            if (!correction && !lab_.updateSettings([&](xmca::LabSettings& s) { s.operatorName = operatorName; }))
                message(tr("The settings could not be saved."), true);
            if (evaluation == evaluation_) record_ = r.rec;
            if (r.rec.id == 0) {  // the register server does not answer: kept in the local queue, sent later
                recordLabel_->setText(tr("Waiting for the register server"));
                message(tr("Recorded locally: the register server does not answer (%1 waiting); the record is sent "
                           "when it answers.")
                            .arg(r.pending));
            } else {
                recordLabel_->setText(correction && r.rec.supersedes
                                          ? tr("Record ID %1 (corrects record %2)").arg(r.rec.id).arg(*r.rec.supersedes)
                                          : tr("Record ID %1").arg(r.rec.id));
                message(tr("Recorded as record %1").arg(r.rec.id));
            }
            emit recorded(r.rec.id);
        });
}

void ScreeningPage::printReport() {
    if (!outcome_) return;
    xmca::report::ScreeningReportData data;
    data.laboratoryName = q(lab_.settings().laboratoryName);
    data.laboratoryAddress = q(lab_.settings().laboratoryAddress);
    data.record = record_;
    data.verdictShown = xmca::ui::verdictText(q(record_.verdict));
    data.methodShown = xmca::ui::statusText(record_.method);
    data.backgroundStarted = q(outcome_->background.started);
    data.qcStatusShown = qcStatusText(record_.qcStatus);
    if (original_) setCorrectionChanges(data, *original_, record_);
    xmca::report::loadReportSpectrum(s8(samplePath_), data);
    const QString base = QFileInfo(samplePath_).completeBaseName();
    QString failure;
    if (deliverScreeningReport(dialogs_, data, base, q(xmca::dataFolder(lab_.settings())), failure))
        message(tr("Report of %1 delivered").arg(q(record_.sampleId)));
    else if (!failure.isEmpty())
        message(failure, true);
}

void ScreeningPage::editSettings() {
    const xmca::LabSettings lab = lab_.settings();
    QDialog dlg(this);
    dlg.setWindowTitle(tr("Laboratory settings"));
    auto* lay = new QFormLayout(&dlg);
    auto* name = new QLineEdit(q(lab.laboratoryName), &dlg);
    auto* address = new QPlainTextEdit(q(lab.laboratoryAddress), &dlg);
    auto* inst = new QLineEdit(q(lab.installation), &dlg);
    inst->setPlaceholderText(q(xmca::installationName({})));
    auto* nominal = new QLineEdit(lab.nominalMassKg ? QString::number(*lab.nominalMassKg) : QString(), &dlg);
    nominal->setPlaceholderText(tr("empty: no mass correction"));
    auto* folder = new QLineEdit(q(lab.dataFolder), &dlg);
    folder->setPlaceholderText(q(xmca::dataFolder({})));
    auto* age = new QLineEdit(QString::number(lab.backgroundMaxAgeDays), &dlg);
    auto* registerAt = new QLineEdit(q(lab.registerLocation), &dlg);
    registerAt->setObjectName(QStringLiteral("SettingsRegister"));
    registerAt->setPlaceholderText(q(xmca::reg::defaultRegisterLocation()));
    registerAt->setToolTip(tr("A register file, or a laboratory server: postgresql://USER@HOST/DB (the password "
                              "goes in ~/.pgpass, never here)"));
    lay->addRow(tr("Laboratory name"), name);
    lay->addRow(tr("Address"), address);
    lay->addRow(tr("Installation"), inst);
    lay->addRow(tr("Nominal sample mass (kg)"), nominal);
    lay->addRow(tr("Data folder"), folder);
    lay->addRow(tr("Warn when the background is older than (days)"), age);
    lay->addRow(tr("Register"), registerAt);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    lay->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    if (dlg.exec() != QDialog::Accepted) return;
    std::string refused;
    if (xmca::reg::isServerLocation(s8(registerAt->text().trimmed())) &&
        !xmca::reg::checkServerLocation(s8(registerAt->text().trimmed()), refused)) {
        message(tr("Settings not saved: %1").arg(q(refused)), true);
        return;
    }
    const bool saved = lab_.updateSettings([&](xmca::LabSettings& s) {
        s.registerLocation = s8(registerAt->text().trimmed());
        s.laboratoryName = s8(name->text());
        s.laboratoryAddress = address->toPlainText().toStdString();
        s.installation = s8(inst->text());
        s.nominalMassKg = xmca::settings::parseReal(s8(nominal->text()));
        if (s.nominalMassKg && !(*s.nominalMassKg > 0)) s.nominalMassKg.reset();
        s.dataFolder = s8(folder->text());
        if (const auto d = xmca::settings::parseInt(s8(age->text())); d && *d > 0) s.backgroundMaxAgeDays = *d;
    });
    if (!saved) message(tr("The settings could not be saved."), true);
    refreshQcState();
}
