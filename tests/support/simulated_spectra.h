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

}  // namespace xmca::test
