#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "support/scripted_analyser.h"
#include "ui_tform1.h"
#include "xmca/paint_box.h"
#include "xmca/tform1.h"
#include "xmca/up_down.h"

namespace {

struct ViewWindow {
    xmca::test::ScriptedAnalyser* dev;
    std::unique_ptr<TForm1> form;
    ViewWindow() {
        auto d = std::make_unique<xmca::test::ScriptedAnalyser>();
        dev = d.get();
        form = std::make_unique<TForm1>(std::move(d), TForm1::Options{});
        form->state().spectrum.fill(0);
    }
    Ui::TForm1* ui() { return form->form(); }
    xmca::ViewState& view() { return form->state().view; }
    void startAcquisition() {
        ui()->McaOpen->click();
        ui()->McaStart->click();
        ASSERT_TRUE(form->link().AcquisitionRunning);
    }
};

}  // namespace

TEST(ViewWindow, LocalExpandCompressAndLabels) {
    ViewWindow w;
    ASSERT_EQ(w.view().lo, 0);
    ASSERT_EQ(w.view().hi, 2047);
    w.ui()->Expand->click();
    EXPECT_EQ(w.view().lo, 512);
    EXPECT_EQ(w.view().hi, 1535);
    EXPECT_EQ(w.view().lo16, 512);
    EXPECT_EQ(w.ui()->Label1->text(), "512ch");
    EXPECT_EQ(w.ui()->Label2->text(), "1535ch");
    w.ui()->Compres->click();
    EXPECT_EQ(w.view().lo, 0);
    EXPECT_EQ(w.view().hi, 2047);
    EXPECT_EQ(w.ui()->PaintBox1->frame().size(), QSize(528, 336));
}

TEST(ViewWindow, LocalAutoLogAndUpDown) {
    ViewWindow w;
    w.form->state().spectrum[700] = 250;
    w.form->state().spectrum[2047] = 100000;  // hi itself is not part of the maximum
    w.ui()->LogDisp->click();
    EXPECT_EQ(w.view().logScale, 1);
    w.ui()->AutoVfs->click();
    EXPECT_EQ(w.view().logScale, 0);
    EXPECT_EQ(w.view().vfsIndex, 3);
    w.form->UpDown1Click(UpDown::btNext);
    EXPECT_EQ(w.view().vfsIndex, 2);
    w.form->UpDown1Click(UpDown::btPrev);
    w.form->UpDown1Click(UpDown::btPrev);
    EXPECT_EQ(w.view().vfsIndex, 4);
    w.form->UpDown1Click(5);  // not a button
    EXPECT_EQ(w.view().vfsIndex, 4);
}

TEST(ViewWindow, ForwardedCommandsChangeNothingWithoutAcknowledge) {
    ViewWindow w;
    w.startAcquisition();
    w.form->state().maxCount = 250;
    w.dev->status.displayLowCh = 100;
    w.dev->status.displayHighCh = 355;
    const xmca::ViewState before = w.view();
    w.dev->ack = "?";
    w.dev->log.clear();
    w.ui()->LogDisp->click();
    w.ui()->AutoVfs->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "$V3;");
    w.form->UpDown1Click(UpDown::btNext);
    w.form->UpDown1Click(UpDown::btPrev);
    w.ui()->Expand->click();
    w.ui()->Compres->click();
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderSingleStepSub);
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderSingleStepAdd);
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderPageStepAdd);
    const std::vector<std::string> sent = {"$O;", "$V3;", "$V;", "$v;", "$E;", "$e;", "$l;", "$r;", "$ ;"};
    EXPECT_EQ(w.dev->log, sent);
    const xmca::ViewState& v = w.view();
    EXPECT_EQ(v.lo, before.lo);
    EXPECT_EQ(v.hi, before.hi);
    EXPECT_EQ(v.vfsIndex, before.vfsIndex);
    EXPECT_EQ(v.logScale, before.logScale);
    EXPECT_EQ(v.cursor, before.cursor);

    // With "!" the same commands act, and a zoom takes the analyser's window.
    w.dev->ack = "!";
    w.ui()->LogDisp->click();
    EXPECT_EQ(w.view().logScale, 1);
    w.ui()->AutoVfs->click();
    EXPECT_EQ(w.view().vfsIndex, 3);
    EXPECT_EQ(w.view().logScale, 0);
    w.form->UpDown1Click(UpDown::btPrev);
    EXPECT_EQ(w.view().vfsIndex, 4);
    w.ui()->Expand->click();
    EXPECT_EQ(w.view().lo, 100);
    EXPECT_EQ(w.view().hi, 355);
    EXPECT_EQ(w.ui()->Label1->text(), "100ch");
    // No local zoom on top of the analyser's.
    EXPECT_EQ(w.view().hi - w.view().lo + 1, 256);
}

TEST(ViewWindow, ClickSetsCursorRoiBoundsAndEnergy) {
    ViewWindow w;
    auto& s = w.form->state();
    s.spectrum[400] = 42;
    w.form->PaintBox1MouseDown(Qt::LeftButton, 16 + 100, 50);  // 4 channels per column
    EXPECT_EQ(w.view().cursor, 400);
    EXPECT_EQ(w.ui()->Label3->text(), "400");
    EXPECT_EQ(w.ui()->Label7->text(), "42");
    w.form->PaintBox1MouseDown(Qt::RightButton, 16 + 300, 50);
    EXPECT_EQ(w.view().cursor, 400);
    // Left of the plot: below lo, kept inside the spectrum.
    w.form->PaintBox1MouseDown(Qt::LeftButton, 3, 50);
    EXPECT_EQ(w.view().cursor, 0);
    w.view().lo = 1000;
    w.view().hi = 1511;
    w.form->PaintBox1MouseDown(Qt::LeftButton, 6, 50);
    EXPECT_EQ(w.view().cursor, 990);

    s.cal.calibrated = 1;
    s.cal.gain = 0.5f;
    s.cal.offset = 10.0f;
    s.cal.unit = "keV";
    w.ui()->PageControl1->setCurrentWidget(w.ui()->RoiPage);
    w.ui()->ROINoSelect->setCurrentIndex(4);
    w.ui()->ROILowCh->setChecked(true);
    w.form->PaintBox1MouseDown(Qt::LeftButton, 16 + 20, 50);
    EXPECT_EQ(s.rois[4].low, 1020);
    EXPECT_EQ(w.ui()->EditROILow->text(), "1020");
    EXPECT_EQ(w.ui()->Label8->text(), "  520.00");
    EXPECT_EQ(w.ui()->Label9->text(), "keV");
    w.ui()->ROILowCh->setChecked(false);
    w.ui()->ROIHighCh->setChecked(true);
    w.form->PaintBox1MouseDown(Qt::LeftButton, 16 + 40, 50);
    EXPECT_EQ(s.rois[4].high, 1040);
    EXPECT_EQ(s.rois[4].low, 1020);
    // Another page showing: the ROI is left alone.
    w.ui()->PageControl1->setCurrentIndex(0);
    w.form->PaintBox1MouseDown(Qt::LeftButton, 16 + 60, 50);
    EXPECT_EQ(s.rois[4].high, 1040);
    EXPECT_EQ(w.view().cursor, 1060);
}

TEST(ViewWindow, ClickSendsCursorWhileConnected) {
    ViewWindow w;
    w.ui()->McaOpen->click();
    w.dev->log.clear();
    w.form->PaintBox1MouseDown(Qt::LeftButton, 16 + 2, 50);
    ASSERT_EQ(w.dev->log.size(), 1u);
    EXPECT_EQ(w.dev->log[0], "$@C0008;");
}

TEST(ViewWindow, SnapPeakMovesCursorOnlyToARealPeak) {
    ViewWindow w;
    auto& s = w.form->state();
    w.view().cursor = 1000;
    w.ui()->Edit1->setText("Status");
    w.ui()->SnapPeak->click();
    EXPECT_EQ(w.view().cursor, 1000);
    EXPECT_EQ(w.ui()->Edit1->text(), "Status");
    s.spectrum[1006] = 100;
    s.spectrum[1007] = 100;
    w.ui()->SnapPeak->click();
    EXPECT_EQ(w.ui()->Edit1->text(), " 1006.50");
    EXPECT_EQ(w.view().cursor, 1007);
    EXPECT_EQ(w.ui()->Label3->text(), "1007");
    EXPECT_FLOAT_EQ(w.view().snapCentroid, 1006.5f);
}

TEST(ViewWindow, LocalScrollShiftsWindowAndShowsPosition) {
    ViewWindow w;
    w.view().lo = 100;
    w.view().hi = 611;
    w.view().cursor = 300;
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w.view().lo, 110);
    EXPECT_EQ(w.view().hi, 621);
    EXPECT_EQ(w.view().cursor, 310);
    EXPECT_EQ(w.ui()->Edit1->text(), "10");
    EXPECT_EQ(w.ui()->Label1->text(), "110ch");
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(w.view().lo, 100);
    EXPECT_EQ(w.ui()->Edit1->text(), "0");
}
