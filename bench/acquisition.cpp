// One MCA-mode poll tick at 4096 channels against the simulated analyser with zero
// latency: 32 block reads, the status read and the time computations.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

#include "acquisition/acquisition_cycle.h"
#include "device/simulated_analyser.h"

namespace {

struct Rig {
    std::shared_ptr<xmca::ManualClock> clock = std::make_shared<xmca::ManualClock>();
    xmca::SimulatedAnalyser sim;
    xmca::MeasurementState state;
    xmca::AnalyserLink link{sim};
    xmca::AcquisitionCycle cycle{state, link};

    Rig() : sim(xmca::SimulatedAnalyserConfig{}, clock) {
        state.channelCount = 4096;
        state.settings.presetTime = 1 << 30;  // never reach the preset
        cycle.open();
        link.SetChannelCount(0, 4096);
        link.SetPresetTime(0, 1 << 30);
        std::tm t{};
        cycle.start(t);
    }
};

// Simulated time frozen: the cost of the link and the tick alone.
void BM_PollTick4096Frozen(benchmark::State& st) {
    Rig rig;
    for (auto _ : st) {
        auto out = rig.cycle.tick();
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PollTick4096Frozen)->Unit(benchmark::kMicrosecond);

// 100 ms of simulated time per tick, as in a live acquisition: adds the event
// generation for that interval.
void BM_PollTick4096Live(benchmark::State& st) {
    Rig rig;
    for (auto _ : st) {
        rig.clock->advance(0.1);
        auto out = rig.cycle.tick();
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PollTick4096Live)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
