#include "xmca/qc_page.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cmath>
#include <QVBoxLayout>

#include "display/qc_chart.h"
#include "model/settings_io.h"
#include "register/register.h"
#include "xmca/lab_context.h"
#include "xmca/page_dialogs.h"
#include "xmca/analyser_session.h"
#include "xmca/measurement_document.h"
#include "xmca/window_language.h"

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s8(const QString& s) { return s.toStdString(); }

QString colourOf(xmca::qc::Status s) {
    return QStringLiteral("#%1").arg(xmca::display::statusRgb(s), 6, 16, QLatin1Char('0'));
}

QString reasonWords(const xmca::qc::Reason& r) {
    using R = xmca::qc::Reason;
    const QString quantity = r.quantity == R::PeakChannel   ? QcPage::tr("peak channel")
                             : r.quantity == R::FwhmPercent ? QcPage::tr("FWHM")
                                                            : QcPage::tr("net rate");
    switch (r.kind) {
        case R::SdFromMean: return QcPage::tr("%1 %2 sd from the mean").arg(quantity).arg(r.value, 0, 'f', 1);
        case R::PeakShift: return QcPage::tr("peak shift %1 %").arg(r.value, 0, 'f', 1);
        case R::RateChange: return QcPage::tr("net rate change %1 %").arg(r.value, 0, 'f', 1);
        case R::Trend:
            return r.value > 0 ? QcPage::tr("%1 %2 runs in a row above the mean").arg(quantity).arg(std::abs(r.value))
                               : QcPage::tr("%1 %2 runs in a row below the mean").arg(quantity).arg(std::abs(r.value));
        case R::OutsideWindow:
            return QcPage::tr("peak channel %1 outside the middle half of the Cs window (%2-%3)")
                .arg(r.value, 0, 'f', 1)
                .arg(r.lo, 0, 'f', 1)
                .arg(r.hi, 0, 'f', 1);
        case R::WindowLoss: return QcPage::tr("%1 % of the 662 keV line outside the Cs window").arg(r.value, 0, 'f', 1);
        case R::BaselineScatter:
            return QcPage::tr("baseline scatter of %1 exceeds counting statistics (chi-square %2 for %3 degrees of "
                              "freedom, p = %4)")
                .arg(quantity)
                .arg(r.value, 0, 'f', 1)
                .arg(static_cast<int>(r.lo))
                .arg(r.hi, 0, 'f', 3);
        case R::NoCountingScatter:
            return QcPage::tr("baseline runs recorded without their counting scatter: start a new baseline");
        case R::NotANumber: break;
    }
    return QcPage::tr("a figure is not a number");
}

}  // namespace

QcChartView::QcChartView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("QcChart"));
    setMinimumSize(480, 320);
}

void QcChartView::setHistory(const xmca::qc::History& h) {
    history_ = h;
    update();
}

void QcChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    xmca::display::drawQcChart(p, QRectF(rect()), history_);
}

QcPage::QcPage(AnalyserSession& session, MeasurementDocument& doc, LabContext& lab, PageDialogs& dialogs,
               QWidget* parent)
    : QWidget(parent), session_(session), doc_(doc), lab_(lab), dialogs_(dialogs) {
    setObjectName(QStringLiteral("QcPage"));

    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    top->addLayout(left, 0);

    auto* run = new QGroupBox(tr("Check source"), this);
    auto* runLay = new QFormLayout(run);
    seconds_ = new QLineEdit(QStringLiteral("300"), run);
    seconds_->setObjectName(QStringLiteral("QcSeconds"));
    runLay->addRow(tr("Counting time (s)"), seconds_);
    auto* buttons = new QHBoxLayout;
    acquire_ = new QPushButton(tr("Acquire check source"), run);
    acquire_->setObjectName(QStringLiteral("QcAcquire"));
    stop_ = new QPushButton(tr("Stop"), run);
    stop_->setObjectName(QStringLiteral("QcStop"));
    stop_->setEnabled(false);
    read_ = new QPushButton(tr("Read check spectrum..."), run);
    read_->setObjectName(QStringLiteral("QcRead"));
    buttons->addWidget(acquire_);
    buttons->addWidget(stop_);
    runLay->addRow(buttons);
    runLay->addRow(read_);
    bgFile_ = new QLineEdit(run);
    bgFile_->setObjectName(QStringLiteral("QcBackground"));
    bgFile_->setReadOnly(true);
    bgFile_->setPlaceholderText(tr("none: the net rate is the gross rate"));
    bgChoose_ = new QPushButton(tr("Background..."), run);
    bgChoose_->setObjectName(QStringLiteral("QcChooseBackground"));
    auto* bgRow = new QHBoxLayout;
    bgRow->addWidget(bgFile_, 1);
    bgRow->addWidget(bgChoose_);
    runLay->addRow(tr("Background"), bgRow);
    left->addWidget(run);

    auto* result = new QGroupBox(tr("Last QC run"), this);
    auto* resLay = new QVBoxLayout(result);
    status_ = new QLabel(result);
    status_->setObjectName(QStringLiteral("QcStatus"));
    status_->setWordWrap(true);
    QFont big = status_->font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    big.setBold(true);
    status_->setFont(big);
    reasons_ = new QLabel(result);
    reasons_->setObjectName(QStringLiteral("QcReasons"));
    reasons_->setWordWrap(true);
    figures_ = new QLabel(result);
    figures_->setObjectName(QStringLiteral("QcFigures"));
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    baseline_ = new QLabel(result);
    baseline_->setObjectName(QStringLiteral("QcBaseline"));
    baseline_->setWordWrap(true);
    resLay->addWidget(status_);
    resLay->addWidget(reasons_);
    resLay->addWidget(figures_);
    resLay->addWidget(baseline_);
    left->addWidget(result);

    auto* settings = new QGroupBox(tr("QC settings"), this);
    auto* setLay = new QFormLayout(settings);
    baselineRuns_ = new QSpinBox(settings);
    baselineRuns_->setObjectName(QStringLiteral("QcBaselineRuns"));
    baselineRuns_->setRange(2, 100);
    baselineRuns_->setValue(xmca::qcSettings(lab_.settings()).baselineRuns);
    setLay->addRow(tr("Runs in a new baseline"), baselineRuns_);
    daily_ = new QCheckBox(tr("Withhold verdicts until a QC run passed today"), settings);
    daily_->setObjectName(QStringLiteral("QcRequireDaily"));
    daily_->setChecked(lab_.settings().qcRequireDaily);
    setLay->addRow(daily_);
    newBaseline_ = new QPushButton(tr("Start a new baseline"), settings);
    newBaseline_->setObjectName(QStringLiteral("QcNewBaseline"));
    newBaseline_->setToolTip(tr("After a recalibration: the next runs form new control limits; the old ones stay in the register."));
    setLay->addRow(newBaseline_);
    left->addWidget(settings);

    detector_ = new QLabel(this);
    detector_->setObjectName(QStringLiteral("QcDetector"));
    detector_->setWordWrap(true);
    left->insertWidget(0, detector_);
    lockout_ = new QLabel(this);
    lockout_->setObjectName(QStringLiteral("QcLockout"));
    lockout_->setWordWrap(true);
    lockout_->setStyleSheet(QStringLiteral("color: white; background: #d0202a; padding: 6px; font-weight: bold;"));
    lockout_->hide();
    left->addWidget(lockout_);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("QcMessage"));
    message_->setWordWrap(true);
    left->addWidget(message_);
    left->addStretch(1);

    chart_ = new QcChartView(this);
    top->addWidget(chart_, 1);

    connect(acquire_, &QPushButton::clicked, this, &QcPage::acquireCheck);
    connect(stop_, &QPushButton::clicked, this, &QcPage::stopRun);
    connect(read_, &QPushButton::clicked, this, &QcPage::readCheck);
    connect(bgChoose_, &QPushButton::clicked, this, &QcPage::chooseBackground);
    connect(newBaseline_, &QPushButton::clicked, this, &QcPage::startBaseline);
    connect(baselineRuns_, &QSpinBox::valueChanged, this, &QcPage::saveSettings);
    connect(daily_, &QCheckBox::toggled, this, [this] {
        saveSettings();
        refresh();
    });
    connect(&session_, &AnalyserSession::runFinished, this, &QcPage::onRunFinished);
    connect(&lab_, &LabContext::registerLocationChanged, this, &QcPage::refresh);
    // A renamed installation shows at once beside the detector the record is kept under.
    connect(&lab_, &LabContext::settingsChanged, this, &QcPage::refresh);

    status_->setText(tr("No QC run yet"));
    // The register is read once the event loop runs, so a slow server does not hold up the window.
    QTimer::singleShot(0, this, &QcPage::refresh);
}

void QcPage::message(const QString& text, bool error) {
    message_->setText(text);
    message_->setStyleSheet(error ? QStringLiteral("color: #c00000;") : QString());
}

void QcPage::saveSettings() {
    const int runs = baselineRuns_->value();
    const bool daily = daily_->isChecked();
    // Only the QC keys are this page's.
    if (!lab_.updateSettings([&](xmca::LabSettings& s) {
            s.qcBaselineRuns = runs;
            s.qcRequireDaily = daily;
        }))
        message(tr("The QC settings could not be saved."), true);
}

std::string QcPage::detector() const { return xmca::qcDetector(lab_.settings()); }

bool QcPage::bindDetector() {
    if (!lab_.settings().qcDetector.empty()) return true;
    // The first QC use binds the record to the detector under today's installation name.
    return lab_.updateSettings([](xmca::LabSettings& s) {
        if (s.qcDetector.empty()) s.qcDetector = xmca::installationName(s);
    });
}

xmca::LabSettings QcPage::currentSettings() const {
    xmca::LabSettings lab = lab_.settings();
    lab.qcBaselineRuns = baselineRuns_->value();
    lab.qcRequireDaily = daily_->isChecked();
    return lab;
}

void QcPage::refresh() {
    struct Read {
        bool opened = false;
        std::string problem;  // the register cannot be opened
        std::string error;    // the history cannot be read
        xmca::qc::History history;
        bool newBaselineSinceLatest = false;  // the latest run belongs to an older baseline
        std::string reason;
    };
    const xmca::LabSettings lab = currentSettings();
    const std::string key = detector();
    const std::string name = xmca::installationName(lab);
    detector_->setText(key == name ? tr("Detector: %1").arg(q(key))
                                   : tr("Detector: %1 (installation now named %2)").arg(q(key), q(name)));
    const QString where = lab_.registerLocation();
    lab_.request<Read>(
        this,
        [lab, key](RegisterAccess& a) {
            Read out;
            auto* reg = a.reg();
            out.opened = reg != nullptr;
            if (!reg) {
                out.problem = a.error();
                return out;
            }
            if (!xmca::loadQcHistory(*reg, key, out.history, out.error, xmca::qcSettings(lab).halfLifeYears) &&
                out.error.empty())
                out.error = "the QC history cannot be read";
            xmca::reg::QcBaseline newest;
            bool haveBaseline = false;
            std::string ignored;
            out.newBaselineSinceLatest = !out.history.runs.empty() &&
                                         reg->latestQcBaseline(key, newest, haveBaseline, ignored) && haveBaseline &&
                                         out.history.runs.back().baselineId != newest.id;
            out.reason = xmca::qcLockoutReason(reg, lab);
            return out;
        },
        [this, where](Read r) {
            if (!r.opened) {
                lockoutReason_ = q(std::string(xmca::kQcUnknown));
                message(tr("The register %1 cannot be used: %2").arg(where, q(r.problem)), true);
                lockout_->setText(tr("Screening verdicts withheld: %1").arg(xmca::ui::statusText(std::string(xmca::kQcUnknown))));
                lockout_->show();
                return;
            }
            if (!r.error.empty()) message(q(r.error), true);
            chart_->setHistory(r.history);
            // Until a run is made here: the latest recorded one, with the reason it was
            // given (after a new baseline, that baseline: no run of it yet).
            if (!last_ && !r.history.runs.empty() && !r.newBaselineSinceLatest) {
                const xmca::qc::HistoryRun& latest = r.history.runs.back();
                status_->setText(tr("Latest run %1 (%2): %3")
                                     .arg(latest.id)
                                     .arg(q(latest.createdUtc))
                                     .arg(QCoreApplication::translate("xmca::display",
                                                                      xmca::qc::statusName(latest.status))));
                status_->setStyleSheet(QStringLiteral("color: %1;").arg(colourOf(latest.status)));
                reasons_->setText(q(latest.reason));
                reasons_->setStyleSheet(QStringLiteral("color: %1;").arg(colourOf(latest.status)));
            }
            lockoutReason_ = q(r.reason);
            lockout_->setText(tr("Screening verdicts withheld: %1").arg(xmca::ui::statusText(r.reason)));
            lockout_->setVisible(!r.reason.empty());
        });
}

QString QcPage::askSpectrum(const QString& title) {
    return dialogs_.chooseFile(PageDialogs::spectrumToOpen(title, q(xmca::dataFolder(lab_.settings()))));
}

void QcPage::chooseBackground() {
    const QString p = askSpectrum(tr("Open background spectrum"));
    if (!p.isEmpty()) setBackground(p);
}

void QcPage::setBackground(const QString& path) {
    bgPath_ = path;
    bgFile_->setText(path);
}

void QcPage::readCheck() {
    const QString p = askSpectrum(tr("Open check-source spectrum"));
    if (!p.isEmpty()) measureFile(p);
}

void QcPage::acquireCheck() {
    const auto tenths = xmca::settings::presetTenthsFromSeconds(s8(seconds_->text()));
    if (!tenths || *tenths <= 0) {
        message(tr("Counting time: enter seconds, e.g. 300."), true);
        seconds_->setFocus();
        return;
    }
    // The check source on the simulated analyser's detector (it may have counted a
    // background without it).
    acquire_->setEnabled(false);  // until the run has started or could not
    read_->setEnabled(false);
    const std::int32_t preset = *tenths;
    QPointer<QcPage> self(this);
    AnalyserSession::RunRequest run;
    run.tenths = preset;
    run.sampleOnDetector = true;
    run.sampleId = "QC";
    run.comment = "check source";
    runTicket_ = session_.startRun(
        run,
        [self] {
            if (!self) return;
            self->acquiring_ = true;
            self->stop_->setEnabled(true);
        },
        [self, preset](const QString& failed) {
            if (!self) return;
            if (!failed.isEmpty()) {
                self->acquiring_ = false;
                self->acquire_->setEnabled(true);
                self->read_->setEnabled(true);
                self->stop_->setEnabled(false);
                self->message(failed, true);
                return;
            }
            self->message(tr("Counting the check source for %1 s...").arg(preset / 10.0));
        });
}

void QcPage::stopRun() {
    if (acquiring_) session_.stop();
}

void QcPage::onRunFinished(int ticket, bool atPreset) {
    if (!acquiring_ || ticket != runTicket_) return;  // a run of another page
    acquiring_ = false;
    acquire_->setEnabled(true);
    read_->setEnabled(true);
    stop_->setEnabled(false);
    if (!atPreset) {
        message(tr("Stopped before the preset: the run is not recorded."), true);
        return;
    }
    // Saved first, so the register can name the spectrum it judged.
    const QString folder = QDir(q(xmca::dataFolder(lab_.settings()))).filePath(QStringLiteral("qc"));
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral("-check.dat"));
    if (const QString failed = doc_.writeSpectrum(path); !failed.isEmpty()) {
        message(tr("The spectrum could not be saved in %1.").arg(folder) + QLatin1Char(' ') +
                    xmca::ui::statusText(failed),
                true);
        return;
    }
    measureFile(path);
}

bool QcPage::measureFile(const QString& path) {
    const xmca::QcFileMeasurement m = xmca::measureCheckFiles(s8(path), s8(bgPath_));
    if (!m.ok) {
        message(xmca::ui::statusText(m.error), true);
        return false;
    }
    struct Recorded {
        bool ok = false;
        std::string problem;  // the register cannot be opened
        std::string error;
        xmca::QcRecordOutcome out;
    };
    if (!bindDetector()) message(tr("The QC settings could not be saved."), true);
    const xmca::LabSettings lab = currentSettings();
    const xmca::QcSettings settings = xmca::qcSettings(lab);
    const std::string key = detector();
    const QString where = lab_.registerLocation();
    const QString name = QFileInfo(path).fileName();
    lab_.request<Recorded>(
        this,
        [m, lab, settings, key](RegisterAccess& a) {
            Recorded r;
            auto* reg = a.reg();
            if (!reg) {
                r.problem = a.error();
                return r;
            }
            r.ok = xmca::recordQcRun(*reg, m, key, lab.operatorName, settings, false, r.out, r.error);
            return r;
        },
        [this, where, name](Recorded r) {
            if (!r.problem.empty()) {
                message(tr("The register %1 cannot be used: %2").arg(where, q(r.problem)), true);
                refresh();
                return;
            }
            if (!r.ok) {
                message(tr("The run could not be recorded: %1").arg(xmca::ui::statusText(r.error)), true);
                return;
            }
            last_ = r.out;
            showRun();
            message(tr("Recorded QC run %1 (%2)").arg(r.out.run.id).arg(name));
            refresh();
            emit qcChanged();
        });
    return true;
}

void QcPage::startBaseline() {
    const int runs = baselineRuns_->value();
    const QString question =
        tr("Start a new baseline for the detector %1?\n\nDo this only after the detector was recalibrated: the "
           "next %n run(s) form new control limits, and a QC lock-out of the old baseline is lifted.",
           nullptr, runs)
            .arg(q(detector()));
    if (!dialogs_.confirm(tr("Start a new baseline"), question)) return;
    if (!bindDetector()) message(tr("The QC settings could not be saved."), true);
    const std::string key = detector();
    const QString where = lab_.registerLocation();
    struct Started {
        std::string problem;
        std::string error;
        bool ok = false;
    };
    lab_.request<Started>(
        this,
        [key, runs](RegisterAccess& a) {
            Started s;
            auto* reg = a.reg();
            if (!reg) {
                s.problem = a.error();
                return s;
            }
            xmca::reg::QcBaseline b;
            s.ok = xmca::startQcBaseline(*reg, key, runs, "started on the QC page", b, s.error);
            return s;
        },
        [this, where, runs](Started s) {
            if (!s.problem.empty()) {
                message(tr("The register %1 cannot be used: %2").arg(where, q(s.problem)), true);
                return;
            }
            if (!s.ok) {
                message(tr("The new baseline could not be recorded: %1").arg(q(s.error)), true);
                return;
            }
            // The red state belonged to the old baseline.
            last_.reset();
            status_->setText(tr("New baseline: no run yet"));
            status_->setStyleSheet(QString());
            reasons_->clear();
            figures_->clear();
            baseline_->clear();
            message(tr("New baseline started: the next %n run(s) form its control limits.", nullptr, runs));
            refresh();
            emit qcChanged();
        });
}

void QcPage::showRun() {
    if (!last_) return;
    const xmca::QcRecordOutcome& o = *last_;
    const auto status = xmca::qc::statusFromName(o.run.status).value_or(xmca::qc::Status::Action);
    QString word;
    switch (status) {
        case xmca::qc::Status::Baseline:
            word = o.baselineAccepted ? tr("Baseline run %1 of %2: the baseline is accepted").arg(o.baseline.n).arg(o.nRequired)
                   : o.baseline.n >= o.nRequired
                       ? tr("Baseline run %1 (%2 needed): the baseline goes on").arg(o.baseline.n).arg(o.nRequired)
                       : tr("Baseline run %1 of %2").arg(o.baseline.n).arg(o.nRequired);
            break;
        case xmca::qc::Status::Ok: word = tr("OK"); break;
        case xmca::qc::Status::Warning: word = tr("Warning"); break;
        case xmca::qc::Status::Action: word = tr("Action: recalibrate, then start a new baseline"); break;
    }
    QStringList reasons;
    for (const auto& why : o.assessment.reasons) reasons << reasonWords(why);
    status_->setText(word);
    status_->setStyleSheet(QStringLiteral("color: %1;").arg(colourOf(status)));
    reasons_->setText(reasons.join(QStringLiteral("; ")));
    reasons_->setStyleSheet(QStringLiteral("color: %1;").arg(colourOf(status)));
    QString f = tr("Peak channel: %1 +/- %2   FWHM: %3 +/- %4 %\nNet rate: %5 +/- %6 cps (decay-corrected %7 cps)")
                    .arg(*o.run.peakChannel, 0, 'f', 2)
                    .arg(o.run.peakChannelU.value_or(0), 0, 'f', 2)
                    .arg(*o.run.fwhmPercent, 0, 'f', 2)
                    .arg(o.run.fwhmPercentU.value_or(0), 0, 'f', 2)
                    .arg(*o.run.netRateCps, 0, 'f', 2)
                    .arg(o.run.netRateU.value_or(0), 0, 'f', 2)
                    .arg(o.netRateCorrectedCps, 0, 'f', 2);
    f += QStringLiteral("   ") + (o.run.backgroundRateCps
                                     ? tr("Background: %1 cps").arg(*o.run.backgroundRateCps, 0, 'f', 3)
                                     : tr("Background: none"));
    figures_->setText(f);
    const auto& b = o.baseline;
    baseline_->setText(tr("Baseline (%1 run(s)): peak %2, sigma %3; FWHM %4 %, sigma %5; net rate %6 cps, sigma %7")
                           .arg(b.n)
                           .arg(b.peakChannel.mean, 0, 'f', 2)
                           .arg(b.peakChannel.sigma, 0, 'f', 2)
                           .arg(b.fwhmPercent.mean, 0, 'f', 2)
                           .arg(b.fwhmPercent.sigma, 0, 'f', 2)
                           .arg(b.netRateCps.mean, 0, 'f', 1)
                           .arg(b.netRateCps.sigma, 0, 'f', 1));
}
