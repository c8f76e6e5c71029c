// A fitted curve drawn over the spectrum plot of a composed paint-box frame, with
// the plot's own channel-to-column and count-to-y arithmetic.
#pragma once

#include <QImage>
#include <functional>

#include "model/measurement_state.h"

namespace xmca::display {

constexpr TColor kFitCurveColour = 0x00FF00FF;  // magenta: apart from the white trace and red cursor

// Draws model(channel) over channels first..last of the view window of s onto
// the 528 x 336 paint-box image box (plot at 16, 5), one point per column.
// Nothing is drawn for columns outside first..last or outside the window.
void drawFitCurve(QImage& box, const MeasurementState& s, int first, int last,
                  const std::function<double(double)>& model, TColor colour = kFitCurveColour);

}  // namespace xmca::display
