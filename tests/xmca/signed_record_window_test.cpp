// A record a laboratory can sign, walked through the window on the simulated
// analyser in English and in Japanese: a sample counted and recorded, corrected
// with a reason, and both records printed again from History; the marks are
// checked on screen, in the register, in the spectrum file and on paper.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdlib>
#include <filesystem>

#include "device/simulated_analyser.h"
#include "files/spectrum_file.h"
#include "files/spectrum_header.h"
#include "files/temp_dir.h"
#include "support/scoped_env.h"
#include "model/lab_settings.h"
#include "register/register.h"
#include "report/screening_report.h"
#include "support/scripted_dialogs.h"
#include "tools/tool_run.h"
#include "xmca/history_model.h"
#include "xmca/history_page.h"
#include "xmca/screening_page.h"
#include "xmca/tform1.h"
#include "xmca/window_language.h"

namespace {

using xmca::test::TempDir;

using xmca::test::ScopedEnv;

// What each language says of the marks (the English is also the record's own).
struct Words {
    const char* lang;
    const char* recordedFix;   // the page's record label after the correction
    const char* reasonNeeded;  // the page refuses a correction without its reason
    const char* corrects;      // History's marks
    const char* supersededBy;
    const char* reprint;       // on paper
    const char* replaces;
    const char* superseded;
    const char* changed;       // the changed input named on paper
    const char* pageOf;
};

const Words kEnglish{"en",
                     "Record ID 2 (corrects record 1)",
                     "Enter the reason for the correction",
                     "corrects 1",
                     "superseded by 2",
                     "REPRINT",
                     "CORRECTION: replaces record 1",
                     "SUPERSEDED by record 2",
                     "Changed inputs: operator",
                     "page 1 of 1"};
const Words kJapanese{"ja",
                      "記録ID 2 (記録 1 を訂正)",
                      "訂正の理由を入力",
                      "記録 1 を訂正",
                      "記録 2 で訂正済み",
                      "再印刷",
                      "訂正: 記録 1 を置き換えます",
                      "記録 2 により訂正済み",
                      "変更した入力: 測定者",
                      "1 / 1 ページ"};

class SignedRecord : public ::testing::TestWithParam<const Words*> {
protected:
    void SetUp() override { ASSERT_TRUE(xmca::ui::installLanguage(GetParam()->lang)); }
    void TearDown() override { xmca::ui::installLanguage("en"); }
};

TEST_P(SignedRecord, RecordCorrectReprintShowTheirMarksEverywhere) {
    const Words& w = *GetParam();
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    ScopedEnv data{"XDG_DATA_HOME", dir.file("data")};
    auto clock = std::make_shared<xmca::ManualClock>();
    xmca::SimulatedAnalyserConfig cfg;
    cfg.seed = 11;
    cfg.cs134 = 40;
    cfg.cs137 = 80;
    auto driver = std::make_unique<xmca::SimulatedAnalyser>(cfg, clock);
    xmca::SimulatedAnalyser* sim = driver.get();
    TForm1::Options o;
    o.simulated = true;
    o.simulator = sim;
    o.simulatedSample = {cfg.cs134, cfg.cs137, cfg.k40};
    auto scripted = std::make_shared<xmca::test::ScriptedDialogs>();  // no printer: reports go to PDF files
    o.dialogs = scripted;
    TForm1 form(std::move(driver), o);
    const std::string db = dir.file("register.sqlite");
    form.lab().setRegisterLocation(QString::fromStdString(db));
    auto* page = form.findChild<ScreeningPage*>();
    auto* history = form.findChild<HistoryPage*>();
    ASSERT_TRUE(page && history);
    auto widget = [&](const char* name) { return form.findChild<QWidget*>(QString::fromLatin1(name)); };
    auto type = [&](const char* name, const QString& t) { qobject_cast<QLineEdit*>(widget(name))->setText(t); };
    // A click, and the register thread's answers to it.
    auto click = [&](const char* name) {
        qobject_cast<QPushButton*>(widget(name))->click();
        EXPECT_TRUE(form.lab().settle());
    };
    auto label = [&](const char* name) { return qobject_cast<QLabel*>(widget(name))->text(); };
    auto run = [&] {
        for (int i = 0; i < 2000 && form.Timer1->isActive(); ++i) {
            clock->advance(10.0);
            form.Timer1Timer();
        }
    };

    type("BackgroundSeconds", "3600");
    click("BackgroundAcquire");
    run();
    ASSERT_FALSE(page->backgroundPath().isEmpty()) << label("ScreeningMessage").toStdString();
    type("SampleId", QString::fromUtf8("rice-0412"));
    type("Product", QString::fromUtf8("玄米"));
    type("Operator", QString::fromUtf8("山田"));
    type("MassKg", "0.8");
    type("SampleSeconds", "1800");
    click("SampleAcquire");
    run();
    ASSERT_FALSE(page->samplePath().isEmpty());

    // The sample's file says what was counted, for how long, and that it was simulated.
    xmca::SpectrumHeader h;
    std::vector<std::int32_t> counts(xmca::kWorkChannels);
    ASSERT_TRUE(xmca::readSpectrumFile(page->samplePath().toStdString(), h, counts).valid);
    EXPECT_EQ(h.i32(xmca::SpectrumHeader::kPresetTime), 18000);
    EXPECT_EQ(h.sampleId(), "rice-0412");
    EXPECT_FALSE(h.comment().empty());
    EXPECT_TRUE(h.simulated());

    click("Evaluate");
    ASSERT_TRUE(page->outcome().has_value()) << label("ScreeningMessage").toStdString();
    EXPECT_TRUE(label("ResultNotes").contains(xmca::report::kSimulatedBanner)) << label("ResultNotes").toStdString();
    click("Record");
    ASSERT_EQ(page->record().id, 1) << label("ScreeningMessage").toStdString();

    // Corrected from History: the operator was wrong. Without a reason nothing is recorded.
    history->refresh();
    ASSERT_TRUE(form.lab().settle());
    history->view().selectRow(0);
    click("HistoryCorrect");
    EXPECT_TRUE(widget("CorrectionReason")->isVisibleTo(page));
    type("Operator", QString::fromUtf8("佐藤"));
    click("Evaluate");
    click("Record");
    EXPECT_TRUE(label("ScreeningMessage").contains(QString::fromUtf8(w.reasonNeeded)))
        << label("ScreeningMessage").toStdString();
    type("CorrectionReason", QString::fromUtf8("測定者の入力誤り"));
    click("Record");
    EXPECT_EQ(label("RecordId"), QString::fromUtf8(w.recordedFix));
    EXPECT_TRUE(label("ResultNotes").contains(QString::fromUtf8(w.lang[0] == 'e' ? "operator" : "測定者")))
        << label("ResultNotes").toStdString();

    // The register: both records, the second naming the first and why; both simulated.
    std::string error;
    auto reg = xmca::reg::openRegister(db, error);
    ASSERT_TRUE(reg) << error;
    std::vector<xmca::reg::MeasurementRecord> rows;
    ASSERT_TRUE(reg->listMeasurements({}, rows, error)) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].supersedes, 1);
    EXPECT_EQ(rows[0].correctionReason, "測定者の入力誤り");
    EXPECT_EQ(rows[0].operatorName, "佐藤");
    EXPECT_EQ(rows[0].massKg, 0.8);  // the original's inputs kept
    for (const auto& r : rows) {
        EXPECT_TRUE(r.simulated);
        EXPECT_FALSE(r.measurementStart.empty());
        EXPECT_TRUE(r.achievedLowerLimit.has_value());
    }
    EXPECT_EQ(rows[0].cs137.activity, rows[1].cs137.activity);  // same spectra, same settings, same figures
    // The operator offered next time is who measured, not the corrected name.
    EXPECT_EQ(xmca::loadLabSettings(xmca::defaultLabSettingsPath()).operatorName, "山田");

    // History: marked both ways, found by part of the sample ID.
    type("HistorySampleId", "0412");
    click("HistoryShow");
    HistoryModel& m = history->model();
    ASSERT_EQ(m.rowCount(), 2);
    EXPECT_TRUE(m.data(m.index(0, HistoryModel::ColMarks), Qt::DisplayRole).toString().contains(
        QString::fromUtf8(w.corrects)));
    EXPECT_TRUE(m.data(m.index(1, HistoryModel::ColMarks), Qt::DisplayRole).toString().contains(
        QString::fromUtf8(w.supersededBy)));

    // Both printed again: the paper says the same.
    auto reprint = [&](int row, const std::string& name) {
        const std::string pdf = dir.file(name);
        scripted->files = {QString::fromStdString(pdf)};
        history->view().selectRow(row);
        click("HistoryReprint");
        EXPECT_TRUE(std::filesystem::exists(pdf)) << name;
        if (const char* keep = std::getenv("XMCA_KEEP_REPORT_DIR"))
            std::filesystem::copy_file(pdf, std::string(keep) + "/" + w.lang + "-" + name,
                                       std::filesystem::copy_options::overwrite_existing);
        const auto text = xmca::test::runCommand(dir, "pdftotext -enc UTF-8 " + xmca::test::quote(pdf) + " -");
        EXPECT_EQ(text.code, 0);
        return text.out;
    };
    const std::string fix = reprint(0, "record2.pdf");
    const std::string first = reprint(1, "record1.pdf");
    for (const std::string* t : {&fix, &first}) {
        EXPECT_NE(t->find(xmca::report::kSimulatedBanner), std::string::npos) << *t;
        EXPECT_NE(t->find(w.reprint), std::string::npos) << *t;
        EXPECT_NE(t->find(w.pageOf), std::string::npos) << *t;
    }
    EXPECT_NE(fix.find(w.replaces), std::string::npos) << fix;
    EXPECT_NE(fix.find("測定者の入力誤り"), std::string::npos) << fix;
    EXPECT_NE(fix.find(w.changed), std::string::npos) << fix;
    EXPECT_EQ(fix.find(w.superseded), std::string::npos) << fix;
    EXPECT_NE(first.find(w.superseded), std::string::npos) << first;
    EXPECT_EQ(first.find(w.replaces), std::string::npos) << first;
}

INSTANTIATE_TEST_SUITE_P(Languages, SignedRecord, ::testing::Values(&kEnglish, &kJapanese),
                         [](const auto& info) { return std::string(info.param->lang); });

}  // namespace
