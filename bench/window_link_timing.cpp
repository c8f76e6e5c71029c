// The main window acquiring at 4096 channels on the simulator's full-speed FTDI
// link timing: how often it polls and how long an input event waits while a tick
// holds the thread. A 10 ms probe timer stands in for the operator's clicks and
// keys; its lateness is the delay they would see.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "device/simulated_analyser.h"
#include "xmca/tform1.h"

namespace {

void BM_WindowAcquiring(benchmark::State& st) {
    const int channels = static_cast<int>(st.range(0));
    double maxLate = 0, sumLate = 0, probes = 0, ticksPerS = 0;
    for (auto _ : st) {
        xmca::SimulatedAnalyserConfig cfg;
        cfg.link = xmca::LinkTiming::UsbFullSpeed;
        auto sim = std::make_unique<xmca::SimulatedAnalyser>(cfg, std::make_shared<xmca::WallClock>(1.0));
        xmca::SimulatedAnalyser* simPtr = sim.get();
        TForm1::Options opts;
        opts.simulated = true;
        TForm1 form(std::move(sim), opts);
        form.show();
        form.McaOpenClick();
        form.state().channelCount = channels;
        form.state().settings.channelCount = channels;
        form.link().SetChannelCount(0, channels);
        form.link().ChannelCount = channels;
        form.McaStartClick();
        simPtr->clearLog();

        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (last > 0) {
                const double late = std::max(0.0, (now - last) * 1e-6 - 10.0);
                maxLate = std::max(maxLate, late);
                sumLate += late;
                probes += 1;
            }
            last = now;
        });
        probe.start();
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
        QApplication::exec();
        probe.stop();
        form.McaStopClick();
        int statusReads = 0;
        for (const auto& c : simPtr->commands()) statusReads += c == "$R0;";
        ticksPerS = statusReads / (clock.nsecsElapsed() * 1e-9);
    }
    st.counters["ticks_per_s"] = ticksPerS;
    st.counters["input_delay_max_ms"] = maxLate;
    st.counters["input_delay_mean_ms"] = probes > 0 ? sumLate / probes : 0;
}
BENCHMARK(BM_WindowAcquiring)->Arg(4096)->Arg(2048)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
