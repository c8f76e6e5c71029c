#include "register/sqlite_register.h"

#include "register/measurement_columns.h"
#include "register/record_chain.h"

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

// Each record holds the hash chain (record_chain.h); the existing records get
// theirs in id order when a register is brought forward.
constexpr const char* kSchemaV2 = R"sql(
ALTER TABLE measurements ADD COLUMN chain_hash TEXT NOT NULL DEFAULT '';
)sql";

// QC runs keep the acquisition start, the counting uncertainties of their
// figures and the reason of their status.
constexpr const char* kSchemaV3 = R"sql(
ALTER TABLE qc_runs ADD COLUMN acquired_utc TEXT NOT NULL DEFAULT '';
ALTER TABLE qc_runs ADD COLUMN peak_channel_u REAL;
ALTER TABLE qc_runs ADD COLUMN fwhm_percent_u REAL;
ALTER TABLE qc_runs ADD COLUMN net_rate_u REAL;
ALTER TABLE qc_runs ADD COLUMN reason TEXT NOT NULL DEFAULT '';
)sql";

// Version 4: the laboratory's calibrated methods, append-only with versions, and the
// method each measurement was computed with.
constexpr const char* kSchemaV4 = R"sql(
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

// What a reviewer checks beside the figures: the simulated mark, the lower limit
// reached, the QC run relied on, a correction's reason, the counting times (local,
// with offset); and the corrections of a record found by their supersedes.
constexpr const char* kSchemaV5 = R"sql(
ALTER TABLE measurements ADD COLUMN simulated INTEGER NOT NULL DEFAULT 0;
ALTER TABLE measurements ADD COLUMN achieved_lower_limit REAL;
ALTER TABLE measurements ADD COLUMN qc_status TEXT NOT NULL DEFAULT '';
ALTER TABLE measurements ADD COLUMN qc_run_id INTEGER;
ALTER TABLE measurements ADD COLUMN correction_reason TEXT NOT NULL DEFAULT '';
ALTER TABLE measurements ADD COLUMN measurement_start TEXT NOT NULL DEFAULT '';
ALTER TABLE measurements ADD COLUMN measurement_end TEXT NOT NULL DEFAULT '';
ALTER TABLE measurements ADD COLUMN background_start TEXT NOT NULL DEFAULT '';
CREATE INDEX measurements_supersedes ON measurements(supersedes);
)sql";

// kMigrations[v] brings a register from version v to v + 1 (the hashes the chain of
// version 2 starts are filled in by the program once every step has run).
constexpr const char* kMigrations[] = {kSchemaV1, kSchemaV2, kSchemaV3, kSchemaV4, kSchemaV5};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == kSchemaVersion);

constexpr const char* kQcRunColumns =
    "id, uid, created_utc, installation, baseline_id, operator, check_file, check_sha256, background_file, "
    "background_sha256, peak_channel, fwhm_percent, net_rate_cps, background_rate_cps, status, program_version, "
    "acquired_utc, peak_channel_u, fwhm_percent_u, net_rate_u, reason";
constexpr int kQcRunColumnCount = 21;

constexpr const char* kQcBaselineColumns = "id, uid, created_utc, installation, n_required, note";

int writtenColumnCount() {
    int n = 0;
    for (const auto& c : measurementColumns()) n += c.assigned ? 0 : 1;
    return n;
}

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
    std::string colTextAt(int i) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        return p ? std::string(p) : std::string();
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

// Binds the written columns of the record in the order of measurementColumnList(true).
void bindMeasurement(Stmt& s, const MeasurementRecord& r) {
    for (const auto& c : measurementColumns()) {
        if (c.assigned) continue;
        const ColumnValue v = c.get(r);
        if (const auto* t = std::get_if<std::string>(&v)) s.text(*t);
        else if (const auto* d = std::get_if<double>(&v)) s.real(*d);
        else if (const auto* i = std::get_if<std::int64_t>(&v)) s.integer(*i);
        else if (const auto* b = std::get_if<bool>(&v)) s.integer(*b ? 1 : 0);
        else s.skip();
    }
}

// A row selected with measurementColumnList().
MeasurementRecord readMeasurement(Stmt& s) {
    s.startRow();
    MeasurementRecord r;
    for (const auto& c : measurementColumns()) {
        switch (c.kind) {
            case ColumnKind::Text: c.set(r, s.colText()); break;
            case ColumnKind::Real: {
                const auto d = s.colReal();
                c.set(r, d ? ColumnValue(*d) : ColumnValue());
                break;
            }
            case ColumnKind::Integer: {
                const auto i = s.colInt();
                c.set(r, i ? ColumnValue(*i) : ColumnValue());
                break;
            }
            case ColumnKind::Boolean: {
                const auto i = s.colInt();
                c.set(r, i ? ColumnValue(*i != 0) : ColumnValue());
                break;
            }
        }
    }
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
    r.acquiredUtc = s.colText();
    r.peakChannelU = s.colReal();
    r.fwhmPercentU = s.colReal();
    r.netRateU = s.colReal();
    r.reason = s.colText();
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
            // After every step, so that the records are read with the columns this program knows.
            if (v < 2 && !fillChain(err)) return false;
            return exec("PRAGMA application_id = " + std::to_string(kApplicationId), err) &&
                   exec("PRAGMA user_version = " + std::to_string(kSchemaVersion), err);
        });
    }

    bool appendMeasurement(MeasurementRecord& rec, std::string& error) override {
        MeasurementRecord r = rec;
        if (r.uid.empty()) r.uid = newUuid();
        if (r.createdUtc.empty()) r.createdUtc = utcNow();
        if (!recordTextIsClean(r, error)) return false;
        std::int64_t id = 0;
        const bool ok = write(error, [&](std::string& err) {
            std::string prev;
            if (!lastChainHash(prev, err)) return false;
            r.chainHash = chainHash(prev, r);
            Stmt s(db_, "INSERT INTO measurements (" + measurementColumnList(true) + ", chain_hash) VALUES (" +
                            placeholders(writtenColumnCount() + 1) + ")");
            if (!s.ok()) return fail(err, "preparing the record");
            bindMeasurement(s, r);
            s.text(r.chainHash);
            if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(err, "writing the record");
            id = sqlite3_last_insert_rowid(db_);
            return true;
        });
        if (!ok) return false;
        r.id = id;
        rec = std::move(r);
        return true;
    }

    bool forEachMeasurement(const MeasurementFilter& filter, const MeasurementVisitor& visit,
                            std::string& error) override {
        std::vector<std::string> args;
        const std::string where = measurementWhere(filter, args);
        Stmt s(db_, "SELECT " + measurementColumnList() + " FROM measurements" + where + " ORDER BY id " +
                        (filter.oldestFirst ? "ASC" : "DESC") + " LIMIT ? OFFSET ?");
        if (!s.ok()) return fail(error, "reading the register");
        for (const auto& a : args) s.text(a);
        s.integer(filter.limit);
        s.integer(filter.offset);
        bool more = true;
        return readRows(s, error, [&] {
            if (more) more = visit(readMeasurement(s));
        }, &more);
    }

    bool checkIntegrity(IntegrityReport& report, std::string& error) override {
        report = {};
        if (!integrityCheck(report.databaseProblem, error, false)) return false;
        report.databaseOk = report.databaseProblem.empty();
        ChainChecker chain;
        MeasurementFilter all;
        all.oldestFirst = true;
        std::string readError;
        const bool read = forEachMeasurement(all, [&](const MeasurementRecord& r) { return chain.add(r); },
                                             readError);
        report.records = chain.checked();
        report.brokenId = chain.brokenId();
        report.chainProblem = chain.problem();
        if (!read) {
            // A file too damaged to read through is a finding, not a failure to check.
            report.databaseOk = false;
            if (report.databaseProblem.empty()) report.databaseProblem = readError;
        }
        return true;
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
        Stmt s(db_, "SELECT " + measurementColumnList() + " FROM measurements WHERE id = ?");
        if (!s.ok()) return fail(error, "reading the register");
        s.integer(id);
        found = false;
        return readRows(s, error, [&] {
            out = readMeasurement(s);
            found = true;
        });
    }

    bool listCorrections(const std::vector<std::int64_t>& ids, std::vector<std::pair<std::int64_t, std::int64_t>>& out,
                         std::string& error) override {
        if (ids.empty()) return true;
        std::string in;
        for (std::size_t i = 0; i < ids.size(); ++i) in += (i ? "," : "") + std::to_string(ids[i]);
        Stmt s(db_, "SELECT id, supersedes FROM measurements WHERE supersedes IN (" + in + ") ORDER BY id");
        if (!s.ok()) return fail(error, "reading the register");
        return readRows(s, error, [&] {
            out.emplace_back(sqlite3_column_int64(s.get(), 0), sqlite3_column_int64(s.get(), 1));
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
        bool created = false;
        return addBaseline(baseline, false, created, error);
    }

    bool appendFirstQcBaseline(QcBaseline& baseline, bool& created, std::string& error) override {
        return addBaseline(baseline, true, created, error);
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
            s.text(r.acquiredUtc);
            s.real(r.peakChannelU);
            s.real(r.fwhmPercentU);
            s.real(r.netRateU);
            s.text(r.reason);
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
        if (!filter.checkSha256.empty()) where += " AND check_sha256 = ?5";
        Stmt s(db_, std::string("SELECT ") + kQcRunColumns + " FROM qc_runs WHERE 1" + where +
                        " ORDER BY id DESC LIMIT ?3 OFFSET ?4");
        if (!s.ok()) return fail(error, "reading the register");
        sqlite3_bind_text(s.get(), 1, filter.installation.data(), static_cast<int>(filter.installation.size()),
                          SQLITE_TRANSIENT);
        if (filter.baselineId) sqlite3_bind_int64(s.get(), 2, *filter.baselineId);
        sqlite3_bind_int64(s.get(), 3, filter.limit);
        sqlite3_bind_int64(s.get(), 4, filter.offset);
        if (!filter.checkSha256.empty())
            sqlite3_bind_text(s.get(), 5, filter.checkSha256.data(), static_cast<int>(filter.checkSha256.size()),
                              SQLITE_TRANSIENT);
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
    // Adds a baseline; onlyFirst: unless the installation has one (then that one is returned).
    bool addBaseline(QcBaseline& baseline, bool onlyFirst, bool& created, std::string& error) {
        QcBaseline b = baseline;
        if (b.uid.empty()) b.uid = newUuid();
        if (b.createdUtc.empty()) b.createdUtc = utcNow();
        if (!textIsClean(b.installation) || !textIsClean(b.note)) {
            error = "the installation or note text holds a NUL or is not valid UTF-8; nothing was written";
            return false;
        }
        created = false;
        QcBaseline existing;
        bool found = false;
        const bool ok = write(error, [&](std::string& err) {
            found = false;
            if (onlyFirst) {
                // Inside the write lock: a second first run waits here and finds the first one's baseline.
                Stmt q(db_, std::string("SELECT ") + kQcBaselineColumns +
                                " FROM qc_baselines WHERE installation = ? ORDER BY id DESC LIMIT 1");
                if (!q.ok()) return fail(err, "reading the register");
                q.text(b.installation);
                if (!readRows(q, err, [&] {
                        existing = readQcBaseline(q);
                        found = true;
                    }))
                    return false;
                if (found) return true;
            }
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
            b.id = sqlite3_last_insert_rowid(db_);
            return true;
        });
        if (!ok) return false;
        if (found) {
            baseline = existing;
            return true;
        }
        created = true;
        baseline = std::move(b);
        return true;
    }

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

    bool lastChainHash(std::string& prev, std::string& error) {
        Stmt q(db_, "SELECT chain_hash FROM measurements ORDER BY id DESC LIMIT 1");
        if (!q.ok()) return fail(error, "reading the register");
        prev = kChainStart;
        return readRows(q, error, [&] { prev = q.colText(); });
    }

    // Gives the records of a register brought forward from version 1 their hashes,
    // oldest first (the keep-trigger is set aside for the length of the migration).
    bool fillChain(std::string& error) {
        if (!exec("DROP TRIGGER measurements_keep_u", error)) return false;
        // In batches of ids, so that a register of any size is brought forward in little memory.
        std::string prev = kChainStart;
        std::int64_t after = 0;
        for (;;) {
            std::vector<std::pair<std::int64_t, std::string>> hashes;
            {
                Stmt q(db_, "SELECT " + measurementColumnList() + " FROM measurements WHERE id > ? ORDER BY id LIMIT 2000");
                if (!q.ok()) return fail(error, "reading the register");
                q.integer(after);
                if (!readRows(q, error, [&] {
                        const MeasurementRecord r = readMeasurement(q);
                        prev = chainHash(prev, r);
                        hashes.emplace_back(r.id, prev);
                    }))
                    return false;
            }
            if (hashes.empty()) break;
            Stmt u(db_, "UPDATE measurements SET chain_hash = ?1 WHERE id = ?2");
            if (!u.ok()) return fail(error, "migrating the register");
            for (const auto& [id, hash] : hashes) {
                sqlite3_reset(u.get());
                sqlite3_bind_text(u.get(), 1, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int64(u.get(), 2, id);
                if (sqlite3_step(u.get()) != SQLITE_DONE) return fail(error, "migrating the register");
            }
            after = hashes.back().first;
        }
        return exec("CREATE TRIGGER measurements_keep_u BEFORE UPDATE ON measurements "
                    "BEGIN SELECT RAISE(ABORT, 'register records are never changed'); END",
                    error);
    }

    // SQLite's own check of the file: problem empty when it is sound. quick skips the
    // index-to-table cross-checks (run before the first write of a session).
    bool integrityCheck(std::string& problem, std::string& error, bool quick) {
        problem.clear();
        Stmt q(db_, quick ? "PRAGMA quick_check(5)" : "PRAGMA integrity_check(5)");
        if (!q.ok()) {
            problem = "the register file is damaged or not a register";
            return true;
        }
        for (;;) {
            const int rc = sqlite3_step(q.get());
            if (rc == SQLITE_DONE) return true;
            if (rc != SQLITE_ROW) {
                const int code = sqlite3_extended_errcode(db_) & 0xFF;
                if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
                    problem = "the register file is damaged";
                    return true;
                }
                return fail(error, "checking the register");
            }
            const std::string line = q.colTextAt(0);
            if (line != "ok") problem += (problem.empty() ? "" : "; ") + line;
        }
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
    bool readRows(Stmt& s, std::string& error, OnRow onRow, const bool* more = nullptr) {
        for (;;) {
            const int rc = sqlite3_step(s.get());
            if (rc == SQLITE_ROW) {
                onRow();
                if (more && !*more) return true;
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
        if (!checkedForWriting_) {
            // A damaged file is not written to: the record would join records nobody can trust.
            std::string problem;
            if (!integrityCheck(problem, error, true)) return false;
            if (!problem.empty()) {
                error = "Register " + path_ + ": the register file is damaged (" + problem +
                        "); nothing was written. Keep the file for inspection and record into a new register";
                return false;
            }
            checkedForWriting_ = true;
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
        if (!f.sampleIdContains.empty()) add("sample_id LIKE ? ESCAPE '\\'", containsPattern(f.sampleIdContains));
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
    bool checkedForWriting_ = false;
};

}  // namespace

std::unique_ptr<Register> openSqliteRegister(const std::string& path, std::string& error, bool create) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(path);
    if (!create && !fs::exists(p, ec)) {
        error = "Register " + path + ": no such register file; nothing was created";
        return nullptr;
    }
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
    const int rc = sqlite3_open_v2(path.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX,
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
