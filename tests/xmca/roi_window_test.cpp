// The ROI page of the main window, driven through its controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "support/scripted_analyser.h"
#include "ui_tform1.h"
#include "xmca/tform1.h"

namespace {

struct RoiWindow {
    std::unique_ptr<TForm1> form =
        std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), TForm1::Options{});
    Ui::TForm1* ui() { return form->form(); }
    xmca::MeasurementState& s() { return form->state(); }
    // Selects ROI idx, fills the editors and clicks "ON" into the checked state.
    void store(int idx, const QString& low, const QString& high, const QString& element) {
        ui()->ROINoSelect->setCurrentIndex(idx);
        ui()->EditROILow->setText(low);
        ui()->EditROIHigh->setText(high);
        ui()->Element->setText(element);
        ui()->ROIOnCheck->setChecked(false);
        ui()->ROIOnCheck->click();
    }
};

TEST(RoiWindow, JapaneseElementIsStoredAsShiftJisAndShownBack) {
    RoiWindow w;
    // "セシウム" (four katakana, 8 bytes in Shift-JIS): the fourth does not fit whole.
    w.store(3, "640", "690", QString::fromUtf8("\xE3\x82\xBB\xE3\x82\xB7\xE3\x82\xA6\xE3\x83\xA0"));
    const auto& r = w.s().rois[3];
    ASSERT_EQ(r.shown, 1);
    EXPECT_EQ(std::string(r.label.data()), "\x83\x5A\x83\x56\x83\x45");
    EXPECT_EQ(r.low, 640);

    // Selecting another ROI and coming back shows the label decoded.
    w.ui()->ROINoSelect->setCurrentIndex(5);
    EXPECT_EQ(w.ui()->Element->text(), "");
    w.ui()->ROINoSelect->setCurrentIndex(3);
    EXPECT_EQ(w.ui()->Element->text(), QString::fromUtf8("\xE3\x82\xBB\xE3\x82\xB7\xE3\x82\xA6"));
    EXPECT_EQ(w.ui()->EditROILow->text(), "640");

    // Plain ASCII is cut to seven bytes as before; a character without a
    // Shift-JIS form becomes '?' rather than a broken byte.
    w.store(4, "10", "20", "Cs-137xyz");
    EXPECT_EQ(std::string(w.s().rois[4].label.data()), "Cs-137x");
    w.store(5, "30", "40", QString::fromUtf8("K\xF0\x9F\x98\x80"));  // K + an emoji
    EXPECT_EQ(std::string(w.s().rois[5].label.data()), "K?");
}

}  // namespace
