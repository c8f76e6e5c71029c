// The printed report of a 4096-channel spectrum as a one-page A4 PDF at 600 dpi
// (about 6000 trace rows, every scale, label and header text), in memory.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "report/report_output.h"

namespace {

std::unique_ptr<xmca::MeasurementState> spectrum4096(bool log) {
    auto s = std::make_unique<xmca::MeasurementState>();
    s->channelCount = 4096;
    for (int k = 0; k < 4096; ++k)
        s->spectrum[k] = static_cast<std::int32_t>(20000.0 * std::exp(-k / 600.0) +
                                                   60000.0 * std::exp(-std::pow((k - 1320) / 40.0, 2)) + 50);
    s->view.lo = 0;
    s->view.hi = 4095;
    s->view.vfsIndex = 9;
    s->view.logScale = log ? 1 : 0;
    s->fileName = "soil 4096.dat";
    s->header.setText(xmca::SpectrumHeader::kComment, "\x93\xfa\x96\x7b soil");
    s->realTime = 36000;
    s->liveTime = 35912;
    return s;
}

void BM_ReportPdf4096(benchmark::State& st) {
    const auto s = spectrum4096(st.range(0) != 0);
    std::int64_t bytes = 0;
    for (auto _ : st) {
        const xmca::report::PdfResult r = xmca::report::reportPdf(*s, {}, 600);
        if (!r.ok) st.SkipWithError("no PDF");
        bytes = r.pdf.size();
        benchmark::DoNotOptimize(bytes);
    }
    st.counters["pdf_bytes"] = static_cast<double>(bytes);
}

}  // namespace

BENCHMARK(BM_ReportPdf4096)->Arg(0)->Arg(1)->ArgName("log")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
