// What the analyser link costs: one MCA-mode poll tick with the simulator's
// full-speed FTDI link timing (the time the tick holds the window's thread), and
// the CPU an unattended acquisition (mcatool acquire) spends per second acquired.
#include <benchmark/benchmark.h>

#include <time.h>

#include <ctime>
#include <memory>

#include "acquisition/acquisition_cycle.h"
#include "acquisition/batch_acquisition.h"
#include "device/simulated_analyser.h"

namespace {

// A running acquisition on a simulator whose link costs real time.
struct TimedRig {
    xmca::SimulatedAnalyser sim;
    std::unique_ptr<xmca::MeasurementState> state = std::make_unique<xmca::MeasurementState>();
    xmca::AnalyserLink link{sim};
    xmca::AcquisitionCycle cycle{*state, link};

    TimedRig(int channels, xmca::LinkTiming timing) : sim(config(timing), std::make_shared<xmca::WallClock>(1.0)) {
        state->channelCount = channels;
        state->settings.presetTime = 1 << 30;
        cycle.open();
        link.SetChannelCount(0, channels);
        link.SetPresetTime(0, 1 << 30);
        std::tm t{};
        cycle.start(t);
    }
    static xmca::SimulatedAnalyserConfig config(xmca::LinkTiming timing) {
        xmca::SimulatedAnalyserConfig c;
        c.link = timing;
        return c;
    }
};

// Wall time of one tick: the window's thread is held this long, every tick.
void BM_PollTickHeld(benchmark::State& st) {
    TimedRig rig(static_cast<int>(st.range(0)), static_cast<xmca::LinkTiming>(st.range(1)));
    for (auto _ : st) {
        auto out = rig.cycle.tick();
        benchmark::DoNotOptimize(out);
    }
    st.SetLabel(std::string(xmca::linkTimingName(static_cast<xmca::LinkTiming>(st.range(1)))) + " " +
                std::to_string(st.range(0)) + " ch");
}
BENCHMARK(BM_PollTickHeld)
    ->Args({4096, static_cast<int>(xmca::LinkTiming::UsbFullSpeed)})
    ->Args({2048, static_cast<int>(xmca::LinkTiming::UsbFullSpeed)})
    ->Args({4096, static_cast<int>(xmca::LinkTiming::Instant)})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The batch loop of mcatool acquire over a simulated minute, time stepped instead
// of slept: everything but the sleeping. cpu_pct is the CPU per acquired second as a
// percentage of one core (includes the in-process simulator's event generation).
void BM_BatchAcquisitionCpu(benchmark::State& st) {
    const int channels = static_cast<int>(st.range(0));
    double cpu = 0, acquired = 0;
    for (auto _ : st) {
        auto clock = std::make_shared<xmca::ManualClock>();
        xmca::SimulatedAnalyser sim({}, clock);
        auto state = std::make_unique<xmca::MeasurementState>();
        xmca::AnalyserLink link(sim);
        xmca::BatchRequest req;
        req.channels = channels;
        req.presetTenths = 600;
        xmca::BatchHooks hooks;
        hooks.nowMs = [&] { return static_cast<std::int64_t>(clock->now() * 1000.0 + 0.5); };
        hooks.sleep = [&](int ms) { clock->advance(ms * 1e-3); };
        const double c0 = processCpuSeconds();
        const auto r = xmca::runBatchAcquisition(*state, link, req, hooks, std::tm{});
        cpu += processCpuSeconds() - c0;
        acquired += 60.0;
        if (r.stop != xmca::BatchResult::Preset) st.SkipWithError("the run did not reach its preset");
    }
    st.counters["cpu_pct"] = acquired > 0 ? cpu / acquired * 100.0 : 0.0;
}
BENCHMARK(BM_BatchAcquisitionCpu)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
