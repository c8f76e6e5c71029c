// The activity computation on the measurement state: the "Calic" menu steps
// (DataComp, Data Smooth, BGSubtruct, Peak Find), the full "Bq Calic" sequence
// (sample in memory 1, background in memory 2, net spectrum into memory 3, fixed
// Cs and K windows, activities) and "Re Calic". Results go to the ROI table and to
// the state's result record (MeasurementState::activity).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "model/measurement_state.h"

namespace xmca {

// Fixed analysis windows (channels of the 1024-channel compressed spectrum).
struct FixedWindow {
    int roi;
    std::int32_t start, end;
    TColor colour;
};
inline constexpr FixedWindow kWindowK40{1, 686, 756, 0x008000};
inline constexpr FixedWindow kWindowCsAll{2, 272, 354, 0x808000};
inline constexpr FixedWindow kWindowCs134{3, 372, 420, 0xFF00FF};
inline constexpr int kNetChannels = 1024;  // channel count of the net spectrum
// The channel count of the spectra the windows were set for (compressed 2:1 into
// the net spectrum); other counts give figures but no verdict.
inline constexpr int kWindowsChannels = 2048;

// Status-box texts of a computation that cannot run.
inline constexpr const char* kNoSampleSpectrum = "Error ! Sample Spectrum";
inline constexpr const char* kNoBackgroundSpectrum = "Error ! BG Spectrum";
inline constexpr const char* kChannelMismatch = "Error ! BG Channels";
inline constexpr const char* kSampleRealTimeZero = "Error ! Sample Real Time";
inline constexpr const char* kBackgroundRealTimeZero = "Error ! BG Real Time";
// A count below zero (or 0xFFFFFFFF, read as -1) is no count the analyser gives.
inline constexpr const char* kSampleBadCounts = "Error ! Sample Counts";
inline constexpr const char* kBackgroundBadCounts = "Error ! BG Counts";
// A live time of zero or above the real time is no time the analyser gives.
inline constexpr const char* kSampleLiveTimeBad = "Error ! Sample Live Time";
inline constexpr const char* kBackgroundLiveTimeBad = "Error ! BG Live Time";
// The background file holds the very spectrum of the sample.
inline constexpr const char* kBackgroundIsSample = "Error ! Background is the sample";

struct CalicOutcome {
    bool computed = false;  // the figures were formed (result record valid)
    bool stopped = false;   // ended early without changing the spectra (file not opened)
    std::string edit1;      // text for Edit1; empty leaves it as it is
    // Range labels after the background file was re-read (empty: unchanged).
    std::string label1, label2, label3;
};

// DataComp1Click core: compresses the working spectrum 2:1 and copies channels
// 10 .. N-1 into the selected memory.
void dataCompress(MeasurementState& s);
// DataSmmth core: the three smoothing passes, then the copy to the selected memory.
void dataSmooth(MeasurementState& s);
// BGSubtruct1Click core: memory 3 = memory 1 - memory 2 scaled by the real times;
// memory 2 keeps the scaled background. Returns the Edit1 text ("" when done).
std::string subtractBackgroundMemories(MeasurementState& s);
// PeakFund core: working channels 0..1023 into memory 2 at 26..1049.
void peakFindCopy(MeasurementState& s);

// Asked for a background file when no "BG File" was chosen (nullopt: cancelled).
using AskFile = std::function<std::optional<std::string>()>;

// BqCalic1Click core: the full computation. Starts from the sample as it was read
// into memory 1, so that running it again gives the same figures.
CalicOutcome bqCalic(MeasurementState& s, const AskFile& askBackground = {});

// Fingerprint (FNV-1a) of the working spectrum: its channel count and counts.
std::uint64_t workingSpectrumKey(const MeasurementState& s);

// True when the results of the record are to be shown (plot box, activity page,
// report): the results flag is set, the computation finished, and the spectrum on
// screen is the one it was computed on. One test for every place that shows them.
bool resultsShown(const MeasurementState& s);

// ExpertModeClick core: window sums and activities on the spectra as they stand,
// with the trapezoid baseline when the background under Cs-All exceeds 35 % of its
// gross count. On spectra other than those of the record's computation the figures
// carry no characteristic limits (no background sums are known for them). Sets
// the results flag, so that its figures are drawn even after a fit cleared it.
CalicOutcome reCalic(MeasurementState& s);

}  // namespace xmca
