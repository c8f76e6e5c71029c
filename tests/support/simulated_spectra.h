// Spectra acquired from the in-process simulated analyser on simulated time, saved
// as the window's "SaveSpec" would save them.
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "acquisition/acquisition_cycle.h"
#include "device/simulated_analyser.h"
#include "model/measurement_state.h"
#include "model/spectrum_io.h"

namespace xmca::test {

// Runs one acquisition of presetTenths (0.1 s) at `channels` channels and writes it
// to path; returns the state it was acquired into. Time moves in 10 s steps.
inline std::unique_ptr<MeasurementState> acquireAndSave(const SimulatedAnalyserConfig& cfg, int presetTenths,
                                                        const std::string& path, int channels = 2048) {
    auto clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim(cfg, clock);
    auto s = std::make_unique<MeasurementState>();
    AnalyserLink link(sim);
    AcquisitionCycle cycle(*s, link);
    if (cycle.open().kind != OpenOutcome::Opened) return nullptr;
    s->settings.channelCount = channels;
    s->settings.presetTime = presetTenths;
    s->channelCount = channels;
    if (link.SetChannelCount(0, channels) != 1 || link.SetPresetTime(0, presetTenths) != 1) return nullptr;
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    cycle.start(t);
    for (int i = 0; i < presetTenths / 100 + 10 && cycle.timer.enabled; ++i) {
        clock->advance(10.0);
        cycle.tick();
    }
    if (cycle.timer.enabled || !saveSpectrum(*s, path).empty()) return nullptr;
    return s;
}

// A Cs-137 sample of 300 Bq/kg alone (which the fixed factors read as itself; Cs-134
// and K-40's continuum over-read in Cs-All, as the simulator models them), or its
// background, counted for presetTenths and saved to path; path, or "" when it failed.
inline std::string cs137Spectrum(const std::string& path, bool background, int presetTenths = 36000) {
    SimulatedAnalyserConfig c;
    c.backgroundOnly = background;
    c.seed = background ? 3 : 4;
    c.cs134 = 0;
    c.cs137 = 300;
    c.k40 = 0;
    return acquireAndSave(c, presetTenths, path) ? path : std::string();
}

}  // namespace xmca::test
