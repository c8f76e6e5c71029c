// The simulated analyser at 100 000 counts per second of simulated time: each
// iteration advances 100 ms and reads what a poll tick reads. "core_pct" is CPU
// time as a percentage of one core per simulated second.
#include <benchmark/benchmark.h>

#include <memory>
#include <numeric>
#include <vector>

#include "device/analyser_link.h"
#include "device/simulated_analyser.h"

namespace {

using namespace xmca;

constexpr double kRate = 100000.0;  // true counts per second
constexpr double kStep = 0.1;       // simulated seconds per iteration

SimulatedAnalyserConfig configAtRate(double rate) {
    SimulatedAnalyserConfig cfg;
    SimulatedAnalyser probe(cfg, std::make_shared<ManualClock>());
    const auto r = probe.expectedRates(4096);
    const double now = std::accumulate(r.begin(), r.end(), 0.0);
    const double scale = rate / now;
    cfg.cs134 *= scale;
    cfg.cs137 *= scale;
    cfg.k40 *= scale;
    cfg.backgroundScale *= scale;
    return cfg;
}

void setCorePercent(benchmark::State& state) {
    // Summed simulated seconds / 100, as an inverted rate: CPU seconds per simulated
    // second, in percent.
    state.counters["core_pct"] = benchmark::Counter(static_cast<double>(state.iterations()) * kStep / 100.0,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PollTick4096(benchmark::State& state) {
    auto clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim(configAtRate(kRate), clock);
    AnalyserLink link(sim, clock->steppingMs(0.0));
    link.pollSleepUs = 0;
    if (!link.OpenDevice(0) || !link.SetChannelCount(0, 4096) || !link.SetPresetTime(0, 99999999) ||
        !link.StartAcquisition(0)) {
        state.SkipWithError("simulator did not start");
        return;
    }
    link.ChannelCount = 4096;
    std::vector<std::int32_t> spectrum(4096);
    for (auto _ : state) {
        clock->advance(kStep);
        benchmark::DoNotOptimize(link.ReadSpectrum(0, spectrum));
        benchmark::DoNotOptimize(link.ReadStatus(0));
        sim.clearLog();
    }
    setCorePercent(state);
    state.counters["events_per_s"] = static_cast<double>(sim.eventCount()) / (static_cast<double>(sim.realTimeUs()) * 1e-6);
}
BENCHMARK(BM_PollTick4096);

void BM_EventGenerationOnly(benchmark::State& state) {
    auto clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim(configAtRate(kRate), clock);
    AnalyserLink link(sim, clock->steppingMs(0.0));
    link.pollSleepUs = 0;
    if (!link.OpenDevice(0) || !link.SetChannelCount(0, 4096) || !link.SetPresetTime(0, 99999999) ||
        !link.StartAcquisition(0)) {
        state.SkipWithError("simulator did not start");
        return;
    }
    for (auto _ : state) {
        clock->advance(kStep);
        benchmark::DoNotOptimize(sim.spectrum().data());
    }
    setCorePercent(state);
}
BENCHMARK(BM_EventGenerationOnly);

}  // namespace

BENCHMARK_MAIN();
