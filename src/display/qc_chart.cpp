#include "qc_chart.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QIODevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace xmca::display {
namespace {

// The context lupdate gives a bare tr() in this namespace.
QString tr(const char* text) { return QCoreApplication::translate("xmca::display", text); }

struct Panel {
    const char* title;
    double qc::QcValues::*field;
    qc::MeanSd qc::BaselineStats::*stat;
    int decimals;
};

const Panel kPanels[] = {
    {QT_TRANSLATE_NOOP("QcChart", "Peak channel"), &qc::QcValues::peakChannel, &qc::BaselineStats::peakChannel, 1},
    {QT_TRANSLATE_NOOP("QcChart", "FWHM (%)"), &qc::QcValues::fwhmPercent, &qc::BaselineStats::fwhmPercent, 2},
    {QT_TRANSLATE_NOOP("QcChart", "Net rate (cps)"), &qc::QcValues::netRateCps, &qc::BaselineStats::netRateCps, 1},
};

QColor rgb(unsigned v) { return QColor((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff); }

// A tick step of 1, 2 or 5 times a power of ten giving about `count` ticks.
double niceStep(double span, int count) {
    if (!(span > 0)) return 1.0;
    const double raw = span / count;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    return (f < 1.5 ? 1 : f < 3.5 ? 2 : f < 7.5 ? 5 : 10) * mag;
}

QString dateLabel(const std::string& utc, bool oneDay) {
    // "YYYY-MM-DDTHH:MM:SSZ": month-day, or hour:minute when every run is on one day.
    if (utc.size() < 16) return QString::fromStdString(utc);
    return QString::fromStdString(oneDay ? utc.substr(11, 5) : utc.substr(5, 5));
}

}  // namespace

unsigned statusRgb(qc::Status s) {
    switch (s) {
        case qc::Status::Baseline: return 0x5b7fa6;
        case qc::Status::Ok: return 0x2e9a3c;
        case qc::Status::Warning: return 0xe08a00;
        case qc::Status::Action: return 0xd0202a;
    }
    return 0xd0202a;
}

void drawQcChart(QPainter& p, const QRectF& rect, const QcChartData& data) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(rect, Qt::white);
    QFont font = p.font();
    font.setPixelSize(std::max(10, static_cast<int>(rect.height() / 56)));
    p.setFont(font);
    const QFontMetricsF fm(font);
    const double line = fm.height();

    // Title and legend.
    QString title = tr("Check-source control chart");
    if (!data.installation.empty()) title += QStringLiteral(" - ") + QString::fromStdString(data.installation);
    p.setPen(Qt::black);
    p.drawText(QPointF(rect.left() + 8, rect.top() + line), title);
    const std::pair<qc::Status, QString> legendItems[] = {{qc::Status::Action, tr("action")},
                                                          {qc::Status::Warning, tr("warning")},
                                                          {qc::Status::Ok, tr("ok")},
                                                          {qc::Status::Baseline, tr("baseline")}};
    double legendW = line * 0.8;
    for (const auto& item : legendItems) legendW += fm.horizontalAdvance(item.second) + line * 1.9;
    for (const char* t : {"3 sigma", "2 sigma", "mean"}) legendW += fm.horizontalAdvance(tr(t)) + line * 2.2;
    // The key moves to a line of its own when the title leaves no room beside it.
    const bool ownLine = fm.horizontalAdvance(title) + 24 + legendW > rect.width();
    const double ly = rect.top() + (ownLine ? line * 2.1 : line);
    double lx = rect.right() - 8;
    for (const auto& [s, text] : legendItems) {
        lx -= fm.horizontalAdvance(text);
        p.setPen(Qt::black);
        p.drawText(QPointF(lx, ly), text);
        lx -= line * 0.9;
        p.setBrush(rgb(statusRgb(s)));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(lx + line * 0.35, ly - line * 0.3), line * 0.3, line * 0.3);
        lx -= line;
    }

    // The line key: mean, 2 sigma, 3 sigma (the limits the runs are judged by).
    const std::pair<QPen, QString> lines[] = {
        {QPen(rgb(statusRgb(qc::Status::Action)), 1.2, Qt::DashLine), tr("3 sigma")},
        {QPen(rgb(statusRgb(qc::Status::Warning)), 1.2, Qt::DashLine), tr("2 sigma")},
        {QPen(QColor(0x30, 0x30, 0x30), 1.4), tr("mean")}};
    lx -= line * 0.8;
    for (const auto& [pen, text] : lines) {
        lx -= fm.horizontalAdvance(text);
        p.setPen(Qt::black);
        p.drawText(QPointF(lx, ly), text);
        lx -= line * 1.8;
        p.setPen(pen);
        p.drawLine(QPointF(lx + line * 0.2, ly - line * 0.3), QPointF(lx + line * 1.5, ly - line * 0.3));
        lx -= line * 0.4;
    }

    const double left = rect.left() + fm.horizontalAdvance(QStringLiteral("00000.0")) + 14;
    const double right = rect.right() - 12;
    const double top = rect.top() + line * (ownLine ? 2.9 : 1.8);
    const double bottom = rect.bottom() - line * 2.7;
    const double gap = line * 0.9;
    const double panelH = (bottom - top - 2 * gap) / 3.0;
    const int n = static_cast<int>(data.runs.size());

    std::map<std::int64_t, const qc::HistoryBaseline*> baselines;
    for (const auto& b : data.baselines) baselines[b.id] = &b;
    auto limitsOf = [&](std::int64_t id) -> const qc::HistoryBaseline* {
        auto it = baselines.find(id);
        if (it == baselines.end() || it->second->stats.n < std::max(it->second->nRequired, 1)) return nullptr;
        return it->second;
    };
    // Each baseline's runs are a contiguous span of indices (runs are in date order).
    struct Span {
        std::int64_t id;
        int first, last;
    };
    std::vector<Span> spans;
    for (int i = 0; i < n; ++i) {
        const auto id = data.runs[static_cast<std::size_t>(i)].baselineId;
        if (spans.empty() || spans.back().id != id) spans.push_back({id, i, i});
        else spans.back().last = i;
    }
    auto xOf = [&](double i) { return n <= 1 ? (left + right) / 2 : left + (right - left) * (i + 0.5) / n; };

    for (int k = 0; k < 3; ++k) {
        const Panel& panel = kPanels[k];
        const QRectF area(left, top + k * (panelH + gap), right - left, panelH);
        // Value range: every point and every drawn 3 sigma line, padded.
        double lo = INFINITY, hi = -INFINITY;
        for (const auto& r : data.runs) {
            const double v = r.values.*panel.field;
            if (!std::isfinite(v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        for (const auto& s : spans) {
            if (const auto* b = limitsOf(s.id)) {
                const auto& m = b->stats.*panel.stat;
                lo = std::min(lo, m.mean - 3.3 * m.sigma);
                hi = std::max(hi, m.mean + 3.3 * m.sigma);
            }
        }
        if (!(lo <= hi)) lo = 0, hi = 1;
        if (hi - lo < 1e-9 * std::max(1.0, std::abs(hi))) {
            const double pad = std::max(std::abs(hi) * 0.01, 0.5);
            lo -= pad;
            hi += pad;
        }
        const double pad = (hi - lo) * 0.06;
        lo -= pad;
        hi += pad;
        auto yOf = [&](double v) { return area.bottom() - (v - lo) / (hi - lo) * area.height(); };

        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xdd, 0xdd, 0xdd), 1));
        const double step = niceStep(hi - lo, 4);
        const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step))));
        for (double t = std::ceil(lo / step) * step; t <= hi; t += step) {
            p.setPen(QPen(QColor(0xe4, 0xe4, 0xe4), 1));
            p.drawLine(QPointF(area.left(), yOf(t)), QPointF(area.right(), yOf(t)));
            p.setPen(Qt::black);
            const QString label = QString::number(t, 'f', decimals);
            p.drawText(QPointF(area.left() - 6 - fm.horizontalAdvance(label), yOf(t) + fm.ascent() / 2 - 1), label);
        }
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(area);
        p.drawText(QPointF(area.left() + 6, area.top() + fm.ascent() + 2), QCoreApplication::translate("QcChart", panel.title));

        p.save();
        p.setClipRect(area);
        for (const auto& s : spans) {
            const double x0 = xOf(s.first - 0.5), x1 = xOf(s.last + 0.5);
            if (s.first > 0) {
                p.setPen(QPen(QColor(0x88, 0x88, 0x88), 1, Qt::DotLine));
                p.drawLine(QPointF(x0, area.top()), QPointF(x0, area.bottom()));
            }
            const auto* b = limitsOf(s.id);
            if (!b) continue;
            const auto& m = b->stats.*panel.stat;
            // Horizontal limit lines stay crisp without antialiasing.
            p.save();
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.4));
            p.drawLine(QPointF(x0, yOf(m.mean)), QPointF(x1, yOf(m.mean)));
            for (double sdx : {2.0, -2.0}) {
                p.setPen(QPen(rgb(statusRgb(qc::Status::Warning)), 1.2, Qt::DashLine));
                p.drawLine(QPointF(x0, yOf(m.mean + sdx * m.sigma)), QPointF(x1, yOf(m.mean + sdx * m.sigma)));
            }
            for (double sdx : {3.0, -3.0}) {
                p.setPen(QPen(rgb(statusRgb(qc::Status::Action)), 1.2, Qt::DashLine));
                p.drawLine(QPointF(x0, yOf(m.mean + sdx * m.sigma)), QPointF(x1, yOf(m.mean + sdx * m.sigma)));
            }
            p.restore();
        }
        // The runs joined in order, then their points.
        QPainterPath path;
        bool started = false;
        for (int i = 0; i < n; ++i) {
            const double v = data.runs[static_cast<std::size_t>(i)].values.*panel.field;
            if (!std::isfinite(v)) continue;
            const QPointF pt(xOf(i), yOf(v));
            if (started) path.lineTo(pt);
            else path.moveTo(pt);
            started = true;
        }
        p.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 1));
        p.drawPath(path);
        const double radius = std::clamp((right - left) / std::max(n, 1) * 0.3, 2.0, line * 0.35);
        for (int i = 0; i < n; ++i) {
            const auto& r = data.runs[static_cast<std::size_t>(i)];
            const double v = r.values.*panel.field;
            if (!std::isfinite(v)) continue;
            p.setPen(QPen(Qt::black, 0.6));
            p.setBrush(rgb(statusRgb(r.status)));
            p.drawEllipse(QPointF(xOf(i), yOf(v)), radius, radius);
        }
        p.restore();
    }

    // Dates under the last panel.
    p.setPen(Qt::black);
    if (n == 0) {
        p.drawText(QRectF(left, top, right - left, bottom - top), Qt::AlignCenter, tr("No QC runs recorded"));
    } else {
        const bool oneDay = data.runs.front().createdUtc.substr(0, 10) == data.runs.back().createdUtc.substr(0, 10);
        const double labelW = fm.horizontalAdvance(QStringLiteral("00-00")) * 1.6;
        const int every = std::max(1, static_cast<int>(std::ceil(labelW / std::max((right - left) / n, 1.0))));
        for (int i = 0; i < n; i += every) {
            const QString label = dateLabel(data.runs[static_cast<std::size_t>(i)].createdUtc, oneDay);
            p.drawText(QPointF(xOf(i) - fm.horizontalAdvance(label) / 2, bottom + line * 1.1), label);
        }
        if (oneDay) {
            const QString day = QString::fromStdString(data.runs.front().createdUtc.substr(0, 10)) + " (UTC)";
            p.drawText(QPointF(right - fm.horizontalAdvance(day), rect.bottom() - fm.descent() - 2), day);
        }
    }
    p.restore();
}

QImage renderQcChart(const QcChartData& data, int width, int height) {
    QImage img(std::max(width, 200), std::max(height, 200), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    drawQcChart(p, QRectF(0, 0, img.width(), img.height()), data);
    return img;
}

bool writeQcChartPdf(const QcChartData& data, QIODevice* device) {
    if (!device || !device->isWritable()) return false;
    QPdfWriter pdf(device);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setResolution(150);
    pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    QPainter p;
    if (!p.begin(&pdf)) return false;
    drawQcChart(p, QRectF(0, 0, pdf.width(), pdf.height()), data);
    return p.end();
}

}  // namespace xmca::display
