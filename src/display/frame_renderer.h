// The spectrum frame renderer: composes the 528 x 336 paint-box image off screen
// from the measurement state (plot bitmap with trace, ROIs, overlays, read-outs,
// activity box and cursor; the left and bottom scale strips) and draws the static
// parts (scale strips, background grid and labels). QtGui only: it knows no
// widget, so the window, the batch tool and the tests all draw through it.
#pragma once

#include <QFont>
#include <QImage>
#include <QLine>
#include <QString>
#include <cstdint>
#include <span>

#include "device/device_status.h"
#include "model/measurement_state.h"
#include "model/view_controls.h"

namespace xmca::display {

// What a frame writes back: the per-column trace arrays and the gross/net
// counts of each shown ROI (records 0..9).
struct FrameWriteBack {
    std::span<std::int32_t> traceTop;
    std::span<std::int32_t> traceBottom;
    std::span<RoiRecord> rois;

    // Writes back into the state's own arrays.
    static FrameWriteBack into(MeasurementState& s) { return {s.traceTop, s.traceBottom, s.rois}; }
};

// Where texts of the plot end so that they meet no other: the comment ends before
// the real-time read-out's field (x 105), the box's method and verdict lines before
// the ROI column (x 420).
inline constexpr int kCommentRight = 103;
inline constexpr int kBoxTextRight = 415;

// 0x00BBGGRR to a QColor.
QColor toQColor(TColor c);

// Draws lines in colour c as QPainter's aliased one-pixel pen does (both ends
// included, clipped to the image), writing vertical and horizontal lines straight
// into the pixels and handing only sloped ones to a painter. img must be RGB32 and
// must not be painted on by an active QPainter at the same time.
void drawLines(QImage& img, TColor c, std::span<const QLine> lines);

// Raw Shift-JIS bytes (up to the first NUL) as text for drawing.
QString decodeShiftJis(const std::string& raw);

// Turns the activity box's method and verdict lines (the core's English) into the
// window's language. The window sets it; unset (the batch tool) they stay English.
using BoxTextFilter = QString (*)(const QString&);
void setBoxTextFilter(BoxTextFilter filter);

class FrameRenderer {
public:
    static constexpr int kBoxWidth = 528;
    static constexpr int kBoxHeight = 336;
    static constexpr int kW = view::kPlotWidth;
    static constexpr int kH = view::kPlotHeight;
    static constexpr int kLeftStripWidth = 16;
    static constexpr int kLeftStripHeight = 317;
    static constexpr int kBottomStripHeight = 19;
    static constexpr int kBottomStripY = 317;
    // Face colour of the scale strips (their ticks and digits are black).
    static constexpr TColor kStripFace = 0x00D8D8D8;
    static constexpr TColor kGrid = 0x00000080;     // maroon
    static constexpr TColor kPreview = 0x0000FF00;  // green
    static constexpr TColor kCursor = 0x000000FF;   // red
    static constexpr TColor kAcq = 0x000000FF;      // red
    static constexpr TColor kOverlayColours[kOverlayCount] = {0x00FFFF00, 0x000000FF, 0x00008080, 0x00800000};

    FrameRenderer();

    // Static parts.
    void drawLogStrip();
    void drawLinearStrip();
    void drawBackground(bool log, const DisplayColours& colours);
    void drawChannelStrip(std::int32_t lo, std::int32_t hi);
    // Left strip, background and bottom strip for the state's log flag, colours
    // and window.
    void redrawStatic(const MeasurementState& s);

    // One complete frame. Static parts out of date for the state are redrawn
    // first. Returns the 528 x 336 paint-box image.
    const QImage& compose(const MeasurementState& s, const FrameWriteBack& out);

    // One scan-map frame: the analyser's trace and read-outs (scan_frame.h) drawn
    // over the same background bitmap, with the same strips, as an MCA frame, so
    // the grid and the static labels stay. Returns the paint-box image.
    const QImage& composeScan(const MeasurementState& s, const DeviceStatus& st);

    // The quick preview the scale redraws show: the background with one green
    // pixel per channel of the window, plus both strips, as a paint-box image.
    const QImage& preview(const MeasurementState& s);

    // Count of the cursor channel (0 outside the spectrum), for the count label.
    static std::int32_t cursorCount(const MeasurementState& s);

    const QImage& plot() const { return plot_; }
    const QImage& background() const { return background_; }
    const QImage& leftStrip() const { return leftStrip_; }
    const QImage& bottomStrip() const { return bottomStrip_; }
    const QImage& frame() const { return frame_; }
    const QFont& font() const { return font_; }

private:
    void text(class QPainter& p, int x, int y, const QString& s, TColor c) const;
    void textRight(class QPainter& p, int right, int y, const QString& s, TColor c) const;
    void assemble();
    void ensureStatic(const MeasurementState& s);

    QFont font_;
    int ascent_ = 0;
    QImage plot_, background_, leftStrip_, bottomStrip_, frame_;

    // What the static parts were last drawn for.
    bool haveBackground_ = false;
    bool backgroundLog_ = false;
    DisplayColours backgroundColours_;
    int leftStripLog_ = -1;  // -1: not drawn yet
    bool haveChannelStrip_ = false;
    std::int32_t stripLo_ = 0, stripHi_ = 0;
};

}  // namespace xmca::display
