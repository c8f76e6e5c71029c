// View logic of the spectrum plot without any widget: the vertical full-scale
// table, Auto and up/down stepping, Expand/Compress of the channel window,
// scrolling and the channel under a mouse click.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "measurement_state.h"

namespace xmca::view {

// Plot bitmap geometry inside the 528 x 336 paint box.
constexpr int kPlotWidth = 512;   // W
constexpr int kPlotHeight = 312;  // H
constexpr int kPlotX = 16;
constexpr int kPlotY = 5;

constexpr int kMinScaleIndex = 1;
constexpr int kMaxScaleIndex = 22;
constexpr int kAutoMaxIndex = 20;       // Auto never goes above 250M
constexpr int kMaxPixelsPerChannel = 64;

// Full scale (count at the top of the plot) of index 1..22; indices outside are
// clamped into that range.
std::int32_t fullScale(int index);
// Status-line label of index 1..22; 0 (and anything out of range) gives "Log".
const char* fullScaleLabel(int index);

// The smallest index whose full scale exceeds maxCount, but never above 20.
int autoScaleIndex(std::int64_t maxCount);

// Largest count over channels lo .. hi - 1 (starting from 0). Channels outside
// 0 .. channels - 1 (or outside the array) read as 0.
std::int32_t windowMaximum(std::span<const std::int32_t> counts, int channels, int lo, int hi);

// Count of channel k; 0 for a channel outside 0 .. channels - 1 or the array.
std::int32_t countAt(std::span<const std::int32_t> counts, int channels, std::int64_t k);

// Clamps ch into 0 .. channels - 1 (0 when there are no channels).
int clampChannel(std::int64_t ch, int channels);

enum UpDownButton { btNext = 0, btPrev = 1 };

// Up/down step of the full-scale index (btNext: index - 1, btPrev: index + 1).
// Clears the log flag first. Returns true when the index changed.
bool stepScale(ViewState& v, int button);

// Local zoom. Both return true when the window changed; afterZoom() is then due.
bool expand(ViewState& v, int channels, int width = kPlotWidth);
// A window of exactly one pixel per channel (W/2 + 1 .. W - 1 channels) has no
// halved pixels-per-channel value; it widens to W channels (one per column).
bool compress(ViewState& v, int channels, int width = kPlotWidth);
// After a local zoom: a cursor outside the window moves to its middle; the
// 16-bit copies of the window are updated.
void afterZoom(ViewState& v);

enum class ScrollCode { LineLeft, LineRight, Other };
// Local scroll: moves the scroll position by -10/+10 and, while the window
// stays inside the spectrum, shifts lo, hi and the cursor by 10.
void scroll(ViewState& v, ScrollCode code, int channels);

// Channel under paint-box x (the plot starts at x 16) for window lo..hi. A click
// left of the plot gives a channel below lo; the result is not clamped.
std::int64_t channelAtX(int lo, int hi, int mouseX, int width = kPlotWidth);

// "<lo>ch", "<hi>ch".
std::string windowLabel(int channel);

}  // namespace xmca::view
