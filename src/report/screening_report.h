// The screening report: one A4 page for a register record (laboratory, sample
// data, the results table, the verdict, method and limits, background, operator,
// record ID, program version and the sample spectrum), drawn inside margins a
// printer keeps. The window's Screening and History pages print the same page.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "register/register.h"
#include "report/report_output.h"

class QPainter;
class QPagedPaintDevice;

namespace xmca::report {

inline constexpr double kScreeningMarginMm = 15.0;

struct ScreeningReportData {
    QString laboratoryName;
    QString laboratoryAddress;
    reg::MeasurementRecord record;  // id 0: not recorded yet (the page says so)
    QString backgroundStarted;      // when the background was counted ("" unknown)
    std::vector<std::int32_t> counts;  // the sample spectrum (empty: no plot)
    std::optional<double> gain, offset;  // energy = gain * channel + offset, when calibrated
    // The verdict and method as the page prints them (the window's language); empty:
    // the record's own English texts.
    QString verdictShown, methodShown;
};

// The sample spectrum and its calibration from a .dat file; false when unreadable.
bool loadReportSpectrum(const std::string& path, ScreeningReportData& data);

// Draws the page on p (the device is one page, origin at the sheet's corner).
void drawScreeningReport(QPainter& p, const ScreeningReportData& data);

// On a printer (or any paged device) with its page layout set to A4 and 15 mm margins.
bool printScreeningReport(QPagedPaintDevice& device, const ScreeningReportData& data);

// A one-page A4 PDF.
PdfResult screeningReportPdf(const ScreeningReportData& data, int dpi = 300);

}  // namespace xmca::report
