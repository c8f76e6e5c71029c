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
#include "support/scoped_env.h"
#include "ui_tform1.h"
#include "model/screening.h"
#include "model/spectrum_io.h"
#include "xmca/qc_page.h"
#include "xmca/screening_page.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

using xmca::test::ScopedEnv;

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
    EXPECT_EQ(w.child<QSpinBox>("QcBaselineRuns")->value(), 20);
}

TEST(QcPage, AcquiredRunsBuildABaselineAGainDriftLocksOutANewBaselineClears) {
    QcWindow w;
    w.child<QSpinBox>("QcBaselineRuns")->setValue(4);  // the setting, saved for the next session
    // Four runs, and more while their scatter is not that of counting statistics.
    int baselineRuns = 0;
    while (!w.page->lastRun() || !w.page->lastRun()->baselineAccepted) {
        w.acquire();
        ASSERT_EQ(w.status(), "baseline") << w.child<QLabel>("QcMessage")->text().toStdString();
        EXPECT_EQ(w.page->lastRun()->baseline.n, ++baselineRuns);
        ASSERT_LE(baselineRuns, 10);
    }
    EXPECT_NEAR(*w.page->lastRun()->run.peakChannel, 660, 4);
    EXPECT_TRUE(w.child<QLabel>("QcStatus")->text().startsWith(QString("Baseline run %1").arg(baselineRuns)))
        << w.child<QLabel>("QcStatus")->text().toStdString();
    EXPECT_TRUE(w.child<QLabel>("QcStatus")->text().endsWith("the baseline is accepted"));
    auto* screening = w.form->findChild<ScreeningPage*>();
    ASSERT_NE(screening, nullptr);
    auto* qcState = screening->findChild<QLabel*>(QStringLiteral("ScreeningQcState"));
    ASSERT_NE(qcState, nullptr);
    EXPECT_EQ(qcState->text(), "Check-source QC: verdicts are given");
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
    EXPECT_EQ(w.page->findChild<QcChartView*>()->history().runs.size(), static_cast<std::size_t>(baselineRuns + 1));
    // The Screening page says so before anything is evaluated.
    screening = w.form->findChild<ScreeningPage*>();
    qcState = screening->findChild<QLabel*>(QStringLiteral("ScreeningQcState"));
    EXPECT_EQ(qcState->text(), "Check-source QC: verdicts withheld - QC action required");

    // After a restart the page still says what the latest run was and why.
    w.make(1.05, 10);
    w.page->refresh();
    w.settle();
    EXPECT_TRUE(w.child<QLabel>("QcStatus")->text().endsWith(": action")) << w.child<QLabel>("QcStatus")->text().toStdString();
    EXPECT_TRUE(w.child<QLabel>("QcReasons")->text().contains("peak shift 5.")) << w.child<QLabel>("QcReasons")->text().toStdString();
    EXPECT_FALSE(w.child<QLabel>("QcLockout")->isHidden());

    // The Screening page gives the figures of the next sample but withholds its verdict.
    EXPECT_EQ(w.screeningVerdict(sample, background), "No verdict - QC action required");
    // A sample counted with the drifted gain fails the gain check too: the lock-out is the reason shown.
    const std::string drifted = w.dir.file("drifted.dat");
    w.sim->setSample(100, 200, 0);
    w.acquireFile(drifted, 600);
    EXPECT_EQ(w.screeningVerdict(drifted, background), "No verdict - QC action required");

    // Renaming the installation does not escape the lock-out, on either page, at once.
    {
        const std::string bound = w.form->lab().settings().qcDetector;
        EXPECT_FALSE(bound.empty());
        ASSERT_TRUE(w.form->lab().updateSettings([](xmca::LabSettings& s) { s.installation = "renamed bench"; }));
        w.settle();
        EXPECT_EQ(xmca::loadLabSettings(xmca::defaultLabSettingsPath()).qcDetector, bound);
        EXPECT_EQ(w.page->lockoutReason(), "QC action required");
        EXPECT_EQ(w.screeningVerdict(sample, background), "No verdict - QC action required");
        EXPECT_TRUE(w.child<QLabel>("QcDetector")->text().contains("renamed bench"));
        EXPECT_TRUE(w.child<QLabel>("QcDetector")->text().contains(QString::fromStdString(bound)));
    }
    // So does "Bq Calic" on the spectrum page.
    ASSERT_EQ(xmca::readSampleFile(w.form->state(), sample).memoryStored, 1);
    ASSERT_EQ(xmca::readBackgroundFile(w.form->state(), background).memoryStored, 2);
    w.form->BqCalic1Click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    EXPECT_EQ(w.form->state().activity.screening.withheld, "QC action required");
    EXPECT_EQ(xmca::verdictText(w.form->state().activity), "No verdict - QC action required");

    // "Start a new baseline" asks first, naming the detector; declined, nothing changes.
    w.dialogs->yes = false;
    w.click("QcNewBaseline");
    ASSERT_EQ(w.dialogs->questions.size(), 1u);
    EXPECT_TRUE(w.dialogs->questions[0].contains(QString::fromStdString(w.form->lab().settings().qcDetector)))
        << w.dialogs->questions[0].toStdString();
    EXPECT_FALSE(w.form->lab().settings().qcDetector.empty());
    EXPECT_EQ(w.page->lockoutReason(), "QC action required");
    // Recalibrated: a new baseline clears the lock-out, and the page's red state with it.
    w.dialogs->yes = true;
    w.click("QcNewBaseline");
    EXPECT_TRUE(w.child<QLabel>("QcLockout")->isHidden());
    EXPECT_EQ(w.child<QLabel>("QcStatus")->text(), "New baseline: no run yet");
    EXPECT_TRUE(w.child<QLabel>("QcReasons")->text().isEmpty());
    EXPECT_EQ(w.page->lockoutReason(), "");
    EXPECT_EQ(w.form->findChild<ScreeningPage*>()->findChild<QLabel*>(QStringLiteral("ScreeningQcState"))->text(),
              "Check-source QC: verdicts are given");
    EXPECT_EQ(w.screeningVerdict(sample, background), "Above screening level - confirm");
    w.make(1.0, 11);
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
    // The run's own spectrum again: refused, not recorded a second time.
    const std::int64_t recorded = w.page->lastRun()->run.id;
    w.click("QcRead");
    EXPECT_EQ(w.page->lastRun()->run.id, recorded);
    EXPECT_TRUE(w.child<QLabel>("QcMessage")->text().contains("already in the register"))
        << w.child<QLabel>("QcMessage")->text().toStdString();
    EXPECT_EQ(w.page->findChild<QcChartView*>()->history().runs.size(), 1u);

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
