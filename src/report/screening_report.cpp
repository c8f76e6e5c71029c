#include "report/screening_report.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

#include "files/spectrum_file.h"
#include "files/spectrum_header.h"
#include "model/measurement_state.h"

namespace xmca::report {

namespace {

// The context lupdate gives a bare tr() in this namespace.
QString tr(const char* text) { return QCoreApplication::translate("xmca::report", text); }

QString u8(const std::string& s) { return QString::fromStdString(s); }

QString fig(const std::optional<double>& v, int decimals = 1) {
    return v && std::isfinite(*v) ? QString::number(*v, 'f', decimals) : QStringLiteral("-");
}

QColor verdictColour(const std::string& verdict) {
    if (verdict.rfind("Below", 0) == 0) return QColor(0, 130, 0);
    if (verdict.rfind("Above", 0) == 0) return QColor(200, 0, 0);
    if (verdict.rfind("No verdict", 0) == 0) return QColor(90, 90, 90);
    return QColor(210, 110, 0);
}

// Draws "label  value" lines within width (a long value is shortened in its middle);
// returns the y below them.
int drawPairs(QPainter& p, int x, int y, int labelWidth, int width, int lineHeight,
              const std::vector<std::pair<QString, QString>>& pairs) {
    const int valueWidth = std::max(1, width - labelWidth);
    for (const auto& [label, value] : pairs) {
        p.drawText(QRect(x, y, labelWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, label);
        p.drawText(QRect(x + labelWidth, y, valueWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(value, Qt::ElideMiddle, valueWidth));
        y += lineHeight;
    }
    return y;
}

void drawSpectrum(QPainter& p, const QRect& box, const ScreeningReportData& d, int mm) {
    p.setPen(QPen(Qt::black, std::max(1, mm / 5)));
    p.drawRect(box);
    const int n = static_cast<int>(d.counts.size());
    if (n < 2) return;
    double top = 1;
    for (int c : d.counts) top = std::max(top, static_cast<double>(c));
    const double logTop = std::log10(top + 1) * 1.05;
    const bool energy = d.gain && *d.gain > 0;
    auto xOf = [&](double ch) { return box.left() + ch / (n - 1) * box.width(); };
    auto yOf = [&](double c) { return box.bottom() - std::log10(std::max(0.0, c) + 1) / logTop * box.height(); };
    QPainterPath path;
    path.moveTo(xOf(0), yOf(d.counts[0]));
    for (int ch = 1; ch < n; ++ch) path.lineTo(xOf(ch), yOf(d.counts[static_cast<std::size_t>(ch)]));
    p.setPen(QPen(QColor(0, 0, 160), std::max(1, mm / 6)));
    p.drawPath(path);

    // Axis ticks: energy (keV) when calibrated, else channels.
    QFont f = p.font();
    f.setPixelSize(std::max(6, mm * 25 / 10));
    p.setFont(f);
    p.setPen(Qt::black);
    const double maxAxis = energy ? *d.gain * (n - 1) + d.offset.value_or(0) : n - 1;
    const double minAxis = energy ? d.offset.value_or(0) : 0;
    double step = std::pow(10.0, std::floor(std::log10(std::max(1.0, maxAxis - minAxis) / 5)));
    if ((maxAxis - minAxis) / step > 10) step *= 2;
    if ((maxAxis - minAxis) / step > 10) step *= 2.5;
    for (double v = std::ceil(minAxis / step) * step; v <= maxAxis; v += step) {
        const double ch = energy ? (v - d.offset.value_or(0)) / *d.gain : v;
        const int x = static_cast<int>(xOf(ch));
        p.drawLine(x, box.bottom(), x, box.bottom() + mm);
        p.drawText(QRect(x - 8 * mm, box.bottom() + mm, 16 * mm, 4 * mm), Qt::AlignHCenter | Qt::AlignTop,
                   QString::number(v, 'f', 0));
    }
    p.drawText(QRect(box.left(), box.bottom() + 5 * mm, box.width(), 4 * mm), Qt::AlignHCenter,
               energy ? tr("Energy (keV)") : tr("Channel"));
    p.save();
    p.translate(box.left() - 2 * mm, box.center().y());
    p.rotate(-90);
    p.drawText(QRect(-box.height() / 2, -4 * mm, box.height(), 4 * mm), Qt::AlignCenter, tr("Counts (log)"));
    p.restore();
}

}  // namespace

bool loadReportSpectrum(const std::string& path, ScreeningReportData& data) {
    SpectrumHeader h;
    std::vector<std::int32_t> counts(kWorkChannels, 0);
    const SpectrumReadResult r = readSpectrumFile(path, h, counts);
    if (!r.valid || r.channelsRead <= 0) return false;
    counts.resize(static_cast<std::size_t>(std::min<int>(r.channelsRead, kWorkChannels)));
    data.counts = std::move(counts);
    if (h.hasCalibration() && h.f32(SpectrumHeader::kCalibCoef1) > 0) {
        data.gain = h.f32(SpectrumHeader::kCalibCoef1);
        data.offset = h.f32(SpectrumHeader::kCalibCoef2);
    }
    return true;
}

void drawScreeningReport(QPainter& p, const ScreeningReportData& d) {
    const reg::MeasurementRecord& r = d.record;
    const double pxPerMm = p.device()->logicalDpiX() / 25.4;
    const int mm = std::max(1, static_cast<int>(pxPerMm));
    const int margin = static_cast<int>(kScreeningMarginMm * pxPerMm);
    // Printers already hold their margins (the layout's); a full-page device gets them here.
    const QRect page(0, 0, p.device()->width(), p.device()->height());
    const bool fullPage = page.width() > 190 * pxPerMm;
    const QRect area = fullPage ? page.adjusted(margin, margin, -margin, -margin) : page;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont base(QStringLiteral("DejaVu Sans"));
    base.setPixelSize(static_cast<int>(3.4 * pxPerMm));
    // No shaping: no ligatures, so "fi" stays two letters in the PDF's text.
    base.setStyleStrategy(QFont::PreferNoShaping);
    const int line = static_cast<int>(5.2 * pxPerMm);
    int y = area.top();
    const int x = area.left();

    QFont big = base;
    big.setPixelSize(static_cast<int>(5.5 * pxPerMm));
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::black);
    p.drawText(QRect(x, y, area.width(), 8 * mm), Qt::AlignLeft | Qt::AlignVCenter,
               d.laboratoryName.isEmpty() ? tr("Screening laboratory") : d.laboratoryName);
    y += 8 * mm;
    p.setFont(base);
    for (const QString& l : d.laboratoryAddress.split('\n', Qt::SkipEmptyParts)) {
        p.drawText(QRect(x, y, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, l);
        y += line;
    }
    y += 2 * mm;
    QFont head = base;
    head.setBold(true);
    head.setPixelSize(static_cast<int>(4.5 * pxPerMm));
    p.setFont(head);
    p.drawText(QRect(x, y, area.width(), 7 * mm), Qt::AlignLeft | Qt::AlignVCenter,
               tr("Radiocaesium screening report"));
    p.drawText(QRect(x, y, area.width(), 7 * mm), Qt::AlignRight | Qt::AlignVCenter,
               r.id > 0 ? tr("Record ID %1").arg(r.id) : tr("Not recorded"));
    y += 8 * mm;
    p.setPen(QPen(Qt::black, std::max(1, mm / 4)));
    p.drawLine(x, y, area.right(), y);
    y += 2 * mm;

    p.setFont(base);
    const int labelW = 38 * mm;
    const int colW = area.width() / 2;
    QString mass = fig(r.massKg, 3);
    if (r.massKg) mass += QStringLiteral(" kg");
    const int yLeft = drawPairs(p, x, y, labelW, colW - 2 * mm, line,
                                {{tr("Sample ID"), u8(r.sampleId)},
                                 {tr("Product"), u8(r.product)},
                                 {tr("Origin"), u8(r.origin)},
                                 {tr("Mass"), mass},
                                 {tr("Sampling date"), u8(r.samplingDate)},
                                 {tr("Operator"), u8(r.operatorName)}});
    const int yRight =
        drawPairs(p, x + colW, y, 32 * mm, area.width() - colW, line,
                  {{tr("Measured (UTC)"), u8(r.createdUtc)},
                   {tr("Sample file"), u8(bareName(r.sampleFile))},
                   {tr("Counting time"), tr("%1 s real, %2 s live").arg(fig(r.sampleRealTimeS), fig(r.sampleLiveTimeS))},
                   {tr("Background file"), u8(bareName(r.backgroundFile))},
                   {tr("Background date"), d.backgroundStarted},
                   {tr("Background time"), tr("%1 s real").arg(fig(r.backgroundRealTimeS))}});
    y = std::max(yLeft, yRight) + 3 * mm;

    // Results table.
    const QString headers[] = {tr("Nuclide"), tr("Activity"), tr("u"), tr("Decision threshold"),
                               tr("Detection limit"), tr("Unit")};
    const double widths[] = {0.13, 0.16, 0.13, 0.23, 0.21, 0.14};
    const std::pair<const char*, const reg::Figures*> rows[] = {
        {"Cs-All", &r.csAll}, {"Cs-134", &r.cs134}, {"Cs-137", &r.cs137}, {"K-40", &r.k40}};
    QFont bold = base;
    bold.setBold(true);
    auto cellRow = [&](const QString* texts, bool header) {
        int cx = x;
        p.setFont(header ? bold : base);
        for (int i = 0; i < 6; ++i) {
            const int w = static_cast<int>(widths[i] * area.width());
            p.drawRect(cx, y, w, line + mm);
            p.drawText(QRect(cx + mm, y, w - 2 * mm, line + mm),
                       (i == 0 || i == 5 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, texts[i]);
            cx += w;
        }
        y += line + mm;
    };
    p.setPen(QPen(Qt::black, std::max(1, mm / 6)));
    cellRow(headers, true);
    for (const auto& [label, f] : rows) {
        const QString cells[] = {QString::fromLatin1(label), fig(f->activity), fig(f->u), fig(f->decisionThreshold),
                                 fig(f->detectionLimit), QStringLiteral("Bq/kg")};
        cellRow(cells, false);
    }
    y += 3 * mm;

    // Verdict, large and coloured.
    QFont verdictFont = base;
    verdictFont.setBold(true);
    verdictFont.setPixelSize(static_cast<int>(7 * pxPerMm));
    p.setFont(verdictFont);
    p.setPen(verdictColour(r.verdict));
    p.drawText(QRect(x, y, area.width(), 11 * mm), Qt::AlignLeft | Qt::AlignVCenter,
               d.verdictShown.isEmpty() ? u8(r.verdict) : d.verdictShown);
    y += 12 * mm;
    p.setPen(Qt::black);
    p.setFont(base);
    std::vector<std::pair<QString, QString>> more = {
        {tr("Method"), d.methodShown.isEmpty() ? u8(r.method) : d.methodShown},
        {tr("Screening level"), fig(r.screeningLevel) + QStringLiteral(" Bq/kg (Cs-134 + Cs-137)")},
        {tr("Lower limit"), fig(r.lowerLimit) + QStringLiteral(" Bq/kg")},
        {tr("Gain check"), r.gainOk ? (*r.gainOk ? tr("OK") : tr("check gain")) : QStringLiteral("-")}};
    if (r.nominalMassKg && r.massKg)
        more.push_back({tr("Mass correction"), tr("figures scaled by nominal %1 kg / actual %2 kg")
                                                   .arg(fig(r.nominalMassKg, 3), fig(r.massKg, 3))});
    y = drawPairs(p, x, y, labelW, area.width(), line, more) + 3 * mm;

    // The spectrum, filling what is left above the footer.
    const int footer = 4 * line;
    const QRect plot(x + 8 * mm, y, area.width() - 8 * mm, area.bottom() - footer - 10 * mm - y);
    if (plot.height() > 20 * mm) drawSpectrum(p, plot, d, mm);

    QFont small = base;
    small.setPixelSize(static_cast<int>(2.8 * pxPerMm));
    p.setFont(small);
    p.setPen(Qt::black);
    int fy = area.bottom() - footer;
    p.drawText(QRect(x, fy, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               tr("Installation %1  -  xmca %2").arg(u8(r.installation), u8(r.programVersion)));
    fy += line;
    p.drawText(QRect(x, fy, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, tr("Record %1").arg(u8(r.uid)));
    fy += line;
    p.drawText(QRect(x, fy, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               tr("Sample SHA-256 %1").arg(u8(r.sampleSha256)));
}

bool printScreeningReport(QPagedPaintDevice& device, const ScreeningReportData& data) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kScreeningMarginMm, kScreeningMarginMm, kScreeningMarginMm,
                                               kScreeningMarginMm),
                                     QPageLayout::Millimeter));
    QPainter p;
    if (!p.begin(&device)) return false;
    drawScreeningReport(p, data);
    return p.end();
}

PdfResult screeningReportPdf(const ScreeningReportData& data, int dpi) {
    PdfResult r;
    r.dpi = dpi;
    {
        QBuffer buffer(&r.pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(dpi);
        writer.setTitle(QStringLiteral("Screening report"));
        writer.setCreator(QStringLiteral("xmca"));
        QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
        layout.setMode(QPageLayout::FullPageMode);
        writer.setPageLayout(layout);
        QPainter p;
        if (p.begin(&writer)) {
            r.pageWidthPx = writer.width();
            r.pageHeightPx = writer.height();
            drawScreeningReport(p, data);
            r.ok = p.end();
        }
    }
    r.pages = r.ok ? 1 : 0;
    r.ok = r.ok && !r.pdf.isEmpty();
    return r;
}

}  // namespace xmca::report
