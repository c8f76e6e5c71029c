// Putting the report (or an image of the main window) on a paged device: a
// printer, or a PDF held in memory and written whole to a file.
#pragma once

#include <QByteArray>
#include <QImage>
#include <string>

#include "files/safe_write.h"
#include "report/report_page.h"

class QPagedPaintDevice;

namespace xmca::report {

// Draws the report as the one page of a document on device (begin and end of the
// document included). False when the device cannot be painted on.
bool printReport(QPagedPaintDevice& device, const MeasurementState& s, const ReportOptions& options = {});

// Draws img as the one page of a document on device, scaled to the page width (or
// height) with its aspect kept. False when the device cannot be painted on.
bool printImage(QPagedPaintDevice& device, const QImage& img);

// A one-page PDF: an A4 portrait sheet in full-page mode, so that the page is the
// whole sheet in pixels at dpi dots per inch, origin at its top-left corner.
struct PdfResult {
    bool ok = false;
    QByteArray pdf;
    int pages = 0;
    int pageWidthPx = 0;
    int pageHeightPx = 0;
    int dpi = 0;
};
inline constexpr int kDefaultPdfDpi = 600;

PdfResult reportPdf(const MeasurementState& s, const ReportOptions& options = {}, int dpi = kDefaultPdfDpi);
// The same sheet with img on it (the window copy).
PdfResult imagePdf(const QImage& img, int dpi = kDefaultPdfDpi);

// Writes a PDF whole to path: on failure an existing file stays as it was.
WriteStatus writePdf(const std::string& path, const PdfResult& pdf);

}  // namespace xmca::report
