// What the Screening and History pages share: file names made from a sample ID,
// verdict colours, and putting a screening report on a printer or into a PDF.
#pragma once

#include <QString>
#include <functional>

#include "report/screening_report.h"

class QPrinter;
class QWidget;

// A sample ID as part of a file name: path separators, control characters and
// characters file systems refuse become "_" (Japanese text is kept).
QString screeningFileStem(const QString& sampleId);

// Green below the level, red above, orange when the lower limit is not met, grey
// when no verdict is given.
QString verdictColourName(const std::string& verdict);

// On the printer the operator picks when there is one, else into a PDF file
// (suggested as folder/base.pdf). False when cancelled or failed (a message box
// says why on failure). The hooks replace the dialogs in tests when set.
bool deliverScreeningReport(QWidget* parent, const xmca::report::ScreeningReportData& data, const QString& base,
                            const QString& folder, const std::function<bool()>& hasPrinter,
                            const std::function<bool(QPrinter&)>& choosePrinter,
                            const std::function<QString(const QString&)>& choosePdf);
