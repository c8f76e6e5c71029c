#include "display/frame_renderer.h"

#include <gtest/gtest.h>

#include "model/bq_calic.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <memory>

#include "display/plot_math.h"

using namespace xmca;
using namespace xmca::display;

namespace {

constexpr int W = FrameRenderer::kW;
constexpr int H = FrameRenderer::kH;
constexpr int B = H - 1;

std::unique_ptr<MeasurementState> blankState() {
    auto s = std::make_unique<MeasurementState>();
    s->spectrum.fill(0);
    s->channelCount = 2048;
    s->view.lo = 0;
    s->view.hi = 2047;
    s->view.vfsIndex = 2;  // full scale 250
    s->view.logScale = 0;
    s->view.cursor = 0;    // no cursor mark unless a test moves it
    s->statusText.clear();
    return s;
}

QRgb rgbOf(TColor c) { return toQColor(c).rgb(); }

const QImage& render(FrameRenderer& r, MeasurementState& s) { return r.compose(s, FrameWriteBack::into(s)); }

// Colour of plot pixel (x, y) as composed into the paint-box image.
QRgb plotPixel(const QImage& frame, int x, int y) { return frame.pixel(16 + x, 5 + y); }

int countColour(const QImage& img, QRect area, QRgb c) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixel(x, y) == c) ++n;
    return n;
}

}  // namespace

TEST(PlotMath, LogHeightsAndLinearClampAtBottomOnly) {
    // D = 52: log10(2) * 52 = 15.65 -> 15; a count of 1 gets half of that.
    EXPECT_EQ(countHeight(2, true, 0, H), 15);
    EXPECT_EQ(countHeight(1, true, 0, H), 7);
    EXPECT_EQ(countHeight(1, true, 0, H), countHeight(2, true, 0, H) / 2);
    EXPECT_EQ(countHeight(1000, true, 0, H), 156);  // three decades of six
    EXPECT_EQ(countToY(0, true, 0, H), B);
    EXPECT_EQ(countToY(1000000, true, 0, H), 0);

    EXPECT_EQ(countToY(125, false, 250, H), 156);
    EXPECT_EQ(countToY(250, false, 250, H), 0);
    EXPECT_EQ(countToY(1000, false, 250, H), H - 1248);  // above full scale: runs off the top
    EXPECT_EQ(countToY(0, false, 250, H), B);            // y = H clamps to the bottom row
    EXPECT_EQ(countToY(-50, false, 250, H), B);
    EXPECT_EQ(countToY(INT_MAX, false, 100, H), kMinY);  // no overflow, held far above
}

TEST(PlotMath, ColumnGeometryBothModes) {
    auto g = columnGeometry(0, 2047, W);
    EXPECT_EQ(g.n, 4);
    EXPECT_FALSE(g.pixelsPerChannel());
    g = columnGeometry(1000, 1127, W);
    EXPECT_TRUE(g.pixelsPerChannel());
    EXPECT_EQ(g.p, 4);
    EXPECT_EQ(g.n, -4);
    g = columnGeometry(0, 299, W);  // one pixel per channel
    EXPECT_EQ(g.p, 1);
    g = columnGeometry(50, 10, W);  // broken window: one channel
    EXPECT_EQ(g.span, 1);
    EXPECT_EQ(g.p, W);
    g = columnGeometry(INT_MIN, INT_MAX, W);
    EXPECT_EQ(g.n, (std::int64_t{1} << 32) / W);
}

TEST(FrameTrace, ChannelsPerColumnShowMinToMax) {
    FrameRenderer r;
    auto s = blankState();
    s->spectrum[400] = 125;  // column 100 (4 channels per column), y 156
    s->spectrum[1601] = 250; // column 400, y 0
    const QImage& f = render(r, *s);
    EXPECT_EQ(s->traceTop[100], 156);
    EXPECT_EQ(s->traceBottom[100], B);  // the other three channels are 0
    EXPECT_EQ(s->traceTop[99], B);
    EXPECT_EQ(s->traceTop[400], 0);
    const QRgb white = rgbOf(s->colours.trace);
    for (int y = 156; y <= B; ++y) ASSERT_EQ(plotPixel(f, 100, y), white) << y;
    EXPECT_NE(plotPixel(f, 100, 150), white);
    EXPECT_NE(plotPixel(f, 102, 200), white);  // neighbouring columns stay dark
    EXPECT_EQ(plotPixel(f, 400, 100), white);
}

TEST(FrameTrace, PixelsPerChannelStretchesEachChannelIntoAStep) {
    FrameRenderer r;
    auto s = blankState();
    s->view.lo = 1000;
    s->view.hi = 1127;  // 128 channels: 4 pixels per channel
    s->spectrum[1010] = 125;
    const QImage& f = render(r, *s);
    for (int x = 40; x < 44; ++x) {
        EXPECT_EQ(s->traceTop[x], 156);
        EXPECT_EQ(s->traceBottom[x], 156);
    }
    EXPECT_EQ(s->traceTop[39], B);
    EXPECT_EQ(s->traceTop[44], B);
    const QRgb white = rgbOf(s->colours.trace);
    for (int x = 40; x <= 44; ++x) EXPECT_EQ(plotPixel(f, x, 156), white) << x;  // the top of the step
    EXPECT_EQ(plotPixel(f, 40, 250), white);   // rising edge
    EXPECT_EQ(plotPixel(f, 44, 250), white);   // falling edge
    EXPECT_NE(plotPixel(f, 42, 250), white);   // an outline, not filled
    EXPECT_NE(plotPixel(f, 45, 156), white);
}

TEST(FrameTrace, LogModeCountOneAtHalfHeightOfTwo) {
    FrameRenderer r;
    auto s = blankState();
    s->view.logScale = 1;
    s->view.lo = 0;
    s->view.hi = 255;  // 2 pixels per channel
    s->spectrum[10] = 2;
    s->spectrum[20] = 1;
    const QImage& f = render(r, *s);
    EXPECT_EQ(s->traceTop[20], H - 15);
    EXPECT_EQ(s->traceTop[40], H - 7);
    EXPECT_EQ(s->traceTop[0], B);
    const QRgb white = rgbOf(s->colours.trace);
    EXPECT_EQ(plotPixel(f, 21, H - 15), white);
    EXPECT_EQ(plotPixel(f, 41, H - 7), white);
    EXPECT_NE(plotPixel(f, 41, H - 15), white);
}

TEST(FrameTrace, AboveFullScaleIsCutAtTheTopNotClamped) {
    FrameRenderer r;
    auto s = blankState();
    s->view.lo = 0;
    s->view.hi = 511;  // one channel per column
    s->spectrum[300] = 1000;
    s->spectrum[301] = -40;
    const QImage& f = render(r, *s);
    EXPECT_EQ(s->traceTop[300], H - 1248);
    EXPECT_EQ(s->traceTop[301], B);
    EXPECT_EQ(plotPixel(f, 300, 0), rgbOf(s->colours.trace));  // runs through the top row
    EXPECT_EQ(f.pixel(16 + 300, 4), rgbOf(FrameRenderer::kStripFace));  // and is cut above it
}

TEST(FrameRoi, GrossNetWrittenBackWithBackgroundFromBothSides) {
    FrameRenderer r;
    auto s = blankState();
    for (int k = 100; k <= 104; ++k) s->spectrum[k] = 10;
    for (int k = 97; k <= 99; ++k) s->spectrum[k] = 2;
    for (int k = 105; k <= 107; ++k) s->spectrum[k] = 4;
    auto& roi = s->rois[0];
    roi.shown = roi.defined = 1;
    roi.low = 100;
    roi.high = 104;
    render(r, *s);
    EXPECT_EQ(roi.gross, 50);
    EXPECT_EQ(roi.net, 50 - 12);  // (2 + 4) * (104 - 100) * 0.5

    // A hidden record and records past the first ten are not touched.
    s->rois[1].low = 100;
    s->rois[1].high = 104;
    s->rois[1].gross = 77;
    s->rois[12] = roi;
    s->rois[12].gross = 5;
    render(r, *s);
    EXPECT_EQ(s->rois[1].gross, 77);
    EXPECT_EQ(s->rois[12].gross, 5);
}

TEST(FrameRoi, ChannelsOutsideSpectrumReadAsZero) {
    auto s = blankState();
    s->channelCount = 512;
    s->spectrum.fill(1000);  // stale counts past the channel count must not be seen
    for (int k = 0; k < 512; ++k) s->spectrum[k] = 3;
    auto sums = roiSums(*s, 0, 1);  // left background entirely outside
    EXPECT_DOUBLE_EQ(sums.gross, 6);
    EXPECT_DOUBLE_EQ(sums.net, 6 - (0 + 3) * 1 * 0.5);
    sums = roiSums(*s, 510, 600);
    EXPECT_DOUBLE_EQ(sums.gross, 6);
    EXPECT_DOUBLE_EQ(sums.net, 6 - (3 + 0) * 90 * 0.5);
    sums = roiSums(*s, -100000, -5);
    EXPECT_DOUBLE_EQ(sums.gross, 0);
    sums = roiSums(*s, INT_MIN, INT_MAX);
    EXPECT_DOUBLE_EQ(sums.gross, 3.0 * 512);
    // low above high: an empty region has neither gross nor net counts.
    sums = roiSums(*s, 300, 200);
    EXPECT_DOUBLE_EQ(sums.gross, 0);
    EXPECT_DOUBLE_EQ(sums.net, 0);
}

TEST(FrameRoi, LargeSumsAreExact) {
    auto s = blankState();
    for (int k = 0; k < 2048; ++k) s->spectrum[k] = 1000001;  // 2.05e9 in all: past float's 2^24
    const auto sums = roiSums(*s, 0, 2047);
    EXPECT_EQ(truncToInt32(sums.gross), 2048002048);
    EXPECT_EQ(truncToInt32(1e12), INT_MAX);
    EXPECT_EQ(truncToInt32(-2.7), -2);
}

TEST(FrameRoi, ShadingColumnsAndSkipRules) {
    auto g = columnGeometry(90, 217, W);  // 4 pixels per channel
    auto c = roiColumns(g, 90, 100, 104, W);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->start, 40);
    EXPECT_EQ(c->end, 56);
    c = roiColumns(g, 90, 50, 95, W);  // start left of the plot is clamped
    ASSERT_TRUE(c);
    EXPECT_EQ(c->start, 0);
    EXPECT_FALSE(roiColumns(g, 90, 50, 90, W));   // end < 1
    EXPECT_FALSE(roiColumns(g, 90, 150, 300, W)); // end past the plot
    g = columnGeometry(0, 2047, W);
    c = roiColumns(g, 0, 400, 800, W);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->start, 100);
    EXPECT_EQ(c->end, 200);

    FrameRenderer r;
    auto s = blankState();
    s->view.lo = 90;
    s->view.hi = 217;
    s->view.vfsIndex = 1;  // full scale 100
    for (int k = 100; k <= 104; ++k) s->spectrum[k] = 10;  // y 281
    auto& roi = s->rois[0];
    roi.shown = 1;
    roi.low = 100;
    roi.high = 104;
    roi.colour = 0x000000FF;
    const QImage& f = render(r, *s);
    const QRgb red = rgbOf(roi.colour);
    EXPECT_EQ(plotPixel(f, 45, 300), red);
    EXPECT_EQ(plotPixel(f, 55, 300), red);
    EXPECT_NE(plotPixel(f, 56, 300), red);  // end column exclusive
    EXPECT_NE(plotPixel(f, 39, 300), red);

    // Out of the window: no shading, but the sums are still formed and shown.
    roi.low = 1000;
    roi.high = 1004;
    s->spectrum[1002] = 7;
    const QImage& f2 = render(r, *s);
    EXPECT_EQ(countColour(f2, QRect(16, 5, W, H), red), 0);
    EXPECT_EQ(roi.gross, 7);
    EXPECT_GT(countColour(f2, QRect(16 + 420, 5, 90, 28), rgbOf(s->colours.readout)), 0);
}

TEST(FrameRoi, ShiftJisLabelIsDrawnDecodedWithItsFirstCharacterAsTag) {
    FrameRenderer r;
    auto s = blankState();
    s->view.vfsIndex = 1;                                    // full scale 100
    for (int k = 400; k <= 440; ++k) s->spectrum[k] = 50;    // a flat peak, y 156
    auto& roi = s->rois[0];
    roi.shown = roi.defined = 1;
    roi.low = 400;
    roi.high = 440;
    roi.colour = 0x0000FFFF;  // yellow
    const QImage blank = render(r, *s).copy();  // no label
    const int peakX = static_cast<int>(std::min_element(s->traceTop.begin() + 100, s->traceTop.begin() + 110) -
                                       s->traceTop.begin());
    const int peakTop = s->traceTop[static_cast<std::size_t>(peakX)];
    const std::string jp = "\x83\x5A\x83\x56\x83\x45";  // three katakana, Shift-JIS
    std::copy(jp.begin(), jp.end(), roi.label.begin());
    const QImage& drawn = render(r, *s);

    // What the label and tag must look like: the decoded text in the frame's font.
    QImage expected = blank;
    {
        QPainter p(&expected);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(r.font());
        p.setPen(toQColor(roi.colour));
        const int ascent = QFontMetrics(r.font()).ascent();
        const QString text = decodeShiftJis(jp);
        ASSERT_EQ(text.size(), 3);
        p.drawText(16 + 420, 5 + 5 + ascent, text);
        p.drawText(16 + peakX - 6, 5 + peakTop - 18 + ascent, text.left(1));  // one two-byte character
    }
    EXPECT_GT(countColour(drawn, QRect(16 + 420, 5, 40, 14), rgbOf(roi.colour)), 20);
    EXPECT_EQ(drawn, expected);
}

TEST(FrameMarks, CursorMarkAndOverlay) {
    FrameRenderer r;
    auto s = blankState();
    s->spectrum[1024] = 125;
    s->view.cursor = 1024;  // column 256, top y 156
    const QImage& f = render(r, *s);
    const QRgb red = rgbOf(FrameRenderer::kCursor);
    EXPECT_EQ(plotPixel(f, 256, 131), red);
    EXPECT_EQ(plotPixel(f, 256, 150), red);
    EXPECT_NE(plotPixel(f, 256, 129), red);
    EXPECT_EQ(FrameRenderer::cursorCount(*s), 125);

    s->view.cursor = 0;  // column 0: not drawn
    const QImage& f2 = render(r, *s);
    EXPECT_EQ(countColour(f2, QRect(16, 5, 4, H), red), 0);
    s->view.cursor = 99999;
    EXPECT_EQ(FrameRenderer::cursorCount(*s), 0);

    // Pixels per channel: the mark sits in the middle of the cursor's channel.
    s->view.lo = 1000;
    s->view.hi = 1127;
    s->view.cursor = 1024;
    const QImage& f3 = render(r, *s);
    EXPECT_EQ(plotPixel(f3, 24 * 4 + 2, 150), red);

    auto& ov = s->overlays[0];
    ov.on = 1;
    ov.top.fill(100);
    ov.bottom.fill(100);
    const QImage& f4 = render(r, *s);
    EXPECT_EQ(plotPixel(f4, 300, 100), rgbOf(FrameRenderer::kOverlayColours[0]));
    EXPECT_NE(plotPixel(f4, 300, 101), rgbOf(FrameRenderer::kOverlayColours[0]));
    // Overlay 4 with garbage y values is drawn (over overlay 1) without harm.
    s->overlays[3].on = 1;
    s->overlays[3].top.fill(INT_MIN);
    s->overlays[3].bottom.fill(INT_MAX);
    EXPECT_EQ(plotPixel(render(r, *s), 300, 100), rgbOf(FrameRenderer::kOverlayColours[3]));
    s->overlays[3].on = 0;
    ov.on = 0;
    const QImage& f5 = render(r, *s);
    EXPECT_NE(plotPixel(f5, 300, 100), rgbOf(FrameRenderer::kOverlayColours[0]));
}

TEST(FrameStatic, StripTicksMeetPlotGrid) {
    FrameRenderer r;
    auto s = blankState();
    s->view.logScale = 1;
    const QImage& f = render(r, *s);
    const QRgb black = qRgb(0, 0, 0);
    const QRgb maroon = rgbOf(FrameRenderer::kGrid);
    // (Row 0 of the grid lies under the trace of an empty spectrum.)
    EXPECT_EQ(f.pixel(0, 316), black);
    for (int k = 1; k < 6; ++k) {
        const int y = 316 - 52 * k;  // paint-box row of decade k
        EXPECT_EQ(f.pixel(0, y), black) << k;
        EXPECT_EQ(f.pixel(16 + 480, y), maroon) << k;
    }
    EXPECT_NE(f.pixel(0, 316 - 26), black);

    s->view.logScale = 0;
    const QImage& g = render(r, *s);
    for (int k = 1; k < 5; ++k) {
        const int y = 316 - 62 * k;
        EXPECT_EQ(g.pixel(0, y), black) << k;
        EXPECT_EQ(g.pixel(16 + 480, y), maroon) << k;
    }
    EXPECT_NE(g.pixel(16 + 480, 316 - 52), maroon);  // the log grid is gone

    // Bottom strip for 0..2047: d = 200, majors every 200 channels, nine minors between.
    const QImage& strip = r.bottomStrip();
    EXPECT_EQ(strip.pixel(0, 18), black);
    EXPECT_EQ(strip.pixel(50, 18), black);  // 200 * 512 / 2047
    EXPECT_EQ(strip.pixel(55, 10), black);  // first minor
    EXPECT_NE(strip.pixel(55, 15), black);  // minors are short
    EXPECT_NE(strip.pixel(52, 5), black);
    EXPECT_EQ(g.pixel(16 + 50, 317 + 18), black);
}

TEST(FrameText, GlyphsAreRealNotBoxes) {
    FrameRenderer r;
    EXPECT_TRUE(QFontInfo(r.font()).family().contains("DejaVu")) << QFontInfo(r.font()).family().toStdString();
    auto draw = [&](const QString& t) {
        QImage img(40, 20, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        p.setFont(r.font());
        p.setPen(Qt::white);
        p.drawText(2, 14, t);
        return img;
    };
    const QImage a = draw("A"), b = draw("B"), e = draw("8");
    EXPECT_NE(a, b);  // fallback boxes would all look alike
    EXPECT_NE(b, e);
    EXPECT_GT(countColour(a, a.rect(), qRgb(255, 255, 255)), 5);
    // The Shift-JIS comment: decoded, and its two characters differ once drawn.
    const QString jp = decodeShiftJis(std::string("\x93\xfa\x96\x7b", 4));
    ASSERT_EQ(jp, QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC"));
    EXPECT_NE(draw(jp.left(1)), draw(jp.mid(1, 1)));
    EXPECT_EQ(decodeShiftJis(std::string("ab\0cd", 5)), "ab");
}

TEST(FrameText, ReadoutsAcqAndIdleRate) {
    FrameRenderer r;
    auto s = blankState();
    s->countRate = 12.34f;
    s->acquiring = false;
    const QImage idle = render(r, *s).copy();
    s->countRate = 0.0f;
    const QImage zero = render(r, *s).copy();
    EXPECT_EQ(idle.copy(16 + 300, 5, 80, 12), zero.copy(16 + 300, 5, 80, 12));  // shows 0.00 when idle
    s->acquiring = true;
    s->countRate = 12.34f;
    const QImage acq = render(r, *s).copy();
    EXPECT_NE(acq.copy(16 + 300, 5, 80, 12), zero.copy(16 + 300, 5, 80, 12));
    EXPECT_GT(countColour(acq, QRect(16 + 50, 5, 70, 12), rgbOf(FrameRenderer::kAcq)), 10);
    EXPECT_EQ(countColour(zero, QRect(16 + 50, 5, 70, 12), rgbOf(FrameRenderer::kAcq)), 0);
}

TEST(FrameActivity, BoxDrawnOnlyWithResults) {
    FrameRenderer r;
    auto s = blankState();
    s->realTime = 10000;
    s->activity.valid = true;
    s->activity.activity[0] = {106.7f, 4.3f};
    const QRect box(16 + 250, 5 + 112, 210, 48);
    const int off = countColour(render(r, *s), box, rgbOf(s->colours.readout));
    EXPECT_EQ(off, 0);
    s->resultsFlag = 1;
    // Shown beside the spectrum the figures were computed on only.
    EXPECT_EQ(countColour(render(r, *s), box, rgbOf(s->colours.readout)), 0);
    s->activity.spectrumKey = workingSpectrumKey(*s);
    const int on = countColour(render(r, *s), box, rgbOf(s->colours.readout));
    EXPECT_GT(on, 20);
    s->spectrum[5] += 1;
    EXPECT_EQ(countColour(render(r, *s), box, rgbOf(s->colours.readout)), 0);
    s->spectrum[5] -= 1;
    // The flag without a finished computation shows no figures.
    s->activity.valid = false;
    EXPECT_EQ(countColour(render(r, *s), box, rgbOf(s->colours.readout)), 0);
}

TEST(FrameRobust, HostileStateDrawsWithoutFault) {
    FrameRenderer r;
    auto s = blankState();
    struct Case {
        int lo, hi, cursor, vfs, channels, log;
    };
    const Case cases[] = {{INT_MIN, INT_MAX, INT_MIN, 0, 2048, 0}, {5000, 10, INT_MAX, 99, 99999, 1},
                          {-300, 100, -7, -3, 0, 0},                  {8000, 9000, 8100, 22, 8192, 1},
                          {0, 0, 0, 1, -5, 0},                        {4095, 4095, 4095, 5, 4096, 0}};
    for (const auto& c : cases) {
        s->view.lo = c.lo;
        s->view.hi = c.hi;
        s->view.cursor = c.cursor;
        s->view.vfsIndex = c.vfs;
        s->view.logScale = c.log;
        s->channelCount = c.channels;
        for (int i = 0; i < kRoiShown; ++i) {
            s->rois[i].shown = 1;
            s->rois[i].low = (i % 2) ? INT_MIN : c.hi;
            s->rois[i].high = (i % 2) ? INT_MAX : c.lo;
        }
        s->resultsFlag = 1;
        s->realTime = (c.lo & 1) ? 0 : 10;
        const QImage& f = render(r, *s);
        EXPECT_EQ(f.size(), QSize(528, 336));
    }
    // Preview with the same hostile state.
    EXPECT_EQ(r.preview(*s).size(), QSize(528, 336));
}

TEST(FrameStatic, PreviewMarksEachChannelInGreen) {
    FrameRenderer r;
    auto s = blankState();
    s->view.lo = 0;
    s->view.hi = 255;  // 2 pixels per channel
    s->spectrum[10] = 125;
    const QImage& f = r.preview(*s);
    const QRgb green = rgbOf(FrameRenderer::kPreview);
    EXPECT_EQ(plotPixel(f, 20, 156), green);
    EXPECT_EQ(plotPixel(f, 22, B), green);
    EXPECT_NE(plotPixel(f, 21, 156), green);
}

TEST(FrameLines, DirectLinesMatchThePainterPixelForPixel) {
    // Vertical and horizontal lines are written straight into the pixels; they must
    // land exactly where QPainter's one-pixel pen puts them, ends and clipping included.
    std::vector<QLine> lines;
    unsigned seed = 12345;
    auto rnd = [&](int lo, int hi) {
        seed = seed * 1103515245u + 12345u;
        return lo + static_cast<int>((seed >> 8) % static_cast<unsigned>(hi - lo + 1));
    };
    for (int i = 0; i < 400; ++i) {
        const int x = rnd(-20, 70), y = rnd(-20, 50);
        switch (i % 4) {
            case 0: lines.emplace_back(x, y, x, rnd(-20, 50)); break;
            case 1: lines.emplace_back(x, y, rnd(-20, 70), y); break;
            case 2: lines.emplace_back(x, y, x + 1, rnd(-20, 50)); break;
            default: lines.emplace_back(x, y, x, y); break;
        }
    }
    lines.emplace_back(5, -100000, 5, 100000);
    QImage direct(50, 30, QImage::Format_RGB32), painted(50, 30, QImage::Format_RGB32);
    for (std::size_t n = 1; n <= lines.size(); n += 37) {
        direct.fill(Qt::black);
        painted.fill(Qt::black);
        drawLines(direct, 0x0000FFFF, std::span<const QLine>(lines.data(), n));
        QPainter p(&painted);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(255, 255, 0), 1));
        p.drawLines(lines.data(), static_cast<int>(n));
        p.end();
        ASSERT_EQ(direct, painted) << n;
    }
}

namespace {

TEST(FrameScan, ScanFrameKeepsGridLabelsAndStrips) {
    FrameRenderer r;
    auto s = blankState();
    s->view.logScale = 1;  // the scan tick took the log scale from the analyser
    DeviceStatus st;
    st.trace.fill(128);  // plot row 156
    st.realTime = 1234;
    const QImage f = r.composeScan(*s, st).copy();
    const QImage& bg = r.background();
    ASSERT_EQ(bg.size(), QSize(W, H));
    // The log grid: rows 311 - 52 k, away from the trace.
    for (int k = 1; k < 6; ++k) {
        if (H - 52 * k - 1 == 156) continue;
        EXPECT_EQ(plotPixel(f, 480, H - 52 * k - 1), rgbOf(FrameRenderer::kGrid)) << k;
    }
    // The static labels stand as the background has them: "sec.PT", "sec.RT",
    // "kcps", "kcts", "VFS" and "Log".
    const QRect labels[] = {{180, 4, 40, 26}, {380, 5, 30, 26}, {10, 5, 25, 12}, {10, 18, 25, 12}};
    for (const QRect& a : labels) {
        EXPECT_GT(countColour(bg, a, rgbOf(s->colours.text)), 10) << a.x() << "," << a.y();
        EXPECT_EQ(f.copy(a.translated(16, 5)), bg.copy(a)) << a.x() << "," << a.y();
    }
    // The scale strips around the plot follow the state as in an MCA frame.
    EXPECT_EQ(f.copy(0, 0, FrameRenderer::kLeftStripWidth, FrameRenderer::kLeftStripHeight), r.leftStrip());
    EXPECT_EQ(f.copy(16, FrameRenderer::kBottomStripY, W, FrameRenderer::kBottomStripHeight), r.bottomStrip());
    // The scan read-outs and trace are drawn on top.
    EXPECT_EQ(plotPixel(f, 300, 156), qRgb(0, 255, 0));
    EXPECT_GT(countColour(f, QRect(16 + 100, 5 + 18, 75, 12), rgbOf(s->colours.readout)), 10);

    // A later MCA frame starts again from the clean background.
    const QImage& m = render(r, *s);
    EXPECT_NE(plotPixel(m, 300, 156), qRgb(0, 255, 0));
}

}  // namespace
