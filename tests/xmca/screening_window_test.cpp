// The Screening and History pages on the simulated analyser: from an empty
// register to a recorded, printed verdict through the Screening page alone, the
// history of records, and a register that cannot be written.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <cstdlib>
#include <filesystem>

#include "device/simulated_analyser.h"
#include "files/sha256.h"
#include "files/spectrum_header.h"
#include "support/simulated_spectra.h"
#include "files/temp_dir.h"
#include "support/scoped_env.h"
#include "register/register.h"
#include "tools/tool_run.h"
#include "ui_tform1.h"
#include "xmca/history_model.h"
#include "xmca/history_page.h"
#include "xmca/screening_page.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

using xmca::test::TempDir;

using xmca::test::ScopedEnv;

// The runFinished signals a window sent, in order.
struct FinishedSpy {
    std::vector<bool> atPreset;
    explicit FinishedSpy(TForm1& form) {
        QObject::connect(&form, &TForm1::runFinished, [this](bool p) { atPreset.push_back(p); });
    }
    int count() const { return static_cast<int>(atPreset.size()); }
};

struct Lab {
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    ScopedEnv data{"XDG_DATA_HOME", dir.file("data")};
    std::shared_ptr<xmca::ManualClock> clock = std::make_shared<xmca::ManualClock>();
    xmca::SimulatedAnalyser* sim = nullptr;
    std::unique_ptr<TForm1> form;
    ScreeningPage* page = nullptr;
    HistoryPage* history = nullptr;
    std::string db = dir.file("register.sqlite");
    std::shared_ptr<xmca::test::ScriptedDialogs> scripted = std::make_shared<xmca::test::ScriptedDialogs>();
    // The spectrum dialogs asked (each cancelled unless the test answers); no printer.
    int dialogs() const { return scripted->count(PageDialogs::Kind::OpenSpectrum); }

    // pageMovesSample: the page takes the simulated sample off and puts it back, as
    // in the program; otherwise the test does.
    explicit Lab(const std::string& location = {}, bool pageMovesSample = false) {
        xmca::SimulatedAnalyserConfig cfg;
        cfg.seed = 7;
        auto driver = std::make_unique<xmca::SimulatedAnalyser>(cfg, clock);
        sim = driver.get();
        TForm1::Options o;
        o.simulated = true;
        o.dialogs = scripted;
        if (pageMovesSample) {
            o.simulator = sim;
            o.simulatedSample = {cfg.cs134, cfg.cs137, cfg.k40};
        } else {
            sim->setSample(0, 0, 0);  // the detector empty: background first
        }
        form = std::make_unique<TForm1>(std::move(driver), o);
        form->lab().setRegisterLocation(QString::fromStdString(location.empty() ? db : location));
        page = form->findChild<ScreeningPage*>();
        history = form->findChild<HistoryPage*>();
    }
    template <class W>
    W* w(const char* name) {
        W* found = form->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // A click, and the register thread's answers to it.
    void click(const char* name) {
        w<QPushButton>(name)->click();
        settle();
    }
    void settle() { ASSERT_TRUE(form->lab().settle()); }
    void type(const char* name, const QString& text) { w<QLineEdit>(name)->setText(text); }
    // Steps simulated time until the run stops at its preset.
    void runToPreset() {
        for (int i = 0; i < 2000 && form->Timer1->isActive(); ++i) {
            clock->advance(10.0);
            form->Timer1Timer();
        }
    }
    QString status() { return form->statusBar()->currentMessage(); }
};

TEST(ScreeningWindow, ShortCountAgainstALongBackgroundAndAWrongGain) {
    // A 300 s sample of 5 Bq/kg Cs-137 against a 36 000 s background: the Cs-All
    // figure is the sample's, not the ~20 Bq/kg a truncated background scaling
    // added; then the same sample counted at gain x1.4 gets no verdict.
    Lab lab;
    xmca::SimulatedAnalyserConfig c;
    c.backgroundOnly = true;
    c.seed = 5100;
    const std::string bg = lab.dir.file("bg.dat");
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 360000, bg));
    c.backgroundOnly = false;
    c.cs134 = 0;
    c.cs137 = 5;
    c.seed = 5101;
    const std::string low = lab.dir.file("low.dat");
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 3000, low));
    c.cs137 = 100;
    c.gain = 1.4;
    c.seed = 5102;
    const std::string gain = lab.dir.file("gain.dat");
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 3000, gain));

    lab.scripted->files = {QString::fromStdString(bg), QString::fromStdString(low)};
    lab.click("BackgroundChoose");
    lab.click("SampleChoose");
    lab.type("SampleId", "short-1");
    lab.click("Evaluate");
    auto* table = lab.w<QTableWidget>("ResultTable");
    ASSERT_TRUE(table->item(0, 0));
    const double csAll = table->item(0, 0)->text().toDouble();
    // One 300 s count scatters by about 3.4 Bq/kg.
    EXPECT_NEAR(csAll, 5.0, 3.0 * 3.4);
    const QString verdict = lab.w<QLabel>("Verdict")->text();
    EXPECT_FALSE(verdict.contains("No verdict")) << verdict.toStdString();

    lab.scripted->files = {QString::fromStdString(gain)};
    lab.click("SampleChoose");
    lab.type("SampleId", "gain-1");
    lab.click("Evaluate");
    const QString withheld = lab.w<QLabel>("Verdict")->text();
    EXPECT_TRUE(withheld.contains("No verdict - unexplained peak at")) << withheld.toStdString();
    EXPECT_FALSE(withheld.contains("Below")) << withheld.toStdString();
    EXPECT_FALSE(withheld.contains("Above")) << withheld.toStdString();
}

TEST(ScreeningWindow, SimulatedSampleIsOffTheDetectorForTheBackgroundOnly) {
    // The program's simulator holds a sample (Cs-134 100, Cs-137 200 Bq/kg): counted
    // with it in place the background would cancel the sample to "Below".
    Lab lab({}, true);
    FinishedSpy finished(*lab.form);
    lab.type("BackgroundSeconds", "3600");
    lab.click("BackgroundAcquire");
    lab.runToPreset();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(lab.sim->config().cs137, 0.0);
    lab.type("SampleId", "rice-1208");
    lab.type("SampleSeconds", "1800");
    lab.click("SampleAcquire");
    lab.runToPreset();
    ASSERT_EQ(finished.count(), 2);
    EXPECT_EQ(lab.sim->config().cs137, 200.0);
    lab.click("Evaluate");
    ASSERT_TRUE(lab.page->outcome().has_value()) << lab.w<QLabel>("ScreeningMessage")->text().toStdString();
    EXPECT_EQ(lab.w<QLabel>("Verdict")->text(), "Above screening level - confirm");
    // What the fixed factors read of Cs-134 100 and Cs-137 200 Bq/kg (more than 300:
    // Cs-134 gives more counts per Bq in Cs-All than Cs-137), from the simulator's
    // noise-free sample spectrum; had the sample stayed on for the background it would
    // read near 0.
    const auto rates = lab.sim->expectedRates(2048, xmca::SimulatedAnalyser::Part::Sample);
    double window = 0;
    for (int ch = 2 * 272; ch <= 2 * 354 + 1; ++ch) window += rates[static_cast<std::size_t>(ch)];
    EXPECT_GT(window * 106.73, 300.0);
    EXPECT_NEAR(lab.page->outcome()->result.activity[xmca::kRowCsAll].bqPerKg, window * 106.73, 30.0);
}

TEST(ScreeningWindow, EmptyRegisterToARecordedPrintedVerdict) {
    Lab lab;
    FinishedSpy finished(*lab.form);
    QStringList said;
    QObject::connect(lab.form.get(), &TForm1::statusMessage, [&](const QString& t) { said << t; });

    lab.type("BackgroundSeconds", "3600");
    lab.click("BackgroundAcquire");
    EXPECT_TRUE(lab.form->analyserOpen());
    EXPECT_TRUE(lab.w<QPushButton>("StopRun")->isEnabled());
    EXPECT_FALSE(lab.w<QPushButton>("Evaluate")->isEnabled());
    lab.runToPreset();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.atPreset[0]);
    const QString bg = lab.page->backgroundPath();
    ASSERT_FALSE(bg.isEmpty()) << lab.w<QLabel>("ScreeningMessage")->text().toStdString();
    EXPECT_TRUE(bg.startsWith(QString::fromStdString(lab.dir.file("data/xmca/spectra/"))));
    EXPECT_TRUE(bg.endsWith("-background.dat"));
    EXPECT_TRUE(lab.status().startsWith("Saved ")) << lab.status().toStdString();
    EXPECT_TRUE(lab.w<QLabel>("BackgroundInfo")->text().startsWith("Counted on"));
    // The status bar told the run in plain words, in order.
    ASSERT_GE(said.size(), 4);
    EXPECT_EQ(said.indexOf("Analyser opened"), 0) << said.join(" | ").toStdString();
    EXPECT_LT(said.indexOf("Run started"), said.indexOf("Run finished at the preset"));
    EXPECT_TRUE(said.contains("Saved " + QFileInfo(bg).fileName())) << said.join(" | ").toStdString();

    // The sample on the detector: Cs-137 150 Bq/kg (alone, so the fixed factors read it as itself).
    lab.sim->setSample(0, 150, 0);
    lab.click("SampleAcquire");  // no sample ID yet: refused
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(lab.form->Timer1->isActive());
    lab.type("SampleId", QString::fromUtf8("米-0412"));
    lab.type("Product", QString::fromUtf8("玄米"));
    lab.type("Origin", QString::fromUtf8("福島県"));
    lab.type("Operator", QString::fromUtf8("山田"));
    lab.type("SamplingDate", "2026-04-12");
    lab.type("SampleSeconds", "1800");
    lab.click("SampleAcquire");
    lab.runToPreset();
    ASSERT_EQ(finished.count(), 2);
    const QString sample = lab.page->samplePath();
    EXPECT_TRUE(sample.endsWith(QString::fromUtf8("-米-0412.dat"))) << sample.toStdString();

    lab.click("Evaluate");
    ASSERT_TRUE(lab.page->outcome().has_value()) << lab.w<QLabel>("ScreeningMessage")->text().toStdString();
    EXPECT_EQ(lab.w<QLabel>("Verdict")->text(), "Above screening level - confirm");
    auto* table = lab.w<QTableWidget>("ResultTable");
    ASSERT_TRUE(table->item(0, 0));
    const double csAll = table->item(0, 0)->text().toDouble();
    const auto& row = lab.page->outcome()->result.activity[xmca::kRowCsAll];
    EXPECT_NEAR(csAll, 150.0, 3.0 * row.sigma + 1.0);
    EXPECT_EQ(table->item(3, 4)->text(), "Bq/kg");
    EXPECT_EQ(lab.w<QLabel>("RecordId")->text(), "Not recorded yet");

    lab.click("Record");
    EXPECT_EQ(lab.w<QLabel>("RecordId")->text(), "Record ID 1");
    EXPECT_FALSE(lab.w<QPushButton>("Record")->isEnabled());  // one record per evaluation
    EXPECT_EQ(lab.status(), "Recorded as record 1");

    std::string error;
    auto reg = xmca::reg::openRegister(lab.db, error);
    ASSERT_TRUE(reg) << error;
    std::vector<xmca::reg::MeasurementRecord> rows;
    ASSERT_TRUE(reg->listMeasurements({}, rows, error));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].sampleId, "米-0412");
    EXPECT_EQ(rows[0].product, "玄米");
    EXPECT_EQ(rows[0].verdict, "Above screening level - confirm");
    EXPECT_EQ(rows[0].sampleFile, sample.toStdString());
    EXPECT_EQ(rows[0].sampleSha256, xmca::sha256OfFile(sample.toStdString()).value_or("?"));
    EXPECT_EQ(rows[0].backgroundFile, bg.toStdString());
    EXPECT_EQ(rows[0].sampleRealTimeS, 1800.0);
    EXPECT_EQ(rows[0].samplingDate, "2026-04-12");

    const std::string pdf = lab.dir.file("report.pdf");
    lab.scripted->files = {QString::fromStdString(pdf)};
    lab.click("Print");
    ASSERT_FALSE(lab.scripted->asked.empty());
    EXPECT_EQ(lab.scripted->asked.back().kind, PageDialogs::Kind::SavePdf);
    EXPECT_TRUE(lab.scripted->asked.back().suggested.endsWith(".pdf"));
    ASSERT_TRUE(std::filesystem::exists(pdf));
    if (const char* keep = std::getenv("XMCA_KEEP_REPORT")) std::filesystem::copy_file(pdf, keep, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(xmca::test::readAll(pdf).substr(0, 5), "%PDF-");
    const auto text = xmca::test::runCommand(lab.dir, "pdftotext -enc UTF-8 " + xmca::test::quote(pdf) + " -");
    ASSERT_EQ(text.code, 0);
    EXPECT_NE(text.out.find("Record ID 1"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("米-0412"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("福島県"), std::string::npos);
    EXPECT_NE(text.out.find("Above screening level - confirm"), std::string::npos);
    EXPECT_NE(text.out.find("Channel"), std::string::npos);  // uncalibrated: channel axis

    EXPECT_EQ(lab.dialogs(), 0);  // no file dialog for the spectra acquired here

    // A correction: the record taken back from the History page, the operator fixed,
    // recorded anew naming the record it supersedes; the first stays as it was.
    lab.history->refresh();
    lab.settle();
    lab.history->view().selectRow(0);
    lab.click("HistoryCorrect");
    EXPECT_EQ(lab.w<QLineEdit>("SampleId")->text(), QString::fromUtf8("米-0412"));
    EXPECT_EQ(lab.page->samplePath(), sample);
    lab.type("Operator", QString::fromUtf8("佐藤"));
    lab.click("Evaluate");
    EXPECT_EQ(lab.w<QLabel>("RecordId")->text(), "Not recorded yet (corrects record 1)");
    lab.type("CorrectionReason", "operator name");
    lab.click("Record");
    EXPECT_EQ(lab.w<QLabel>("RecordId")->text(), "Record ID 2 (corrects record 1)");
    rows.clear();
    ASSERT_TRUE(reg->listMeasurements({}, rows, error));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].supersedes, 1);
    EXPECT_EQ(rows[0].operatorName, "佐藤");
    EXPECT_EQ(rows[1].operatorName, "山田");
    EXPECT_EQ(lab.history->model().total(), 2);  // the shown history took the new record
}

TEST(ScreeningWindow, StoppedRunIsSavedAndMassCorrectionIsShown) {
    Lab lab;
    std::filesystem::create_directories(lab.dir.file("config/xmca"));
    xmca::test::writeAll(lab.dir.file("config/xmca/laboratory.conf"), "nominal_mass_kg=1\n");
    Lab* l = &lab;
    lab.form->lab().updateSettings([](xmca::LabSettings& s) { s.nominalMassKg = 1.0; });
    lab.type("BackgroundSeconds", "3600");
    lab.click("BackgroundAcquire");
    for (int i = 0; i < 30; ++i) {
        l->clock->advance(10.0);
        l->form->Timer1Timer();
    }
    FinishedSpy finished(*lab.form);
    lab.click("StopRun");
    ASSERT_EQ(finished.count(), 1);
    EXPECT_FALSE(finished.atPreset[0]);
    EXPECT_FALSE(lab.page->backgroundPath().isEmpty());  // kept, though short
    EXPECT_TRUE(lab.w<QLabel>("ScreeningMessage")->text().startsWith("Stopped before the preset"));

    lab.sim->setSample(0, 200, 0);
    lab.type("SampleId", "m1");
    lab.type("SampleSeconds", "300");
    lab.click("SampleAcquire");
    lab.runToPreset();
    lab.type("MassKg", "x");
    lab.click("Evaluate");
    EXPECT_FALSE(lab.page->outcome().has_value());
    EXPECT_TRUE(lab.w<QLabel>("ScreeningMessage")->text().startsWith("Mass"));
    lab.type("MassKg", "0.5");
    lab.click("Evaluate");
    ASSERT_TRUE(lab.page->outcome().has_value());
    ASSERT_TRUE(lab.page->outcome()->massFactor.has_value());
    EXPECT_DOUBLE_EQ(*lab.page->outcome()->massFactor, 2.0);
    EXPECT_TRUE(lab.w<QLabel>("ResultNotes")->text().contains("Mass corrected")) << lab.w<QLabel>("ResultNotes")->text().toStdString();
    EXPECT_EQ(lab.page->record().nominalMassKg, 1.0);
}

TEST(ScreeningWindow, ChosenFilesOldBackgroundWarnedAndBadDatesRefused) {
    Lab lab;
    xmca::SimulatedAnalyserConfig c;
    c.seed = 9;
    c.backgroundOnly = true;
    const std::string bg = lab.dir.file("old-bg.dat");
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 36000, bg));
    // Counted in 2020: older than the 7 days allowed.
    std::string bytes = xmca::test::readAll(bg);
    bytes[xmca::SpectrumHeader::kYear] = static_cast<char>(2020 & 0xFF);
    bytes[xmca::SpectrumHeader::kYear + 1] = static_cast<char>(2020 >> 8);
    xmca::test::writeAll(bg, bytes);
    c.backgroundOnly = false;
    c.seed = 10;
    const std::string sample = lab.dir.file("s.dat");
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 18000, sample));

    lab.click("Evaluate");
    EXPECT_EQ(lab.w<QLabel>("ScreeningMessage")->text(), "Acquire or choose a background first.");
    lab.scripted->next = QString::fromStdString(bg);
    lab.click("BackgroundChoose");
    lab.scripted->next = QString::fromStdString(sample);
    lab.click("SampleChoose");
    QStringList titles;
    for (const auto& q : lab.scripted->asked) titles << q.title;
    EXPECT_EQ(titles, QStringList({"Open background spectrum", "Open sample spectrum"}));
    const QString info = lab.w<QLabel>("BackgroundInfo")->text();
    EXPECT_TRUE(info.startsWith("Counted on 2020-12-08")) << info.toStdString();
    EXPECT_TRUE(info.contains("count a new background")) << info.toStdString();

    lab.click("Evaluate");  // no sample ID
    EXPECT_EQ(lab.w<QLabel>("ScreeningMessage")->text(), "Enter the sample ID.");
    lab.type("SampleId", "x");
    lab.type("SamplingDate", "2026-02-30");
    lab.click("Evaluate");
    EXPECT_FALSE(lab.page->outcome().has_value());
    EXPECT_TRUE(lab.w<QLabel>("ScreeningMessage")->text().startsWith("Sampling date"));
    lab.type("SamplingDate", "");
    lab.click("Evaluate");
    ASSERT_TRUE(lab.page->outcome().has_value());
    // The default simulated sample (Cs-134 100, Cs-137 200 Bq/kg) against a background
    // six years older: the figures are shown, the verdict withheld.
    EXPECT_EQ(lab.w<QLabel>("Verdict")->text(), "No verdict - background too old");
    EXPECT_EQ(lab.page->record().backgroundFile, bg);
}

TEST(ScreeningWindow, HistoryListsFiltersFetchesLazilyAndExports) {
    Lab lab;
    std::string error;
    {
        auto reg = xmca::reg::openRegister(lab.db, error);
        ASSERT_TRUE(reg) << error;
        for (int i = 0; i < 450; ++i) {
            xmca::reg::MeasurementRecord r;
            r.sampleId = i % 3 ? "rice" : "白菜";
            r.product = "野菜";
            r.verdict = i % 2 ? "Below screening level" : "No verdict - check gain";
            r.csAll.activity = i;
            ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
        }
    }
    lab.history->refresh();
    lab.settle();
    HistoryModel& m = lab.history->model();
    EXPECT_EQ(m.total(), 450);
    EXPECT_EQ(m.rowCount(), HistoryModel::kPage);  // only the first page read
    EXPECT_EQ(m.data(m.index(0, HistoryModel::ColId), Qt::DisplayRole).toString(), "450");  // newest first
    ASSERT_TRUE(m.canFetchMore({}));
    m.fetchMore({});
    lab.settle();
    m.fetchMore({});
    lab.settle();
    EXPECT_EQ(m.rowCount(), 450);
    EXPECT_FALSE(m.canFetchMore({}));
    EXPECT_EQ(m.data(m.index(449, HistoryModel::ColId), Qt::DisplayRole).toString(), "1");

    lab.type("HistorySampleId", QString::fromUtf8("白菜"));
    lab.click("HistoryShow");
    EXPECT_EQ(m.total(), 150);
    for (int r = 0; r < m.rowCount(); ++r)
        ASSERT_EQ(m.data(m.index(r, HistoryModel::ColSampleId), Qt::DisplayRole).toString(), QString::fromUtf8("白菜"));
    lab.type("HistoryFrom", "2999-01-01");
    lab.click("HistoryShow");
    EXPECT_EQ(m.total(), 0);
    lab.type("HistoryFrom", "");
    lab.type("HistoryTo", "not a date");
    lab.click("HistoryShow");
    EXPECT_TRUE(lab.w<QLabel>("HistoryMessage")->text().startsWith("Dates"));
    lab.type("HistoryTo", "");
    lab.click("HistoryShow");

    const std::string csv = lab.dir.file("h.csv");
    lab.scripted->files = {QString::fromStdString(csv)};
    lab.click("HistoryExport");
    const std::string text = xmca::test::readAll(csv);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 151u);  // header and the 150 filtered rows, not only those fetched
    EXPECT_NE(text.find("白菜,野菜"), std::string::npos);
}

TEST(ScreeningWindow, DamagedRegisterRecordsNothingAndKeepsTheSpectra) {
    TempDir other;
    const std::string bad = other.file("bad.sqlite");
    const std::string junk(4096, 'q');
    xmca::test::writeAll(bad, junk);
    Lab lab(bad);
    lab.type("BackgroundSeconds", "600");
    lab.click("BackgroundAcquire");
    lab.runToPreset();
    lab.type("SampleId", "s");
    lab.type("SampleSeconds", "600");
    lab.click("SampleAcquire");
    lab.runToPreset();
    lab.click("Evaluate");
    ASSERT_TRUE(lab.page->outcome().has_value());
    lab.click("Record");
    EXPECT_TRUE(lab.w<QLabel>("ScreeningMessage")->text().startsWith("Not recorded")) <<
        lab.w<QLabel>("ScreeningMessage")->text().toStdString();
    EXPECT_TRUE(lab.w<QLabel>("ScreeningMessage")->text().contains("damaged"));
    EXPECT_EQ(lab.page->record().id, 0);
    EXPECT_TRUE(lab.w<QPushButton>("Record")->isEnabled());  // can be tried again
    EXPECT_EQ(xmca::test::readAll(bad), junk);
    EXPECT_TRUE(std::filesystem::is_regular_file(lab.page->samplePath().toStdString()));
    EXPECT_TRUE(std::filesystem::is_regular_file(lab.page->backgroundPath().toStdString()));
}

}  // namespace
