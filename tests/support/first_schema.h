// Takes a register file back to the first schema, as a program of that version left
// it: every column added by a later schema step dropped, version 1. Each step that
// adds columns lists them here, so that every test of a migration starts from the
// same first-schema file.
#pragma once

#include <sqlite3.h>

#include <string>

namespace xmca::test {

inline const char* kColumnsAfterFirstSchema =
    // step 2: the hash chain
    "ALTER TABLE measurements DROP COLUMN chain_hash;"
    // step 3: QC counting statistics
    "ALTER TABLE qc_runs DROP COLUMN acquired_utc;"
    "ALTER TABLE qc_runs DROP COLUMN peak_channel_u;"
    "ALTER TABLE qc_runs DROP COLUMN fwhm_percent_u;"
    "ALTER TABLE qc_runs DROP COLUMN net_rate_u;"
    "ALTER TABLE qc_runs DROP COLUMN reason;";

// SQLITE_OK, or the failing statement's code (message in error).
inline int backToFirstSchema(const std::string& path, std::string& error) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open(path.c_str(), &db);
    if (rc == SQLITE_OK) {
        const std::string sql = std::string(kColumnsAfterFirstSchema) + "PRAGMA user_version = 1;";
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) error = sqlite3_errmsg(db);
    }
    sqlite3_close(db);
    return rc;
}

}  // namespace xmca::test
