// FWHM at the cursor, the whole peak fit and the check-source QC figures (with and
// without the resamples that give their counting scatter) on a 2048-channel spectrum.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/check_source_qc.h"
#include "analysis/peak_fit.h"
#include "analysis/peak_width.h"

namespace {

// A Poisson spectrum: a continuum, a 662 keV-like line at 660 (FWHM 50) and a
// weaker line at 1450.
std::vector<std::int32_t> spectrum() {
    std::mt19937 rng(7);
    std::vector<std::int32_t> c(2048);
    for (int k = 0; k < 2048; ++k) {
        const double a = (k - 660.0) / 50.0, b = (k - 1450.0) / 105.0;
        const double mean = 40.0 * std::exp(-k / 600.0) + 130.0 * std::exp(-2.773 * a * a) + 20.0 * std::exp(-2.773 * b * b);
        c[k] = std::poisson_distribution<int>(mean)(rng);
    }
    return c;
}

// Argument: resamples (0: the figures alone).
void BM_CheckSourceFigures(benchmark::State& st) {
    const auto c = spectrum();
    xmca::qc::PeakSearch search;
    search.resamples = static_cast<int>(st.range(0));
    for (auto _ : st) {
        const xmca::qc::QcMeasurement m = xmca::qc::measureCheckSource({c, 2048, 300}, std::nullopt, search);
        if (!m.ok) st.SkipWithError("no figures");
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_CheckSourceFigures)->Arg(0)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_FwhmAtCursor(benchmark::State& st) {
    const auto c = spectrum();
    for (auto _ : st) {
        const xmca::PeakWidth w = xmca::peakWidthAtCursor(c, 2048, 662, 0, 2047);
        benchmark::DoNotOptimize(w);
    }
}
BENCHMARK(BM_FwhmAtCursor);

void BM_PeakFit(benchmark::State& st) {
    const auto c = spectrum();
    int evaluations = 0;
    for (auto _ : st) {
        const xmca::PeakFitOutcome o = xmca::fitPeakAtCursor(c, 2048, 662, 0, 2047);
        if (!o.fit.ok) st.SkipWithError("no fit");
        evaluations = o.fit.evaluations;
        benchmark::DoNotOptimize(o);
    }
    st.counters["evaluations"] = evaluations;
}
BENCHMARK(BM_PeakFit)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
