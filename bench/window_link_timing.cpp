// The main window acquiring at 4096 and 2048 channels on the simulator's full-speed
// FTDI link timing, with the link as the program runs it: how often it polls, how
// long an input event waits, and the window thread's CPU per second. A 10 ms probe
// timer stands in for the operator's clicks and keys; its lateness is the delay
// they would see. Also builds against a tree whose window still talks to the link
// on its own thread (for before/after figures from one source).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "device/simulated_analyser.h"
#include "xmca/tform1.h"
#if __has_include("xmca/link_worker.h")
#include "acquisition/link_client.h"
#include "xmca/link_worker.h"
#define XMCA_LINK_WORKER 1
#endif

namespace {

double threadCpuS() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

#ifdef XMCA_LINK_WORKER
// Runs the window's events until no request to the link is outstanding.
void settle(TForm1& form) {
    while (form.linkWorker().outstanding() > 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}
#endif

void BM_WindowAcquiring(benchmark::State& st) {
    const int channels = static_cast<int>(st.range(0));
    double maxLate = 0, sumLate = 0, probes = 0, ticksPerS = 0, cpuPerS = 0;
    for (auto _ : st) {
        xmca::SimulatedAnalyserConfig cfg;
        cfg.link = xmca::LinkTiming::UsbFullSpeed;
        auto sim = std::make_unique<xmca::SimulatedAnalyser>(cfg, std::make_shared<xmca::WallClock>(1.0));
        xmca::SimulatedAnalyser* simPtr = sim.get();
        TForm1::Options opts;
        opts.simulated = true;
#ifdef XMCA_LINK_WORKER
        auto worker = std::make_unique<LinkWorker>(std::make_unique<xmca::LinkClient>(std::move(sim)),
                                                   LinkWorker::Mode::Thread);
        TForm1 form(std::move(worker), opts);
        form.show();
        form.McaOpenClick();
        form.state().channelCount = channels;
        form.state().settings.channelCount = channels;
        form.linkWorker().request(xmca::CycleInputs::of(form.state()),
                                  [channels](xmca::LinkClient& c) {
                                      c.link().SetChannelCount(0, channels);
                                      c.link().ChannelCount = channels;
                                  },
                                  {});
        form.McaStartClick();
        settle(form);
        form.linkWorker().request(xmca::CycleInputs::of(form.state()),
                                  [simPtr](xmca::LinkClient&) { simPtr->clearLog(); }, {});
#else
        TForm1 form(std::move(sim), opts);
        form.show();
        form.McaOpenClick();
        form.state().channelCount = channels;
        form.state().settings.channelCount = channels;
        form.link().SetChannelCount(0, channels);
        form.link().ChannelCount = channels;
        form.McaStartClick();
        simPtr->clearLog();
#endif

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
        const double cpu0 = threadCpuS();
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
        QApplication::exec();
        cpuPerS = (threadCpuS() - cpu0) / (clock.nsecsElapsed() * 1e-9);
        probe.stop();
        form.McaStopClick();
#ifdef XMCA_LINK_WORKER
        settle(form);
#endif
        int statusReads = 0;
        for (const auto& c : simPtr->commands()) statusReads += c == "$R0;";
        ticksPerS = statusReads / (clock.nsecsElapsed() * 1e-9);
    }
    st.counters["ticks_per_s"] = ticksPerS;
    st.counters["input_delay_max_ms"] = maxLate;
    st.counters["input_delay_mean_ms"] = probes > 0 ? sumLate / probes : 0;
    st.counters["window_cpu_s_per_s"] = cpuPerS;
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
