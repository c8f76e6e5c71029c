// The one-page spectrum report, drawn on any paint device in its own pixels: a
// portrait page read in landscape (channels run down the page, counts across it,
// every text rotated a quarter turn clockwise), with the trace, grids, ticks,
// scale labels, titles, banner and header block. QtGui only; it reads the
// measurement state and knows no widget.
#pragma once

#include <QDateTime>
#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/measurement_state.h"

class QPainter;

namespace xmca::report {

// Page geometry in device pixels; every value truncated after its multiplication.
struct PageGeometry {
    int pw = 0, ph = 0;  // page width and height as the device reports them
    int ml = 0;          // 0.07 PW: x of the count-axis origin
    int mt = 0;          // 0.1 PH: y of the first channel row
    int ax = 0;          // 0.85 PW: plot extent across the page (counts)
    int al = 0;          // 0.85 PH: plot extent down the page (channels), one row per pixel
    int u = 0;           // 0.01 PW: tick length and small-font height

    static PageGeometry forPage(int pw, int ph);

    // The strip right of the header block and banner that nothing else uses, over the
    // whole plot height: where a block of extra results goes.
    QRect freeArea() const;
    // Where a block of extra results goes: inside the plot at its top counts (the
    // upper right once the page is turned, where a spectrum rarely reaches), between
    // the channel-axis labels and the header block.
    QRect resultsArea() const;
};

// The least size of the results block's font, in points, and in pixels of a page pw
// pixels wide (an A4 sheet).
inline constexpr double kBlockFontPt = 8.5;
int minimumBlockFont(int pw);

// Channels per row A (> 0), or rows per channel D when A is 0.
struct RowMode {
    std::int64_t channelsPerRow = 0;  // A
    double rowsPerChannel = 0.0;      // D, used when A is 0
};
RowMode rowMode(std::int32_t lo, std::int32_t hi, int rows);

// x offset (from ML) of the trace in each drawn row, row 0 first. With several
// channels per row a row takes the largest offset of its channels; with fewer
// channels than rows each channel repeats over D rows and the trace stops at the
// first row whose channel is not below the channel count.
std::vector<int> traceOffsets(const MeasurementState& s, const PageGeometry& g);

// The trace colour as printed with several channels per row: the display's trace
// colour when it is darker than mid-grey, black otherwise (the display's light trace
// would not show on paper). With fewer channels than rows the trace is black.
TColor printableTraceColour(TColor displayTrace);

// Minor and label step of the channel axis for a window of m channels.
struct ChannelSteps {
    int minor = 10;
    int label = 10;
};
ChannelSteps channelSteps(std::int64_t m);

// Linear count-axis label k (1..5) for a full scale: "%d", or "%d k" from 5000 up.
QString linearLabel(std::int64_t fullScale, int k);

// "Tahoma" (or the nearest face) sized so that its character cell (ascent plus
// descent) is cellHeight pixels.
QFont reportFont(int cellHeight);

// Header block texts.
struct HeaderTexts {
    QString reportDate, reportTime;
    QString fileName, comment, acqDate, realTime, liveTime, sampleId;
};
HeaderTexts headerTexts(const MeasurementState& s, const QDateTime& now);

// A block of extra lines (e.g. analysis results) printed on a white box in the
// results area at no less than 8.5 pt, first line on the right (uppermost once the
// page is turned); lines that do not fit are left out, long ones shortened.
struct TextBlock {
    QString title;
    std::vector<QString> lines;
};

struct ReportOptions {
    QDateTime now;                      // reporting date and time; invalid: the current time
    std::optional<TextBlock> extra;     // drawn in PageGeometry::resultsArea()
};

// Draws the whole report on p, whose device is one page; the page size is the
// device's width and height in pixels.
void drawReport(QPainter& p, const MeasurementState& s, const ReportOptions& options = {});

// The parts, in the order drawReport draws them.
void drawTrace(QPainter& p, const MeasurementState& s, const PageGeometry& g);
void drawCountGrid(QPainter& p, const PageGeometry& g, bool log);
void drawChannelTicks(QPainter& p, const PageGeometry& g, std::int32_t lo, std::int32_t hi);
void drawScaleLabels(QPainter& p, const MeasurementState& s, const PageGeometry& g);
void drawHeaderBlock(QPainter& p, const PageGeometry& g, const HeaderTexts& t);
void drawTitles(QPainter& p, const PageGeometry& g);
void drawTextBlock(QPainter& p, const PageGeometry& g, const TextBlock& block);

// Text with its top-left corner at (x, y), rotated a quarter turn clockwise so
// that it runs down the page.
void drawRotatedText(QPainter& p, int x, int y, const QString& text);

}  // namespace xmca::report
