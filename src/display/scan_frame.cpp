#include "scan_frame.h"

#include "files/sjis_text.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "model/view_controls.h"

namespace xmca::display {
namespace {

QColor colourOf(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QString labelText(const std::string& raw) { return QString::fromStdString(sjisToUtf8(raw)); }

class Writer {
public:
    explicit Writer(QPainter& p) : p_(p) {
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(11);
        f.setStyleHint(QFont::Monospace);
        f.setStyleStrategy(QFont::NoAntialias);
        p_.setFont(f);
        ascent_ = p_.fontMetrics().ascent();
    }
    // y is the top of the text.
    void at(int x, int y, const QString& s, TColor c) {
        p_.setPen(colourOf(c));
        p_.drawText(x, y + ascent_, s);
    }
    void right(int rightEdge, int y, const QString& s, TColor c) {
        at(rightEdge - p_.fontMetrics().horizontalAdvance(s), y, s, c);
    }

private:
    QPainter& p_;
    int ascent_ = 0;
};

// Column of channel ch in the view window lo .. lo + span - 1 spread over width.
std::int64_t columnOf(std::int64_t ch, std::int64_t lo, std::int64_t span, int width) {
    return (ch - lo) * width / span;
}

}  // namespace

int scanTraceY(std::uint8_t byte, int height) {
    const int y = height - static_cast<int>(byte) * height / 256;
    return std::min(y, height - 1);
}

int scanPointX(int i, int width) { return i * width / kScanPoints; }

int scanPointAt(int x, int width) {
    if (width <= 0) return 0;
    return std::clamp(x * kScanPoints / width, 0, kScanPoints - 1);
}

void drawScanFrame(const MeasurementState& s, const DeviceStatus& st, QImage& plot, const QImage* background) {
    const int W = plot.width();
    const int H = plot.height();
    if (W <= 0 || H <= 0) return;
    const int B = H - 1;
    if (background && background->size() == plot.size())
        plot = background->convertToFormat(plot.format());
    else
        plot.fill(colourOf(s.colours.background));

    QPainter p(&plot);
    p.setRenderHint(QPainter::Antialiasing, false);
    Writer w(p);
    const auto& col = s.colours;

    // Read-outs.
    w.right(175, 5, QString::asprintf("%8.1f", s.scan.presetTime * 0.1), col.readout);
    w.right(175, 18, QString::asprintf("%8.1f", st.realTime * 0.01), col.readout);
    w.right(375, 5, QString::asprintf("%8.2f", static_cast<double>(s.totalCounts)), col.readout);
    w.right(375, 18, QString::asprintf("%8.2f", st.eventCount * 0.001), col.readout);
    if (!s.view.logScale) w.at(10, 18, QString::fromLatin1(view::fullScaleLabel(s.view.vfsIndex)), col.text);
    w.at(50, 5, QStringLiteral("* ACQ *"), kScanRed);
    w.at(50, 18, labelText(s.settings.label1), col.text);

    // Trace heights per column.
    auto yAt = [&](int x) { return scanTraceY(st.trace[static_cast<std::size_t>(scanPointAt(x, W))], H); };

    // The view window the analyser's trace shows.
    const std::int64_t lo = s.view.lo;
    const std::int64_t span = std::max<std::int64_t>(1, static_cast<std::int64_t>(s.view.hi) - lo + 1);

    // Bars of the first eight shown ROIs, under the trace.
    int bars = 0;
    for (const RoiRecord& r : s.rois) {
        if (bars == kScanRoiBars) break;
        if (r.shown != 1) continue;
        ++bars;
        const std::int64_t start = std::max<std::int64_t>(0, columnOf(r.low, lo, span, W));
        const std::int64_t end = std::min<std::int64_t>(W, columnOf(r.high, lo, span, W));
        if (end < 1 || start >= end) continue;
        p.setPen(colourOf(r.colour));
        for (int x = static_cast<int>(start); x < static_cast<int>(end); ++x) p.drawLine(x, B, x, yAt(x));
    }

    // The trace.
    p.setPen(colourOf(kScanTraceColour));
    QPoint last(scanPointX(0, W), scanTraceY(st.trace[0], H));
    for (int i = 1; i < kScanPoints; ++i) {
        const QPoint next(scanPointX(i, W), scanTraceY(st.trace[static_cast<std::size_t>(i)], H));
        p.drawLine(last, next);
        last = next;
    }
    p.drawLine(last, QPoint(W - 1, last.y()));

    // Cursor mark.
    const std::int64_t cx = columnOf(s.view.cursor, lo, span, W);
    if (cx > 0 && cx < W) {
        const int x = static_cast<int>(cx);
        const int y = yAt(x);
        p.setPen(colourOf(kScanRed));
        p.drawLine(x, y - kScanCursorHeight, x, y);
    }
}

}  // namespace xmca::display
