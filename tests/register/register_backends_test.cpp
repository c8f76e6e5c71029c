// The register's behaviour through its interface, on both backends: the local
// SQLite file and a PostgreSQL server (skipped with a message when no server can
// be used; CI runs them under pg_virtualenv and never skips).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>

#include "files/temp_dir.h"
#include "register/measurement_columns.h"
#include "register/postgres_register.h"
#include "register/register.h"
#include "support/first_schema.h"
#include "support/pg_server.h"

namespace xmca::reg {
namespace {

using xmca::test::PgServer;
using xmca::test::TempDir;

MeasurementRecord record(const std::string& sampleId, const std::string& installation = "lab-1",
                         const std::string& verdict = "Below screening level") {
    MeasurementRecord r;
    r.installation = installation;
    r.operatorName = "山田 太郎";
    r.sampleId = sampleId;
    r.product = "玄米";
    r.origin = "福島県";
    r.massKg = 0.8;
    r.nominalMassKg = 1.0;
    r.samplingDate = "2026-04-12";
    r.sampleFile = "/data/rice-0412.dat";
    r.sampleSha256 = std::string(64, 'a');
    r.backgroundFile = "/data/bg.dat";
    r.backgroundSha256 = std::string(64, 'b');
    r.sampleRealTimeS = 1800.0;
    r.sampleLiveTimeS = 1795.5;
    r.backgroundRealTimeS = 36000.0;
    r.csAll = {12.5, 3.25, 8.0, 17.5};
    r.cs134 = {4.0, 2.0, 5.0, 11.0};
    r.cs137 = {8.5, 2.5, std::nullopt, std::nullopt};
    r.k40 = {90.0, 12.0, std::nullopt, 0.1 + 0.2};
    r.lowerLimit = 25.0;
    r.screeningLevel = 50.0;
    r.method = "Bq Calic";
    r.gainOk = false;
    r.verdict = verdict;
    r.programVersion = "0.1.0";
    return r;
}

// Two-column query results, as text.
std::vector<std::pair<std::string, std::string>> sqliteRows(const std::string& path, const std::string& sql) {
    std::vector<std::pair<std::string, std::string>> out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto col = [&](int i) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                return std::string(p ? p : "");
            };
            out.emplace_back(col(0), col(1));
        }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

std::vector<std::pair<std::string, std::string>> serverRows(const std::string& db, const std::string& sql) {
    std::vector<std::pair<std::string, std::string>> out;
    auto& server = PgServer::instance();
    PGconn* c = PQconnectdb(server.uri(server.ownerRole(), db).c_str());
    PGresult* r = PQexec(c, sql.c_str());
    if (PQresultStatus(r) == PGRES_TUPLES_OK)
        for (int i = 0; i < PQntuples(r); ++i) out.emplace_back(PQgetvalue(r, i, 0), PQgetvalue(r, i, 1));
    PQclear(r);
    PQfinish(c);
    return out;
}

// The local file.
struct SqliteBackend {
    TempDir dir;
    bool prepare() { return true; }
    std::string location() const { return dir.file("register.sqlite"); }
    bool setSchemaVersion(int v) {
        sqlite3* db = nullptr;
        sqlite3_open(location().c_str(), &db);
        const int rc = sqlite3_exec(db, ("PRAGMA user_version = " + std::to_string(v)).c_str(), nullptr, nullptr,
                                    nullptr);
        sqlite3_close(db);
        return rc == SQLITE_OK;
    }
    // The measurements table as the file holds it: (name, declared type), in order.
    std::vector<std::pair<std::string, std::string>> liveColumns() const {
        return sqliteRows(location(), "SELECT name, type FROM pragma_table_info('measurements') ORDER BY cid");
    }
    // One column of a record, as text, straight from the file.
    std::string cell(const std::string& column, std::int64_t id) const {
        const auto rows = sqliteRows(location(), "SELECT quote(" + column + "), '' FROM measurements WHERE id = " +
                                                     std::to_string(id));
        return rows.empty() ? "<none>" : rows[0].first;
    }
};

// A fresh database on the server, set up by the laboratory script, opened as its
// schema owner (who migrates it on first use). Waiting records go to a private queue.
struct ServerBackend {
    TempDir dir;
    std::string db;
    bool prepare() {
        std::string error;
        db = PgServer::instance().freshDatabase(error);
        setenv("XMCA_REGISTER_QUEUE", dir.file("queue.sqlite").c_str(), 1);
        return !db.empty();
    }
    std::string location() const { return PgServer::instance().uri(PgServer::instance().ownerRole(), db); }
    bool setSchemaVersion(int v) {
        std::string error;
        return PgServer::instance().exec(db, "UPDATE xmca.schema_version SET version = " + std::to_string(v), error);
    }
    std::vector<std::pair<std::string, std::string>> liveColumns() const {
        return serverRows(db, "SELECT column_name, data_type FROM information_schema.columns WHERE table_schema = "
                              "'xmca' AND table_name = 'measurements' ORDER BY ordinal_position");
    }
    std::string cell(const std::string& column, std::int64_t id) const {
        const auto rows = serverRows(db, "SELECT quote_nullable(" + column + "), '' FROM xmca.measurements "
                                         "WHERE id = " + std::to_string(id));
        return rows.empty() ? "<none>" : rows[0].first;
    }
};

template <typename Backend>
class RegisterBackends : public ::testing::Test {
protected:
    void SetUp() override {
        if constexpr (std::is_same_v<Backend, ServerBackend>) XMCA_NEED_PG_SERVER();
        ASSERT_TRUE(backend.prepare());
    }
    std::unique_ptr<Register> open() {
        std::string error;
        auto reg = openRegister(backend.location(), error);
        EXPECT_TRUE(reg) << error;
        return reg;
    }
    std::int64_t count(Register& reg, const MeasurementFilter& f = {}) {
        std::int64_t n = -1;
        std::string error;
        EXPECT_TRUE(reg.countMeasurements(f, n, error)) << error;
        return n;
    }
    Backend backend;
};

class BackendNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, SqliteBackend> ? "Sqlite" : "Server";
    }
};

using Backends = ::testing::Types<SqliteBackend, ServerBackend>;
TYPED_TEST_SUITE(RegisterBackends, Backends, BackendNames);

TYPED_TEST(RegisterBackends, EveryFieldRoundTripsThroughAFreshConnection) {
    auto reg = this->open();
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->location(), this->backend.location());
    MeasurementRecord r = record("米-0412");
    std::string error;
    ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
    ASSERT_GT(r.id, 0);
    EXPECT_EQ(r.uid.size(), 36u);
    MeasurementRecord empty;  // every optional left unset
    empty.sampleId = "empty";
    ASSERT_TRUE(reg->appendMeasurement(empty, error)) << error;

    reg = this->open();
    ASSERT_TRUE(reg);
    MeasurementRecord back;
    bool found = false;
    ASSERT_TRUE(reg->getMeasurement(r.id, back, found, error)) << error;
    ASSERT_TRUE(found);
    EXPECT_EQ(back.uid, r.uid);
    EXPECT_EQ(back.createdUtc, r.createdUtc);
    EXPECT_EQ(back.operatorName, "山田 太郎");
    EXPECT_EQ(back.sampleId, "米-0412");
    EXPECT_EQ(back.product, "玄米");
    EXPECT_EQ(back.origin, "福島県");
    EXPECT_EQ(back.massKg, 0.8);
    EXPECT_EQ(back.nominalMassKg, 1.0);
    EXPECT_EQ(back.samplingDate, "2026-04-12");
    EXPECT_EQ(back.sampleSha256, r.sampleSha256);
    EXPECT_EQ(back.backgroundFile, "/data/bg.dat");
    EXPECT_EQ(back.sampleLiveTimeS, 1795.5);
    EXPECT_FALSE(back.backgroundLiveTimeS);
    EXPECT_EQ(back.csAll.u, 3.25);
    EXPECT_EQ(back.cs134.detectionLimit, 11.0);
    EXPECT_FALSE(back.cs137.decisionThreshold);
    EXPECT_EQ(back.k40.detectionLimit, 0.1 + 0.2);  // exact: no figure is rounded on the way
    EXPECT_EQ(back.gainOk, false);
    EXPECT_EQ(back.verdict, r.verdict);
    EXPECT_FALSE(back.supersedes);

    ASSERT_TRUE(reg->getMeasurement(empty.id, back, found, error)) << error;
    ASSERT_TRUE(found);
    EXPECT_FALSE(back.massKg);
    EXPECT_FALSE(back.gainOk);
    EXPECT_FALSE(back.csAll.activity);
    ASSERT_TRUE(reg->getMeasurement(r.id + 1000, back, found, error)) << error;
    EXPECT_FALSE(found);
}


// Every field set, each to a value no other field has, so that two fields swapped
// anywhere on the way (column list, bind, read) show.
MeasurementRecord distinctRecord(std::int64_t supersedes) {
    MeasurementRecord r;
    r.uid = "0b6f2a4e-7a11-4c3e-9d2b-5f8e1c0a9d01";
    r.createdUtc = "2026-04-12T09:30:01Z";
    r.installation = "inst";
    r.operatorName = "oper";
    r.sampleId = "sid";
    r.product = "prod";
    r.origin = "orig";
    r.massKg = 1.01;
    r.nominalMassKg = 1.02;
    r.samplingDate = "2026-04-11";
    r.sampleFile = "/s.dat";
    r.sampleSha256 = std::string(64, '1');
    r.backgroundFile = "/b.dat";
    r.backgroundSha256 = std::string(64, '2');
    r.sampleRealTimeS = 1801.5;
    r.sampleLiveTimeS = 1802.5;
    r.backgroundRealTimeS = 1803.5;
    r.backgroundLiveTimeS = 1804.5;
    r.csAll = {11.25, 12.25, 13.25, 14.25};
    r.cs134 = {21.25, 22.25, 23.25, 24.25};
    r.cs137 = {31.25, 32.25, 33.25, 34.25};
    r.k40 = {41.25, 42.25, 43.25, 44.25};
    r.lowerLimit = 25.5;
    r.screeningLevel = 50.5;
    r.method = "meth";
    r.gainOk = true;
    r.verdict = "verd";
    r.programVersion = "ver";
    r.supersedes = supersedes;
    return r;
}

// What each column of distinctRecord holds, written out by hand (not from the column table).
std::map<std::string, std::string> distinctCells(std::int64_t supersedes) {
    std::map<std::string, std::string> m = {
        {"uid", "0b6f2a4e-7a11-4c3e-9d2b-5f8e1c0a9d01"}, {"created_utc", "2026-04-12T09:30:01Z"},
        {"installation", "inst"}, {"operator", "oper"}, {"sample_id", "sid"}, {"product", "prod"},
        {"origin", "orig"}, {"mass_kg", "1.01"}, {"nominal_mass_kg", "1.02"}, {"sampling_date", "2026-04-11"},
        {"sample_file", "/s.dat"}, {"sample_sha256", std::string(64, '1')}, {"background_file", "/b.dat"},
        {"background_sha256", std::string(64, '2')}, {"sample_real_time_s", "1801.5"},
        {"sample_live_time_s", "1802.5"}, {"background_real_time_s", "1803.5"},
        {"background_live_time_s", "1804.5"}, {"lower_limit", "25.5"}, {"screening_level", "50.5"},
        {"method", "meth"}, {"verdict", "verd"}, {"program_version", "ver"},
        {"supersedes", std::to_string(supersedes)}};
    const char* groups[] = {"cs_all", "cs134", "cs137", "k40"};
    const char* parts[] = {"_activity", "_u", "_decision_threshold", "_detection_limit"};
    for (int g = 0; g < 4; ++g)
        for (int p = 0; p < 4; ++p)
            m[std::string(groups[g]) + parts[p]] = std::to_string(10 * (g + 1) + p + 1) + ".25";
    return m;
}

// A quoted SQL literal ('text', 1.5, 1, true) back to the bare value.
std::string unquoted(std::string v) {
    if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') v = v.substr(1, v.size() - 2);
    if (v.find_first_not_of("0123456789.-") == std::string::npos && v.find('.') != std::string::npos) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.10g", std::strtod(v.c_str(), nullptr));
        v = buf;
    }
    return v;
}

TYPED_TEST(RegisterBackends, ColumnTableIsTheLiveSchema) {
    auto reg = this->open();
    ASSERT_TRUE(reg);
    const auto live = this->backend.liveColumns();
    const auto& cols = measurementColumns();
    ASSERT_EQ(live.size(), cols.size());
    const bool server = std::is_same_v<TypeParam, ServerBackend>;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        EXPECT_EQ(live[i].first, cols[i].name) << "column " << i;
        std::string want;
        switch (cols[i].kind) {
            case ColumnKind::Text: want = server ? "text" : "TEXT"; break;
            case ColumnKind::Real: want = server ? "double precision" : "REAL"; break;
            case ColumnKind::Integer: want = server ? "bigint" : "INTEGER"; break;
            case ColumnKind::Boolean: want = server ? "boolean" : "INTEGER"; break;
        }
        EXPECT_EQ(live[i].second, want) << cols[i].name;
    }
}

TYPED_TEST(RegisterBackends, WholeRecordWithEveryFieldDistinctRoundTrips) {
    auto reg = this->open();
    ASSERT_TRUE(reg);
    std::string error;
    MeasurementRecord first = record("first");
    ASSERT_TRUE(reg->appendMeasurement(first, error)) << error;
    MeasurementRecord r = distinctRecord(first.id);
    const MeasurementRecord sent = r;
    ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;

    // Each column holds the field of its name.
    const auto cells = distinctCells(first.id);
    for (const auto& [column, want] : cells) {
        std::string got = unquoted(this->backend.cell(column, r.id));
        EXPECT_EQ(got, want) << column;
    }
    const std::string gain = unquoted(this->backend.cell("gain_ok", r.id));
    EXPECT_TRUE(gain == "1" || gain == "true") << gain;

    // And each field comes back as it went in, through a fresh connection.
    reg = this->open();
    ASSERT_TRUE(reg);
    MeasurementRecord back;
    bool found = false;
    ASSERT_TRUE(reg->getMeasurement(r.id, back, found, error)) << error;
    ASSERT_TRUE(found);
    for (const auto& c : measurementColumns()) {
        if (c.assigned) continue;
        EXPECT_TRUE(c.get(back) == c.get(sent)) << c.name;
    }
    EXPECT_EQ(back.sampleRealTimeS, 1801.5);
    EXPECT_EQ(back.backgroundRealTimeS, 1803.5);
    EXPECT_EQ(back.cs137.decisionThreshold, 33.25);
    EXPECT_EQ(back.supersedes, first.id);
}

TYPED_TEST(RegisterBackends, FiltersByDateSampleVerdictAndInstallationNewestFirst) {
    auto reg = this->open();
    ASSERT_TRUE(reg);
    std::string error;
    const char* days[] = {"2026-04-10T09:00:00Z", "2026-04-11T23:59:59Z", "2026-04-12T00:00:00Z",
                          "2026-04-12T10:00:00Z"};
    for (int i = 0; i < 8; ++i) {
        MeasurementRecord r = record("S" + std::to_string(i % 2), i < 5 ? "det-A" : "det-B",
                                     i == 3 ? "No verdict - check gain" : "Below screening level");
        r.createdUtc = days[i % 4];
        ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
    }
    EXPECT_EQ(this->count(*reg), 8);
    MeasurementFilter f;
    f.installation = "det-B";
    std::vector<MeasurementRecord> rows;
    ASSERT_TRUE(reg->listMeasurements(f, rows, error)) << error;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_GT(rows[0].id, rows[1].id);  // newest first
    for (const auto& r : rows) EXPECT_EQ(r.installation, "det-B");

    f = {};
    f.createdFrom = "2026-04-12";  // a day as text includes that whole day
    f.createdBefore = "2026-04-13";
    EXPECT_EQ(this->count(*reg, f), 4);
    f.sampleId = "S1";
    EXPECT_EQ(this->count(*reg, f), 2);
    f = {};
    f.verdictPrefix = "No verdict";
    EXPECT_EQ(this->count(*reg, f), 1);
    f = {};
    f.installation = "det-A";
    f.limit = 2;
    f.offset = 1;
    rows.clear();
    ASSERT_TRUE(reg->listMeasurements(f, rows, error)) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, rows[1].id + 1);
}

TYPED_TEST(RegisterBackends, CorrectionsAndQcRecordsKeepTheirLinks) {
    auto reg = this->open();
    ASSERT_TRUE(reg);
    std::string error;
    MeasurementRecord first = record("R-1");
    ASSERT_TRUE(reg->appendMeasurement(first, error)) << error;
    MeasurementRecord fix = record("R-1");
    fix.supersedes = first.id;
    ASSERT_TRUE(reg->appendMeasurement(fix, error)) << error;
    MeasurementRecord dangling = record("R-2");
    dangling.supersedes = fix.id + 100;  // names no record
    EXPECT_FALSE(reg->appendMeasurement(dangling, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(this->count(*reg), 2);

    QcBaseline a, b;
    a.installation = "det-A";
    a.nRequired = 10;
    b.installation = "det-B";
    b.note = "新しい線源";
    ASSERT_TRUE(reg->appendQcBaseline(a, error)) << error;
    ASSERT_TRUE(reg->appendQcBaseline(b, error)) << error;
    QcRun run;
    run.installation = "det-A";
    run.baselineId = a.id;
    run.peakChannel = 661.7;
    run.status = "pass";
    run.checkSha256 = std::string(64, 'c');
    run.acquiredUtc = "2026-12-08T23:00:00Z";
    run.peakChannelU = 0.17;
    run.fwhmPercentU = 0.05;
    run.netRateU = 0.4;
    run.reason = "net rate 7 runs in a row above the mean";
    ASSERT_TRUE(reg->appendQcRun(run, error)) << error;
    EXPECT_GT(run.id, 0);
    QcRun other = run;
    other.uid.clear();
    other.checkSha256 = std::string(64, 'd');
    ASSERT_TRUE(reg->appendQcRun(other, error)) << error;

    QcBaseline latest;
    bool found = false;
    ASSERT_TRUE(reg->latestQcBaseline("det-A", latest, found, error)) << error;
    ASSERT_TRUE(found);
    EXPECT_EQ(latest.id, a.id);
    EXPECT_EQ(latest.nRequired, 10);
    ASSERT_TRUE(reg->latestQcBaseline("", latest, found, error)) << error;
    EXPECT_EQ(latest.note, "新しい線源");
    ASSERT_TRUE(reg->latestQcBaseline("det-C", latest, found, error)) << error;
    EXPECT_FALSE(found);

    std::vector<QcRun> runs;
    QcRunFilter f;
    f.baselineId = a.id;
    ASSERT_TRUE(reg->listQcRuns(f, runs, error)) << error;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].peakChannel, 661.7);
    // The figures a QC run is judged by later come back as written; a hash finds its run.
    runs.clear();
    f = {};
    f.checkSha256 = std::string(64, 'c');
    ASSERT_TRUE(reg->listQcRuns(f, runs, error)) << error;
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].id, run.id);
    EXPECT_EQ(runs[0].acquiredUtc, "2026-12-08T23:00:00Z");
    EXPECT_EQ(runs[0].peakChannelU, 0.17);
    EXPECT_EQ(runs[0].fwhmPercentU, 0.05);
    EXPECT_EQ(runs[0].netRateU, 0.4);
    EXPECT_EQ(runs[0].reason, "net rate 7 runs in a row above the mean");
    runs.clear();
    f = {};
    f.installation = "det-B";
    ASSERT_TRUE(reg->listQcRuns(f, runs, error)) << error;
    EXPECT_TRUE(runs.empty());
}

// What a reviewer checks beside the figures, the corrections of a record found
// from it, and the History page's search by part of a sample ID.
TYPED_TEST(RegisterBackends, ReviewFieldsCorrectionLinksAndSampleIdSearch) {
    auto reg = this->open();
    ASSERT_TRUE(reg);
    std::string error;
    MeasurementRecord a = record("Rice-0412");
    a.simulated = true;
    a.achievedLowerLimit = 12.25;
    a.qcStatus = "pass";
    a.qcRunId = 7;
    a.measurementStart = "2026-04-12T09:30:00+09:00";
    a.measurementEnd = "2026-04-12T10:00:00+09:00";
    a.backgroundStart = "2026-04-11T18:00:05+09:00";
    ASSERT_TRUE(reg->appendMeasurement(a, error)) << error;
    MeasurementRecord b = record("wheat_50%");
    ASSERT_TRUE(reg->appendMeasurement(b, error)) << error;
    MeasurementRecord fix = record("Rice-0412");
    fix.supersedes = a.id;
    fix.correctionReason = "質量の入力誤り: 0.8 kg → 0.5 kg";
    ASSERT_TRUE(reg->appendMeasurement(fix, error)) << error;
    MeasurementRecord fix2 = record("Rice-0412");
    fix2.supersedes = fix.id;
    fix2.correctionReason = "operator name";
    ASSERT_TRUE(reg->appendMeasurement(fix2, error)) << error;

    reg = this->open();
    ASSERT_TRUE(reg);
    MeasurementRecord back;
    bool found = false;
    ASSERT_TRUE(reg->getMeasurement(a.id, back, found, error)) << error;
    ASSERT_TRUE(found);
    EXPECT_TRUE(back.simulated);
    EXPECT_EQ(back.achievedLowerLimit, 12.25);
    EXPECT_EQ(back.qcStatus, "pass");
    EXPECT_EQ(back.qcRunId, 7);
    EXPECT_EQ(back.measurementStart, a.measurementStart);
    EXPECT_EQ(back.measurementEnd, a.measurementEnd);
    EXPECT_EQ(back.backgroundStart, a.backgroundStart);
    ASSERT_TRUE(reg->getMeasurement(fix.id, back, found, error)) << error;
    EXPECT_FALSE(back.simulated);
    EXPECT_FALSE(back.achievedLowerLimit);
    EXPECT_FALSE(back.qcRunId);
    EXPECT_EQ(back.correctionReason, fix.correctionReason);

    // Which records correct which: a chain a <- fix <- fix2, and b uncorrected.
    std::vector<std::pair<std::int64_t, std::int64_t>> links;
    ASSERT_TRUE(reg->listCorrections({a.id, b.id, fix.id, fix2.id}, links, error)) << error;
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0], std::make_pair(fix.id, a.id));
    EXPECT_EQ(links[1], std::make_pair(fix2.id, fix.id));
    links.clear();
    ASSERT_TRUE(reg->listCorrections({b.id}, links, error)) << error;
    EXPECT_TRUE(links.empty());
    ASSERT_TRUE(reg->listCorrections({}, links, error)) << error;

    // Part of an ID, letters in either case; % and _ are plain characters here.
    MeasurementFilter f;
    f.sampleIdContains = "rice";
    EXPECT_EQ(this->count(*reg, f), 3);
    f.sampleIdContains = "0412";
    EXPECT_EQ(this->count(*reg, f), 3);
    f.sampleIdContains = "_50%";
    EXPECT_EQ(this->count(*reg, f), 1);
    f.sampleIdContains = "%";
    EXPECT_EQ(this->count(*reg, f), 1);
    f.sampleIdContains = "e_0";
    EXPECT_EQ(this->count(*reg, f), 0);
    f.sampleIdContains = "Rice-0412";
    f.sampleId = "wheat_50%";  // both filters hold at once
    EXPECT_EQ(this->count(*reg, f), 0);
}

TYPED_TEST(RegisterBackends, NewerSchemaIsRefusedWithAClearMessage) {
    ASSERT_TRUE(this->open());  // made at this program's version
    ASSERT_TRUE(this->backend.setSchemaVersion(kSchemaVersion + 1));
    std::string error;
    EXPECT_FALSE(openRegister(this->backend.location(), error));
    EXPECT_NE(error.find("newer program"), std::string::npos) << error;
}

// Two programs recording at once, each through its own connection: none is lost.
// Installations whose first QC runs start together, in four processes each: each
// installation ends with one baseline, which every one of its runs is judged on.
TYPED_TEST(RegisterBackends, FirstQcRunsAtOnceShareOneBaseline) {
    {
        auto reg = this->open();  // the schema made before the race
        ASSERT_TRUE(reg);
    }
    constexpr int kInstallations = 5, kProcesses = 4;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t kid = fork();
        ASSERT_GE(kid, 0);
        if (kid == 0) {
            ::close(gate[1]);
            std::string error;
            auto reg = openRegister(this->backend.location(), error);
            char c;
            (void)!::read(gate[0], &c, 1);  // all start together once the gate closes
            int failed = reg ? 0 : 1;
            for (int i = 0; reg && i < kInstallations; ++i) {
                QcBaseline b;
                b.installation = "det-" + std::to_string(i);
                b.nRequired = 3;
                bool created = false;
                if (!reg->appendFirstQcBaseline(b, created, error) || b.id <= 0) ++failed;
            }
            if (failed) std::cerr << "process " << p << ": " << error << "\n";
            _exit(failed ? 1 : 0);
        }
        children.push_back(kid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t c : children) {
        int status = 0;
        waitpid(c, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto reg = this->open();
    ASSERT_TRUE(reg);
    std::vector<QcBaseline> baselines;
    std::string error;
    ASSERT_TRUE(reg->listQcBaselines(baselines, error)) << error;
    EXPECT_EQ(baselines.size(), std::size_t(kInstallations));
    // Asked again, the register hands back the baseline the installation has.
    QcBaseline again;
    again.installation = "det-0";
    bool created = true;
    ASSERT_TRUE(reg->appendFirstQcBaseline(again, created, error)) << error;
    EXPECT_FALSE(created);
    EXPECT_EQ(again.nRequired, 3);
    ASSERT_TRUE(reg->listQcBaselines(baselines, error));
}

TYPED_TEST(RegisterBackends, TwoWriterProcessesOfAThousandRecordsEachLeaveTwoThousand) {
    constexpr int kEach = 1000;
    const auto start = std::chrono::steady_clock::now();
    pid_t children[2];
    for (int w = 0; w < 2; ++w) {
        children[w] = fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0) {
            // Both open a register that may not exist yet: the schema is made once.
            std::string error;
            auto reg = openRegister(this->backend.location(), error);
            int failed = reg ? 0 : kEach;
            for (int i = 0; reg && i < kEach; ++i) {
                MeasurementRecord r = record("W" + std::to_string(i), w ? "writer-B" : "writer-A");
                if (!reg->appendMeasurement(r, error) || r.id <= 0) ++failed;
            }
            if (failed) std::cerr << "writer " << w << ": " << failed << " failed: " << error << "\n";
            _exit(failed ? 1 : 0);
        }
    }
    for (pid_t c : children) {
        int status = 0;
        waitpid(c, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto reg = this->open();
    ASSERT_TRUE(reg);
    EXPECT_EQ(this->count(*reg), 2 * kEach);
    MeasurementFilter f;
    f.installation = "writer-B";
    EXPECT_EQ(this->count(*reg, f), kEach);
    std::vector<MeasurementRecord> all;
    std::string error;
    ASSERT_TRUE(reg->listMeasurements({}, all, error)) << error;
    std::set<std::string> uids;
    for (const auto& r : all) uids.insert(r.uid);
    EXPECT_EQ(uids.size(), std::size_t(2 * kEach));
    std::cout << "[ figures  ] 2 writers x " << kEach << " records: " << all.size() << " stored in " << seconds
              << " s\n";
}

}  // namespace
}  // namespace xmca::reg

namespace xmca::reg {
namespace {

MethodRecord methodRecord(const std::string& name, const std::string& body) {
    MethodRecord m;
    m.name = name;
    m.installation = "lab-1";
    m.body = body;
    return m;
}

TYPED_TEST(RegisterBackends, MethodsAreAppendedAsVersionsOfTheirName) {
    auto reg = this->open();
    ASSERT_TRUE(reg);
    std::string error;
    MethodRecord a1 = methodRecord("marinelli", "first"), u1 = methodRecord("U8 容器", "pot"),
                 a2 = methodRecord("marinelli", "second");
    ASSERT_TRUE(reg->appendMethod(a1, error)) << error;
    ASSERT_TRUE(reg->appendMethod(u1, error)) << error;
    ASSERT_TRUE(reg->appendMethod(a2, error)) << error;
    EXPECT_EQ(a1.version, 1);
    EXPECT_EQ(u1.version, 1);
    EXPECT_EQ(a2.version, 2);
    EXPECT_EQ(a1.uid.size(), 36u);
    EXPECT_FALSE(a1.createdUtc.empty());

    reg = this->open();
    ASSERT_TRUE(reg);
    std::vector<MethodRecord> all, one;
    ASSERT_TRUE(reg->listMethods("", all, error)) << error;
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].body, "second");  // newest first
    EXPECT_EQ(all[1].name, "U8 容器");
    ASSERT_TRUE(reg->listMethods("marinelli", one, error)) << error;
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0].version, 2);
    EXPECT_EQ(one[1].body, "first");
    EXPECT_EQ(one[1].installation, "lab-1");

    // Each measurement names the method and version its figures came from.
    MeasurementRecord r = record("kombu");
    r.methodName = "marinelli";
    r.methodVersion = 2;
    ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
    MeasurementRecord back;
    bool found = false;
    ASSERT_TRUE(reg->getMeasurement(r.id, back, found, error)) << error;
    ASSERT_TRUE(found);
    EXPECT_EQ(back.methodName, "marinelli");
    EXPECT_EQ(back.methodVersion, 2);
}

TEST(RegisterMethods, AFileFromBeforeMethodsIsBroughtForwardWithItsRecordsAndChain) {
    TempDir dir;
    const std::string path = dir.file("register.sqlite");
    std::string error;
    MeasurementRecord r = record("old");
    {
        auto reg = openRegister(path, error);
        ASSERT_TRUE(reg) << error;
        ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
    }
    // Take the file back to what a program of the schema before the methods left.
    ASSERT_EQ(xmca::test::backToSchema(path, 3, error), SQLITE_OK) << error;

    auto reg = openRegister(path, error);
    ASSERT_TRUE(reg) << error;
    // The record's hash, formed before the method columns were there, still follows.
    IntegrityReport integrity;
    ASSERT_TRUE(reg->checkIntegrity(integrity, error)) << error;
    EXPECT_TRUE(integrity.ok()) << integrity.chainProblem;
    MeasurementRecord back;
    bool found = false;
    ASSERT_TRUE(reg->getMeasurement(r.id, back, found, error)) << error;
    ASSERT_TRUE(found);
    EXPECT_EQ(back.sampleId, "old");
    EXPECT_EQ(back.methodName, "");
    EXPECT_FALSE(back.methodVersion);
    MethodRecord m = methodRecord("marinelli", "x");
    ASSERT_TRUE(reg->appendMethod(m, error)) << error;
    EXPECT_EQ(m.version, 1);
    // Methods are kept as they were written, like every record.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(db, "UPDATE methods SET body = 'y'", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(db, "DELETE FROM methods", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

}  // namespace
}  // namespace xmca::reg
