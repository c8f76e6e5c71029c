// Two-point energy calibration: channel-to-energy gain and offset from two
// reference peaks, the number parsing of the calibration boxes, and the text the
// "L_Ch." / "H_Ch." boxes take from the cursor.
#pragma once

#include <optional>
#include <string>

namespace xmca {

// A calibration box as a 32-bit float: the whole text (surrounding blanks
// allowed, one leading '+' allowed) must be a decimal number whose value is
// finite as a float. Locale independent ('.' is the decimal point).
std::optional<float> parseCalibrationNumber(const std::string& text);

struct CalibrationTexts {
    std::string lowCh, highCh, lowEng, highEng;
};

struct CalibrationOutcome {
    bool ok = false;
    std::string message;  // for Edit1 when refused
    float lowCh = 0, highCh = 0, lowEng = 0, highEng = 0;
    float gain = 0;    // energy per channel
    float offset = 0;  // energy at channel 0
};

constexpr const char* kCalibLowChError = "Error ! Energy Calib LowCh";
constexpr const char* kCalibHighChError = "Error ! Energy Calib HighCh";
constexpr const char* kCalibLowEngError = "Error ! Energy Calib LowEng";
constexpr const char* kCalibHighEngError = "Error ! Energy Calib HighEng";
// Equal reference channels leave the gain undefined.
constexpr const char* kCalibSameChError = "Error ! Energy Calib LowCh = HighCh";
// Equal energies (gain 0) or a gain/offset beyond the float range: no usable scale.
constexpr const char* kCalibGainError = "Error ! Energy Calib Gain";

// Parses the four boxes in the order LowCh, HiCh, LoEng, HiEng (the first failure
// gives its message) and forms gain = (EH - EL) / (H - L), offset = EH - gain * H
// in 32-bit floats.
CalibrationOutcome twoPointCalibration(const CalibrationTexts& texts);

// Messages of the LowCh / HiCh boxes while they are edited; empty when the text
// parses.
std::string lowChEditMessage(const std::string& text);
std::string highChEditMessage(const std::string& text);

// Text a reference-channel box takes from the cursor: the kept peak position with
// "%8.2f" when it rounds (trunc(p + 0.5)) to the cursor channel, otherwise the
// cursor channel as a plain integer.
std::string referenceChannelText(float keptPeak, int cursor);

// Energy of a channel under the calibration: gain * channel + offset.
inline double channelEnergy(double channel, float gain, float offset) {
    return channel * static_cast<double>(gain) + static_cast<double>(offset);
}

}  // namespace xmca
