// The QC page driven as an operator would: check-source runs acquired from the
// simulated analyser through the main window, a baseline, a gain drift that is
// "action" and locks verdicts out, and a new baseline that clears it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <cstdlib>
#include <optional>

#include "device/simulated_analyser.h"
#include "files/temp_dir.h"
#include "ui_tform1.h"
#include "model/screening.h"
#include "model/spectrum_io.h"
#include "xmca/qc_page.h"
#include "xmca/screening_page.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

// Points an environment variable elsewhere for the life of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct QcWindow {
    xmca::test::TempDir dir;
    // The laboratory settings and the data folder in the test's scratch folder.
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    ScopedEnv data{"XDG_DATA_HOME", dir.file("data")};
    std::shared_ptr<xmca::ManualClock> clock = std::make_shared<xmca::ManualClock>();
    xmca::SimulatedAnalyser* sim = nullptr;
    std::shared_ptr<xmca::test::ScriptedDialogs> dialogs = std::make_shared<xmca::test::ScriptedDialogs>();
    std::unique_ptr<TForm1> form;
    QcPage* page = nullptr;

    explicit QcWindow(double gain = 1.0) { make(gain, 1); }
    void make(double gain, std::uint64_t seed) {
        xmca::SimulatedAnalyserConfig cfg;
        cfg.cs137 = 20000;
        cfg.cs134 = 0;
        cfg.k40 = 0;
        cfg.gain = gain;
        cfg.seed = seed;
        auto s = std::make_unique<xmca::SimulatedAnalyser>(cfg, clock);
        sim = s.get();
        TForm1::Options o{true, {}};
        o.dialogs = dialogs;
        form.reset();  // one window at a time
        form = std::make_unique<TForm1>(std::move(s), o);
        form->lab().setRegisterLocation(QString::fromStdString(dir.file("register.sqlite")));
        page = form->findChild<QcPage*>();
        ASSERT_NE(page, nullptr);
        settle();
    }
    // Until the register thread has answered everything asked of it.
    void settle() { ASSERT_TRUE(form->lab().settle()); }
    void click(const char* name) {
        child<QPushButton>(name)->click();
        settle();
    }
    template <class W>
    W* child(const char* name) {
        return page->findChild<W*>(QString::fromLatin1(name));
    }
    // One check-source run of `seconds` through the page's Acquire button.
    void acquire(int seconds = 300) {
        child<QLineEdit>("QcSeconds")->setText(QString::number(seconds));
        child<QPushButton>("QcAcquire")->click();
        ASSERT_TRUE(form->Timer1->isActive()) << child<QLabel>("QcMessage")->text().toStdString();
        for (int i = 0; i < seconds * 2 + 40 && form->Timer1->isActive(); ++i) {
            clock->advance(0.5);
            form->Timer1Timer();
        }
        ASSERT_FALSE(form->Timer1->isActive());
        settle();
    }
    std::string status() { return page->lastRun() ? page->lastRun()->run.status : ""; }
    // A spectrum acquired with the main window's own handlers and saved to path.
    void acquireFile(const std::string& path, int seconds) {
        bool accepted = false;
        form->setPresetTenths(seconds * 10, [&](bool ok) { accepted = ok; });  // inline: answered at once
        ASSERT_TRUE(accepted);
        form->McaClearClick();
        form->McaStartClick();
        for (int i = 0; i < seconds * 2 + 40 && form->Timer1->isActive(); ++i) {
            clock->advance(0.5);
            form->Timer1Timer();
        }
        form->writeSpectrumPath(QString::fromStdString(path));
        ASSERT_TRUE(QFileInfo(QString::fromStdString(path)).isFile());
    }
    // The Screening page's verdict on a sample and background file.
    QString screeningVerdict(const std::string& sample, const std::string& background) {
        auto* screening = form->findChild<ScreeningPage*>();
        EXPECT_NE(screening, nullptr);
        if (!screening) return {};
        dialogs->files = {QString::fromStdString(background), QString::fromStdString(sample)};
        screening->chooseBackground();
        screening->chooseSample();
        screening->findChild<QLineEdit*>(QStringLiteral("SampleId"))->setText("QC-LOCK");
        screening->evaluate();
        settle();
        return screening->findChild<QLabel*>(QStringLiteral("Verdict"))->text();
    }
};

TEST(QcPage, IsATabOfTheMainWindow) {
    QcWindow w;
    auto* tabs = w.form->findChild<QTabWidget*>(QStringLiteral("MainTabs"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->indexOf(w.page), tabs->count() - 1);
    EXPECT_EQ(tabs->tabText(0), "Spectrum");
    // The lock-out setting is off by default.
    EXPECT_FALSE(w.child<QCheckBox>("QcRequireDaily")->isChecked());
    EXPECT_EQ(w.child<QSpinBox>("QcBaselineRuns")->value(), 10);
}

TEST(QcPage, AcquiredRunsBuildABaselineAGainDriftLocksOutANewBaselineClears) {
    QcWindow w;
    w.child<QSpinBox>("QcBaselineRuns")->setValue(4);  // the setting, saved for the next session
    for (int i = 1; i <= 4; ++i) {
        w.acquire();
        ASSERT_EQ(w.status(), "baseline") << w.child<QLabel>("QcMessage")->text().toStdString();
        EXPECT_EQ(w.page->lastRun()->baseline.n, i);
    }
    EXPECT_NEAR(*w.page->lastRun()->run.peakChannel, 660, 4);
    EXPECT_TRUE(w.child<QLabel>("QcStatus")->text().startsWith("Baseline run 4 of 4"));
    EXPECT_TRUE(w.child<QLabel>("QcFigures")->text().contains("Peak channel: 6"));
    // The saved spectrum is what the register names.
    EXPECT_TRUE(QFileInfo(QString::fromStdString(w.page->lastRun()->run.checkFile)).isFile());
    EXPECT_EQ(w.page->lastRun()->run.checkSha256.size(), 64u);
    EXPECT_TRUE(w.child<QLabel>("QcLockout")->isHidden());

    // A stopped run is not recorded.
    const std::int64_t lastId = w.page->lastRun()->run.id;
    w.child<QLineEdit>("QcSeconds")->setText("300");
    w.child<QPushButton>("QcAcquire")->click();
    w.clock->advance(5);
    w.form->Timer1Timer();
    w.click("QcStop");
    EXPECT_FALSE(w.form->Timer1->isActive());
    EXPECT_EQ(w.page->lastRun()->run.id, lastId);
    EXPECT_TRUE(w.child<QLabel>("QcMessage")->text().contains("not recorded"));

    // A background and a sample counted while the gain was right.
    const std::string background = w.dir.file("bg.dat"), sample = w.dir.file("sample.dat");
    w.sim->setSample(0, 0, 0);
    w.acquireFile(background, 600);
    w.sim->setSample(100, 200, 0);
    w.acquireFile(sample, 600);
    EXPECT_EQ(w.screeningVerdict(sample, background), "Above screening level - confirm");

    // The same detector again after the amplifier drifted 5 %.
    w.make(1.05, 9);
    EXPECT_EQ(w.child<QSpinBox>("QcBaselineRuns")->value(), 4);
    w.acquire();
    EXPECT_EQ(w.status(), "action");
    EXPECT_TRUE(w.child<QLabel>("QcStatus")->text().startsWith("Action"));
    EXPECT_TRUE(w.child<QLabel>("QcReasons")->text().contains("peak shift 5."));
    EXPECT_FALSE(w.child<QLabel>("QcLockout")->isHidden());
    EXPECT_TRUE(w.child<QLabel>("QcLockout")->text().contains("QC action required"));
    EXPECT_EQ(w.page->lockoutReason(), "QC action required");
    EXPECT_EQ(w.page->findChild<QcChartView*>()->history().runs.size(), 5u);

    // The Screening page gives the figures of the next sample but withholds its verdict.
    EXPECT_EQ(w.screeningVerdict(sample, background), "No verdict - QC action required");
    // So does "Bq Calic" on the spectrum page.
    ASSERT_EQ(xmca::readSampleFile(w.form->state(), sample).memoryStored, 1);
    ASSERT_EQ(xmca::readBackgroundFile(w.form->state(), background).memoryStored, 2);
    w.form->BqCalic1Click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    EXPECT_EQ(w.form->state().activity.screening.withheld, "QC action required");
    EXPECT_EQ(xmca::verdictText(w.form->state().activity), "No verdict - QC action required");

    // Recalibrated: a new baseline clears the lock-out.
    w.click("QcNewBaseline");
    EXPECT_TRUE(w.child<QLabel>("QcLockout")->isHidden());
    EXPECT_EQ(w.page->lockoutReason(), "");
    EXPECT_EQ(w.screeningVerdict(sample, background), "Above screening level - confirm");
    w.acquire();
    EXPECT_EQ(w.status(), "baseline");

    // The daily rule: today's runs passed, so nothing is withheld; it stays a setting.
    w.child<QCheckBox>("QcRequireDaily")->setChecked(true);
    w.settle();
    EXPECT_EQ(w.page->lockoutReason(), "");
    EXPECT_TRUE(xmca::loadLabSettings(xmca::defaultLabSettingsPath()).qcRequireDaily);
}

TEST(QcPage, ReadFromFilesAndRefusals) {
    QcWindow w;
    // A missing file and a spectrum without the 662 keV line are refused and not recorded.
    EXPECT_FALSE(w.page->measureFile(QString::fromStdString(w.dir.file("none.dat"))));
    EXPECT_TRUE(w.child<QLabel>("QcMessage")->text().startsWith("Error !"));
    w.dialogs->next.clear();  // cancelled
    w.click("QcRead");
    EXPECT_FALSE(w.page->lastRun());

    // A check spectrum acquired on the spectrum page, saved, then read on the QC page
    // with a background.
    w.acquire(300);
    const std::string check = w.page->lastRun()->run.checkFile;
    w.dialogs->next = QString::fromStdString(check);
    w.click("QcChooseBackground");  // the check file itself as a background: net 0
    EXPECT_EQ(w.page->backgroundPath().toStdString(), check);
    w.click("QcRead");
    ASSERT_TRUE(w.page->lastRun());
    EXPECT_NEAR(*w.page->lastRun()->run.netRateCps, 0.0, 1e-9);
    EXPECT_EQ(w.page->lastRun()->run.backgroundFile, check);

    // An unusable register: nothing recorded, the reason shown, verdicts withheld.
    w.form->lab().setRegisterLocation(QString::fromStdString(check));
    const std::int64_t lastId = w.page->lastRun()->run.id;
    w.page->measureFile(QString::fromStdString(check));
    w.settle();
    EXPECT_EQ(w.page->lastRun()->run.id, lastId);  // nothing recorded
    EXPECT_TRUE(w.child<QLabel>("QcMessage")->text().contains("cannot be used"));
    EXPECT_EQ(w.page->lockoutReason(), "QC state could not be read");
}

}  // namespace
