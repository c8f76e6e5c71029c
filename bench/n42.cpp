// N42 export and import of a 4096-channel spectrum, in memory (the document
// text, no file system).
#include <benchmark/benchmark.h>

#include "files/sjis_text.h"
#include "n42/n42_document.h"

namespace {

using H = xmca::SpectrumHeader;

xmca::n42::Measurement sample4096() {
    xmca::n42::Measurement m;
    auto& r = m.spectrum;
    r.counts.resize(4096);
    for (int i = 0; i < 4096; ++i) r.counts[i] = (i * 7919) % 100000;
    H& h = r.header;
    h.setI16(H::kYear, 2026);
    h.setI16(H::kMonth, 12);
    h.setI16(H::kDay, 8);
    h.setI32(H::kLiveTime, 35900);
    h.setI32(H::kRealTime, 36000);
    h.setText(H::kComment, xmca::utf8ToSjis("玄米 ロット12"));
    r.calibration = xmca::n42::LinearCalibration{0.7f, -3.1f};
    return m;
}

void BM_N42Export4096(benchmark::State& st) {
    const auto m = sample4096();
    for (auto _ : st) {
        const auto doc = xmca::n42::exportN42(std::span(&m, 1), {"0f8fad5b-d9cb-469f-a165-70867728950e", "2026-12-08T00:00:00Z"});
        if (!doc.ok) st.SkipWithError(doc.error.c_str());
        benchmark::DoNotOptimize(doc.document.data());
    }
}
BENCHMARK(BM_N42Export4096)->Unit(benchmark::kMicrosecond);

void BM_N42Import4096(benchmark::State& st) {
    const auto m = sample4096();
    const std::string doc = xmca::n42::exportN42(std::span(&m, 1)).document;
    for (auto _ : st) {
        const auto r = xmca::n42::importN42(doc);
        if (!r.ok) st.SkipWithError(r.error.c_str());
        benchmark::DoNotOptimize(r.spectrum.counts.data());
    }
    st.SetBytesProcessed(st.iterations() * static_cast<std::int64_t>(doc.size()));
}
BENCHMARK(BM_N42Import4096)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
