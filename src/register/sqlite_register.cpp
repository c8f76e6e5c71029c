#include "register/sqlite_register.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace xmca::reg {

namespace {

// Marks the file as ours ("XMCA"), so that another program's database is refused.
constexpr int kApplicationId = 0x584D4341;
constexpr int kBusyTimeoutMs = 5000;
constexpr int kWriteAttempts = 8;

// The first schema. Later versions add a step to kMigrations; a step never edits an
// earlier one, so every register can be brought forward from the version it has.
constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE measurements (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  uid TEXT NOT NULL UNIQUE,
  created_utc TEXT NOT NULL,
  installation TEXT NOT NULL DEFAULT '',
  operator TEXT NOT NULL DEFAULT '',
  sample_id TEXT NOT NULL DEFAULT '',
  product TEXT NOT NULL DEFAULT '',
  origin TEXT NOT NULL DEFAULT '',
  mass_kg REAL,
  nominal_mass_kg REAL,
  sampling_date TEXT NOT NULL DEFAULT '',
  sample_file TEXT NOT NULL DEFAULT '',
  sample_sha256 TEXT NOT NULL DEFAULT '',
  background_file TEXT NOT NULL DEFAULT '',
  background_sha256 TEXT NOT NULL DEFAULT '',
  sample_real_time_s REAL,
  sample_live_time_s REAL,
  background_real_time_s REAL,
  background_live_time_s REAL,
  cs_all_activity REAL, cs_all_u REAL, cs_all_decision_threshold REAL, cs_all_detection_limit REAL,
  cs134_activity REAL, cs134_u REAL, cs134_decision_threshold REAL, cs134_detection_limit REAL,
  cs137_activity REAL, cs137_u REAL, cs137_decision_threshold REAL, cs137_detection_limit REAL,
  k40_activity REAL, k40_u REAL, k40_decision_threshold REAL, k40_detection_limit REAL,
  lower_limit REAL,
  screening_level REAL,
  method TEXT NOT NULL DEFAULT '',
  gain_ok INTEGER,
  verdict TEXT NOT NULL DEFAULT '',
  program_version TEXT NOT NULL DEFAULT '',
  supersedes INTEGER REFERENCES measurements(id)
);
CREATE INDEX measurements_sample_id ON measurements(sample_id, id);
CREATE INDEX measurements_created ON measurements(created_utc);
CREATE TABLE qc_baselines (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  uid TEXT NOT NULL UNIQUE,
  created_utc TEXT NOT NULL,
  installation TEXT NOT NULL DEFAULT '',
  n_required INTEGER NOT NULL DEFAULT 0,
  note TEXT NOT NULL DEFAULT ''
);
CREATE TABLE qc_runs (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  uid TEXT NOT NULL UNIQUE,
  created_utc TEXT NOT NULL,
  installation TEXT NOT NULL DEFAULT '',
  baseline_id INTEGER REFERENCES qc_baselines(id),
  operator TEXT NOT NULL DEFAULT '',
  check_file TEXT NOT NULL DEFAULT '',
  check_sha256 TEXT NOT NULL DEFAULT '',
  background_file TEXT NOT NULL DEFAULT '',
  background_sha256 TEXT NOT NULL DEFAULT '',
  peak_channel REAL,
  fwhm_percent REAL,
  net_rate_cps REAL,
  background_rate_cps REAL,
  status TEXT NOT NULL DEFAULT '',
  program_version TEXT NOT NULL DEFAULT ''
);
CREATE INDEX qc_runs_installation ON qc_runs(installation, id);
CREATE INDEX qc_baselines_installation ON qc_baselines(installation, id);
CREATE TRIGGER measurements_keep_u BEFORE UPDATE ON measurements
  BEGIN SELECT RAISE(ABORT, 'register records are never changed'); END;
CREATE TRIGGER measurements_keep_d BEFORE DELETE ON measurements
  BEGIN SELECT RAISE(ABORT, 'register records are never deleted'); END;
CREATE TRIGGER qc_baselines_keep_u BEFORE UPDATE ON qc_baselines
  BEGIN SELECT RAISE(ABORT, 'register records are never changed'); END;
CREATE TRIGGER qc_baselines_keep_d BEFORE DELETE ON qc_baselines
  BEGIN SELECT RAISE(ABORT, 'register records are never deleted'); END;
CREATE TRIGGER qc_runs_keep_u BEFORE UPDATE ON qc_runs
  BEGIN SELECT RAISE(ABORT, 'register records are never changed'); END;
CREATE TRIGGER qc_runs_keep_d BEFORE DELETE ON qc_runs
  BEGIN SELECT RAISE(ABORT, 'register records are never deleted'); END;
)sql";

// Version 2: the laboratory's calibrated methods, append-only with versions, and the
// method each measurement was computed with.
constexpr const char* kSchemaV2 = R"sql(
CREATE TABLE methods (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  uid TEXT NOT NULL UNIQUE,
  created_utc TEXT NOT NULL,
  installation TEXT NOT NULL DEFAULT '',
  name TEXT NOT NULL,
  version INTEGER NOT NULL,
  body TEXT NOT NULL,
  UNIQUE (name, version)
);
CREATE TRIGGER methods_keep_u BEFORE UPDATE ON methods
  BEGIN SELECT RAISE(ABORT, 'register records are never changed'); END;
CREATE TRIGGER methods_keep_d BEFORE DELETE ON methods
  BEGIN SELECT RAISE(ABORT, 'register records are never deleted'); END;
ALTER TABLE measurements ADD COLUMN method_name TEXT NOT NULL DEFAULT '';
ALTER TABLE measurements ADD COLUMN method_version INTEGER;
)sql";

// kMigrations[v] brings a register from version v to v + 1.
constexpr const char* kMigrations[] = {kSchemaV1, kSchemaV2};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == kSchemaVersion);

constexpr const char* kMeasurementColumns =
    "id, uid, created_utc, installation, operator, sample_id, product, origin, mass_kg, nominal_mass_kg, "
    "sampling_date, sample_file, sample_sha256, background_file, background_sha256, sample_real_time_s, "
    "sample_live_time_s, background_real_time_s, background_live_time_s, "
    "cs_all_activity, cs_all_u, cs_all_decision_threshold, cs_all_detection_limit, "
    "cs134_activity, cs134_u, cs134_decision_threshold, cs134_detection_limit, "
    "cs137_activity, cs137_u, cs137_decision_threshold, cs137_detection_limit, "
    "k40_activity, k40_u, k40_decision_threshold, k40_detection_limit, "
    "lower_limit, screening_level, method, gain_ok, verdict, program_version, supersedes, "
    "method_name, method_version";
constexpr int kMeasurementColumnCount = 44;

constexpr const char* kQcRunColumns =
    "id, uid, created_utc, installation, baseline_id, operator, check_file, check_sha256, background_file, "
    "background_sha256, peak_channel, fwhm_percent, net_rate_cps, background_rate_cps, status, program_version";
constexpr int kQcRunColumnCount = 16;

constexpr const char* kQcBaselineColumns = "id, uid, created_utc, installation, n_required, note";

std::string placeholders(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += i ? ", ?" : "?";
    return s;
}

// A prepared statement, finalised on scope exit.
class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql) { rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &st_, nullptr); }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return rc_ == SQLITE_OK && st_; }
    int prepareCode() const { return rc_; }
    sqlite3_stmt* get() const { return st_; }

    // Binding by position, from 1, in the order of the calls.
    void text(const std::string& v) {
        sqlite3_bind_text(st_, ++n_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void real(const std::optional<double>& v) {
        if (v) sqlite3_bind_double(st_, ++n_, *v);
        else sqlite3_bind_null(st_, ++n_);
    }
    void integer(const std::optional<std::int64_t>& v) {
        if (v) sqlite3_bind_int64(st_, ++n_, *v);
        else sqlite3_bind_null(st_, ++n_);
    }
    void skip() { sqlite3_bind_null(st_, ++n_); }

    // Reading a row by position, from 0, in the order of the calls.
    void startRow() { c_ = 0; }
    std::string colText() {
        const int i = c_++;
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st_, i))) : std::string();
    }
    std::optional<double> colReal() {
        const int i = c_++;
        if (sqlite3_column_type(st_, i) == SQLITE_NULL) return std::nullopt;
        return sqlite3_column_double(st_, i);
    }
    std::optional<std::int64_t> colInt() {
        const int i = c_++;
        if (sqlite3_column_type(st_, i) == SQLITE_NULL) return std::nullopt;
        return sqlite3_column_int64(st_, i);
    }

private:
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_ERROR;
    int n_ = 0;
    int c_ = 0;
};

void bindFigures(Stmt& s, const Figures& f) {
    s.real(f.activity);
    s.real(f.u);
    s.real(f.decisionThreshold);
    s.real(f.detectionLimit);
}

Figures readFigures(Stmt& s) {
    Figures f;
    f.activity = s.colReal();
    f.u = s.colReal();
    f.decisionThreshold = s.colReal();
    f.detectionLimit = s.colReal();
    return f;
}

void bindMeasurement(Stmt& s, const MeasurementRecord& r) {
    s.skip();  // id
    s.text(r.uid);
    s.text(r.createdUtc);
    s.text(r.installation);
    s.text(r.operatorName);
    s.text(r.sampleId);
    s.text(r.product);
    s.text(r.origin);
    s.real(r.massKg);
    s.real(r.nominalMassKg);
    s.text(r.samplingDate);
    s.text(r.sampleFile);
    s.text(r.sampleSha256);
    s.text(r.backgroundFile);
    s.text(r.backgroundSha256);
    s.real(r.sampleRealTimeS);
    s.real(r.sampleLiveTimeS);
    s.real(r.backgroundRealTimeS);
    s.real(r.backgroundLiveTimeS);
    bindFigures(s, r.csAll);
    bindFigures(s, r.cs134);
    bindFigures(s, r.cs137);
    bindFigures(s, r.k40);
    s.real(r.lowerLimit);
    s.real(r.screeningLevel);
    s.text(r.method);
    s.integer(r.gainOk ? std::optional<std::int64_t>(*r.gainOk ? 1 : 0) : std::nullopt);
    s.text(r.verdict);
    s.text(r.programVersion);
    s.integer(r.supersedes);
    s.text(r.methodName);
    s.integer(r.methodVersion);
}

MeasurementRecord readMeasurement(Stmt& s) {
    s.startRow();
    MeasurementRecord r;
    r.id = s.colInt().value_or(0);
    r.uid = s.colText();
    r.createdUtc = s.colText();
    r.installation = s.colText();
    r.operatorName = s.colText();
    r.sampleId = s.colText();
    r.product = s.colText();
    r.origin = s.colText();
    r.massKg = s.colReal();
    r.nominalMassKg = s.colReal();
    r.samplingDate = s.colText();
    r.sampleFile = s.colText();
    r.sampleSha256 = s.colText();
    r.backgroundFile = s.colText();
    r.backgroundSha256 = s.colText();
    r.sampleRealTimeS = s.colReal();
    r.sampleLiveTimeS = s.colReal();
    r.backgroundRealTimeS = s.colReal();
    r.backgroundLiveTimeS = s.colReal();
    r.csAll = readFigures(s);
    r.cs134 = readFigures(s);
    r.cs137 = readFigures(s);
    r.k40 = readFigures(s);
    r.lowerLimit = s.colReal();
    r.screeningLevel = s.colReal();
    r.method = s.colText();
    if (const auto g = s.colInt()) r.gainOk = *g != 0;
    r.verdict = s.colText();
    r.programVersion = s.colText();
    r.supersedes = s.colInt();
    r.methodName = s.colText();
    r.methodVersion = s.colInt();
    return r;
}

QcRun readQcRun(Stmt& s) {
    s.startRow();
    QcRun r;
    r.id = s.colInt().value_or(0);
    r.uid = s.colText();
    r.createdUtc = s.colText();
    r.installation = s.colText();
    r.baselineId = s.colInt();
    r.operatorName = s.colText();
    r.checkFile = s.colText();
    r.checkSha256 = s.colText();
    r.backgroundFile = s.colText();
    r.backgroundSha256 = s.colText();
    r.peakChannel = s.colReal();
    r.fwhmPercent = s.colReal();
    r.netRateCps = s.colReal();
    r.backgroundRateCps = s.colReal();
    r.status = s.colText();
    r.programVersion = s.colText();
    return r;
}

QcBaseline readQcBaseline(Stmt& s) {
    s.startRow();
    QcBaseline b;
    b.id = s.colInt().value_or(0);
    b.uid = s.colText();
    b.createdUtc = s.colText();
    b.installation = s.colText();
    b.nRequired = s.colInt().value_or(0);
    b.note = s.colText();
    return b;
}

bool isBusy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

class SqliteRegister final : public Register {
public:
    SqliteRegister(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    ~SqliteRegister() override { sqlite3_close_v2(db_); }

    std::string location() const override { return path_; }
    bool writable() const override { return sqlite3_db_readonly(db_, "main") == 0; }

    // Brings the schema to kSchemaVersion; false with a message when it cannot.
    bool prepare(std::string& error) {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        sqlite3_extended_result_codes(db_, 1);
        if (!exec("PRAGMA foreign_keys = ON", error)) return false;
        // Reading the header finds a damaged file or another kind of file.
        std::int64_t version = 0;
        std::int64_t appId = 0;
        if (!pragmaInt("user_version", version, error) || !pragmaInt("application_id", appId, error)) return false;
        if (version > kSchemaVersion) {
            error = "the register " + path_ + " was written by a newer program version (schema " +
                    std::to_string(version) + "; this program knows schema " + std::to_string(kSchemaVersion) +
                    "); nothing was written";
            return false;
        }
        if (appId != 0 && appId != kApplicationId) {
            error = path_ + " is a database of another program, not a register";
            return false;
        }
        if (version == kSchemaVersion) {
            if (writable()) exec("PRAGMA journal_mode = WAL", error);  // kept as it is when it cannot switch
            error.clear();
            return true;
        }
        if (!writable()) {
            error = "the register " + path_ + " is read-only and has no tables yet";
            return false;
        }
        std::string walError;
        exec("PRAGMA journal_mode = WAL", walError);
        return write(error, [&](std::string& err) {
            // Another program may have migrated it while this one waited.
            std::int64_t v = 0;
            if (!pragmaInt("user_version", v, err)) return false;
            if (v > kSchemaVersion) {
                err = "the register " + path_ + " was written by a newer program version";
                return false;
            }
            if (v == 0) {
                std::int64_t tables = 0;
                Stmt q(db_, "SELECT count(*) FROM sqlite_master");
                if (!q.ok() || sqlite3_step(q.get()) != SQLITE_ROW) return fail(err, "reading the register");
                tables = sqlite3_column_int64(q.get(), 0);
                if (tables != 0) {
                    err = path_ + " holds tables of another program, not a register";
                    return false;
                }
            }
            for (std::int64_t step = v; step < kSchemaVersion; ++step)
                if (!exec(kMigrations[step], err)) return false;
            return exec("PRAGMA application_id = " + std::to_string(kApplicationId), err) &&
                   exec("PRAGMA user_version = " + std::to_string(kSchemaVersion), err);
        });
    }

    bool appendMeasurement(MeasurementRecord& rec, std::string& error) override {
        MeasurementRecord r = rec;
        if (r.uid.empty()) r.uid = newUuid();
        if (r.createdUtc.empty()) r.createdUtc = utcNow();
        std::int64_t id = 0;
        const bool ok = write(error, [&](std::string& err) {
            Stmt s(db_, std::string("INSERT INTO measurements (") + kMeasurementColumns + ") VALUES (" +
                            placeholders(kMeasurementColumnCount) + ")");
            if (!s.ok()) return fail(err, "preparing the record");
            bindMeasurement(s, r);
            if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(err, "writing the record");
            id = sqlite3_last_insert_rowid(db_);
            return true;
        });
        if (!ok) return false;
        r.id = id;
        rec = std::move(r);
        return true;
    }

    bool listMeasurements(const MeasurementFilter& filter, std::vector<MeasurementRecord>& out,
                          std::string& error) override {
        std::vector<std::string> args;
        const std::string where = measurementWhere(filter, args);
        Stmt s(db_, std::string("SELECT ") + kMeasurementColumns + " FROM measurements" + where +
                        " ORDER BY id DESC LIMIT ? OFFSET ?");
        if (!s.ok()) return fail(error, "reading the register");
        for (const auto& a : args) s.text(a);
        s.integer(filter.limit);
        s.integer(filter.offset);
        return readRows(s, error, [&] { out.push_back(readMeasurement(s)); });
    }

    bool countMeasurements(const MeasurementFilter& filter, std::int64_t& count, std::string& error) override {
        std::vector<std::string> args;
        const std::string where = measurementWhere(filter, args);
        Stmt s(db_, "SELECT count(*) FROM (SELECT id FROM measurements" + where + " LIMIT ? OFFSET ?)");
        if (!s.ok()) return fail(error, "reading the register");
        for (const auto& a : args) s.text(a);
        s.integer(filter.limit);
        s.integer(filter.offset);
        count = 0;
        return readRows(s, error, [&] { count = sqlite3_column_int64(s.get(), 0); });
    }

    bool getMeasurement(std::int64_t id, MeasurementRecord& out, bool& found, std::string& error) override {
        Stmt s(db_, std::string("SELECT ") + kMeasurementColumns + " FROM measurements WHERE id = ?");
        if (!s.ok()) return fail(error, "reading the register");
        s.integer(id);
        found = false;
        return readRows(s, error, [&] {
            out = readMeasurement(s);
            found = true;
        });
    }

    bool appendMethod(MethodRecord& rec, std::string& error) override {
        MethodRecord r = rec;
        if (r.uid.empty()) r.uid = newUuid();
        if (r.createdUtc.empty()) r.createdUtc = utcNow();
        const bool ok = write(error, [&](std::string& err) {
            // The next version is taken inside the write, so two calibrations of one
            // name never get the same number.
            Stmt v(db_, "SELECT coalesce(max(version), 0) + 1 FROM methods WHERE name = ?");
            if (!v.ok()) return fail(err, "reading the methods");
            v.text(r.name);
            if (sqlite3_step(v.get()) != SQLITE_ROW) return fail(err, "reading the methods");
            r.version = sqlite3_column_int64(v.get(), 0);
            Stmt s(db_, "INSERT INTO methods (uid, created_utc, installation, name, version, body) "
                        "VALUES (?, ?, ?, ?, ?, ?)");
            if (!s.ok()) return fail(err, "preparing the method");
            s.text(r.uid);
            s.text(r.createdUtc);
            s.text(r.installation);
            s.text(r.name);
            s.integer(r.version);
            s.text(r.body);
            if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(err, "writing the method");
            r.id = sqlite3_last_insert_rowid(db_);
            return true;
        });
        if (!ok) return false;
        rec = std::move(r);
        return true;
    }

    bool listMethods(const std::string& name, std::vector<MethodRecord>& out, std::string& error) override {
        Stmt s(db_, std::string("SELECT id, uid, created_utc, installation, name, version, body FROM methods") +
                        (name.empty() ? "" : " WHERE name = ?") + " ORDER BY id DESC");
        if (!s.ok()) return fail(error, "reading the methods");
        if (!name.empty()) s.text(name);
        return readRows(s, error, [&] {
            s.startRow();
            MethodRecord r;
            r.id = s.colInt().value_or(0);
            r.uid = s.colText();
            r.createdUtc = s.colText();
            r.installation = s.colText();
            r.name = s.colText();
            r.version = s.colInt().value_or(0);
            r.body = s.colText();
            out.push_back(std::move(r));
        });
    }

    bool appendQcBaseline(QcBaseline& baseline, std::string& error) override {
        QcBaseline b = baseline;
        if (b.uid.empty()) b.uid = newUuid();
        if (b.createdUtc.empty()) b.createdUtc = utcNow();
        std::int64_t id = 0;
        const bool ok = write(error, [&](std::string& err) {
            Stmt s(db_, std::string("INSERT INTO qc_baselines (") + kQcBaselineColumns + ") VALUES (" +
                            placeholders(6) + ")");
            if (!s.ok()) return fail(err, "preparing the record");
            s.skip();
            s.text(b.uid);
            s.text(b.createdUtc);
            s.text(b.installation);
            s.integer(b.nRequired);
            s.text(b.note);
            if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(err, "writing the record");
            id = sqlite3_last_insert_rowid(db_);
            return true;
        });
        if (!ok) return false;
        b.id = id;
        baseline = std::move(b);
        return true;
    }

    bool appendQcRun(QcRun& run, std::string& error) override {
        QcRun r = run;
        if (r.uid.empty()) r.uid = newUuid();
        if (r.createdUtc.empty()) r.createdUtc = utcNow();
        std::int64_t id = 0;
        const bool ok = write(error, [&](std::string& err) {
            Stmt s(db_, std::string("INSERT INTO qc_runs (") + kQcRunColumns + ") VALUES (" +
                            placeholders(kQcRunColumnCount) + ")");
            if (!s.ok()) return fail(err, "preparing the record");
            s.skip();
            s.text(r.uid);
            s.text(r.createdUtc);
            s.text(r.installation);
            s.integer(r.baselineId);
            s.text(r.operatorName);
            s.text(r.checkFile);
            s.text(r.checkSha256);
            s.text(r.backgroundFile);
            s.text(r.backgroundSha256);
            s.real(r.peakChannel);
            s.real(r.fwhmPercent);
            s.real(r.netRateCps);
            s.real(r.backgroundRateCps);
            s.text(r.status);
            s.text(r.programVersion);
            if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(err, "writing the record");
            id = sqlite3_last_insert_rowid(db_);
            return true;
        });
        if (!ok) return false;
        r.id = id;
        run = std::move(r);
        return true;
    }

    bool listQcRuns(const QcRunFilter& filter, std::vector<QcRun>& out, std::string& error) override {
        std::string where;
        if (!filter.installation.empty()) where += " AND installation = ?1";
        if (filter.baselineId) where += " AND baseline_id = ?2";
        Stmt s(db_, std::string("SELECT ") + kQcRunColumns + " FROM qc_runs WHERE 1" + where +
                        " ORDER BY id DESC LIMIT ?3 OFFSET ?4");
        if (!s.ok()) return fail(error, "reading the register");
        sqlite3_bind_text(s.get(), 1, filter.installation.data(), static_cast<int>(filter.installation.size()),
                          SQLITE_TRANSIENT);
        if (filter.baselineId) sqlite3_bind_int64(s.get(), 2, *filter.baselineId);
        sqlite3_bind_int64(s.get(), 3, filter.limit);
        sqlite3_bind_int64(s.get(), 4, filter.offset);
        return readRows(s, error, [&] { out.push_back(readQcRun(s)); });
    }

    bool latestQcBaseline(const std::string& installation, QcBaseline& out, bool& found,
                          std::string& error) override {
        Stmt s(db_, std::string("SELECT ") + kQcBaselineColumns + " FROM qc_baselines" +
                        (installation.empty() ? "" : " WHERE installation = ?") + " ORDER BY id DESC LIMIT 1");
        if (!s.ok()) return fail(error, "reading the register");
        if (!installation.empty()) s.text(installation);
        found = false;
        return readRows(s, error, [&] {
            out = readQcBaseline(s);
            found = true;
        });
    }

    bool listQcBaselines(std::vector<QcBaseline>& out, std::string& error) override {
        Stmt s(db_, std::string("SELECT ") + kQcBaselineColumns + " FROM qc_baselines ORDER BY id DESC");
        if (!s.ok()) return fail(error, "reading the register");
        return readRows(s, error, [&] { out.push_back(readQcBaseline(s)); });
    }

private:
    // A sentence naming what failed, the file and SQLite's reason in plain words.
    bool fail(std::string& error, const char* what) const {
        const int rc = sqlite3_extended_errcode(db_);
        std::string why = sqlite3_errmsg(db_);
        switch (rc & 0xFF) {
            case SQLITE_READONLY: why = "the register file is read-only"; break;
            case SQLITE_FULL: why = "the disk is full"; break;
            case SQLITE_NOTADB:
            case SQLITE_CORRUPT: why = "the register file is damaged or not a register"; break;
            case SQLITE_BUSY:
            case SQLITE_LOCKED: why = "another program kept the register busy"; break;
            case SQLITE_IOERR: why = "the register file could not be read or written (" + why + ")"; break;
            case SQLITE_CANTOPEN: why = "the register file cannot be opened"; break;
            default: break;
        }
        error = std::string("Register ") + path_ + ": " + what + " failed: " + why;
        return false;
    }

    bool exec(const std::string& sql, std::string& error) {
        char* msg = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg);
        sqlite3_free(msg);
        if (rc == SQLITE_OK) return true;
        return fail(error, "a register step");
    }

    bool pragmaInt(const char* name, std::int64_t& out, std::string& error) {
        Stmt s(db_, std::string("PRAGMA ") + name);
        if (!s.ok()) return fail(error, "reading the register");
        const int rc = sqlite3_step(s.get());
        if (rc != SQLITE_ROW) return fail(error, "reading the register");
        out = sqlite3_column_int64(s.get(), 0);
        return true;
    }

    template <class OnRow>
    bool readRows(Stmt& s, std::string& error, OnRow onRow) {
        for (;;) {
            const int rc = sqlite3_step(s.get());
            if (rc == SQLITE_ROW) {
                onRow();
                continue;
            }
            if (rc == SQLITE_DONE) return true;
            return fail(error, "reading the register");
        }
    }

    // One write transaction: BEGIN IMMEDIATE takes the write lock up front (waiting
    // out the busy timeout), and a transaction that still meets a busy register is
    // rolled back and tried again, so a second writer delays a record, never loses it.
    bool write(std::string& error, const std::function<bool(std::string&)>& body) {
        if (!writable()) {
            error = "Register " + path_ + ": the register file is read-only; nothing was written";
            return false;
        }
        for (int attempt = 0;; ++attempt) {
            std::string err;
            int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            bool ok = rc == SQLITE_OK;
            if (ok) ok = body(err);
            if (ok) {
                rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
                ok = rc == SQLITE_OK;
            } else {
                rc = sqlite3_extended_errcode(db_);
            }
            if (ok) return true;
            if (err.empty()) fail(err, "writing the record");
            if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            if (!isBusy(rc) || attempt + 1 >= kWriteAttempts) {
                error = err + "; nothing was written";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * (attempt + 1)));
        }
    }

    static std::string measurementWhere(const MeasurementFilter& f, std::vector<std::string>& args) {
        std::string w;
        auto add = [&](const char* cond, const std::string& v) {
            w += w.empty() ? " WHERE " : " AND ";
            w += cond;
            args.push_back(v);
        };
        if (!f.createdFrom.empty()) add("created_utc >= ?", f.createdFrom);
        if (!f.createdBefore.empty()) add("created_utc < ?", f.createdBefore);
        if (!f.sampleId.empty()) add("sample_id = ?", f.sampleId);
        if (!f.verdictPrefix.empty()) {
            add("substr(verdict, 1, length(?)) = ", f.verdictPrefix);
            w += "?";
            args.push_back(f.verdictPrefix);
        }
        if (!f.installation.empty()) add("installation = ?", f.installation);
        if (f.beforeId) add("id < CAST(? AS INTEGER)", std::to_string(*f.beforeId));
        return w;
    }

    sqlite3* db_;
    std::string path_;
};

}  // namespace

std::unique_ptr<Register> openSqliteRegister(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(path);
    if (p.has_parent_path() && !fs::exists(p.parent_path(), ec)) {
        fs::create_directories(p.parent_path(), ec);
        if (ec) {
            error = "Register " + path + ": its folder cannot be made (" + ec.message() + ")";
            return nullptr;
        }
    }
    if (fs::exists(p, ec) && !fs::is_regular_file(p, ec)) {
        error = "Register " + path + ": not a regular file";
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        error = "Register " + path + ": cannot be opened (" + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + ")";
        sqlite3_close_v2(db);
        return nullptr;
    }
    auto reg = std::make_unique<SqliteRegister>(db, path);
    if (!reg->prepare(error)) return nullptr;
    return reg;
}

}  // namespace xmca::reg
