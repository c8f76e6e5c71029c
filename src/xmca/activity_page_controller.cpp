#include "xmca/activity_page_controller.h"

#include <QFile>
#include <QFont>
#include <optional>

#include "model/bq_calic.h"
#include "model/qc_log.h"
#include "model/screening.h"
#include "model/settings_io.h"
#include "xmca/lab_context.h"
#include "xmca/mem_source.h"
#include "xmca/page_dialogs.h"
#include "xmca/window_language.h"

namespace {

QString fixed1(double v) { return QString::asprintf("%.1f", v); }

}  // namespace

ActivityPage::ActivityPage(Ui::TForm1& ui, xmca::MeasurementState& state, LabContext& lab, PageDialogs& dialogs,
                           QObject* parent)
    : QObject(parent), ui_(ui), state_(state), lab_(lab), dialogs_(dialogs) {
    connect(ui_.DataComp1, &QAction::triggered, this, &ActivityPage::dataCompress);
    connect(ui_.DataSmooth1, &QAction::triggered, this, &ActivityPage::dataSmooth);
    connect(ui_.BGSubtruct1, &QAction::triggered, this, &ActivityPage::subtractBackground);
    connect(ui_.PeakFind1, &QAction::triggered, this, &ActivityPage::peakFind);
    connect(ui_.BqCalic1, &QAction::triggered, this, &ActivityPage::bqCalic);
    connect(ui_.BqCalic, &QPushButton::clicked, this, &ActivityPage::bqCalicAndExpand);
    connect(ui_.ExpertMode, &QPushButton::clicked, this, &ActivityPage::reCalic);
    connect(ui_.ScreenLevel, &QLineEdit::textEdited, this, &ActivityPage::screenLevelChanged);
    connect(ui_.LowerLimit, &QLineEdit::textEdited, this, &ActivityPage::lowerLimitChanged);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(8);
    ui_.ScreenResult->setFont(mono);
}

// --- single steps of the "Calic" menu ---

void ActivityPage::dataCompress() {
    xmca::ui::syncSelectedSource(ui_, state_);
    xmca::dataCompress(state_);
    emit repaintRequested();
}

void ActivityPage::dataSmooth() {
    xmca::ui::syncSelectedSource(ui_, state_);
    xmca::dataSmooth(state_);
    emit repaintRequested();
}

void ActivityPage::subtractBackground() {
    xmca::ui::syncSelectedSource(ui_, state_);
    const std::string msg = xmca::subtractBackgroundMemories(state_);
    if (!msg.empty()) {
        emit status(QString::fromStdString(msg));
        return;
    }
    xmca::ui::checkSelectedSource(ui_, state_);
}

void ActivityPage::peakFind() { xmca::peakFindCopy(state_); }

// --- the full computation ---

void ActivityPage::bqCalic() {
    xmca::ui::syncSelectedSource(ui_, state_);
    // Without a chosen background file the file reader asks for one.
    const xmca::AskFile ask = [this]() -> std::optional<std::string> {
        PageDialogs::FileQuestion q;
        q.kind = PageDialogs::Kind::OpenSpectrum;
        q.filter = tr("spectrum(*.dat)");
        q.suffix = QStringLiteral("dat");
        const QString path = dialogs_.chooseFile(q);
        if (path.isEmpty()) return std::nullopt;
        return QFile::encodeName(path).toStdString();
    };
    afterCalic(xmca::bqCalic(state_, ask));
}

void ActivityPage::bqCalicAndExpand() {
    bqCalic();
    emit expandRequested();
    emit repaintRequested();
}

void ActivityPage::reCalic() { afterCalic(xmca::reCalic(state_)); }

void ActivityPage::afterCalic(const xmca::CalicOutcome& out) {
    if (out.stopped) return;  // background file not opened: nothing changed
    if (out.computed) withholdForQc();
    if (!out.edit1.empty())
        emit status(QString::fromStdString(out.edit1));
    else if (out.computed && !state_.activity.screening.gain.ok)
        emit status(QString::fromStdString(state_.activity.screening.gain.warning));
    emit labelsChanged();
    xmca::ui::checkSelectedSource(ui_, state_);
    showResults();
    emit repaintRequested();
}

void ActivityPage::withholdForQc() {
    // Withheld until the register's QC state has been read on the register thread,
    // so that no unchecked verdict is shown, printed or exported meanwhile. A verdict
    // withheld for a reason of its own stays withheld; a QC lock-out then becomes the
    // reason shown, since it goes before every other.
    const int check = ++qcCheck_;
    const bool provisional = state_.activity.screening.withheld.empty();
    if (provisional) xmca::withholdVerdict(state_.activity, xmca::kQcUnknown);
    lab_.request<std::string>(
        this, [lab = lab_.settings()](RegisterAccess& a) { return xmca::qcLockoutReason(a.reg(), lab); },
        [this, check, provisional](std::string reason) {
            xmca::ScreeningResult& sc = state_.activity.screening;
            if (check != qcCheck_) return;  // computed again since
            if (provisional) {
                if (sc.withheld != xmca::kQcUnknown) return;
                sc.withheld.clear();
                xmca::updateVerdict(state_.activity, state_.screeningSettings);
            }
            if (!reason.empty()) xmca::withholdVerdict(state_.activity, reason);
            showResults();
            emit repaintRequested();
        });
}

// --- screening settings ---

void ActivityPage::screenLevelChanged() {
    const auto v = xmca::settings::parseReal(ui_.ScreenLevel->text().toStdString());
    if (!v || *v < 0) {
        emit status(QStringLiteral("Error ! Screening Level"));
        return;
    }
    state_.screeningSettings.level = *v;
    xmca::updateVerdict(state_.activity, state_.screeningSettings);
    showResults();
}

void ActivityPage::lowerLimitChanged() {
    const auto v = xmca::settings::parseReal(ui_.LowerLimit->text().toStdString());
    if (!v || *v <= 0) {
        emit status(QStringLiteral("Error ! Lower Limit"));
        return;
    }
    state_.screeningSettings.lowerLimit = *v;
    xmca::updateVerdict(state_.activity, state_.screeningSettings);
    showResults();
}

// --- the page's figures ---

void ActivityPage::showResults() {
    // The same test as the plot's box and the report: the record's figures only
    // beside the spectrum they were computed on, all of them or none.
    if (!xmca::resultsShown(state_)) {
        ui_.ScreenResult->clear();
        ui_.ScreenVerdict->clear();
        return;
    }
    const xmca::ActivityResult& res = state_.activity;
    const xmca::ScreeningResult& sc = res.screening;
    auto rows = [](const char* label, const xmca::limits::WindowLimits& l) {
        return QString::asprintf("%-6s %7.1f ", label, l.activity) + tr("u(k=1)") +
               QString::asprintf("%6.1f", l.uncertainty) + "\n" +
               QString::asprintf("  DT %5.1f DL %5.1f%s", l.decisionThreshold, l.detectionLimit,
                                 l.belowDecisionThreshold ? " < DL" : "");
    };
    auto figure = [&res](int row) {
        const xmca::activity::Figure& f = res.activity[static_cast<std::size_t>(row)];
        return QString::asprintf("%-6s %7.1f ", xmca::kActivityRowLabels[row], static_cast<double>(f.bqPerKg)) +
               tr("sd") + QString::asprintf("%6.1f", static_cast<double>(f.sigma));
    };
    QString text;
    if (sc.valid)
        // LM is Cs-All's lower limit of measurement: it stands in Cs-All's block.
        text = rows("Cs-All", sc.csTotal) + "\n" + "  LM " + fixed1(sc.csTotal.lowerLimitOfMeasurement) +
               " Bq/Kg\n" + rows("Cs-134", sc.cs134) + "\n" +
               xmca::ui::statusText(sc.gain.ok ? std::string("Gain OK") : sc.gain.warning) + "\n";
    else
        text = figure(xmca::kRowCsAll) + "\n" + figure(xmca::kRowCs134) + "\n";
    text += figure(xmca::kRowCs137) + "\n" + figure(xmca::kRowK40) + "\n";
    text += (res.baseline ? tr("Method: Re Calic, baseline subtracted") : tr("Method: Bq Calic, no baseline")) + "\n";
    text += tr("Sample: %1").arg(QString::fromStdString(res.sampleName)) + "\n" +
            tr("BG: %1").arg(QString::fromStdString(res.backgroundName));
    ui_.ScreenResult->setText(text);
    ui_.ScreenResult->setToolTip(xmca::ui::statusText(xmca::inputsText(res)));

    QString verdict = xmca::ui::verdictText(QString::fromStdString(xmca::verdictText(res)));
    if (sc.valid && sc.withheld.empty() && sc.verdict == xmca::limits::Verdict::LowerLimitNotMet)
        verdict += sc.countTimeNeeded ? ": " + QString::fromStdString(xmca::countTimeText(sc.countTimeNeeded))
                                      : ": " + tr("count the background longer");
    const xmca::TColor c = sc.valid ? xmca::verdictColour(sc) : 0x00808080;
    ui_.ScreenVerdict->setText(verdict);
    ui_.ScreenVerdict->setStyleSheet(QString::asprintf("color: #%02x%02x%02x; font-weight: bold;", c & 0xFF,
                                                       (c >> 8) & 0xFF, (c >> 16) & 0xFF));
}
