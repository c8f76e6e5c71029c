// The check-source control chart: peak channel, FWHM and net rate of each QC run
// in order of date, with each baseline's mean and its 2 sd and 3 sd lines, points
// coloured by status. Drawn with QPainter on any paint device, so the window, the
// PNG and the PDF of `mcatool qc --chart` are the same picture.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

#include "analysis/check_source_qc.h"

class QIODevice;
class QPainter;

namespace xmca::display {

using QcChartData = qc::History;

// RGB of a status: grey-blue baseline, green ok, orange warning, red action.
unsigned statusRgb(qc::Status s);

// Draws the chart into rect.
void drawQcChart(QPainter& p, const QRectF& rect, const QcChartData& data);

// The chart as an image of the given size (needs a QGuiApplication).
QImage renderQcChart(const QcChartData& data, int width = 1000, int height = 720);

// The chart on one landscape A4 page written to device (open for writing);
// false when it cannot be drawn there.
bool writeQcChartPdf(const QcChartData& data, QIODevice* device);

}  // namespace xmca::display
