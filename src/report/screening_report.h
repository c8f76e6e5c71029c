// The screening report: one A4 page for a register record that a laboratory can
// sign (laboratory, sample data, counting times, the results table, the verdict,
// method, limits and QC, background, the sample spectrum with its analysis windows,
// the correction and reprint marks, signature lines), drawn inside margins a
// printer keeps. The window's Screening and History pages print the same page.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTransform>
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
// The banner of a record counted on the simulated analyser (never translated).
inline constexpr const char* kSimulatedBanner = "SIMULATED - NOT A MEASUREMENT";

struct ScreeningReportData {
    QString laboratoryName;
    QString laboratoryAddress;
    reg::MeasurementRecord record;  // id 0: not recorded yet (the page says so)
    QString backgroundStarted;      // when the background was counted, as the header has it ("" unknown)
    std::vector<std::int32_t> counts;  // the sample spectrum (empty: no plot)
    std::optional<double> gain, offset;  // energy = gain * channel + offset, when calibrated
    // The verdict, method and QC status as the page prints them (the window's
    // language); empty: the record's own English texts.
    QString verdictShown, methodShown, qcStatusShown;
    // A copy printed again after the record was made (History's reprint).
    bool reprint = false;
    QString printedAt;  // local time with offset; empty: now
    // Records that correct this one (it is superseded), and for a correction what
    // changed against the record it corrects (names as the page shows them).
    std::vector<std::int64_t> supersededBy;
    QStringList changedInputs, changedFigures;
};

// The sample spectrum and its calibration from a .dat file; false when unreadable.
bool loadReportSpectrum(const std::string& path, ScreeningReportData& data);

// One text as the page placed it: the box it must fit and how it was drawn.
struct PlacedText {
    QRect box;  // in the painter's frame when drawn (transform maps it onto the page)
    QString text;
    QFont font;
    int flags = 0;
    QTransform transform;
};

// Draws the page on p (the device is one page, origin at the sheet's corner). When
// placed is given, every text drawn is added to it with its box.
void drawScreeningReport(QPainter& p, const ScreeningReportData& data, std::vector<PlacedText>* placed = nullptr);

// On a printer (or any paged device) with its page layout set to A4 and 15 mm margins.
bool printScreeningReport(QPagedPaintDevice& device, const ScreeningReportData& data);

// A one-page A4 PDF.
PdfResult screeningReportPdf(const ScreeningReportData& data, int dpi = 300);

}  // namespace xmca::report
