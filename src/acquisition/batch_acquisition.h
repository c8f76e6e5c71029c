// An unattended acquisition with the window's own AcquisitionCycle: open the
// analyser, send the channel count and preset, optionally clear, start, then poll
// every 100 ms until the preset stop, a stop request, or an analyser that stops
// answering. The caller saves the state's spectrum afterwards as "SaveSpec" would,
// but only counts the analyser sent: see BatchResult::content.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "acquisition/acquisition_cycle.h"

namespace xmca {

struct BatchRequest {
    std::int32_t channels = 2048;
    std::int32_t presetTenths = 36000;
    float deadTimeUs = 1.8f;
    bool clear = false;
    int intervalMs = 100;       // the poll tick
    std::int64_t stallMs = 30000;  // no status, or a frozen real time, this long ends the run
    // Whole reads of the stopped analyser's spectrum tried before giving up on it
    // (one only after a stall: the analyser has gone quiet already).
    int finalReadAttempts = 4;
};

struct BatchHooks {
    std::function<std::int64_t()> nowMs;       // monotonic
    std::function<void(int ms)> sleep;         // may return early (a signal)
    std::function<bool()> stopRequested;       // Ctrl-C / SIGTERM
    std::function<void(const MeasurementState&)> progress;  // after each tick
};

struct BatchResult {
    enum Stop { Rejected, Preset, Interrupted, Stalled } stop = Rejected;
    // What the state's spectrum holds at the end.
    enum Content {
        Nothing,    // no whole spectrum ever came in: nothing may be saved
        Final,      // the stopped analyser's spectrum, read whole, with its times
        LastWhole,  // the final read never came in whole: the last whole read of a
                    // tick with that tick's times (a partial run)
    } content = Nothing;
    std::string error;  // "Error ! ..." when rejected, stalled or not read whole
    int ticks = 0;
    int finalReads = 0;  // whole-read attempts after the stop
};

// Runs the acquisition on state and link. Rejected: nothing was acquired, the
// state holds nothing worth saving. Otherwise the state holds the spectrum and its
// header (start stamp, preset, real and live time) ready for saveSpectrum when
// content is not Nothing.
BatchResult runBatchAcquisition(MeasurementState& state, AnalyserLink& link, const BatchRequest& request,
                                const BatchHooks& hooks, const std::tm& localNow);

}  // namespace xmca
