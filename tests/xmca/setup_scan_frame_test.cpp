#include <gtest/gtest.h>

#include <QImage>

#include "display/scan_frame.h"

namespace {

using namespace xmca;
using namespace xmca::display;

constexpr int W = 512, H = 312;

QRgb rgbOf(TColor c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

struct Frame {
    MeasurementState s;
    DeviceStatus st;
    QImage img{W, H, QImage::Format_RGB32};
    Frame() {
        st.trace.fill(128);  // y = 312 - 128 * 312 / 256 = 156
        s.view.lo = 0;
        s.view.hi = 2047;
        s.view.cursor = 1024;
    }
    void draw() { drawScanFrame(s, st, img); }
    QRgb at(int x, int y) const { return img.pixel(x, y); }
    int count(QRgb c, int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += img.pixel(x, y) == c;
        return n;
    }
};

const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);

TEST(ScanFrame, TraceHeightsAndSpread) {
    EXPECT_EQ(scanTraceY(0, H), H - 1);  // limited to the bottom row
    EXPECT_EQ(scanTraceY(1, H), H - 1);
    EXPECT_EQ(scanTraceY(128, H), 156);
    EXPECT_EQ(scanTraceY(255, H), 312 - 310);
    EXPECT_EQ(scanPointX(0, W), 0);
    EXPECT_EQ(scanPointX(1, W), 2);
    EXPECT_EQ(scanPointX(255, W), 510);
    EXPECT_EQ(scanPointAt(511, W), 255);
    EXPECT_EQ(scanPointAt(3, W), 1);
}

TEST(ScanFrame, TraceIsGreenAtItsHeights) {
    Frame f;
    for (int i = 0; i < 256; ++i) f.st.trace[i] = i < 128 ? 0 : 255;
    f.s.view.cursor = 0;  // no cursor mark
    f.draw();
    EXPECT_EQ(f.at(100, H - 1), kGreen);  // byte 0 on the bottom row
    EXPECT_EQ(f.at(400, 2), kGreen);      // byte 255
    EXPECT_EQ(f.at(511, 2), kGreen);      // the last point reaches the right edge
    EXPECT_NE(f.at(100, H - 2), kGreen);
    EXPECT_NE(f.at(400, 3), kGreen);
    // The step from low to high is joined: column 254..256 carries green all the way up.
    EXPECT_GT(f.count(kGreen, 254, 2, 257, H), 250);
}

TEST(ScanFrame, CursorMarkIsRed25PixelsAboveTheTrace) {
    Frame f;
    f.draw();
    const int x = 1024 * W / 2048;  // 256
    for (int y = 156 - 25; y < 156; ++y) EXPECT_EQ(f.at(x, y), kRed) << y;
    EXPECT_NE(f.at(x, 156 - 26), kRed);
    EXPECT_EQ(f.count(kRed, 200, 40, W, H), 26);  // nothing else red below the texts

    // A cursor outside the window draws no mark.
    Frame g;
    g.s.view.lo = 1100;
    g.s.view.hi = 2047;
    g.draw();
    EXPECT_EQ(g.count(kRed, 0, 40, W, H), 0);
}

TEST(ScanFrame, BarsOfTheFirstEightShownRois) {
    Frame f;
    f.s.view.cursor = 0;
    for (int j = 0; j < 10; ++j) {
        auto& r = f.s.rois[j];
        r.shown = 1;
        r.low = 100 + 200 * j;
        r.high = r.low + 40;  // columns 25 + 50 j .. 35 + 50 j
        r.colour = 0x00100000u * static_cast<TColor>(j + 1) + 0x40;  // distinct, not green or red
    }
    f.s.rois[1].shown = 0;  // off: skipped and not counted among the eight
    f.draw();
    auto colAt = [&](int j) { return 25 + 50 * j + 5; };
    EXPECT_EQ(f.at(colAt(0), 200), rgbOf(f.s.rois[0].colour));
    EXPECT_EQ(f.at(colAt(0), H - 1), rgbOf(f.s.rois[0].colour));
    EXPECT_NE(f.at(colAt(0), 150), rgbOf(f.s.rois[0].colour));  // above the trace
    EXPECT_NE(f.at(colAt(1), 200), rgbOf(f.s.rois[1].colour));
    for (int j = 2; j <= 8; ++j) EXPECT_EQ(f.at(colAt(j), 200), rgbOf(f.s.rois[j].colour)) << j;
    EXPECT_NE(f.at(colAt(9), 200), rgbOf(f.s.rois[9].colour));  // the ninth shown one
    // The trace stays on top of the bars.
    EXPECT_EQ(f.at(colAt(0), 156), kGreen);
}

TEST(ScanFrame, RoiOutsideTheWindowIsNotDrawn) {
    Frame f;
    f.s.view.lo = 1000;
    f.s.view.hi = 1511;  // one channel per column
    f.s.rois[0] = {1, 1, {}, 10, 50, 0x00FF00FFu};
    f.s.rois[1] = {1, 1, {}, 3000, 3500, 0x00FFFF00u};
    f.s.rois[2] = {1, 1, {}, 1500, 4000, 0x000080FFu};  // runs off the right: drawn up to the edge
    f.draw();
    EXPECT_EQ(f.count(rgbOf(0x00FF00FFu), 0, 0, W, H), 0);
    EXPECT_EQ(f.count(rgbOf(0x00FFFF00u), 0, 160, W, H), 0);
    EXPECT_EQ(f.at(505, 250), rgbOf(0x000080FFu));
    EXPECT_EQ(f.at(511, 250), rgbOf(0x000080FFu));
}

TEST(ScanFrame, TextsOfTheFrame) {
    Frame f;
    f.s.settings.label1 = "SOIL";
    f.s.scan.presetTime = 10;
    f.st.realTime = 1234;
    f.st.eventCount = 56789;
    f.s.totalCounts = 12.5f;
    f.draw();
    const QRgb cyan = rgbOf(f.s.colours.readout), white = rgbOf(f.s.colours.text);
    // "* ACQ *" in red at (50, 5).
    EXPECT_GT(f.count(kRed, 50, 5, 110, 17), 10);
    // Read-outs right-aligned at 175 and 375, two lines.
    EXPECT_GT(f.count(cyan, 110, 5, 176, 17), 10);
    EXPECT_GT(f.count(cyan, 110, 18, 176, 30), 10);
    EXPECT_EQ(f.count(cyan, 176, 0, 300, 40), 0);
    EXPECT_GT(f.count(cyan, 320, 5, 376, 17), 10);
    EXPECT_GT(f.count(cyan, 320, 18, 376, 30), 10);
    EXPECT_EQ(f.count(cyan, 376, 0, W, 40), 0);
    // The first label at (50, 18), the full-scale name at (10, 18) in linear mode only.
    EXPECT_GT(f.count(white, 50, 18, 100, 30), 10);
    EXPECT_GT(f.count(white, 10, 18, 48, 30), 5);
    Frame g;
    g.s.view.logScale = 1;
    g.draw();
    EXPECT_EQ(g.count(white, 10, 18, 48, 30), 0);
}

TEST(ScanFrame, FrameStartsFromTheBackground) {
    Frame f;
    QImage bg(W, H, QImage::Format_RGB32);
    bg.fill(qRgb(0, 0, 128));
    drawScanFrame(f.s, f.st, f.img, &bg);
    EXPECT_EQ(f.at(300, 250), qRgb(0, 0, 128));
    // Drawing again over an old frame leaves nothing of it.
    f.st.trace.fill(0);
    f.draw();
    EXPECT_EQ(f.count(kGreen, 0, 100, W, 200), 0);
    EXPECT_EQ(f.at(300, 250), rgbOf(f.s.colours.background));
}

TEST(ScanFrame, DegenerateWindowAndTinyImageAreSafe) {
    Frame f;
    f.s.view.lo = 500;
    f.s.view.hi = 100;  // reversed: treated as one channel
    f.s.rois[0] = {1, 1, {}, -5000, 90000, 0x00FF0000u};
    f.draw();
    QImage tiny(1, 1, QImage::Format_RGB32);
    drawScanFrame(f.s, f.st, tiny);
    QImage none;
    drawScanFrame(f.s, f.st, none);
    EXPECT_TRUE(none.isNull());
}

}  // namespace
