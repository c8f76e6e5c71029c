// The activity page's controller on the window's widgets without the window: the
// QC lock-out check answered on the register thread, and the background question.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QRadioButton>

#include "files/temp_dir.h"
#include "model/bq_calic.h"
#include "model/qc_log.h"
#include "model/spectrum_io.h"
#include "support/scripted_dialogs.h"
#include "support/simulated_spectra.h"
#include "ui_tform1.h"
#include "xmca/activity_page_controller.h"
#include "xmca/lab_context.h"

namespace {

struct Page {
    xmca::test::TempDir dir;
    QMainWindow host;
    Ui::TForm1 ui;
    std::unique_ptr<xmca::MeasurementState> state = std::make_unique<xmca::MeasurementState>();
    LabContext lab{dir.file("laboratory.conf")};
    xmca::test::ScriptedDialogs dialogs;
    std::unique_ptr<ActivityPage> page;
    int repaints = 0;
    QStringList statuses;
    Page() {
        ui.setupUi(&host);
        lab.setRegisterLocation(QString::fromStdString(dir.file("register.sqlite")));
        page = std::make_unique<ActivityPage>(ui, *state, lab, dialogs);
        QObject::connect(page.get(), &ActivityPage::repaintRequested, [this] { ++repaints; });
        QObject::connect(page.get(), &ActivityPage::status, [this](const QString& t) { statuses << t; });
    }
    std::string spectrum(const std::string& name, bool background) {
        const std::string p = xmca::test::cs137Spectrum(dir.file(name), background);
        EXPECT_FALSE(p.empty());
        return p;
    }
    void dailyQc(bool on) {
        lab.updateSettings([on](xmca::LabSettings& s) { s.qcRequireDaily = on; });
    }
    const std::string& withheld() const { return state->activity.screening.withheld; }
};

TEST(ActivityPageController, OnlyTheLatestComputationsQcAnswerCounts) {
    Page p;
    ASSERT_TRUE(xmca::readSampleFile(*p.state, p.spectrum("s.dat", false)).opened);
    ASSERT_TRUE(xmca::readBackgroundFile(*p.state, p.spectrum("b.dat", true)).opened);
    p.ui.Mem2Spec->setChecked(true);

    // The daily rule with no QC run in the register: the verdict is withheld.
    p.dailyQc(true);
    p.page->bqCalic();
    EXPECT_EQ(p.withheld(), xmca::kQcUnknown);  // until the register has answered
    EXPECT_TRUE(p.ui.Mem3Spec->isChecked());    // the net spectrum the results belong to
    ASSERT_TRUE(p.lab.settle());
    EXPECT_EQ(p.withheld(), xmca::kNoQcToday);
    EXPECT_TRUE(p.ui.ScreenVerdict->text().contains(xmca::kNoQcToday)) << p.ui.ScreenVerdict->text().toStdString();

    // A computation under the rule, then one without it before either is answered:
    // the first answer (the lock-out) comes from a check made stale by the second.
    p.page->reCalic();
    p.dailyQc(false);
    p.page->reCalic();
    p.repaints = 0;
    ASSERT_TRUE(p.lab.settle());
    EXPECT_EQ(p.withheld(), "");
    EXPECT_EQ(p.ui.ScreenVerdict->text().toStdString(), "Above screening level - confirm");
    EXPECT_EQ(p.repaints, 1);  // the current answer's, not the stale one's

    // A change of the screening level keeps the verdict in step without a new check.
    const int check = p.page->qcCheck();
    p.ui.ScreenLevel->setText("1000");
    p.page->screenLevelChanged();
    EXPECT_EQ(p.ui.ScreenVerdict->text().toStdString(), "Below screening level");
    EXPECT_EQ(p.page->qcCheck(), check);
    p.ui.ScreenLevel->setText("-1");
    p.page->screenLevelChanged();
    EXPECT_EQ(p.statuses.back(), "Error ! Screening Level");
    EXPECT_EQ(p.state->screeningSettings.level, 1000.0);
}

TEST(ActivityPageController, BackgroundIsAskedForWhenNoneWasRead) {
    Page p;
    ASSERT_TRUE(xmca::readSampleFile(*p.state, p.spectrum("s.dat", false)).opened);
    p.ui.Mem1Spec->setChecked(true);
    p.dialogs.next.clear();  // the operator cancels the background question
    p.page->bqCalic();
    ASSERT_EQ(p.dialogs.count(PageDialogs::Kind::OpenSpectrum), 1);
    EXPECT_EQ(p.dialogs.asked[0].suffix, "dat");
    EXPECT_FALSE(p.state->activity.valid);
    ASSERT_FALSE(p.statuses.isEmpty());
    EXPECT_EQ(p.statuses.back(), xmca::kNoBackgroundSpectrum);
    EXPECT_EQ(p.page->qcCheck(), 0);  // no QC check for nothing computed
    EXPECT_TRUE(p.ui.ScreenResult->text().isEmpty());

    // Answered: the background is read and the figures are shown.
    p.dialogs.next = QString::fromStdString(p.spectrum("b.dat", true));
    p.page->bqCalic();
    ASSERT_TRUE(p.lab.settle());
    EXPECT_TRUE(p.state->activity.valid);
    EXPECT_EQ(p.state->activity.backgroundName, "b.dat");
    EXPECT_TRUE(p.ui.ScreenResult->text().contains("BG: b.dat"));
}

}  // namespace
