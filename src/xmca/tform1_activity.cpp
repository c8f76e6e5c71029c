// Activity section of the main window: the "Calic" menu steps, "  Bq. Calic" and
// "Re Calic" on the activity page, and the page's screening figures. The handlers
// call the core in model/bq_calic and model/screening and show what it returns.
#include <QFile>
#include <cstdio>

#include "model/bq_calic.h"
#include "model/screening.h"
#include "model/settings_io.h"
#include "tform1.h"
#include "window_language.h"
#include "ui_tform1.h"

namespace {

QString fixed1(double v) { return QString::asprintf("%.1f", v); }

}  // namespace

void TForm1::wireActivity() {
    connect(ui->DataComp1, &QAction::triggered, this, &TForm1::DataComp1Click);
    connect(ui->DataSmooth1, &QAction::triggered, this, &TForm1::DataSmmth);
    connect(ui->BGSubtruct1, &QAction::triggered, this, &TForm1::BGSubtruct1Click);
    connect(ui->PeakFind1, &QAction::triggered, this, &TForm1::PeakFund);
    connect(ui->BqCalic1, &QAction::triggered, this, &TForm1::BqCalic1Click);
    connect(ui->BqCalic, &QPushButton::clicked, this, &TForm1::BqCalicClick);
    connect(ui->ExpertMode, &QPushButton::clicked, this, &TForm1::ExpertModeClick);
    connect(ui->ScreenLevel, &QLineEdit::textEdited, this, &TForm1::ScreenLevelChange);
    connect(ui->LowerLimit, &QLineEdit::textEdited, this, &TForm1::LowerLimitChange);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(8);
    ui->ScreenResult->setFont(mono);
}

void TForm1::checkMemButton() {
    switch (state_.selectedSource) {
        case 1: ui->Mem1Spec->setChecked(true); break;
        case 2: ui->Mem2Spec->setChecked(true); break;
        case 3: ui->Mem3Spec->setChecked(true); break;
        default: ui->McaMem->setChecked(true); break;
    }
}

// --- single steps of the "Calic" menu ---

void TForm1::DataComp1Click() {
    syncSelectedSource();
    xmca::dataCompress(state_);
    PaintBox1Paint();
}

void TForm1::DataSmmth() {
    syncSelectedSource();
    xmca::dataSmooth(state_);
    PaintBox1Paint();
}

void TForm1::BGSubtruct1Click() {
    syncSelectedSource();
    const std::string msg = xmca::subtractBackgroundMemories(state_);
    if (!msg.empty()) {
        showStatus(QString::fromStdString(msg));
        return;
    }
    checkMemButton();
}

void TForm1::PeakFund() { xmca::peakFindCopy(state_); }

// --- the full computation ---

void TForm1::BqCalic1Click() {
    syncSelectedSource();
    // Without a chosen background file the file reader asks for one.
    const xmca::AskFile ask = [this]() -> std::optional<std::string> {
        const QString path = askFile(PageDialogs::Kind::OpenSpectrum);
        if (path.isEmpty()) return std::nullopt;
        return QFile::encodeName(path).toStdString();
    };
    afterCalic(xmca::bqCalic(state_, ask));
}

void TForm1::BqCalicClick() {
    BqCalic1Click();
    ExpandClick();
    PaintBox1Paint();
}

void TForm1::ExpertModeClick() { afterCalic(xmca::reCalic(state_)); }

void TForm1::afterCalic(const xmca::CalicOutcome& out) {
    if (out.stopped) return;  // background file not opened: nothing changed
    if (out.computed) withholdForQc();
    if (!out.edit1.empty())
        showStatus(QString::fromStdString(out.edit1));
    else if (out.computed && !state_.activity.screening.gain.ok)
        showStatus(QString::fromStdString(state_.activity.screening.gain.warning));
    updateWindowLabels();
    checkMemButton();
    showActivityResults();
    PaintBox1Paint();
}

// --- screening settings ---

void TForm1::ScreenLevelChange() {
    const auto v = xmca::settings::parseReal(ui->ScreenLevel->text().toStdString());
    if (!v || *v < 0) {
        showStatus(QStringLiteral("Error ! Screening Level"));
        return;
    }
    state_.screeningSettings.level = *v;
    xmca::updateVerdict(state_.activity, state_.screeningSettings);
    showActivityResults();
}

void TForm1::LowerLimitChange() {
    const auto v = xmca::settings::parseReal(ui->LowerLimit->text().toStdString());
    if (!v || *v <= 0) {
        showStatus(QStringLiteral("Error ! Lower Limit"));
        return;
    }
    state_.screeningSettings.lowerLimit = *v;
    xmca::updateVerdict(state_.activity, state_.screeningSettings);
    showActivityResults();
}

void TForm1::showActivityResults() {
    // The same test as the plot's box and the report: the record's figures only
    // beside the spectrum they were computed on, all of them or none.
    if (!xmca::resultsShown(state_)) {
        ui->ScreenResult->clear();
        ui->ScreenVerdict->clear();
        return;
    }
    const xmca::ActivityResult& res = state_.activity;
    const xmca::ScreeningResult& sc = res.screening;
    auto rows = [this](const char* label, const xmca::limits::WindowLimits& l) {
        return QString::asprintf("%-6s %7.1f ", label, l.activity) + tr("u(k=1)") +
               QString::asprintf("%6.1f", l.uncertainty) + "\n" +
               QString::asprintf("  DT %5.1f DL %5.1f%s", l.decisionThreshold, l.detectionLimit,
                                 l.belowDecisionThreshold ? " < DL" : "");
    };
    auto figure = [this, &res](int row) {
        const xmca::activity::Figure& f = res.activity[static_cast<std::size_t>(row)];
        return QString::asprintf("%-6s %7.1f ", xmca::kActivityRowLabels[row], static_cast<double>(f.bqPerKg)) +
               tr("sd") + QString::asprintf("%6.1f", static_cast<double>(f.sigma));
    };
    QString text;
    if (sc.valid)
        // LM is Cs-All's lower limit of measurement: it stands in Cs-All's block.
        text = rows("Cs-All", sc.csTotal) + "\n" + "  LM " + fixed1(sc.csTotal.lowerLimitOfMeasurement) +
               " Bq/Kg\n" + rows("Cs-134", sc.cs134) + "\n" + xmca::ui::statusText(sc.gain.ok ? std::string("Gain OK") : sc.gain.warning) + "\n";
    else
        text = figure(xmca::kRowCsAll) + "\n" + figure(xmca::kRowCs134) + "\n";
    text += figure(xmca::kRowCs137) + "\n" + figure(xmca::kRowK40) + "\n";
    text += (res.baseline ? tr("Method: Re Calic, baseline subtracted") : tr("Method: Bq Calic, no baseline")) + "\n";
    text += tr("Sample: %1").arg(QString::fromStdString(res.sampleName)) + "\n" +
            tr("BG: %1").arg(QString::fromStdString(res.backgroundName));
    ui->ScreenResult->setText(text);
    ui->ScreenResult->setToolTip(xmca::ui::statusText(xmca::inputsText(res)));

    QString verdict = xmca::ui::verdictText(QString::fromStdString(xmca::verdictText(res)));
    if (sc.valid && sc.withheld.empty() && sc.verdict == xmca::limits::Verdict::LowerLimitNotMet)
        verdict += sc.countTimeNeeded ? ": " + QString::fromStdString(xmca::countTimeText(sc.countTimeNeeded))
                                      : ": " + tr("count the background longer");
    const xmca::TColor c = sc.valid ? xmca::verdictColour(sc) : 0x00808080;
    ui->ScreenVerdict->setText(verdict);
    ui->ScreenVerdict->setStyleSheet(QString::asprintf("color: #%02x%02x%02x; font-weight: bold;", c & 0xFF,
                                                       (c >> 8) & 0xFF, (c >> 16) & 0xFF));
}
