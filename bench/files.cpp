// Spectrum-file timings on a tmpfs path: read and write of a 4096-channel .dat file
// and the text dump.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "files/spectrum_file.h"
#include "model/spectrum_io.h"

namespace {

std::string scratch(const char* name) {
    const char* dir = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/xmca-bench-" + std::to_string(::getpid()) + "-" + name;
}

std::unique_ptr<xmca::MeasurementState> state4096() {
    auto s = std::make_unique<xmca::MeasurementState>();
    s->channelCount = 4096;
    for (int i = 0; i < 4096; ++i) s->spectrum[i] = (i * 7919) % 100000;
    s->liveTime = 35900;
    s->realTime = 36000;
    return s;
}

void BM_Write4096(benchmark::State& st) {
    auto s = state4096();
    const std::string p = scratch("w.dat");
    for (auto _ : st) {
        const std::string msg = xmca::saveSpectrum(*s, p);
        if (!msg.empty()) st.SkipWithError(msg.c_str());
    }
    st.SetBytesProcessed(st.iterations() * 17408);
    std::filesystem::remove(p);
}
BENCHMARK(BM_Write4096);

void BM_Read4096(benchmark::State& st) {
    auto s = state4096();
    const std::string p = scratch("r.dat");
    xmca::saveSpectrum(*s, p);
    for (auto _ : st) {
        const auto r = xmca::loadSpectrum(*s, p);
        if (!r.valid) st.SkipWithError("read did not validate");
        benchmark::DoNotOptimize(s->spectrum.data());
    }
    st.SetBytesProcessed(st.iterations() * 17408);
    std::filesystem::remove(p);
}
BENCHMARK(BM_Read4096);

void BM_TextDump4096(benchmark::State& st) {
    auto s = state4096();
    const std::string p = scratch("d.txt");
    for (auto _ : st) {
        const std::string msg = xmca::saveTextDump(*s, p);
        if (!msg.empty()) st.SkipWithError(msg.c_str());
    }
    std::filesystem::remove(p);
}
BENCHMARK(BM_TextDump4096);

void BM_FormatTextDump4096(benchmark::State& st) {
    auto s = state4096();
    for (auto _ : st) benchmark::DoNotOptimize(xmca::textDump(*s, "d.txt"));
}
BENCHMARK(BM_FormatTextDump4096);

}  // namespace

BENCHMARK_MAIN();
