// The activity section of the main window, driven through its buttons and the
// "Calic" menu with the file dialog bypassed.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "files/temp_dir.h"
#include "support/scripted_analyser.h"
#include "support/simulated_spectra.h"
#include "ui_tform1.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

struct ActivityWindow {
    std::unique_ptr<TForm1> form;
    std::shared_ptr<xmca::test::ScriptedDialogs> dialogs = std::make_shared<xmca::test::ScriptedDialogs>();
    QString& next = dialogs->next;
    xmca::test::TempDir dir;
    ActivityWindow() {
        TForm1::Options o;
        o.dialogs = dialogs;
        form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), o);
    }
    Ui::TForm1* ui() { return form->form(); }
    xmca::MeasurementState& s() { return form->state(); }
    void read(QPushButton* button, const std::string& path) {
        next = QString::fromStdString(path);
        button->click();
    }
};

std::string acquired(const xmca::test::TempDir& dir, const std::string& name, bool background, int tenths = 36000) {
    const std::string p = xmca::test::cs137Spectrum(dir.file(name), background, tenths);
    EXPECT_FALSE(p.empty());
    return p;
}

TEST(ActivityWindow, ReadSpecBgFileAndBqCalicShowTheFigures) {
    ActivityWindow w;
    w.read(w.ui()->ReadSpec, acquired(w.dir, "s.dat", false));
    w.read(w.ui()->BGfile, acquired(w.dir, "b.dat", true));
    EXPECT_EQ(w.ui()->BqCalic->text(), "  Bq. Calic");
    w.ui()->BqCalic->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    EXPECT_TRUE(w.s().activity.valid);
    EXPECT_EQ(w.s().resultsFlag, 1);
    EXPECT_TRUE(w.ui()->Mem3Spec->isChecked());
    EXPECT_EQ(w.ui()->Label2->text(), "1023ch");  // full range of the net spectrum
    EXPECT_EQ(w.ui()->ScreenVerdict->text(), "Above screening level - confirm");
    EXPECT_TRUE(w.ui()->ScreenResult->text().startsWith("Cs-All"));
    // The sample: Cs-137 300 Bq/kg.
    const auto& a = w.s().activity.activity;
    EXPECT_NEAR(a[xmca::kRowCsAll].bqPerKg, 300.0, 3.0 * a[xmca::kRowCsAll].sigma);

    // A repaint (per-frame ROI sums) leaves the record as it is; Re Calic reads the
    // spectra as they stand and gives the same sums without a baseline.
    const auto windows = w.s().activity.windows;
    w.form->repaintPlot();
    EXPECT_EQ(w.s().activity.windows[0].net, windows[0].net);
    w.ui()->ExpertMode->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    EXPECT_EQ(w.s().baselineFlag, 0);
    EXPECT_EQ(w.s().activity.windows[0].net, windows[0].net);

    // Screening settings edited on the page.
    w.ui()->ScreenLevel->setText("1000");
    emit w.ui()->ScreenLevel->textEdited("1000");
    EXPECT_EQ(w.ui()->ScreenVerdict->text(), "Below screening level");
    w.ui()->LowerLimit->setText("x");
    emit w.ui()->LowerLimit->textEdited("x");
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Lower Limit");
    EXPECT_EQ(w.s().screeningSettings.lowerLimit, 25.0);
}

TEST(ActivityWindow, ZeroRealTimeShowsAMessageAndNoFigures) {
    ActivityWindow w;
    xmca::MeasurementState& s = w.s();
    w.read(w.ui()->ReadSpec, acquired(w.dir, "s.dat", false));
    s.mem[0].header.setI32(xmca::SpectrumHeader::kRealTime, 0);
    w.read(w.ui()->BGfile, acquired(w.dir, "b.dat", true));
    w.ui()->BqCalic1->trigger();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    EXPECT_EQ(w.ui()->Edit1->text(), xmca::kSampleRealTimeZero);
    EXPECT_FALSE(s.activity.valid);
    EXPECT_EQ(s.resultsFlag, 0);
    EXPECT_TRUE(w.ui()->ScreenResult->text().isEmpty());
}

TEST(ActivityWindow, CalicMenuStepsWorkOnTheSelectedMemory) {
    ActivityWindow w;
    const QStringList want = {"Data Smooth", "Peak Find", "Bq Calic", "BGSubtruct", "DataComp"};
    QStringList got;
    for (QAction* a : w.ui()->Calic1->actions()) got << a->text();
    EXPECT_EQ(got, want);

    w.read(w.ui()->ReadSpec, acquired(w.dir, "s.dat", false));
    const auto raw = w.s().mem[0].counts;
    w.ui()->DataComp1->trigger();
    EXPECT_EQ(w.s().mem[0].counts[100], raw[200] + raw[201]);
    EXPECT_EQ(w.s().mem[0].counts[1500], 0);
    EXPECT_EQ(w.s().mem[0].counts[5], raw[5]);  // channels below 10 stay in the memory
}

}  // namespace
