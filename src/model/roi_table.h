// The ROI table editor's core: loading a record into the editors and storing the
// editors back when "ON" is clicked.
#pragma once

#include <optional>
#include <string>

#include "measurement_state.h"

namespace xmca {

// What the ROI editors show.
struct RoiEditors {
    std::string low = "0";
    std::string high = "0";
    std::string element;         // label as raw Shift-JIS bytes
    TColor colour = 0x00FF0000;  // blue for an ROI never defined
    bool on = false;
};

// Strict decimal integer (optional sign, no other characters); nullopt otherwise.
std::optional<std::int32_t> parseInteger(const std::string& text);

// Selecting ROI idx: a defined record fills the editors and becomes the selected
// ROI; an undefined one clears them (the selection is left as it was).
RoiEditors selectRoi(MeasurementState& s, int idx);

// "ON" clicked with the box now `checked`. Returns the text for the status box
// ("" when all went well). Low is read before high; a field that does not convert
// stops the store there. The label keeps at most 7 bytes of editors.element,
// ending before a two-byte character that would not fit whole.
std::string storeRoi(MeasurementState& s, int idx, bool checked, const RoiEditors& editors);

}  // namespace xmca
