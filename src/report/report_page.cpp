#include "report_page.h"

#include <QFile>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "files/sjis_text.h"
#include "model/view_controls.h"

namespace xmca::report {
namespace {

using H = SpectrumHeader;

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGridGreen = 0xFF008000;  // TColor 0x008000

int trunc(double v) { return static_cast<int>(v); }

QPen thinPen(QRgb c) {
    QPen pen{QColor::fromRgb(c)};
    pen.setWidth(1);
    pen.setStyle(Qt::SolidLine);
    return pen;
}

QColor toColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Channels that hold counts: 0 .. N - 1 within the working spectrum's room.
std::int64_t validChannels(const MeasurementState& s) {
    return std::clamp<std::int64_t>(s.channelCount, 0, static_cast<std::int64_t>(s.spectrum.size()));
}

// Offset of count v: log decades of width e, or linear over ax for the full scale.
// Negative counts lie on the axis like zero.
std::int64_t logOffset(std::int64_t v, int e) {
    if (v < 1) return 0;
    return static_cast<std::int64_t>(std::log10(static_cast<double>(v)) * e);
}
std::int64_t linearOffset(std::int64_t v, int ax, std::int64_t fullScale) {
    if (v <= 0) return 0;
    return v * ax / std::max<std::int64_t>(1, fullScale);
}

// The smallest multiple of step above lo.
std::int64_t firstMultipleAbove(std::int64_t lo, std::int64_t step) {
    std::int64_t q = lo / step;
    if (lo % step != 0 && lo < 0) --q;  // floor division
    return (q + 1) * step;
}

}  // namespace

PageGeometry PageGeometry::forPage(int pw, int ph) {
    PageGeometry g;
    g.pw = pw;
    g.ph = ph;
    g.ml = trunc(0.07 * pw);
    g.mt = trunc(0.1 * ph);
    g.ax = trunc(0.85 * pw);
    g.al = trunc(0.85 * ph);
    g.u = trunc(0.01 * pw);
    return g;
}

QRect PageGeometry::freeArea() const {
    // The banner's glyphs end at ML + AX + 1.7 U; the page's last column is PW - 1.
    const int left = trunc(ml + ax + 1.8 * u);
    const int right = pw - 1;
    return QRect(left, mt, std::max(0, right - left + 1), al);
}

QRect PageGeometry::resultsArea() const {
    const int top = trunc(mt + 0.15 * al);
    const int bottom = trunc(mt + 0.78 * al);  // the header block's labels start at 0.8 AL
    const int right = ml + ax - u;
    const int left = trunc(ml + 0.55 * ax);
    return QRect(left, top, std::max(0, right - left + 1), std::max(0, bottom - top + 1));
}

int minimumBlockFont(int pw) {
    // An A4 sheet is 595.3 pt wide, whatever the device's resolution.
    return static_cast<int>(std::ceil(kBlockFontPt * pw / 595.3));
}

RowMode rowMode(std::int32_t lo, std::int32_t hi, int rows) {
    RowMode r;
    // A window with hi below lo is drawn as one channel.
    const std::int64_t m = std::max<std::int64_t>(1, std::int64_t{hi} - lo + 1);
    r.channelsPerRow = rows > 0 ? m / rows : 0;
    if (r.channelsPerRow == 0) r.rowsPerChannel = static_cast<double>(rows) / static_cast<double>(m);
    return r;
}

std::vector<int> traceOffsets(const MeasurementState& s, const PageGeometry& g) {
    std::vector<int> out;
    if (g.al <= 0) return out;
    const RowMode mode = rowMode(s.view.lo, s.view.hi, g.al);
    const bool log = s.view.logScale != 0;
    const std::int64_t fs = view::fullScale(s.view.vfsIndex);
    const int e = g.ax / 6;
    const std::int64_t valid = validChannels(s);
    const std::int64_t lo = s.view.lo;
    out.reserve(static_cast<std::size_t>(g.al));

    if (mode.channelsPerRow == 0) {
        const std::int64_t one = static_cast<std::int64_t>(std::log10(2.0) * e) / 2;
        for (int i = 0; i < g.al; ++i) {
            const std::int64_t c = static_cast<std::int64_t>(static_cast<double>(lo) + i / mode.rowsPerChannel);
            if (c >= s.channelCount || c >= valid) break;
            const std::int64_t v = c >= 0 ? s.spectrum[static_cast<std::size_t>(c)] : 0;
            std::int64_t d;
            if (log) d = v == 1 ? one : logOffset(v, e);
            else d = std::min<std::int64_t>(linearOffset(v, g.ax, fs), g.ax);
            out.push_back(static_cast<int>(d));
        }
        return out;
    }
    const std::int64_t a = mode.channelsPerRow;
    for (int i = 0; i < g.al; ++i) {
        // Channels outside the spectrum read as 0, which is also where the largest starts.
        const std::int64_t first = std::max<std::int64_t>(lo + a * i, 0);
        const std::int64_t last = std::min<std::int64_t>(lo + a * i + a - 1, valid - 1);
        std::int64_t mx = 0;
        for (std::int64_t c = first; c <= last; ++c) mx = std::max<std::int64_t>(mx, s.spectrum[static_cast<std::size_t>(c)]);
        // The largest count gives the largest offset on both scales. The linear offset
        // is held at the plot's edge as in the other row mode, so a peak above the full
        // scale cannot run across the header block.
        const std::int64_t d = log ? logOffset(mx, e) : std::min<std::int64_t>(linearOffset(mx, g.ax, fs), g.ax);
        out.push_back(static_cast<int>(d));
    }
    return out;
}

TColor printableTraceColour(TColor c) {
    const double luma = 0.299 * (c & 0xFF) + 0.587 * ((c >> 8) & 0xFF) + 0.114 * ((c >> 16) & 0xFF);
    return luma < 128.0 ? (c & 0x00FFFFFF) : TColor{0};
}

ChannelSteps channelSteps(std::int64_t m) {
    if (m > 4000) return {100, 500};
    if (m > 2000) return {50, 250};
    if (m > 1000) return {20, 100};
    if (m > 500) return {10, 50};
    return {10, 10};  // 201..500, and narrower windows too
}

QString linearLabel(std::int64_t fullScale, int k) {
    const std::int64_t v = fullScale * k / 5;
    if (fullScale < 5000) return QString::number(v);
    return QString::number(v / 1000) + QStringLiteral(" k");
}

QFont reportFont(int cellHeight) {
    QFont f(QStringLiteral("Tahoma"));
    f.setStyleHint(QFont::SansSerif);
    const int h = std::max(1, cellHeight);
    f.setPixelSize(h);
    const QFontMetricsF fm(f);
    const double cell = fm.ascent() + fm.descent();
    if (cell > 0) f.setPixelSize(std::max(1, static_cast<int>(std::lround(h * h / cell))));
    return f;
}

HeaderTexts headerTexts(const MeasurementState& s, const QDateTime& now) {
    HeaderTexts t;
    const QLocale loc = QLocale::system();
    t.reportDate = loc.toString(now.date(), QLocale::ShortFormat).trimmed();
    t.reportTime = loc.toString(now.time(), QStringLiteral("HH:mm:ss")).trimmed();
    t.fileName = QFile::decodeName(QByteArray::fromStdString(s.fileName));
    t.comment = QString::fromStdString(sjisToUtf8(s.header.comment()));
    const H& h = s.header;
    t.acqDate = QString::asprintf("%4d /%2d /%2d  %2d :%2d :%2d", h.i16(H::kYear), h.i16(H::kMonth), h.i16(H::kDay),
                                  h.i16(H::kHour), h.i16(H::kMinute), h.i16(H::kSecond));
    t.realTime = QString::asprintf("%8.1f", s.realTime * 0.1);
    t.liveTime = QString::asprintf("%8.1f", s.liveTime * 0.1);
    t.sampleId = QString::fromStdString(sjisToUtf8(s.header.sampleId()));
    return t;
}

void drawRotatedText(QPainter& p, int x, int y, const QString& text) {
    p.save();
    p.translate(x, y);
    p.rotate(90);
    p.drawText(QPointF(0, QFontMetricsF(p.font(), p.device()).ascent()), text);
    p.restore();
}

void drawTrace(QPainter& p, const MeasurementState& s, const PageGeometry& g) {
    const std::vector<int> d = traceOffsets(s, g);
    if (d.empty()) return;
    // Fewer channels than rows: black. Several channels per row: the display's trace
    // colour, as long as it shows on paper.
    const bool several = rowMode(s.view.lo, s.view.hi, g.al).channelsPerRow > 0;
    QPen pen(several ? toColor(printableTraceColour(s.colours.trace)) : QColor(Qt::black));
    pen.setWidth(2);
    pen.setStyle(Qt::SolidLine);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // Row 0 starts the line; each later row runs to its offset and one row on.
    QPolygon line;
    line.reserve(static_cast<qsizetype>(2 * d.size()));
    line << QPoint(g.ml + d[0], g.mt);
    for (std::size_t i = 1; i < d.size(); ++i) {
        const int y = g.mt + static_cast<int>(i);
        line << QPoint(g.ml + d[i], y) << QPoint(g.ml + d[i], y + 1);
    }
    p.drawPolyline(line);
}

void drawCountGrid(QPainter& p, const PageGeometry& g, bool log) {
    const int divisions = log ? 6 : 5;
    const int e = g.ax / divisions;
    p.setBrush(Qt::NoBrush);
    p.setPen(thinPen(kGridGreen));
    for (int k = 0; k <= divisions; ++k) {
        const int x = g.ml + k * e + 1;
        p.drawLine(x, g.mt, x, g.mt + g.al);
    }
    p.setPen(thinPen(kBlack));
    p.drawRect(g.ml, g.mt, g.ax - 1, g.al - 1);  // the frame: ML, MT up to (not including) ML + AX, MT + AL
    const int minor = g.u / 2;
    for (int k = 0; k < divisions; ++k) {
        const int x0 = g.ml + k * e + 1;
        p.drawLine(x0, g.mt - g.u, x0, g.mt);
        if (log) {
            for (int m = 2; m <= 9; ++m) {
                const int x = x0 + trunc(std::log10(static_cast<double>(m)) * e + 0.5);
                p.drawLine(x, g.mt - minor, x, g.mt);
            }
        } else {
            for (int m = 1; m <= 9; ++m) {
                const int x = x0 + m * e / 10;
                p.drawLine(x, g.mt - minor, x, g.mt);
            }
        }
    }
    const int close = g.ml + divisions * e;
    p.drawLine(close, g.mt - g.u, close, g.mt);
}

void drawChannelTicks(QPainter& p, const PageGeometry& g, std::int32_t lo, std::int32_t hi) {
    p.setPen(thinPen(kBlack));
    p.drawLine(g.ml - g.u, g.mt, g.ml, g.mt);
    p.drawLine(g.ml - g.u, g.mt + g.al, g.ml, g.mt + g.al);
    const std::int64_t m = std::max<std::int64_t>(1, std::int64_t{hi} - lo + 1);
    const ChannelSteps st = channelSteps(m);
    const double d = static_cast<double>(g.al) / static_cast<double>(m);
    // Every multiple of the minor step above lo inside the window; label steps are longer.
    for (std::int64_t c = firstMultipleAbove(lo, st.minor); c <= hi; c += st.minor) {
        const int y = trunc(static_cast<double>(c - lo) * d + g.mt);
        const int len = c % st.label == 0 ? g.u : g.u / 2;
        p.drawLine(g.ml - len, y, g.ml, y);
    }
}

void drawScaleLabels(QPainter& p, const MeasurementState& s, const PageGeometry& g) {
    p.setPen(thinPen(kBlack));
    p.setFont(reportFont(g.u));
    const bool log = s.view.logScale != 0;
    const int y = trunc(g.mt - 3.5 * g.u);
    if (log) {
        const int e = g.ax / 6;
        for (int k = 0; k <= 6; ++k) drawRotatedText(p, g.ml + g.u + k * e, y, QStringLiteral("10E+0%1").arg(k));
    } else {
        const int e = g.ax / 5;
        const std::int64_t fs = view::fullScale(s.view.vfsIndex);
        for (int k = 1; k <= 5; ++k) drawRotatedText(p, g.ml + g.u + k * e, y, linearLabel(fs, k));
    }
    const std::int32_t lo = s.view.lo, hi = s.view.hi;
    drawRotatedText(p, g.ml, g.mt, QString::number(lo));
    drawRotatedText(p, g.ml, g.mt + g.al - 2 * g.u, QString::number(hi));
    const std::int64_t m = std::max<std::int64_t>(1, std::int64_t{hi} - lo + 1);
    const int step = channelSteps(m).label;
    const double d = static_cast<double>(g.al) / static_cast<double>(m);
    for (std::int64_t c = firstMultipleAbove(lo, step); c <= hi; c += step) {
        const int ty = trunc(static_cast<double>(c - lo) * d + g.mt);
        drawRotatedText(p, g.ml - g.u, trunc(ty - 0.7 * g.u), QString::number(c));
    }
}

void drawHeaderBlock(QPainter& p, const PageGeometry& g, const HeaderTexts& t) {
    p.setPen(thinPen(kBlack));
    p.setFont(reportFont(g.u));
    const int x = trunc(g.ml + g.ax + 1.1 * g.u);
    const int y = trunc(g.mt + 0.05 * g.al);
    // Date 7 U and time 12 U down the line; a long date format (a month name, a wide
    // face) pushes what follows on, so the three never print over each other.
    const QString label = QStringLiteral("Reporting Date: ");
    const QFontMetricsF fm(p.font(), p.device());
    const int dateY = std::max(y + 7 * g.u, y + static_cast<int>(std::ceil(fm.horizontalAdvance(label))));
    const int timeY = std::max(y + 12 * g.u, dateY + static_cast<int>(std::ceil(fm.horizontalAdvance(t.reportDate))) + g.u);
    drawRotatedText(p, x, y, label);
    drawRotatedText(p, x, dateY, t.reportDate);
    drawRotatedText(p, x, timeY, t.reportTime);

    const int labelY = trunc(g.mt + 0.8 * g.al);
    const int valueY = trunc(g.mt + 0.85 * g.al);
    const struct {
        const char* label;
        const QString& value;
        double column;
    } pairs[] = {
        {"File  Name: ", t.fileName, 1.0}, {"Data Com.: ", t.comment, 2.5},  {"Acq.  Date: ", t.acqDate, 4.0},
        {"Real  Time: ", t.realTime, 5.5}, {"Live  Time: ", t.liveTime, 7.0}, {"Sample ID: ", t.sampleId, 8.5},
    };
    for (const auto& pr : pairs) {
        const int cx = trunc(g.ml + g.ax - g.u * pr.column);
        drawRotatedText(p, cx, labelY, QString::fromLatin1(pr.label));
        drawRotatedText(p, cx, valueY, pr.value);
    }
}

void drawTitles(QPainter& p, const PageGeometry& g) {
    p.setPen(thinPen(kBlack));
    const int big = trunc(1.5 * g.u);
    p.setFont(reportFont(big));
    const int y = trunc(g.mt + 0.4 * g.al);
    drawRotatedText(p, g.ml - 2 * g.u, y, QStringLiteral("E n e r g y  [  C h a n n e l  ]"));
    drawRotatedText(p, trunc(g.ml + g.ax + 1.7 * g.u), y, QStringLiteral("Q R V L [  V e l t r a m o n d  C o . ,]"));
    p.setFont(reportFont(big));
    drawRotatedText(p, trunc(g.ml + 0.4 * g.ax), g.mt - 7 * g.u, QStringLiteral("I n t e n s i t y  [  C o u n t s  ]"));
}

void drawTextBlock(QPainter& p, const PageGeometry& g, const TextBlock& block) {
    const QRect area = g.resultsArea();
    if (area.isEmpty()) return;
    const int cell = std::max({trunc(1.4 * g.u), minimumBlockFont(g.pw), 1});
    const int pitch = cell + cell / 3;
    p.setFont(reportFont(cell));
    const QFontMetrics fm(p.font(), p.device());
    const int room = area.height() - cell;
    // A line longer than the area goes on in the next column, broken between words
    // (within a word only when one word is longer than the area).
    std::vector<QString> columns;
    auto add = [&](const QString& text) {
        QString rest = text;
        int indent = 0;  // continuations start two spaces in
        while (fm.horizontalAdvance(rest) > room && rest.size() > indent + 1) {
            int cut = static_cast<int>(rest.size());
            while (cut > indent + 1 && fm.horizontalAdvance(rest.left(cut)) > room) --cut;
            const int space = static_cast<int>(rest.lastIndexOf(QLatin1Char(' '), cut));
            if (space > indent) cut = space;
            columns.push_back(rest.left(cut));
            const QString next = rest.mid(cut).trimmed();
            if (next.isEmpty()) return;
            rest = QStringLiteral("  ") + next;
            indent = 2;
        }
        columns.push_back(rest);
    };
    if (!block.title.isEmpty()) add(block.title);
    for (const QString& l : block.lines) add(l);
    // The box as wide as its lines need, never past the area: what does not fit is left out.
    const int fits = std::max(0, (area.width() - cell / 2) / pitch);
    const int shown = std::min(static_cast<int>(columns.size()), fits);
    if (shown == 0) return;
    const int width = shown * pitch + cell / 2;
    const QRect box(area.right() - width + 1, area.top(), width, area.height());
    p.fillRect(box, Qt::white);
    p.setPen(thinPen(kBlack));
    p.drawRect(box);
    int x = box.right() - cell / 4;
    for (int i = 0; i < shown; ++i) {
        drawRotatedText(p, x, area.top() + cell / 2, columns[static_cast<std::size_t>(i)]);
        x -= pitch;
    }
}

void drawReport(QPainter& p, const MeasurementState& s, const ReportOptions& options) {
    const PageGeometry g = PageGeometry::forPage(p.device()->width(), p.device()->height());
    const QDateTime now = options.now.isValid() ? options.now : QDateTime::currentDateTime();
    drawTrace(p, s, g);
    drawCountGrid(p, g, s.view.logScale != 0);
    drawChannelTicks(p, g, s.view.lo, s.view.hi);
    drawScaleLabels(p, s, g);
    drawHeaderBlock(p, g, headerTexts(s, now));
    drawTitles(p, g);
    if (options.extra) drawTextBlock(p, g, *options.extra);
}

}  // namespace xmca::report
