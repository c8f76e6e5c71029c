// The "Mem" group (analyser spectrum or memory 1..3 as the working spectrum) and
// the "SnapShot" overlays.
#pragma once

#include <string>

#include "model/measurement_state.h"
#include "model/view_controls.h"

namespace xmca {

// Mem1SpecClick..Mem3SpecClick core (k = 1..3): memory k becomes the working
// spectrum with its header, name, times, calibration and ROIs; returns true.
// A memory never loaded (its header's channel count is not positive) becomes the
// selected source, so that a following file read fills it, but the working
// spectrum, header, name, N, times, calibration and ROIs stay as they were, and
// false is returned. k outside 1..3 changes nothing and returns false.
bool selectMemory(MeasurementState& s, int k);

// Status text for selecting an empty memory k: "Error ! Mem<k> Empty".
std::string emptyMemoryText(int k);

// McaMemClick core up to the analyser reads: the live-acquisition header becomes
// the working header, the file name is emptied, times, calibration and ROIs come
// from it. The counts are left alone (the analyser reads fill them).
void selectAnalyser(MeasurementState& s);

// OverLapONClick core: toggles the overlay of the selected source, capturing the
// last frame's trace arrays when it is switched on. Columns 0 .. min(N, plotWidth)-1
// are captured. Returns the overlay index toggled (0..3).
int toggleSnapshot(MeasurementState& s, int plotWidth = view::kPlotWidth,
                   int plotHeight = view::kPlotHeight);

}  // namespace xmca
