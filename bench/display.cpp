// Frame composition at 4096 channels with 10 ROIs shown, the four overlays and the
// activity box: the work of one timer-tick repaint.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "display/frame_renderer.h"

namespace {

std::unique_ptr<xmca::MeasurementState> busyState(int lo, int hi) {
    auto s = std::make_unique<xmca::MeasurementState>();
    s->channelCount = 4096;
    for (int k = 0; k < 4096; ++k)
        s->spectrum[k] = static_cast<std::int32_t>(20000.0 * std::exp(-k / 600.0) + 60000.0 * std::exp(-std::pow((k - 1320) / 40.0, 2)) + 50);
    s->view.lo = lo;
    s->view.hi = hi;
    s->view.cursor = (lo + hi) / 2;
    s->view.vfsIndex = 9;
    s->acquiring = true;
    s->countRate = 12.5f;
    s->totalCounts = 4.2e6f;
    s->settings.label1 = "\x93\xfa\x96\x7b soil";
    for (int i = 0; i < xmca::kRoiShown; ++i) {
        auto& r = s->rois[i];
        r.defined = r.shown = 1;
        r.low = 200 + 380 * i;
        r.high = r.low + 120;
        r.colour = 0x0000FF00u + 0x10u * static_cast<unsigned>(i);
        r.label = {'R', static_cast<char>('0' + i), 0};
    }
    for (int o = 0; o < xmca::kOverlayCount; ++o) {
        auto& ov = s->overlays[o];
        ov.on = 1;
        for (int x = 0; x < 512; ++x) {
            ov.top[x] = 100 + o * 30 + (x % 17);
            ov.bottom[x] = ov.top[x] + 5;
        }
    }
    s->resultsFlag = 1;
    s->realTime = 36000;
    return s;
}

void composeFrame(benchmark::State& st, int lo, int hi, int log) {
    auto s = busyState(lo, hi);
    s->view.logScale = log;
    xmca::display::FrameRenderer r;
    r.redrawStatic(*s);
    const auto out = xmca::display::FrameWriteBack::into(*s);
    for (auto _ : st) {
        const QImage& f = r.compose(*s, out);
        benchmark::DoNotOptimize(f.constBits());
    }
}

void BM_ComposeFull4096(benchmark::State& st) { composeFrame(st, 0, 4095, 0); }
void BM_ComposeFull4096Log(benchmark::State& st) { composeFrame(st, 0, 4095, 1); }
void BM_ComposeZoom128(benchmark::State& st) { composeFrame(st, 1256, 1383, 0); }

void BM_StaticRedraw(benchmark::State& st) {
    auto s = busyState(0, 4095);
    xmca::display::FrameRenderer r;
    for (auto _ : st) {
        r.redrawStatic(*s);
        benchmark::DoNotOptimize(r.background().constBits());
    }
}

}  // namespace

BENCHMARK(BM_ComposeFull4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeFull4096Log)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeZoom128)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StaticRedraw)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
