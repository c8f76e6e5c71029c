// Takes a register file back to an earlier schema, as a program of that version
// left it: every column (and index) added by a later schema step dropped, and the
// version set. Each step that adds columns lists them here, so that every test of a
// migration starts from the same older file.
#pragma once

#include <sqlite3.h>

#include <string>

namespace xmca::test {

// What undoes step v + 1 (index v - 1 for v >= 1).
inline const char* const kUndoStep[] = {
    // step 2: the hash chain
    "ALTER TABLE measurements DROP COLUMN chain_hash;",
    // step 3: QC counting statistics
    "ALTER TABLE qc_runs DROP COLUMN acquired_utc; ALTER TABLE qc_runs DROP COLUMN peak_channel_u;"
    "ALTER TABLE qc_runs DROP COLUMN fwhm_percent_u; ALTER TABLE qc_runs DROP COLUMN net_rate_u;"
    "ALTER TABLE qc_runs DROP COLUMN reason;",
    // step 4: the calibrated methods
    "DROP TABLE methods; ALTER TABLE measurements DROP COLUMN method_name;"
    "ALTER TABLE measurements DROP COLUMN method_version;",
    // step 5: what a reviewer checks
    "DROP INDEX measurements_supersedes;"
    "ALTER TABLE measurements DROP COLUMN simulated; ALTER TABLE measurements DROP COLUMN achieved_lower_limit;"
    "ALTER TABLE measurements DROP COLUMN qc_status; ALTER TABLE measurements DROP COLUMN qc_run_id;"
    "ALTER TABLE measurements DROP COLUMN correction_reason; ALTER TABLE measurements DROP COLUMN measurement_start;"
    "ALTER TABLE measurements DROP COLUMN measurement_end; ALTER TABLE measurements DROP COLUMN background_start;",
};
inline constexpr int kNewestUndoable = static_cast<int>(sizeof kUndoStep / sizeof kUndoStep[0]) + 1;

// SQLITE_OK, or the failing statement's code (message in error). The file must be
// of the newest schema.
inline int backToSchema(const std::string& path, int version, std::string& error) {
    std::string sql;
    for (int step = kNewestUndoable; step > version; --step) sql += kUndoStep[step - 2];
    sql += "PRAGMA user_version = " + std::to_string(version) + ";";
    sqlite3* db = nullptr;
    int rc = sqlite3_open(path.c_str(), &db);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) error = sqlite3_errmsg(db);
    }
    sqlite3_close(db);
    return rc;
}

inline int backToFirstSchema(const std::string& path, std::string& error) { return backToSchema(path, 1, error); }

}  // namespace xmca::test
