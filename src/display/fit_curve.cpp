#include "fit_curve.h"

#include <QPainter>
#include <QPolygon>
#include <cmath>

#include "frame_renderer.h"
#include "plot_math.h"

namespace xmca::display {

void drawFitCurve(QImage& box, const MeasurementState& s, int first, int last,
                  const std::function<double(double)>& model, TColor colour) {
    if (first > last || box.isNull()) return;
    constexpr int W = FrameRenderer::kW, H = FrameRenderer::kH;
    const ColumnGeometry g = columnGeometry(s.view.lo, s.view.hi, W);
    const bool log = s.view.logScale != 0;
    const std::int64_t fs = view::fullScale(s.view.vfsIndex);

    QPolygon line;
    for (int x = 0; x < W; ++x) {
        // The channel at the middle of column x, as the trace lays channels out.
        const double ch = g.pixelsPerChannel()
                              ? static_cast<double>(s.view.lo) + std::floor(static_cast<double>(x) / g.p)
                              : static_cast<double>(s.view.lo) + (x + 0.5) * static_cast<double>(g.n) - 0.5;
        if (ch < first || ch > last) {
            if (line.size() > 1) break;  // one contiguous stretch
            line.clear();
            continue;
        }
        const double v = model(ch);
        if (!std::isfinite(v)) continue;
        const double clamped = std::clamp(v, -1e15, 1e15);
        const std::int32_t y = countToY(static_cast<std::int64_t>(clamped + 0.5), log, fs, H);
        line << QPoint(x + view::kPlotX, std::max(y, -H) + view::kPlotY);
    }
    if (line.size() < 2) return;
    QPainter p(&box);
    p.setClipRect(view::kPlotX, view::kPlotY, W, H);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(toQColor(colour), 1));
    p.drawPolyline(line);
}

}  // namespace xmca::display
