// What the Screening and History pages share: file names made from a sample ID,
// verdict colours, and putting a screening report on a printer or into a PDF.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "report/screening_report.h"

class PageDialogs;

// A sample ID as part of a file name: path separators, control characters and
// characters file systems refuse become "_" (Japanese text is kept).
QString screeningFileStem(const QString& sampleId);

// Green below the level, red above, orange when the lower limit is not met, grey
// when no verdict is given.
QString verdictColourName(const std::string& verdict);

// A QC run's status ("baseline", "ok", "warning", "action") in the window's language.
QString qcStatusText(const std::string& status);

// What a correction changed against the record it corrects, named in the window's
// language, into the report data.
void setCorrectionChanges(xmca::report::ScreeningReportData& data, const xmca::reg::MeasurementRecord& original,
                          const xmca::reg::MeasurementRecord& correction);
// The same as one line for the page ("inputs: ...; figures: ...").
QString correctionChangesText(const xmca::reg::MeasurementRecord& original,
                              const xmca::reg::MeasurementRecord& correction);

// On the printer the operator picks when there is one, else into a PDF file
// (suggested as folder/base.pdf). Cancelled: empty failure and false; failed:
// false and failure says why (for the page to show).
bool deliverScreeningReport(PageDialogs& dialogs, const xmca::report::ScreeningReportData& data, const QString& base,
                            const QString& folder, QString& failure);
