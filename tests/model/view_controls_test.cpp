#include "model/view_controls.h"

#include <gtest/gtest.h>

#include <vector>

using namespace xmca;
using namespace xmca::view;

namespace {

ViewState window(int lo, int hi, int cursor) {
    ViewState v;
    v.lo = lo;
    v.hi = hi;
    v.cursor = cursor;
    return v;
}

int span(const ViewState& v) { return v.hi - v.lo + 1; }

}  // namespace

TEST(ViewScale, AutoPicksFirstFullScaleAboveMaximumAndNeverTheTopTwo) {
    EXPECT_EQ(autoScaleIndex(0), 1);
    EXPECT_EQ(autoScaleIndex(99), 1);
    EXPECT_EQ(autoScaleIndex(100), 2);   // must exceed, not equal
    EXPECT_EQ(autoScaleIndex(250), 3);   // 500
    EXPECT_EQ(autoScaleIndex(999999), 13);
    EXPECT_EQ(autoScaleIndex(249999999), 20);
    EXPECT_EQ(autoScaleIndex(250000000), 20);  // 500M would fit, but Auto stops at 20
    EXPECT_EQ(autoScaleIndex(999999999), 20);
    EXPECT_EQ(autoScaleIndex(4000000000LL), 20);
}

TEST(ViewScale, LabelsOfTheOddEntries) {
    EXPECT_STREQ(fullScaleLabel(0), "Log");
    EXPECT_STREQ(fullScaleLabel(14), "2,5M");  // comma, as the instrument shows it
    EXPECT_STREQ(fullScaleLabel(23), "Log");   // out of range never reads past the table
    EXPECT_EQ(fullScale(99), 1000000000);
}

TEST(ViewScale, WindowMaximumExcludesHiAndIgnoresChannelsOutsideSpectrum) {
    std::vector<std::int32_t> c(16, 1);
    c[5] = 40;
    c[9] = 70;
    EXPECT_EQ(windowMaximum(c, 16, 0, 9), 40);    // channel 9 (= hi) not included
    EXPECT_EQ(windowMaximum(c, 16, 0, 10), 70);
    EXPECT_EQ(windowMaximum(c, 8, 0, 15), 40);    // only the first 8 are valid
    EXPECT_EQ(windowMaximum(c, 16, -100, 3), 1);
    EXPECT_EQ(windowMaximum(c, 999, 10, 9999), 1);  // never past the array
    std::vector<std::int32_t> neg(4, -5);
    EXPECT_EQ(windowMaximum(neg, 4, 0, 4), 0);    // starts from 0
}

TEST(ViewScale, UpDownStepsAndStopsAtEnds) {
    ViewState v;
    v.vfsIndex = 2;
    v.logScale = 1;
    EXPECT_TRUE(stepScale(v, btNext));
    EXPECT_EQ(v.vfsIndex, 1);
    EXPECT_EQ(v.logScale, 0);
    EXPECT_FALSE(stepScale(v, btNext));
    EXPECT_EQ(v.vfsIndex, 1);
    v.vfsIndex = 21;
    EXPECT_TRUE(stepScale(v, btPrev));
    EXPECT_EQ(v.vfsIndex, 22);
    EXPECT_FALSE(stepScale(v, btPrev));
    EXPECT_EQ(v.vfsIndex, 22);
    v.logScale = 1;
    EXPECT_FALSE(stepScale(v, 7));  // other codes ignored, but log is still cleared
    EXPECT_EQ(v.vfsIndex, 22);
    EXPECT_EQ(v.logScale, 0);
}

TEST(ViewZoom, ExpandLadderFromFullWindowDownToEightChannels) {
    ViewState v = window(0, 2047, 1024);
    const int expected[] = {1024, 512, 256, 128, 64, 32, 16, 8};
    for (int want : expected) {
        ASSERT_TRUE(expand(v, 2048));
        afterZoom(v);
        EXPECT_EQ(span(v), want);
        EXPECT_LE(v.lo, 1024);
        EXPECT_GE(v.hi, 1023);
    }
    EXPECT_EQ(v.lo, 1020);
    EXPECT_EQ(v.hi, 1027);
    // 64 pixels per channel is the limit.
    EXPECT_FALSE(expand(v, 2048));
    EXPECT_EQ(span(v), 8);
}

TEST(ViewZoom, ExpandCentresOnCursorAndStaysInsideSpectrum) {
    ViewState v = window(0, 2047, 300);
    ASSERT_TRUE(expand(v, 2048));
    EXPECT_EQ(v.lo, 0);  // 300 - 512 held at 0
    EXPECT_EQ(v.hi, 1023);

    v = window(0, 2047, 2000);
    ASSERT_TRUE(expand(v, 2048));
    EXPECT_EQ(v.lo, 1024);
    EXPECT_EQ(v.hi, 2047);

    v = window(0, 2047, 1000);
    ASSERT_TRUE(expand(v, 2048));
    EXPECT_EQ(v.lo, 488);
    EXPECT_EQ(v.hi, 1511);

    // Fewer channels than columns near channel 0: lo is held at 0, hi is not moved.
    v = window(0, 255, 10);
    ASSERT_TRUE(expand(v, 2048));
    EXPECT_EQ(v.lo, 0);
    EXPECT_EQ(v.hi, 73);

    // ... and near the top the window ends at the last channel.
    v = window(1792, 2047, 2040);
    ASSERT_TRUE(expand(v, 2048));
    EXPECT_EQ(v.lo, 1920);
    EXPECT_EQ(v.hi, 2047);
}

TEST(ViewZoom, ExpandWithOutOfRangeCursorKeepsWindowInsideSpectrum) {
    for (int cursor : {-5000, -1, 2048, 100000}) {
        for (int lo : {0, 1000, 2040}) {
            ViewState v = window(lo, std::min(2047, lo + 7 + (lo == 0 ? 2040 : 0)), cursor);
            expand(v, 2048);
            afterZoom(v);
            EXPECT_GE(v.lo, 0) << cursor << " " << lo;
            EXPECT_LE(v.hi, 2047) << cursor << " " << lo;
            EXPECT_LE(v.lo, v.hi) << cursor << " " << lo;
            EXPECT_GE(v.cursor, v.lo);
            EXPECT_LE(v.cursor, v.hi);
        }
    }
}

TEST(ViewZoom, CompressLadderBackToFullWindow) {
    ViewState v = window(1020, 1027, 1024);
    const int expected[] = {16, 32, 64, 128, 256, 512, 1024, 2048};
    for (int want : expected) {
        ASSERT_TRUE(compress(v, 2048));
        afterZoom(v);
        EXPECT_EQ(span(v), want);
    }
    EXPECT_EQ(v.lo, 0);
    EXPECT_EQ(v.hi, 2047);
    EXPECT_FALSE(compress(v, 2048));  // the whole spectrum is the widest window
    EXPECT_EQ(span(v), 2048);
}

TEST(ViewZoom, CompressEdgesAndOnePixelPerChannel) {
    // Near the top the window is pulled back to end at the last channel.
    ViewState v = window(1536, 2047, 2000);
    ASSERT_TRUE(compress(v, 2048));
    EXPECT_EQ(v.lo, 1024);
    EXPECT_EQ(v.hi, 2047);

    // 300 channels on 512 columns: one pixel per channel, widened to 512 channels.
    v = window(0, 299, 150);
    ASSERT_TRUE(compress(v, 2048));
    EXPECT_EQ(v.lo, 0);
    EXPECT_EQ(v.hi, 511);
    v = window(1000, 1299, 1150);
    ASSERT_TRUE(compress(v, 2048));
    EXPECT_EQ(v.lo, 894);
    EXPECT_EQ(v.hi, 1405);

    // A 256-channel spectrum can be zoomed out again after an Expand.
    v = window(0, 255, 128);
    ASSERT_TRUE(expand(v, 256));
    afterZoom(v);
    EXPECT_EQ(span(v), 128);
    ASSERT_TRUE(compress(v, 256));
    afterZoom(v);
    EXPECT_EQ(v.lo, 0);
    EXPECT_EQ(v.hi, 255);
    EXPECT_FALSE(compress(v, 256));
}

TEST(ViewZoom, AfterZoomRecentresStrayCursorAndCopiesWindow) {
    ViewState v = window(100, 199, 50);
    afterZoom(v);
    EXPECT_EQ(v.cursor, 150);
    EXPECT_EQ(v.lo16, 100);
    EXPECT_EQ(v.hi16, 199);
    v = window(100, 199, 120);
    afterZoom(v);
    EXPECT_EQ(v.cursor, 120);
}

TEST(ViewScroll, LimitsAtBothEnds) {
    ViewState v = window(11, 522, 100);
    scroll(v, ScrollCode::LineLeft, 2048);
    EXPECT_EQ(v.lo, 1);
    EXPECT_EQ(v.hi, 512);
    EXPECT_EQ(v.cursor, 90);
    EXPECT_EQ(v.scrollPos, -10);
    scroll(v, ScrollCode::LineLeft, 2048);  // lo is 10 or less: the window stays
    EXPECT_EQ(v.lo, 1);
    EXPECT_EQ(v.scrollPos, -20);
    v = window(10, 521, 100);
    scroll(v, ScrollCode::LineLeft, 2048);
    EXPECT_EQ(v.lo, 10);

    v = window(1526, 2037, 1800);
    scroll(v, ScrollCode::LineRight, 2048);
    EXPECT_EQ(v.lo, 1536);
    EXPECT_EQ(v.hi, 2047);
    EXPECT_EQ(v.cursor, 1810);
    EXPECT_EQ(v.scrollPos, 10);
    scroll(v, ScrollCode::LineRight, 2048);  // hi + 10 would pass the last channel
    EXPECT_EQ(v.hi, 2047);
    EXPECT_EQ(v.scrollPos, 20);

    v = window(500, 600, 550);
    scroll(v, ScrollCode::Other, 2048);
    EXPECT_EQ(v.lo, 500);
    EXPECT_EQ(v.hi, 600);
    EXPECT_EQ(v.scrollPos, 0);
}

TEST(ViewMouse, ChannelUnderClick) {
    EXPECT_EQ(channelAtX(0, 2047, 16), 0);
    EXPECT_EQ(channelAtX(0, 2047, 116), 400);   // 4 channels per column
    EXPECT_EQ(channelAtX(0, 2047, 527), 2044);
    EXPECT_EQ(channelAtX(1000, 1255, 117), 1050);  // 2 pixels per channel
    EXPECT_EQ(channelAtX(1000, 1511, 0), 984);  // left of the plot: below lo
    EXPECT_LT(channelAtX(0, 2047, 10), 0);
    EXPECT_EQ(channelAtX(5, 4, 100), 5);  // a broken window does not divide by zero
    EXPECT_EQ(clampChannel(channelAtX(0, 2047, 10), 2048), 0);
    EXPECT_EQ(clampChannel(5000, 2048), 2047);
    EXPECT_EQ(clampChannel(5, 0), 0);
}

TEST(ViewMouse, CountAtReadsOutsideAsZero) {
    std::vector<std::int32_t> c = {7, 8, 9, 10};
    EXPECT_EQ(countAt(c, 4, 0), 7);
    EXPECT_EQ(countAt(c, 4, 3), 10);
    EXPECT_EQ(countAt(c, 3, 3), 0);   // beyond the channel count
    EXPECT_EQ(countAt(c, 99, 4), 0);  // beyond the array
    EXPECT_EQ(countAt(c, 4, -1), 0);
    EXPECT_EQ(windowLabel(17), "17ch");
}
