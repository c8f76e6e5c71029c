// The scan-map frame: the analyser's own 256-point display trace drawn into the
// plot image, with the pass preset, elapsed time, total counts, event count, the
// full-scale name, "* ACQ *" and the first label line, the bars of the first eight
// shown ROIs and the cursor mark. QtGui only.
#pragma once

#include <QImage>
#include <cstdint>

#include "device/device_status.h"
#include "model/measurement_state.h"

namespace xmca::display {

constexpr int kScanPoints = 256;
constexpr int kScanRoiBars = 8;
constexpr int kScanCursorHeight = 25;
constexpr TColor kScanTraceColour = 0x0000FF00;  // green
constexpr TColor kScanRed = 0x000000FF;

// y of a trace byte in a plot of the given height: height - byte * height / 256,
// at most height - 1.
int scanTraceY(std::uint8_t byte, int height);
// x of trace point i (0..255) spread over the width.
int scanPointX(int i, int width);
// The trace point shown in column x.
int scanPointAt(int x, int width);

// Draws the frame into plot (normally 512 x 312). The plot starts as background
// when one of the same size is given, else filled with the background colour.
// The view window, cursor and scale come from the state (the tick takes them from
// the status record); the trace, elapsed time and event count from st.
void drawScanFrame(const MeasurementState& s, const DeviceStatus& st, QImage& plot,
                   const QImage* background = nullptr);

}  // namespace xmca::display
