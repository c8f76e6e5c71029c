// The full "Bq Calic" on a 2048-channel sample and background, file reads included
// ("ReadSpec", "BG File", then the computation, which reads the background again).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "model/bq_calic.h"
#include "model/spectrum_io.h"

namespace {

std::string scratch(const char* name) {
    const char* dir = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/xmca-bench-" + std::to_string(::getpid()) + "-" + name;
}

// A 2048-channel spectrum: falling continuum, Cs and K-40 lines, Poisson counts.
void writeSpectrum(const std::string& path, double csHeight, unsigned seed) {
    auto s = std::make_unique<xmca::MeasurementState>();
    std::mt19937 rng(seed);
    s->channelCount = 2048;
    for (int i = 0; i < 2048; ++i) {
        const double mean = 200.0 * std::exp(-i / 400.0) + csHeight * std::exp(-0.5 * std::pow((i - 660) / 22.0, 2)) +
                            20.0 * std::exp(-0.5 * std::pow((i - 1450) / 35.0, 2));
        s->spectrum[i] = std::poisson_distribution<int>(mean)(rng);
    }
    s->realTime = s->liveTime = s->presetTimeShown = 36000;
    xmca::saveSpectrum(*s, path);
}

void BM_BqCalic2048(benchmark::State& st) {
    const std::string sample = scratch("sample.dat"), bg = scratch("bg.dat");
    writeSpectrum(sample, 120.0, 1);
    writeSpectrum(bg, 0.0, 2);
    auto s = std::make_unique<xmca::MeasurementState>();
    for (auto _ : st) {
        xmca::readSampleFile(*s, sample);
        xmca::readBackgroundFile(*s, bg);
        const xmca::CalicOutcome out = xmca::bqCalic(*s);
        if (!out.computed) st.SkipWithError("not computed");
        benchmark::DoNotOptimize(s->activity.activity[0].bqPerKg);
    }
    std::filesystem::remove(sample);
    std::filesystem::remove(bg);
}
BENCHMARK(BM_BqCalic2048)->Unit(benchmark::kMicrosecond);

// The computation alone, both spectra already in memories 1 and 2.
void BM_BqCalicNoReads(benchmark::State& st) {
    const std::string sample = scratch("sample2.dat"), bg = scratch("bg2.dat");
    writeSpectrum(sample, 120.0, 3);
    writeSpectrum(bg, 0.0, 4);
    auto s = std::make_unique<xmca::MeasurementState>();
    xmca::readSampleFile(*s, sample);
    xmca::readBackgroundFile(*s, bg);
    s->bgFileFlag = 0;  // use memory 2 as it is
    for (auto _ : st) {
        const xmca::CalicOutcome out = xmca::bqCalic(*s);
        if (!out.computed) st.SkipWithError("not computed");
        benchmark::DoNotOptimize(s->activity.activity[0].bqPerKg);
    }
    std::filesystem::remove(sample);
    std::filesystem::remove(bg);
}
BENCHMARK(BM_BqCalicNoReads)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
