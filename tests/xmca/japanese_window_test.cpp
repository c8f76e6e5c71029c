// The window in Japanese: the language choice, the captions of the main window and
// of each dialog with the Japanese translation installed, the status and result texts
// the core returns translated at the window's edge, and every caption fitting its
// place. Each test puts English back, so the other window tests stay English.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabBar>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>

#include "analysis/activity_calc.h"
#include "analysis/char_limits.h"
#include "analysis/energy_calibration.h"
#include "dlgzelm/tzelm_setup.h"
#include "helpabout/tmca_about.h"
#include "model/bq_calic.h"
#include "model/measurement_state.h"
#include "model/memory_spectra.h"
#include "model/roi_table.h"
#include "model/qc_log.h"
#include "register/register.h"
#include "report/screening_report.h"
#include "model/screening.h"
#include "model/spectrum_io.h"
#include "files/temp_dir.h"
#include "support/scripted_analyser.h"
#include "support/simulated_spectra.h"
#include "ui_tform1.h"
#include "ui_tzelm_setup.h"
#include "ui_txmca1_setup.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"
#include "xmca/window_language.h"
#include "xmca1/txmca1_setup.h"

namespace {

using xmca::ui::statusText;

bool hasJapanese(const QString& s) {
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF)) return true;
    }
    return false;
}

class Japanese : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(xmca::ui::installLanguage("ja")); }
    void TearDown() override { xmca::ui::installLanguage("en"); }

    static std::unique_ptr<TForm1> window(std::shared_ptr<PageDialogs> dialogs = {}) {
        TForm1::Options o;
        o.dialogs = std::move(dialogs);
        return std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), o);
    }
};

// Every visible caption is at least as wide as it asks to be (a clipped one is not).
// With XMCA_SHOT_DIR set, the widget is also saved there as <name>.png.
void expectCaptionsFit(QWidget& top, const QString& name) {
    top.show();
    if (!qobject_cast<QMainWindow*>(&top)) top.adjustSize();
    if (top.layout()) top.layout()->activate();
    QCoreApplication::processEvents();
    if (const char* dir = std::getenv("XMCA_SHOT_DIR")) top.grab().save(QDir(dir).filePath(name + ".png"));
    for (QAbstractButton* b : top.findChildren<QAbstractButton*>()) {
        if (!b->isVisible() || b->text().isEmpty()) continue;
        EXPECT_GE(b->width(), b->minimumSizeHint().width()) << name.toStdString() << ": " << b->text().toStdString();
    }
    for (QLabel* l : top.findChildren<QLabel*>()) {
        if (!l->isVisible() || l->text().isEmpty() || l->wordWrap()) continue;
        EXPECT_GE(l->width(), l->sizeHint().width()) << name.toStdString() << ": " << l->text().toStdString();
    }
    // Tabs that do not all fit get scroll arrows and hide some of their titles.
    for (QTabWidget* t : top.findChildren<QTabWidget*>()) {
        if (!t->isVisible()) continue;
        QTabBar* bar = t->tabBar();
        EXPECT_GE(bar->width(), bar->tabRect(bar->count() - 1).right() + 1) << name.toStdString() << ": tabs";
        EXPECT_GE(bar->tabRect(0).left(), 0) << name.toStdString() << ": tabs";
    }
}

// The same pages and dialogs in English.
void expectAllFit(const QString& lang) {
    auto form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), TForm1::Options{});
    Ui::TForm1* ui = form->form();
    for (int i = 0; i < ui->PageControl1->count(); ++i) {
        ui->PageControl1->setCurrentIndex(i);
        expectCaptionsFit(*form, lang + "_main_" + ui->PageControl1->widget(i)->objectName());
    }
    xmca::AcquisitionSettings acq;
    TXMCA1SetUp mca(acq);
    expectCaptionsFit(mca, lang + "_mca_setup");
    xmca::ScanSettings scan;
    TZELMSetUp zelm(scan);
    expectCaptionsFit(zelm, lang + "_zelm_setup");
    TMcaAbout about;
    expectCaptionsFit(about, lang + "_about");
}

TEST(WindowLanguage, FromLocaleOrOverride) {
    const QLocale ja(QLocale::Japanese, QLocale::Japan);
    const QLocale c = QLocale::c();
    EXPECT_EQ(xmca::ui::chooseLanguage("", ja), "ja");
    EXPECT_EQ(xmca::ui::chooseLanguage("", c), "en");
    EXPECT_EQ(xmca::ui::chooseLanguage("", QLocale(QLocale::German, QLocale::Germany)), "en");
    EXPECT_EQ(xmca::ui::chooseLanguage("en", ja), "en");
    EXPECT_EQ(xmca::ui::chooseLanguage("ja", c), "ja");
    EXPECT_EQ(xmca::ui::chooseLanguage("de", ja), "ja");  // not a language of ours: the locale's

    // No translation for a language: refused, the window stays English.
    EXPECT_FALSE(xmca::ui::installLanguage("xx"));
    EXPECT_EQ(xmca::ui::currentLanguage(), "en");
    EXPECT_EQ(statusText(std::string(xmca::kFileWriteError)), xmca::kFileWriteError);
}

TEST_F(Japanese, MainWindowCaptionsMenusAndTooltips) {
    auto form = window();
    Ui::TForm1* ui = form->form();
    EXPECT_EQ(ui->McaStart->text(), "開始");
    EXPECT_EQ(ui->McaOpen->text(), "MCA接続");
    EXPECT_EQ(ui->LowerLimitLabel->text(), "測定下限値");
    EXPECT_EQ(ui->File1->title(), "ファイル(&F)");
    for (int i = 0; i < ui->PageControl1->count(); ++i) {
        const QString t = ui->PageControl1->tabText(i);
        if (t != "MCA" && t != "ROI") {
            EXPECT_TRUE(hasJapanese(t)) << t.toStdString();
        }
    }
    for (QMenu* m : ui->MainMenu1->findChildren<QMenu*>()) {
        EXPECT_TRUE(hasJapanese(m->title())) << m->title().toStdString();
        for (QAction* a : m->actions())
            if (!a->isSeparator()) {
                EXPECT_TRUE(hasJapanese(a->text())) << a->text().toStdString();
            }
    }
    // The cryptic buttons keep their captions and explain themselves in a tooltip.
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{ui->Expand, ui->Compres, ui->LengCh, ui->HengCh,
                                                                      ui->AutoVfs, ui->SnapPeak, ui->ROILowCh,
                                                                      ui->ROIHighCh})
        EXPECT_TRUE(hasJapanese(b->toolTip())) << b->objectName().toStdString();
    EXPECT_EQ(ui->Expand->text(), "<< >>");
    // Numbers and units stay as they are.
    EXPECT_EQ(ui->Label9->text(), "keV");
    EXPECT_EQ(ui->ScreenLevel->text(), "50");

    // The status box shows the core's English message in Japanese.
    form->showStatus(QString::fromStdString(xmca::emptyMemoryText(2)));
    EXPECT_EQ(ui->Edit1->text(), "エラー！ Mem2 は空です");
    form->showStatus("$CX;");  // an analyser command is shown as sent
    EXPECT_EQ(ui->Edit1->text(), "$CX;");
}

TEST_F(Japanese, DialogCaptions) {
    xmca::AcquisitionSettings acq;
    TXMCA1SetUp mca(acq);
    EXPECT_EQ(mca.windowTitle(), "MCA 設定");
    EXPECT_EQ(mca.form()->PresetRTLabel->text(), "プリセット時間");
    EXPECT_EQ(mca.form()->CancelButton->text(), "キャンセル");
    EXPECT_EQ(mca.form()->m2048ch->text(), "2048 ch");

    xmca::ScanSettings scan;
    TZELMSetUp zelm(scan);
    EXPECT_EQ(zelm.windowTitle(), "ZELM 設定");
    EXPECT_EQ(zelm.form()->DispRefTimerLabel->text(), "表示更新間隔");

    TMcaAbout about;
    EXPECT_EQ(about.windowTitle(), "バージョン情報");
    EXPECT_TRUE(about.findChild<QLabel*>("Version")->text().startsWith("バージョン "));
    EXPECT_TRUE(hasJapanese(about.findChild<QLabel*>("Standards")->text()));
}

// The core's messages and result lines, as the core writes them, all come out in
// Japanese; a core text changed without its translation fails here.
TEST_F(Japanese, CoreTextsTranslatedAtTheEdge) {
    const std::string fixed[] = {xmca::kFileWriteError,     xmca::kMemoryTooSmall,        xmca::kOutputIsInput,
                                 xmca::kNoSampleSpectrum,   xmca::kNoBackgroundSpectrum,  xmca::kChannelMismatch,
                                 xmca::kSampleRealTimeZero, xmca::kBackgroundRealTimeZero, xmca::kCalibLowChError,
                                 xmca::kCalibHighChError,   xmca::kCalibLowEngError,      xmca::kCalibHighEngError,
                                 xmca::kCalibSameChError,   xmca::kCalibGainError,        xmca::emptyMemoryText(3),
                                 xmca::lowChEditMessage("x"),               xmca::highChEditMessage("x"),
                                 "Error ! SetChannelCount 8192 ch: no analyser command"};
    for (const std::string& m : fixed) EXPECT_TRUE(hasJapanese(statusText(m))) << m;
    xmca::MeasurementState state;
    xmca::RoiEditors bad;
    bad.low = "x";
    EXPECT_TRUE(hasJapanese(statusText(xmca::storeRoi(state, 99, true, bad))));
    EXPECT_TRUE(hasJapanese(statusText(xmca::storeRoi(state, 1, true, bad))));
    for (auto v : {xmca::limits::Verdict::LowerLimitNotMet, xmca::limits::Verdict::BelowLevel,
                   xmca::limits::Verdict::AboveLevel})
        EXPECT_TRUE(hasJapanese(xmca::ui::verdictText(xmca::limits::verdictText(v)))) << xmca::limits::verdictText(v);
    const std::string counts[] = {std::string(xmca::kSampleBadCounts) + " (channel 17)",
                                  std::string(xmca::kBackgroundBadCounts) + " (channel 17)"};
    for (const std::string& m : counts) {
        EXPECT_TRUE(hasJapanese(statusText(m))) << m;
        EXPECT_TRUE(statusText(m).contains("17")) << m;
    }
    EXPECT_TRUE(hasJapanese(statusText(std::string(xmca::kProcessedSpectrum))));
    EXPECT_TRUE(hasJapanese(statusText(std::string("Error ! Peak Fit Width"))));

    // The refusals of a check spectrum, as the QC record gives them.
    {
        xmca::test::TempDir dir;
        std::string error;
        auto reg = xmca::reg::openRegister(dir.file("r.sqlite"), error);
        ASSERT_TRUE(reg) << error;
        xmca::QcFileMeasurement m;
        m.ok = true;
        m.checkFile = "c.dat";
        m.checkSha256 = std::string(64, 'a');
        m.channels = 2048;
        m.figures.values = {660, 7.5, 30};
        m.figures.netCounts = 9000;
        m.figures.checkSeconds = 300;
        xmca::QcRecordOutcome out;
        std::vector<std::string> refusals;
        auto refuse = [&] {
            EXPECT_FALSE(xmca::recordQcRun(*reg, m, "det", "", {}, false, out, error));
            refusals.push_back(error);
        };
        refuse();  // no acquisition start
        m.acquiredUtc = "2999-01-01T00:00:00Z";
        refuse();  // in the future
        m.acquiredUtc = "2026-01-01T00:00:00Z";
        refuse();  // too few net counts
        m.figures.netCounts = 20000;
        ASSERT_TRUE(xmca::recordQcRun(*reg, m, "det", "", {}, false, out, error)) << error;
        refuse();  // the same spectrum again
        m.checkSha256 = std::string(64, 'b');
        m.acquiredUtc = "2025-01-01T00:00:00Z";
        refuse();  // older than the latest run
        for (const std::string& r : refusals) EXPECT_TRUE(hasJapanese(statusText(r))) << r;

        // A check spectrum with no 662 keV peak in it: refused in Japanese, the channels kept.
        xmca::MeasurementState flat;
        flat.spectrum.fill(5);
        flat.liveTime = flat.realTime = flat.presetTimeShown = 3000;
        ASSERT_EQ(xmca::saveSpectrum(flat, dir.file("flat.dat")), "");
        const xmca::QcFileMeasurement none = xmca::measureCheckFiles(dir.file("flat.dat"), "");
        ASSERT_FALSE(none.ok);
        EXPECT_NE(none.error.find("662 keV"), std::string::npos) << none.error;
        EXPECT_TRUE(hasJapanese(statusText(none.error))) << none.error;
        EXPECT_TRUE(statusText(none.error).contains(" 528 ")) << none.error;
    }

    // The screening lines of the printed page's results block: figures stay, words change.
    xmca::ActivityResult r;
    r.valid = true;
    r.haveBackground = true;
    r.sampleRealTime = 600;
    r.backgroundRealTime = 36000;
    r.countingTime = 60.0f;
    r.windows[xmca::kWinCsAll] = {2, "Cs-All", 272, 354, 100, 2, 3000.0};
    r.windows[xmca::kWinCs134] = {3, "Cs-134", 372, 420, 400, 10, 380.0};
    r.windows[xmca::kWinK40] = {1, "K-40", 686, 756, 300, 20, 280.0};
    r.activity = *xmca::activity::activities(2, 100, 10, 400, 20, 300, r.countingTime);
    xmca::computeScreening(r, xmca::ScreeningSettings{});
    // The background's K-40 off its line: the gain warning.
    r.screening.gain.ok = false;
    r.screening.gain.warning = "Check gain: K-40 peak at channel 790";
    xmca::withholdVerdict(r, "check gain", xmca::ReasonRank::Background);
    const auto lines = xmca::screeningLines(r);
    // Inputs and method, Cs-All, Cs-134, Cs-137 with K-40, the limits, the verdict.
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(statusText(lines[1]), QString::fromStdString(lines[1]));  // the Cs-All figures row
    for (std::size_t i : {0u, 3u, 4u, 5u}) EXPECT_TRUE(hasJapanese(statusText(lines[i]))) << lines[i];
    EXPECT_FALSE(statusText(lines[0]).contains("no baseline")) << lines[0];  // the method within it too
    EXPECT_TRUE(statusText(lines[3]).startsWith(QString::fromStdString(lines[3]).section("   (sd:", 0, 0)));
    EXPECT_TRUE(statusText(lines[4]).endsWith("790")) << lines[4];
    EXPECT_TRUE(statusText(lines[5]).startsWith(xmca::ui::verdictText("No verdict - check gain").left(4))) << lines[5];

    // Every withheld verdict, reason and all, and both methods: the words the window
    // shows are Japanese, none of the English reason is left.
    xmca::ActivityResult unlimited;
    unlimited.valid = true;  // figures without characteristic limits
    std::vector<std::string> withheld = {xmca::verdictText(unlimited), xmca::verdictText(r)};
    for (const char* reason : {xmca::kBaselineReason, xmca::kQcActionRequired, xmca::kNoQcToday, xmca::kQcUnknown,
                               "sample below background", "windows need 2048 channels", "check gain", ""}) {
        xmca::ActivityResult w = r;
        w.screening.withheld.clear();
        xmca::withholdVerdict(w, reason);
        withheld.push_back(xmca::verdictText(w));
    }
    for (const std::string& v : withheld) {
        ASSERT_EQ(v.rfind(xmca::kNoVerdict, 0), 0u) << v;
        const QString shown = xmca::ui::verdictText(QString::fromStdString(v));
        EXPECT_TRUE(hasJapanese(shown)) << v;
        const QString reason = QString::fromStdString(v.substr(std::string(xmca::kNoVerdict).size()));
        EXPECT_FALSE(shown.contains(reason)) << v << " -> " << shown.toStdString();
        if (reason.contains("2048")) {
            EXPECT_TRUE(shown.contains("2048")) << v;
        }
    }
    for (const bool baseline : {false, true}) {
        xmca::ActivityResult m = r;
        m.baseline = baseline;
        const std::string method = xmca::methodText(m);
        EXPECT_TRUE(hasJapanese(statusText(method))) << method;
    }

    // A name caught from a message is put back whole, even one holding "%1".
    EXPECT_EQ(statusText(std::string("Error ! cannot open /tmp/a%1b.dat")), "エラー！ /tmp/a%1b.dat を開けません");
    EXPECT_EQ(statusText(std::string("   12.34")), "   12.34");
}

// The activity page with figures: the verdict in Japanese, and the page's texts fit.
TEST_F(Japanese, ActivityPageVerdictAndFigures) {
    xmca::test::TempDir dir;
    auto dialogs = std::make_shared<xmca::test::ScriptedDialogs>();  // no printer
    auto form = window(dialogs);
    Ui::TForm1* ui = form->form();
    QString& next = dialogs->next;
    for (const bool background : {false, true}) {
        xmca::SimulatedAnalyserConfig c;
        c.backgroundOnly = background;
        c.seed = background ? 3 : 4;
        const std::string path = dir.file(background ? "b.dat" : "s.dat");
        ASSERT_TRUE(xmca::test::acquireAndSave(c, 36000, path));
        next = QString::fromStdString(path);
        (background ? ui->BGfile : ui->ReadSpec)->click();
    }
    ui->BqCalic->click();
    ASSERT_TRUE(form->lab().settle());  // the register's QC state read
    ASSERT_TRUE(form->state().activity.valid);
    EXPECT_EQ(ui->ScreenVerdict->text(), "スクリーニングレベル超過 - 要確定検査");
    EXPECT_TRUE(ui->ScreenResult->text().startsWith("Cs-All"));
    // Cs-All (two lines) with its LM, Cs-134 (two lines), the gain line, ..., the method, sample and background.
    EXPECT_TRUE(ui->ScreenResult->text().section('\n', 2, 2).contains("LM"));
    EXPECT_TRUE(ui->ScreenResult->text().section('\n', 3, 3).startsWith("Cs-134"));
    EXPECT_TRUE(hasJapanese(ui->ScreenResult->text().section('\n', 5, 5)));  // the gain line
    EXPECT_TRUE(ui->ScreenResult->text().section('\n', -3, -3).startsWith("方法"));
    ui->PageControl1->setCurrentWidget(ui->BqPage);
    expectCaptionsFit(*form, "ja_main_BqPage_results");

    // The printed page: the results block in Japanese, the report's own texts as they are.
    const std::string pdf = dir.file("report.pdf");
    next = QString::fromStdString(pdf);
    ui->ReportPdf1->trigger();
    std::string text;
    if (FILE* f = popen(("pdftotext -raw '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        pclose(f);
    }
    for (const char* t : {"測定結果", "測定下限値", "Reporting", "Sample"})
        EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
}

TEST_F(Japanese, CaptionsFitOnEveryPageAndDialog) { expectAllFit("ja"); }

TEST(WindowLanguage, EnglishCaptionsFitOnEveryPageAndDialog) { expectAllFit("en"); }

}  // namespace

// The screening report (Screening and History pages): its labels and the verdict as
// the page passes it are Japanese; the record itself keeps the English verdict.
TEST_F(Japanese, ScreeningReportInJapanese) {
    xmca::report::ScreeningReportData data;
    data.record.id = 7;
    data.record.sampleId = "rice-0412";
    data.record.verdict = std::string(xmca::kNoVerdict) + xmca::kQcActionRequired;
    data.record.method = "Bq Calic, no baseline";
    data.verdictShown = xmca::ui::verdictText(QString::fromStdString(data.record.verdict));
    data.methodShown = xmca::ui::statusText(data.record.method);
    const xmca::report::PdfResult pdf = xmca::report::screeningReportPdf(data, 150);
    ASSERT_TRUE(pdf.ok);
    xmca::test::TempDir dir;
    const std::string path = dir.file("screening.pdf");
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(pdf.pdf.constData(), 1, static_cast<std::size_t>(pdf.pdf.size()), f);
        std::fclose(f);
    }
    std::string text;
    if (FILE* f = popen(("pdftotext -raw '" + path + "' - 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        pclose(f);
    }
    for (const char* t : {"放射性セシウム", "試料ID", "判定保留", "要処置", "ベースラインなし", "rice-0412"})
        EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
    EXPECT_EQ(text.find("QC action required"), std::string::npos) << text;
}
