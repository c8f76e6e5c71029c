// The register: recording one measurement (one write transaction on a real file),
// listing a 100 000-record register by sample ID, what the History page reads
// when it opens (the count and the first page, newest first), and the CSV of the
// whole register a record at a time.
#include <benchmark/benchmark.h>

#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "register/csv_export.h"
#include "register/register.h"

namespace {

using xmca::reg::MeasurementRecord;

MeasurementRecord record(const std::string& sampleId) {
    MeasurementRecord r;
    r.installation = "lab-1";
    r.operatorName = "山田";
    r.sampleId = sampleId;
    r.product = "玄米";
    r.origin = "福島県";
    r.massKg = 1.0;
    r.sampleFile = "/data/spectra/20261208-120000-" + sampleId + ".dat";
    r.sampleSha256 = std::string(64, 'a');
    r.backgroundFile = "/data/spectra/20261208-100000-background.dat";
    r.backgroundSha256 = std::string(64, 'b');
    r.sampleRealTimeS = 1800;
    r.csAll = {12.5, 3.2, 8.0, 17.0};
    r.cs134 = {4.0, 2.0, 5.0, 11.0};
    r.cs137 = {8.5, 2.5, std::nullopt, std::nullopt};
    r.k40 = {90, 12, std::nullopt, std::nullopt};
    r.lowerLimit = 25;
    r.screeningLevel = 50;
    r.method = "Bq Calic";
    r.gainOk = true;
    r.verdict = "Below screening level";
    r.programVersion = "0.1.0";
    return r;
}

std::string scratchFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "xmca-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) return {};
    return tmpl;
}

// A register of n records, 10 per sample ID, written in one transaction (setting
// up 100 000 single-record transactions would take minutes of fsyncs).
struct BigRegister {
    std::string folder = scratchFolder();
    std::string path = folder + "/big.sqlite";
    std::unique_ptr<xmca::reg::Register> reg;
    explicit BigRegister(int n) {
        std::string error;
        reg = xmca::reg::openRegister(path, error);
        if (!reg) return;
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO measurements (uid, created_utc, installation, operator, sample_id, product, "
                           "cs_all_activity, cs_all_detection_limit, verdict, method) "
                           "VALUES (?, ?, 'lab-1', '山田', ?, '玄米', 12.5, 17.0, 'Below screening level', 'Bq Calic')",
                           -1, &st, nullptr);
        for (int i = 0; i < n; ++i) {
            const std::string uid = "bench-" + std::to_string(i);
            const std::string id = "S" + std::to_string(i % (n / 10));
            sqlite3_bind_text(st, 1, uid.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, "2026-12-08T12:00:00Z", -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, id.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~BigRegister() {
        reg.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

void BM_RecordMeasurement(benchmark::State& state) {
    const std::string folder = scratchFolder();
    std::string error;
    auto reg = xmca::reg::openRegister(folder + "/r.sqlite", error);
    if (!reg) {
        state.SkipWithError(error.c_str());
        return;
    }
    int i = 0;
    for (auto _ : state) {
        MeasurementRecord r = record("rice-" + std::to_string(i++));
        if (!reg->appendMeasurement(r, error)) state.SkipWithError(error.c_str());
    }
    reg.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
BENCHMARK(BM_RecordMeasurement)->Unit(benchmark::kMillisecond);

void BM_ListBySampleId_100k(benchmark::State& state) {
    static BigRegister big(100000);
    if (!big.reg) {
        state.SkipWithError("no register");
        return;
    }
    int i = 0;
    std::string error;
    for (auto _ : state) {
        xmca::reg::MeasurementFilter f;
        f.sampleId = "S" + std::to_string((i++ * 7919) % 10000);
        std::vector<MeasurementRecord> rows;
        if (!big.reg->listMeasurements(f, rows, error) || rows.size() != 10) state.SkipWithError("wrong rows");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_ListBySampleId_100k)->Unit(benchmark::kMillisecond);

// What the History page reads on opening: the count and the first page of 200.
void BM_HistoryOpen_100k(benchmark::State& state) {
    static BigRegister big(100000);
    if (!big.reg) {
        state.SkipWithError("no register");
        return;
    }
    std::string error;
    for (auto _ : state) {
        std::int64_t n = 0;
        std::vector<MeasurementRecord> rows;
        xmca::reg::MeasurementFilter f;
        big.reg->countMeasurements(f, n, error);
        f.limit = 200;
        big.reg->listMeasurements(f, rows, error);
        if (n != 100000 || rows.size() != 200) state.SkipWithError("wrong rows");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_HistoryOpen_100k)->Unit(benchmark::kMillisecond);

// The CSV of a 100 000-record register, a record at a time as `register export`
// writes it (the bytes are counted, not kept).
void BM_ExportCsv_100k(benchmark::State& state) {
    static BigRegister big(100000);
    if (!big.reg) {
        state.SkipWithError("no register");
        return;
    }
    std::string error;
    for (auto _ : state) {
        std::size_t bytes = xmca::reg::csvHead().size(), n = 0;
        big.reg->forEachMeasurement({}, [&](const MeasurementRecord& r) {
            bytes += xmca::reg::csvLine(r).size();
            ++n;
            return true;
        }, error);
        if (n != 100000) state.SkipWithError("wrong rows");
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ExportCsv_100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
