#include "frame_renderer.h"

#include "files/sjis_text.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

#include "model/bq_calic.h"
#include "model/screening.h"
#include "plot_math.h"
#include "scan_frame.h"

namespace xmca::display {
namespace {

constexpr int kW = FrameRenderer::kW;
constexpr int kH = FrameRenderer::kH;
constexpr int kB = kH - 1;  // bottom row

QString fmt(const char* f, double v) { return QString::asprintf(f, v); }

// Raw Shift-JIS bytes of an ROI label (up to its NUL, at most 7).
std::string_view roiLabelBytes(const RoiRecord& r) {
    const auto end = std::find(r.label.begin(), r.label.end() - 1, '\0');
    return {r.label.data(), static_cast<std::size_t>(end - r.label.begin())};
}

// The one-pixel pen of every line on the plot and strips.
QPen linePen(TColor c) {
    // Width 1 (not the cosmetic 0, which leaves out the last pixel of a line).
    QPen pen(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    pen.setWidth(1);
    return pen;
}

// Row colours of the activity box.
constexpr TColor kActivityColours[4] = {0x0000FFFF, 0x0000FF00, 0x00FF00FF, 0x000080FF};

}  // namespace

void drawLines(QImage& img, TColor c, std::span<const QLine> lines) {
    const QRgb rgb = toQColor(c).rgb();
    const int w = img.width(), h = img.height();
    auto* bits = reinterpret_cast<QRgb*>(img.bits());
    const qsizetype stride = img.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    QVarLengthArray<QLine, 64> sloped;
    for (const QLine& l : lines) {
        if (l.x1() == l.x2()) {
            const int x = l.x1();
            if (x < 0 || x >= w) continue;
            const int y0 = std::max(std::min(l.y1(), l.y2()), 0);
            const int y1 = std::min(std::max(l.y1(), l.y2()), h - 1);
            for (int y = y0; y <= y1; ++y) bits[y * stride + x] = rgb;
        } else if (l.y1() == l.y2()) {
            const int y = l.y1();
            if (y < 0 || y >= h) continue;
            const int x0 = std::max(std::min(l.x1(), l.x2()), 0);
            const int x1 = std::min(std::max(l.x1(), l.x2()), w - 1);
            for (int x = x0; x <= x1; ++x) bits[y * stride + x] = rgb;
        } else {
            sloped.append(l);
        }
    }
    if (sloped.isEmpty()) return;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(linePen(c));
    p.drawLines(sloped.constData(), static_cast<int>(sloped.size()));
}

QColor toQColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QString decodeShiftJis(const std::string& raw) { return QString::fromStdString(sjisToUtf8(raw)); }

namespace {
BoxTextFilter boxTextFilter = nullptr;
QString boxText(const std::string& english) {
    const QString s = QString::fromStdString(english);
    return boxTextFilter ? boxTextFilter(s) : s;
}
}  // namespace

void setBoxTextFilter(BoxTextFilter filter) { boxTextFilter = filter; }

FrameRenderer::FrameRenderer()
    : plot_(kW, kH, QImage::Format_RGB32),
      background_(kW, kH, QImage::Format_RGB32),
      leftStrip_(kLeftStripWidth, kLeftStripHeight, QImage::Format_RGB32),
      bottomStrip_(kW, kBottomStripHeight, QImage::Format_RGB32),
      frame_(kBoxWidth, kBoxHeight, QImage::Format_RGB32) {
    font_ = QFont(QStringLiteral("DejaVu Sans Mono"));
    font_.setPixelSize(11);
    font_.setStyleHint(QFont::Monospace);
    font_.setStyleStrategy(QFont::NoAntialias);
    ascent_ = QFontMetrics(font_).ascent();
    plot_.fill(Qt::black);
    background_.fill(Qt::black);
    leftStrip_.fill(toQColor(kStripFace));
    bottomStrip_.fill(toQColor(kStripFace));
    frame_.fill(toQColor(kStripFace));
}

void FrameRenderer::text(QPainter& p, int x, int y, const QString& s, TColor c) const {
    // y is the top of the text, as on the instrument's canvas.
    p.setPen(toQColor(c));
    p.drawText(x, y + ascent_, s);
}

void FrameRenderer::textRight(QPainter& p, int right, int y, const QString& s, TColor c) const {
    text(p, right - p.fontMetrics().horizontalAdvance(s), y, s, c);
}

void FrameRenderer::drawLogStrip() {
    leftStrip_.fill(toQColor(kStripFace));
    QPainter p(&leftStrip_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(font_);
    p.setPen(linePen(0));
    const int height = kLeftStripHeight;
    const int d = kH / 6;
    int lastMinor = height;  // y of the previous decade's last minor tick (+13 for k = 0)
    for (int k = 0; k < 6; ++k) {
        const int y = height - (k * d + 1);
        p.drawLine(0, y, kLeftStripWidth - 1, y);
        text(p, 1, lastMinor - 13, QStringLiteral("e%1").arg(k), 0);
        p.setPen(linePen(0));
        for (int j = 2; j <= 9; ++j) {
            const int ty = height - (static_cast<int>(std::log10(static_cast<double>(j)) * d + 0.5) + k * d + 1);
            p.drawLine(4, ty, 15, ty);
            lastMinor = ty;
        }
    }
    p.drawLine(0, height - 6 * d, kLeftStripWidth - 1, height - 6 * d);
    leftStripLog_ = 1;
}

void FrameRenderer::drawLinearStrip() {
    leftStrip_.fill(toQColor(kStripFace));
    QPainter p(&leftStrip_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(linePen(0));
    const int height = kLeftStripHeight;
    const int d = kH / 5;
    for (int k = 0; k < 5; ++k) {
        const int y = height - (k * d + 1);
        p.drawLine(0, y, kLeftStripWidth - 1, y);
        for (int j = 1; j <= 9; ++j) {
            const int ty = height - static_cast<int>(j * d * 0.1 + 0.5) - (k * d + 1);
            p.drawLine(4, ty, 15, ty);
        }
    }
    p.drawLine(0, height - 5 * d, kLeftStripWidth - 1, height - 5 * d);
    leftStripLog_ = 0;
}

void FrameRenderer::drawBackground(bool log, const DisplayColours& c) {
    background_.fill(toQColor(c.background));
    QPainter p(&background_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(font_);
    p.setPen(linePen(kGrid));
    const int d = log ? kH / 6 : kH / 5;
    const int lines = log ? 6 : 5;
    for (int k = 0; k <= lines; ++k) {
        const int y = kH - k * d - 1;
        p.drawLine(0, y, kW - 1, y);
    }
    text(p, 180, 4, QStringLiteral("sec.PT"), c.text);
    text(p, 180, 17, QStringLiteral("sec.RT"), c.text);
    text(p, 280, 4, QStringLiteral("DT( % )"), c.text);
    text(p, 280, 17, QStringLiteral("sec.LT"), c.text);
    text(p, 380, 5, QStringLiteral("kcps"), c.text);
    text(p, 380, 18, QStringLiteral("kcts"), c.text);
    text(p, 10, 5, QStringLiteral("VFS"), c.text);
    if (log) text(p, 10, 18, QStringLiteral("Log"), c.text);
    // The blank fields that clear the read-out area.
    const QFontMetrics fm(font_);
    p.fillRect(100, 4, fm.horizontalAdvance(QString(6, ' ')), fm.height(), toQColor(c.background));
    p.fillRect(105, 18, fm.horizontalAdvance(QString(9, ' ')), fm.height(), toQColor(c.background));
    haveBackground_ = true;
    backgroundLog_ = log;
    backgroundColours_ = c;
}

void FrameRenderer::drawChannelStrip(std::int32_t lo, std::int32_t hi) {
    bottomStrip_.fill(toQColor(kStripFace));
    haveChannelStrip_ = true;
    stripLo_ = lo;
    stripHi_ = hi;
    const std::int64_t span = std::int64_t{hi} - lo;
    if (span <= 0) return;
    std::int64_t d = 10, n = span / 10;
    if (span / 10 >= 26) {
        d = 50;
        n = span / 50;
        if (span / 50 > 10) {
            d = 100;
            n = span / 100;
            if (span / 100 > 10) {
                d = 200;
                n = span / 200;
            }
        }
    }
    const std::int64_t o = lo % d;
    QPainter p(&bottomStrip_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(linePen(0));
    // Far more ticks than pixels (a window much wider than any spectrum) would
    // draw the same columns over and over: each column is drawn once.
    std::int64_t lastX = -1;
    for (std::int64_t k = 0; k < n; ++k) {
        const std::int64_t x = (d * k + o) * kW / span;
        if (x >= kW) break;  // the rest lie off the strip
        if (x == lastX) continue;
        lastX = x;
        p.drawLine(static_cast<int>(x), 0, static_cast<int>(x), 18);
        if (d > 10) {
            for (int i = 1; i <= 9; ++i) {
                const std::int64_t mx =
                    x + static_cast<std::int64_t>(static_cast<double>(d * i * kW) / static_cast<double>(span) * 0.1 + 0.5);
                if (mx >= kW) break;
                p.drawLine(static_cast<int>(mx), 0, static_cast<int>(mx), 10);
            }
        }
    }
}

void FrameRenderer::redrawStatic(const MeasurementState& s) {
    const bool log = s.view.logScale != 0;
    drawChannelStrip(s.view.lo, s.view.hi);
    if (log)
        drawLogStrip();
    else
        drawLinearStrip();
    drawBackground(log, s.colours);
}

void FrameRenderer::ensureStatic(const MeasurementState& s) {
    const bool log = s.view.logScale != 0;
    const auto& c = s.colours;
    const auto& b = backgroundColours_;
    const bool sameColours = c.background == b.background && c.text == b.text;
    if (!haveBackground_ || backgroundLog_ != log || !sameColours) drawBackground(log, c);
    if (leftStripLog_ != (log ? 1 : 0)) log ? drawLogStrip() : drawLinearStrip();
    if (!haveChannelStrip_ || stripLo_ != s.view.lo || stripHi_ != s.view.hi) drawChannelStrip(s.view.lo, s.view.hi);
}

void FrameRenderer::assemble() {
    QPainter p(&frame_);
    p.fillRect(0, 0, kBoxWidth, kBoxHeight, toQColor(kStripFace));
    p.drawImage(view::kPlotX, view::kPlotY, plot_);
    p.drawImage(0, 0, leftStrip_);
    p.drawImage(view::kPlotX, kBottomStripY, bottomStrip_);
}

std::int32_t FrameRenderer::cursorCount(const MeasurementState& s) {
    return view::countAt(s.spectrum, static_cast<int>(validChannels(s)), s.view.cursor);
}

const QImage& FrameRenderer::preview(const MeasurementState& s) {
    ensureStatic(s);
    std::memcpy(plot_.bits(), background_.constBits(), static_cast<std::size_t>(background_.sizeInBytes()));
    const ColumnGeometry g = columnGeometry(s.view.lo, s.view.hi, kW);
    const bool log = s.view.logScale != 0;
    const std::int64_t fs = view::fullScale(s.view.vfsIndex);
    const std::int64_t valid = validChannels(s);
    const QRgb green = toQColor(kPreview).rgb();
    const std::int64_t last = std::min<std::int64_t>(s.view.lo + g.span - 1, valid - 1);
    for (std::int64_t k = std::max<std::int64_t>(s.view.lo, 0); k <= last; ++k) {
        const std::int64_t x = g.pixelsPerChannel() ? (k - s.view.lo) * g.p : (k - s.view.lo) / g.n;
        if (x < 0 || x >= kW) continue;
        const int y = countToY(s.spectrum[k], log, fs, kH);
        if (y < 0) continue;
        plot_.setPixel(static_cast<int>(x), y, green);
    }
    assemble();
    return frame_;
}

const QImage& FrameRenderer::composeScan(const MeasurementState& s, const DeviceStatus& st) {
    ensureStatic(s);
    drawScanFrame(s, st, plot_, &background_);
    assemble();
    return frame_;
}

const QImage& FrameRenderer::compose(const MeasurementState& s, const FrameWriteBack& out) {
    ensureStatic(s);
    const DisplayColours& col = s.colours;

    // Frame start: a fresh copy of the background.
    std::memcpy(plot_.bits(), background_.constBits(), static_cast<std::size_t>(background_.sizeInBytes()));
    QPainter p(&plot_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setFont(font_);

    // Trace columns.
    std::array<std::int32_t, kW> top{}, bottom{};
    traceColumns(s, kW, kH, top, bottom);
    const ColumnGeometry g = columnGeometry(s.view.lo, s.view.hi, kW);

    // Status read-outs.
    const bool running = s.acquiring;
    textRight(p, 175, 5, fmt("%8.1f", s.presetTimeShown / 10.0), col.readout);
    textRight(p, 175, 18, fmt("%8.1f", s.realTime / 10.0), col.readout);
    textRight(p, 275, 5, fmt("%8.1f", s.deadTimePermille / 10.0), col.readout);
    textRight(p, 275, 18, fmt("%8.1f", s.liveTime / 10.0), col.readout);
    textRight(p, 375, 5, fmt("%8.2f", running ? static_cast<double>(s.countRate) : 0.0), col.readout);
    textRight(p, 375, 18, fmt("%8.2f", static_cast<double>(s.totalCounts) / 1000.0), col.readout);
    if (s.view.logScale == 0) {
        const QFontMetrics& fm = p.fontMetrics();
        p.fillRect(10, 18, fm.horizontalAdvance(QString(9, ' ')), fm.height(), toQColor(col.background));
        text(p, 10, 18, QString::fromLatin1(view::fullScaleLabel(s.view.vfsIndex)), col.text);
    }
    if (running)
        text(p, 50, 5, QStringLiteral("  * ACQ *"), kAcq);
    else
        text(p, 50, 5, QString::fromUtf8(s.statusText.data(), static_cast<qsizetype>(s.statusText.size())), col.text);
    // The comment of the spectrum on screen: its header travels with every load and start.
    // It ends where the real-time read-out's field begins, shortened when longer.
    text(p, 50, 18,
         p.fontMetrics().elidedText(decodeShiftJis(s.header.comment()), Qt::ElideRight, kCommentRight - 50),
         col.text);

    // Lines of one colour, drawn with the painter paused so that its pending
    // work and the direct pixel writes stay in order.
    QVarLengthArray<QLine, 2 * kW> segs;
    auto drawPending = [&](TColor c) {
        p.end();
        drawLines(plot_, c, std::span<const QLine>(segs.constData(), static_cast<std::size_t>(segs.size())));
        p.begin(&plot_);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(font_);
    };

    const bool showResults = resultsShown(s);

    // ROIs: sums, result rows, shading and tags.
    std::array<RoiSums, kRoiShown> sums{};
    std::array<bool, kRoiShown> summed{};
    for (int i = 0; i < kRoiShown; ++i) {
        const RoiRecord& r = s.rois[static_cast<std::size_t>(i)];
        if (r.shown != 1) continue;
        summed[i] = true;
        sums[i] = roiSums(s, r.low, r.high);
        const std::string_view labelBytes = roiLabelBytes(r);
        const QString label = decodeShiftJis(std::string(labelBytes));
        // While the activity results are shown, the result column of the windows
        // the computation owns (entries 1-3) carries its stored sums instead.
        if (!(showResults && i >= 1 && i <= 3)) {
            text(p, 420, 30 * i + 5, label, r.colour);
            textRight(p, 510, 30 * i + 5, fmt("%12.1f", std::trunc(sums[i].gross)), col.readout);
            textRight(p, 510, 30 * i + 18, fmt("%12.1f", sums[i].net), col.readout);
        }
        const auto cols = roiColumns(g, s.view.lo, r.low, r.high, kW);
        if (!cols) continue;
        // Each column a vertical line from the bottom row up to the trace top.
        segs.clear();
        int peakX = cols->start;
        for (int x = cols->start; x < cols->end; ++x) {
            segs.append(QLine(x, kB, x, top[x]));
            if (top[x] < top[peakX]) peakX = x;
        }
        drawPending(r.colour);
        // The tag: the label's first two bytes, or its first two-byte character whole.
        const std::size_t tagBytes = sjisPrefixLength(labelBytes, 2);
        text(p, peakX - 6, top[peakX] - 18, decodeShiftJis(std::string(labelBytes.substr(0, tagBytes))), r.colour);
    }

    // Main trace.
    p.setPen(linePen(col.trace));
    {
        // One connected line: to (x, bottom) then on to (x + 1, top) as a step,
        // or up to (x, top) as the column's min..max range.
        segs.clear();
        QPoint at(0, bottom[0]);
        const bool steps = g.n < 2;
        for (int x = 0; x < kW; ++x) {
            const QPoint b(x, bottom[x]);
            segs.append(QLine(at, b));
            at = steps ? QPoint(x + 1, top[x]) : QPoint(x, top[x]);
            segs.append(QLine(b, at));
        }
        drawPending(col.trace);
    }

    // Overlays.
    for (int o = 0; o < kOverlayCount; ++o) {
        const Overlay& ov = s.overlays[static_cast<std::size_t>(o)];
        if (ov.on != 1) continue;
        p.setPen(linePen(kOverlayColours[o]));
        auto yOf = [](std::int32_t y) { return std::clamp(y, kMinY, -kMinY); };
        segs.clear();
        QPoint at(0, yOf(ov.top[0]));
        for (int x = 0; x < kW; ++x) {
            const QPoint f(x, yOf(ov.top[static_cast<std::size_t>(x)]));
            segs.append(QLine(at, f));
            at = QPoint(g.pixelsPerChannel() ? x + 1 : x, yOf(ov.bottom[static_cast<std::size_t>(x)]));
            segs.append(QLine(f, at));
        }
        drawPending(kOverlayColours[o]);
    }

    // Activity results, all from the result record of the last computation: the
    // window sums (gross over net) of Cs-All and Cs-134, their activities with
    // sigma, and the box of the four activities.
    if (showResults) {
        const ActivityResult& res = s.activity;
        for (int w = 0; w < 2; ++w) {
            const ActivityWindow& aw = res.windows[static_cast<std::size_t>(w)];
            const TColor c = s.rois[static_cast<std::size_t>(aw.roi)].colour;
            const int y = 35 + 30 * w;
            text(p, 420, y, QString::fromLatin1(aw.label), c);
            textRight(p, 510, y, fmt("%12.1f", aw.gross), col.readout);
            textRight(p, 510, y + 13, fmt("%12.1f", aw.net), col.readout);
            const activity::Figure& f = res.activity[static_cast<std::size_t>(w)];
            // The value ends at 345 rather than 300 so that it clears its label.
            text(p, 250, y, QString::fromLatin1(kActivityRowLabels[w]), c);
            textRight(p, 345, y, fmt("%12.1f", f.bqPerKg), col.readout);
            textRight(p, 400, y, fmt("%12.1f", f.sigma), col.readout);
        }
        for (int r = 0; r < 4; ++r) {
            const int y = 112 + 12 * r;
            const activity::Figure& f = res.activity[static_cast<std::size_t>(r)];
            text(p, 250, y, QString::fromLatin1(kActivityRowLabels[r]), kActivityColours[r]);
            textRight(p, 350, y, fmt("%12.1f", f.bqPerKg), col.readout);
            text(p, 355, y, QStringLiteral("Bq/Kg"), col.text);
            // The counting standard deviation, not the uncertainty u of the page.
            text(p, 408, y, QCoreApplication::translate("FrameRenderer", "sd"), col.text);
            textRight(p, 450, y, fmt("%12.1f", f.sigma), col.readout);
            text(p, 455, y, QStringLiteral("Bq/Kg"), col.text);
        }
        // The method, and the verdict as the page and the report give it, wrapped left
        // of the ROI column (its labels start at x 420).
        const QRect methodBox(250, 112 + 12 * 4, kBoxTextRight - 250, 24);
        p.setPen(toQColor(col.text));
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        const QString method = boxText(methodText(res));
        const int mh = std::min(methodBox.height(), p.fontMetrics().boundingRect(methodBox, flags, method).height());
        p.drawText(methodBox, flags, method);
        p.setPen(toQColor(res.screening.valid ? verdictColour(res.screening) : TColor{0x00808080}));
        p.drawText(QRect(250, methodBox.top() + mh, kBoxTextRight - 250, 36), flags, boxText(verdictText(res)));
    }

    // Cursor mark.
    if (const auto cx = cursorColumn(g, s.view.lo, s.view.cursor, kW)) {
        p.setPen(linePen(kCursor));
        p.drawLine(*cx, top[*cx] - 25, *cx, top[*cx]);
    }
    p.end();

    // Write back.
    std::copy_n(top.begin(), std::min<std::size_t>(kW, out.traceTop.size()), out.traceTop.begin());
    std::copy_n(bottom.begin(), std::min<std::size_t>(kW, out.traceBottom.size()), out.traceBottom.begin());
    for (int i = 0; i < kRoiShown && i < static_cast<int>(out.rois.size()); ++i) {
        if (!summed[i]) continue;
        out.rois[i].gross = truncToInt32(sums[i].gross);
        out.rois[i].net = truncToInt32(sums[i].net);
    }

    assemble();
    return frame_;
}

}  // namespace xmca::display
