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

TEST(RoiTable, LabelKeepsSevenShiftJisBytesWithoutSplittingACharacter) {
    MeasurementState s;
    RoiEditors ed;
    ed.low = "600";
    ed.high = "720";
    // "AB" + three katakana: the third would end at byte 8, so it is left out whole.
    ed.element = "AB\x83\x5A\x83\x56\x83\x45";
    ASSERT_EQ(storeRoi(s, 1, true, ed), "");
    EXPECT_EQ(std::string(s.rois[1].label.data()), "AB\x83\x5A\x83\x56");
    EXPECT_EQ(s.rois[1].label[6], '\0');
    EXPECT_EQ(selectRoi(s, 1).element, "AB\x83\x5A\x83\x56");
    // Exactly seven bytes fit: one ASCII byte and three two-byte characters.
    ed.element = "A\x83\x5A\x83\x56\x83\x45";
    ASSERT_EQ(storeRoi(s, 1, true, ed), "");
    EXPECT_EQ(std::string(s.rois[1].label.data()), ed.element);
    // A byte of 0x5C as a trail byte is part of its character, not a cut point.
    ed.element = "\x95\x5C\x83\x5A\x83\x56\x83\x45";  // four characters, 8 bytes
    ASSERT_EQ(storeRoi(s, 1, true, ed), "");
    EXPECT_EQ(std::string(s.rois[1].label.data()), "\x95\x5C\x83\x5A\x83\x56");
    // The label ends at a NUL in the editors' text; the rest of the record is cleared.
    ed.element = std::string("Cs\0K-40", 7);
    ASSERT_EQ(storeRoi(s, 1, true, ed), "");
    EXPECT_EQ(std::string(s.rois[1].label.data(), 8), std::string("Cs\0\0\0\0\0\0", 8));
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
