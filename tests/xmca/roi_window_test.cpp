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
    void store(int idx, const QString& low, const QString& high, const QString& element,
               xmca::TColor colour = 0xFF0000) {
        ui()->ROINoSelect->setCurrentIndex(idx);
        ui()->ROIColor->setCurrentIndex(ui()->ROIColor->findData(QVariant::fromValue<uint>(colour)));
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

TEST(RoiWindow, JapaneseLabelIsDrawnOnThePlotNotAsQuestionMarks) {
    RoiWindow w;
    auto labelArea = [&] { return w.ui()->PaintBox1->frame().copy(16 + 420, 5 + 5, 60, 13); };
    // Yellow, so the label's pixels can be told from everything else.
    w.store(0, "600", "720", "???", 0x00FFFF);
    const QImage questionMarks = labelArea();
    w.store(0, "600", "720", QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC"), 0x00FFFF);  // two kanji
    const QImage japanese = labelArea();
    int yellow = 0;
    for (int y = 0; y < japanese.height(); ++y)
        for (int x = 0; x < japanese.width(); ++x) yellow += japanese.pixel(x, y) == qRgb(255, 255, 0);
    EXPECT_GT(yellow, 30);  // two full-width characters
    EXPECT_NE(japanese, questionMarks);
    // Switching the ROI off takes its label off the plot.
    w.ui()->ROIOnCheck->click();
    ASSERT_EQ(w.s().rois[0].shown, 0);
    EXPECT_EQ(std::string(w.s().rois[0].label.data()), "\x93\xfa\x96\x7b");
    const QImage off = labelArea();
    int left = 0;
    for (int y = 0; y < off.height(); ++y)
        for (int x = 0; x < off.width(); ++x) left += off.pixel(x, y) == qRgb(255, 255, 0);
    EXPECT_EQ(left, 0);
}

}  // namespace
