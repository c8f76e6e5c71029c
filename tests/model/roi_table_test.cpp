#include "model/roi_table.h"

#include <gtest/gtest.h>

namespace xmca {
namespace {

TEST(RoiTable, StoreReadsLowBeforeHighAndStopsAtTheFirstBadField) {
    MeasurementState s;
    RoiEditors ed;
    ed.low = "120";
    ed.high = "1x0";
    ed.element = "Cs-137xyz";
    ed.colour = 0x0000FF;
    EXPECT_EQ(storeRoi(s, 4, true, ed), "Error ! ROI HighCh");
    EXPECT_EQ(s.rois[4].low, 120);  // read before the failure
    EXPECT_EQ(s.rois[4].defined, 0);
    EXPECT_EQ(s.rois[4].shown, 0);

    ed.low = "abc";
    EXPECT_EQ(storeRoi(s, 4, true, ed), "Error ! ROI LowCh");
    EXPECT_EQ(s.rois[4].low, 120);

    ed.low = " 640 ";
    ed.high = "690";
    EXPECT_EQ(storeRoi(s, 4, true, ed), "");
    EXPECT_EQ(s.rois[4].low, 640);
    EXPECT_EQ(s.rois[4].high, 690);
    EXPECT_STREQ(s.rois[4].label.data(), "Cs-137x");  // cut to 7 characters
    EXPECT_EQ(s.rois[4].shown, 1);
    EXPECT_EQ(s.selectedRoi, 4);
    EXPECT_EQ(storeRoi(s, -1, true, ed), "Error ! ROI # Unknown");
}

TEST(RoiTable, SwitchedOffRoiReloadsItsFields) {
    MeasurementState s;
    RoiEditors ed;
    ed.low = "10";
    ed.high = "20";
    ed.element = "K";
    ed.colour = 0x008000;
    ASSERT_EQ(storeRoi(s, 2, true, ed), "");
    ASSERT_EQ(storeRoi(s, 2, false, RoiEditors{}), "");
    EXPECT_EQ(s.rois[2].shown, 0);
    const RoiEditors back = selectRoi(s, 2);
    EXPECT_EQ(back.low, "10");
    EXPECT_EQ(back.high, "20");
    EXPECT_EQ(back.element, "K");
    EXPECT_EQ(back.colour, 0x008000u);
    EXPECT_FALSE(back.on);
    // A record never defined clears the editors to blue.
    const RoiEditors blank = selectRoi(s, 9);
    EXPECT_EQ(blank.low, "0");
    EXPECT_EQ(blank.colour, 0xFF0000u);
    EXPECT_EQ(s.selectedRoi, 2);
}

TEST(RoiTable, IntegerParsingIsStrict) {
    EXPECT_EQ(parseInteger("-7"), -7);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_FALSE(parseInteger(""));
    EXPECT_FALSE(parseInteger("-"));
    EXPECT_FALSE(parseInteger("1.5"));
    EXPECT_FALSE(parseInteger("99999999999"));
}

}  // namespace
}  // namespace xmca
