#include "report_output.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <functional>

namespace xmca::report {
namespace {

// One page drawn by draw on an A4 full-page PDF in memory.
PdfResult onePagePdf(int dpi, const QString& title, const std::function<void(QPainter&)>& draw) {
    PdfResult r;
    r.dpi = dpi;
    QBuffer buffer(&r.pdf);
    if (!buffer.open(QIODevice::WriteOnly)) return r;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(dpi);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("xmca"));
        QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
        layout.setMode(QPageLayout::FullPageMode);
        writer.setPageLayout(layout);
        QPainter p;
        if (!p.begin(&writer)) return r;
        r.pageWidthPx = writer.width();
        r.pageHeightPx = writer.height();
        draw(p);
        r.ok = p.end();
    }
    buffer.close();
    r.pages = r.ok ? 1 : 0;
    r.ok = r.ok && !r.pdf.isEmpty();
    return r;
}

void drawImageOnPage(QPainter& p, const QImage& img) {
    if (img.isNull()) return;
    const QSize page(p.device()->width(), p.device()->height());
    const QSize size = img.size().scaled(page, Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRect(QPoint(0, 0), size), img);
}

}  // namespace

bool printReport(QPagedPaintDevice& device, const MeasurementState& s, const ReportOptions& options) {
    QPainter p;
    if (!p.begin(&device)) return false;
    drawReport(p, s, options);
    return p.end();
}

bool printImage(QPagedPaintDevice& device, const QImage& img) {
    QPainter p;
    if (!p.begin(&device)) return false;
    drawImageOnPage(p, img);
    return p.end();
}

PdfResult reportPdf(const MeasurementState& s, const ReportOptions& options, int dpi) {
    return onePagePdf(dpi, QStringLiteral("Spectrum report"), [&](QPainter& p) { drawReport(p, s, options); });
}

PdfResult imagePdf(const QImage& img, int dpi) {
    return onePagePdf(dpi, QStringLiteral("Window copy"), [&](QPainter& p) { drawImageOnPage(p, img); });
}

WriteStatus writePdf(const std::string& path, const PdfResult& pdf) {
    if (!pdf.ok) return WriteStatus::WriteFailed;
    return writeWholeFile(path, std::string_view(pdf.pdf.constData(), static_cast<std::size_t>(pdf.pdf.size())));
}

}  // namespace xmca::report
