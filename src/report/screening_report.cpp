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
#include <ctime>

#include "files/spectrum_file.h"
#include "files/spectrum_header.h"
#include "model/bq_calic.h"
#include "model/local_time.h"
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

QColor fromTColor(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Draws texts into boxes and keeps what it drew, so that every text can be checked
// against the box it was given.
class Writer {
public:
    Writer(QPainter& p, std::vector<PlacedText>* placed) : p_(p), placed_(placed) {}

    void text(const QRect& box, int flags, const QString& t) {
        p_.drawText(box, flags, t);
        if (placed_) placed_->push_back({box, t, p_.font(), flags, p_.worldTransform()});
    }
    // The height t needs when wrapped into width (at least one line of lineHeight).
    int heightOf(int width, int flags, const QString& t, int lineHeight) const {
        const QRect r = p_.fontMetrics().boundingRect(QRect(0, 0, std::max(1, width), 100000), flags, t);
        return std::max(lineHeight, r.height() + lineHeight / 5);
    }

private:
    QPainter& p_;
    std::vector<PlacedText>* placed_;
};

constexpr int kWrap = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
constexpr int kWrapAnywhere = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere;

struct Pair {
    QString label, value;
    bool anywhere = false;  // file names and hashes break anywhere
};

// Label and value rows: the label column as wide as the widest label, values wrapped
// below each other when long. Returns the y below them.
int drawPairs(Writer& w, QPainter& p, int x, int y, int width, int lineHeight, const std::vector<Pair>& pairs) {
    int labelW = 0;
    for (const auto& pr : pairs) labelW = std::max(labelW, p.fontMetrics().horizontalAdvance(pr.label));
    labelW += lineHeight / 2;
    const int valueW = std::max(1, width - labelW);
    for (const auto& pr : pairs) {
        const int flags = pr.anywhere ? kWrapAnywhere : kWrap;
        const int h = w.heightOf(valueW, flags, pr.value, lineHeight);
        w.text(QRect(x, y, labelW, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, pr.label);
        w.text(QRect(x + labelW, y, valueW, h), flags, pr.value);
        y += h;
    }
    return y;
}

// A nice step for about `ticks` intervals over span.
double niceStep(double span, int ticks) {
    const double raw = std::max(span, 1e-9) / ticks;
    const double p10 = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * p10) return m * p10;
    return 10 * p10;
}

void drawSpectrum(Writer& w, QPainter& p, const QRect& box, const ScreeningReportData& d, int mm) {
    const int n = static_cast<int>(d.counts.size());
    p.setPen(QPen(Qt::black, std::max(1, mm / 5)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
    if (n < 2) return;
    double top = 1;
    for (int c : d.counts) top = std::max(top, static_cast<double>(c));
    const int decades = std::max(1, static_cast<int>(std::ceil(std::log10(top + 1))));
    const bool energy = d.gain && *d.gain > 0;
    auto xOf = [&](double ch) { return box.left() + ch / (n - 1) * box.width(); };
    auto yOf = [&](double c) {
        return box.bottom() - std::log10(std::max(0.0, c) + 1) / decades * box.height();
    };

    // The analysis windows, shaded under the trace (set on the 1024-channel net spectrum).
    const double perNet = static_cast<double>(n) / kNetChannels;
    QFont f = p.font();
    f.setPixelSize(std::max(6, mm * 25 / 10));
    p.setFont(f);
    const FixedWindow windows[] = {kWindowCsAll, kWindowCs134, kWindowK40};
    const char* names[] = {"Cs-All", "Cs-134", "K-40"};
    for (int i = 0; i < 3; ++i) {
        const double x0 = xOf(windows[i].start * perNet), x1 = xOf((windows[i].end + 1) * perNet - 1);
        QColor c = fromTColor(windows[i].colour);
        c.setAlpha(50);
        p.fillRect(QRectF(x0, box.top(), x1 - x0, box.height()), c);
        p.setPen(fromTColor(windows[i].colour).darker(130));
        // Cs-134 stands right of Cs-All, lower, so that the two names never meet.
        const int ly = box.top() + mm + (i == 1 ? 4 * mm : 0);
        w.text(QRect(static_cast<int>(x0), ly, 16 * mm, 4 * mm), Qt::AlignLeft | Qt::AlignTop,
               QString::fromLatin1(names[i]));
    }

    QPainterPath path;
    path.moveTo(xOf(0), yOf(d.counts[0]));
    for (int ch = 1; ch < n; ++ch) path.lineTo(xOf(ch), yOf(d.counts[static_cast<std::size_t>(ch)]));
    p.setPen(QPen(QColor(0, 0, 160), std::max(1, mm / 6)));
    p.drawPath(path);

    // Count scale: decades 1, 10, 100, ...
    p.setPen(Qt::black);
    for (int k = 0; k <= decades; ++k) {
        const int y = static_cast<int>(yOf(std::pow(10.0, k) - 1));
        p.drawLine(box.left() - mm, y, box.left(), y);
        w.text(QRect(box.left() - 13 * mm, y - 2 * mm, 11 * mm, 4 * mm), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(static_cast<qint64>(std::llround(std::pow(10.0, k)))));
    }
    // Energy (keV) when calibrated, else channels.
    const double lo = energy ? d.offset.value_or(0) : 0;
    const double hi = energy ? *d.gain * (n - 1) + d.offset.value_or(0) : n - 1;
    const double step = niceStep(hi - lo, 8);
    for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
        const double ch = energy ? (v - d.offset.value_or(0)) / *d.gain : v;
        const int x = static_cast<int>(xOf(ch));
        p.drawLine(x, box.bottom(), x, box.bottom() + mm);
        w.text(QRect(x - 8 * mm, box.bottom() + mm, 16 * mm, 4 * mm), Qt::AlignHCenter | Qt::AlignTop,
               QString::number(v, 'f', 0));
    }
    w.text(QRect(box.left(), box.bottom() + 5 * mm, box.width(), 4 * mm), Qt::AlignHCenter | Qt::AlignTop,
           energy ? tr("Energy (keV)") : tr("Channel (not calibrated)"));
    p.save();
    p.translate(box.left() - 14 * mm, box.center().y());
    p.rotate(-90);
    // Rotated: measured like any other text, in its own frame.
    w.text(QRect(-box.height() / 2, -4 * mm, box.height(), 4 * mm), Qt::AlignCenter, tr("Counts per channel (log)"));
    p.restore();
}

QString localNow() { return QString::fromStdString(isoLocal(std::time(nullptr))); }

QString qcText(const ScreeningReportData& d) {
    const reg::MeasurementRecord& r = d.record;
    if (!r.qcRunId) return tr("no QC run recorded with this result");
    const QString status = d.qcStatusShown.isEmpty() ? u8(r.qcStatus) : d.qcStatusShown;
    return tr("%1 (QC run %2)").arg(status).arg(*r.qcRunId);
}

QString massCorrectionText(const reg::MeasurementRecord& r) {
    if (r.nominalMassKg && r.massKg)
        return tr("applied: figures scaled by nominal %1 kg / actual %2 kg").arg(fig(r.nominalMassKg, 3),
                                                                                fig(r.massKg, 3));
    if (r.massKg) return tr("not applied: no nominal mass is set, the mass entered does not change the figures");
    return tr("not applied: no mass entered");
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

void drawScreeningReport(QPainter& p, const ScreeningReportData& d, std::vector<PlacedText>* placed) {
    const reg::MeasurementRecord& r = d.record;
    Writer w(p, placed);
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
    base.setPixelSize(static_cast<int>(3.1 * pxPerMm));
    // No shaping: no ligatures, so "fi" stays two letters in the PDF's text.
    base.setStyleStrategy(QFont::PreferNoShaping);
    const int line = static_cast<int>(4.6 * pxPerMm);
    int y = area.top();
    const int x = area.left();
    auto font = [&](double sizeMm, bool bold) {
        QFont f = base;
        f.setPixelSize(static_cast<int>(sizeMm * pxPerMm));
        f.setBold(bold);
        return f;
    };

    // Simulated counts, first and unmissable.
    if (r.simulated) {
        const QRect band(x, y, area.width(), 11 * mm);
        p.fillRect(band, QColor(200, 0, 0));
        p.setPen(Qt::white);
        p.setFont(font(5.0, true));
        w.text(QRect(x, y, area.width(), 7 * mm), Qt::AlignHCenter | Qt::AlignVCenter,
               QString::fromLatin1(kSimulatedBanner));
        p.setFont(font(2.8, false));
        w.text(QRect(x, y + 7 * mm, area.width(), 4 * mm), Qt::AlignHCenter | Qt::AlignVCenter,
               tr("Counted on the simulated analyser: no sample was measured"));
        y += 13 * mm;
    }

    p.setPen(Qt::black);
    p.setFont(font(5.2, true));
    w.text(QRect(x, y, area.width(), 8 * mm), Qt::AlignLeft | Qt::AlignVCenter,
           d.laboratoryName.isEmpty() ? tr("Screening laboratory") : d.laboratoryName);
    y += 8 * mm;
    p.setFont(base);
    for (const QString& l : d.laboratoryAddress.split('\n', Qt::SkipEmptyParts)) {
        w.text(QRect(x, y, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, l);
        y += line;
    }
    y += mm;
    p.setFont(font(4.3, true));
    const QString recordId = r.id > 0 ? tr("Record ID %1").arg(r.id) : tr("Not recorded");
    const int idW = p.fontMetrics().horizontalAdvance(recordId) + 2 * mm;
    w.text(QRect(x, y, area.width() - idW, 7 * mm), Qt::AlignLeft | Qt::AlignVCenter,
           tr("Radiocaesium screening report"));
    w.text(QRect(area.right() - idW, y, idW, 7 * mm), Qt::AlignRight | Qt::AlignVCenter, recordId);
    y += 7 * mm;

    // Marks a reviewer must see before the figures: reprint, correction, superseded.
    p.setFont(font(3.3, true));
    auto mark = [&](const QColor& colour, const QString& t) {
        p.setPen(colour);
        const int h = w.heightOf(area.width(), kWrap, t, line);
        w.text(QRect(x, y, area.width(), h), kWrap, t);
        y += h;
    };
    const QString printed = d.printedAt.isEmpty() ? localNow() : d.printedAt;
    if (d.reprint) mark(QColor(170, 80, 0), tr("REPRINT of the record made %1, printed %2")
                                             .arg(u8(isoLocalOfUtc(r.createdUtc)), printed));
    if (r.supersedes) {
        mark(QColor(0, 0, 150), tr("CORRECTION: replaces record %1. Reason: %2")
                                    .arg(*r.supersedes)
                                    .arg(u8(r.correctionReason)));
        p.setFont(base);
        if (!d.changedInputs.isEmpty() || !d.changedFigures.isEmpty())
            mark(QColor(0, 0, 150), tr("Changed inputs: %1. Changed figures: %2.")
                                        .arg(d.changedInputs.isEmpty() ? tr("none") : d.changedInputs.join(", "),
                                             d.changedFigures.isEmpty() ? tr("none") : d.changedFigures.join(", ")));
        p.setFont(font(3.3, true));
    }
    for (std::int64_t by : d.supersededBy)
        mark(QColor(200, 0, 0), tr("SUPERSEDED by record %1: this record no longer stands").arg(by));
    p.setPen(QPen(Qt::black, std::max(1, mm / 4)));
    y += mm / 2;
    p.drawLine(x, y, area.right(), y);
    y += 2 * mm;

    p.setFont(base);
    const int gap = 4 * mm;
    const int colW = (area.width() - gap) / 2;
    QString mass = fig(r.massKg, 3);
    if (r.massKg) mass += QStringLiteral(" kg");
    const int yLeft = drawPairs(w, p, x, y, colW, line,
                                {{tr("Sample ID"), u8(r.sampleId)},
                                 {tr("Product"), u8(r.product)},
                                 {tr("Origin"), u8(r.origin)},
                                 {tr("Mass"), mass},
                                 {tr("Sampling date"), u8(r.samplingDate)},
                                 {tr("Operator"), u8(r.operatorName)},
                                 {tr("Sample file"), u8(bareName(r.sampleFile)), true}});
    const QString bgDate = r.backgroundStart.empty() ? d.backgroundStarted : u8(r.backgroundStart);
    const int yRight = drawPairs(
        w, p, x + colW + gap, y, area.width() - colW - gap, line,
        {{tr("Count started"), u8(r.measurementStart).isEmpty() ? QStringLiteral("-") : u8(r.measurementStart)},
         {tr("Count ended"), u8(r.measurementEnd).isEmpty() ? QStringLiteral("-") : u8(r.measurementEnd)},
         {tr("Real time"), tr("%1 s").arg(fig(r.sampleRealTimeS))},
         {tr("Live time"), tr("%1 s").arg(fig(r.sampleLiveTimeS))},
         {tr("Recorded"), r.createdUtc.empty() ? tr("not yet") : u8(isoLocalOfUtc(r.createdUtc))},
         {tr("Background counted"), bgDate.isEmpty() ? QStringLiteral("-") : bgDate},
         {tr("Background time"), tr("%1 s real, %2 s live").arg(fig(r.backgroundRealTimeS), fig(r.backgroundLiveTimeS))},
         {tr("Background file"), u8(bareName(r.backgroundFile)), true}});
    y = std::max(yLeft, yRight) + 2 * mm;

    // Results table.
    const QString headers[] = {tr("Nuclide"), tr("Activity"), tr("u (k = 1)"), tr("Decision threshold"),
                               tr("Detection limit"), tr("Unit")};
    const double widths[] = {0.13, 0.15, 0.14, 0.23, 0.21, 0.14};
    const std::pair<const char*, const reg::Figures*> rows[] = {
        {"Cs-All", &r.csAll}, {"Cs-134", &r.cs134}, {"Cs-137", &r.cs137}, {"K-40", &r.k40}};
    auto cellRow = [&](const QString* texts, bool header) {
        int cx = x;
        p.setFont(header ? font(3.1, true) : base);
        for (int i = 0; i < 6; ++i) {
            const int cw = static_cast<int>(widths[i] * area.width());
            p.drawRect(cx, y, cw, line + mm);
            w.text(QRect(cx + mm, y, cw - 2 * mm, line + mm),
                   (i == 0 || i == 5 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, texts[i]);
            cx += cw;
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
    p.setFont(font(2.7, false));
    const QString legend =
        tr("Cs-All = Cs-134 + Cs-137. u: standard uncertainty (coverage factor k = 1). \"-\": not formed; the "
           "decision threshold and detection limit are formed for Cs-All and Cs-134 only, Cs-137 and K-40 are "
           "reported with their activity and u.");
    const int lh = w.heightOf(area.width(), kWrap, legend, line * 3 / 4);
    w.text(QRect(x, y + mm / 2, area.width(), lh), kWrap, legend);
    y += lh + 2 * mm;

    // Verdict, large and coloured.
    p.setFont(font(6.5, true));
    p.setPen(verdictColour(r.verdict));
    const QString verdict = d.verdictShown.isEmpty() ? u8(r.verdict) : d.verdictShown;
    const int vh = w.heightOf(area.width(), kWrap, verdict, 10 * mm);
    w.text(QRect(x, y, area.width(), vh), kWrap, verdict);
    y += vh + mm;
    p.setPen(Qt::black);
    p.setFont(base);
    std::vector<Pair> more = {
        {tr("Method"), d.methodShown.isEmpty() ? u8(r.method) : d.methodShown},
        {tr("Screening level"), fig(r.screeningLevel) + QStringLiteral(" Bq/kg (Cs-134 + Cs-137)")},
        {tr("Lower limit of measurement"), tr("%1 Bq/kg required, %2 Bq/kg reached")
                                               .arg(fig(r.lowerLimit), fig(r.achievedLowerLimit))},
        {tr("QC status"), qcText(d)},
        {tr("Gain check"), r.gainOk ? (*r.gainOk ? tr("OK") : tr("check gain")) : QStringLiteral("-")},
        {tr("Mass correction"), massCorrectionText(r)},
        {tr("Background SHA-256"), u8(r.backgroundSha256).isEmpty() ? QStringLiteral("-") : u8(r.backgroundSha256),
         true}};
    y = drawPairs(w, p, x, y, area.width(), line, more) + 2 * mm;

    // Footer: signatures, then the record's identity; the spectrum fills what is between.
    const int small = static_cast<int>(3.8 * pxPerMm);
    const int footer = 14 * mm + 4 * small;
    const int fy0 = area.bottom() - footer;
    const QRect plot(x + 16 * mm, y, area.width() - 16 * mm, fy0 - 11 * mm - y);
    if (plot.height() > 18 * mm) drawSpectrum(w, p, plot, d, mm);

    p.setPen(QPen(Qt::black, std::max(1, mm / 6)));
    p.setFont(base);
    int fy = fy0 + 2 * mm;
    const int sigW = (area.width() - gap) / 2;
    const QString signers[] = {tr("Operator (name, signature, date)"), tr("Reviewer (name, signature, date)")};
    for (int i = 0; i < 2; ++i) {
        const int sx = x + i * (sigW + gap);
        p.drawLine(sx, fy + 6 * mm, sx + sigW, fy + 6 * mm);
        w.text(QRect(sx, fy + 6 * mm, sigW, line), Qt::AlignLeft | Qt::AlignTop, signers[i]);
    }
    fy += 6 * mm + line + mm;
    p.setFont(font(2.6, false));
    auto foot = [&](const QString& t, int flags = Qt::AlignLeft | Qt::AlignVCenter) {
        w.text(QRect(x, fy, area.width(), small), flags, t);
        fy += small;
    };
    const QString pageOf = tr("page %1 of %2").arg(1).arg(1);
    const int pw = p.fontMetrics().horizontalAdvance(pageOf) + mm;
    w.text(QRect(area.right() - pw, fy, pw, small), Qt::AlignRight | Qt::AlignVCenter, pageOf);
    w.text(QRect(x, fy, area.width() - pw, small), Qt::AlignLeft | Qt::AlignVCenter,
           tr("Installation %1  -  xmca %2  -  printed %3").arg(u8(r.installation), u8(r.programVersion), printed));
    fy += small;
    foot(tr("Record %1").arg(u8(r.uid)));
    foot(tr("Sample SHA-256 %1").arg(u8(r.sampleSha256)));
    foot(tr("Times are local with their offset from UTC."));
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
