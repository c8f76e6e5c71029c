#include "register/pending_queue.h"

#include <sqlite3.h>

#include <filesystem>

namespace xmca::reg {

namespace {

constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS pending (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  target TEXT NOT NULL,
  kind TEXT NOT NULL,
  uid TEXT NOT NULL,
  queued_utc TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now')),
  params TEXT NOT NULL,
  set_aside_utc TEXT,
  reason TEXT,
  UNIQUE (target, uid)
);
)sql";

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return st_; }
    void text(int i, const std::string& v) {
        sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    std::string column(int i) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st_, i))) : std::string();
    }

private:
    sqlite3_stmt* st_ = nullptr;
};

}  // namespace

PendingQueue::~PendingQueue() { sqlite3_close_v2(db_); }

bool PendingQueue::open(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    path_ = path;
    std::error_code ec;
    const fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return fail(error, "opening");
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    std::string ignored;
    exec("PRAGMA journal_mode = WAL", ignored);
    if (!exec("PRAGMA synchronous = FULL", error) || !exec(kSchema, error)) return false;
    // Queues made before records could be set aside gain the two columns.
    Statement q(db_, "SELECT count(*) FROM pragma_table_info('pending') WHERE name = 'set_aside_utc'");
    if (!q.get() || sqlite3_step(q.get()) != SQLITE_ROW) return fail(error, "opening");
    if (sqlite3_column_int(q.get(), 0) == 0)
        return exec("ALTER TABLE pending ADD COLUMN set_aside_utc TEXT; ALTER TABLE pending ADD COLUMN reason TEXT",
                    error);
    return true;
}

bool PendingQueue::push(const std::string& target, const std::string& kind, const std::string& uid,
                        const SqlParams& params, std::string& error) {
    if (!db_) return fail(error, "writing");
    Statement s(db_, "INSERT OR IGNORE INTO pending (target, kind, uid, params) VALUES (?, ?, ?, ?)");
    if (!s.get()) return fail(error, "writing");
    s.text(1, target);
    s.text(2, kind);
    s.text(3, uid);
    s.text(4, pack(params));
    if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(error, "writing");
    return true;
}

bool PendingQueue::peek(const std::string& target, int limit, std::vector<PendingRecord>& out, std::string& error) {
    out.clear();
    if (!db_) return fail(error, "reading");
    return select("SELECT seq, kind, uid, params, queued_utc, set_aside_utc, reason FROM pending WHERE target = ? "
                  "AND set_aside_utc IS NULL ORDER BY seq LIMIT ?",
                  target, limit, out, error);
}

bool PendingQueue::entries(const std::string& target, std::vector<PendingRecord>& out, std::string& error) {
    out.clear();
    if (!db_) return fail(error, "reading");
    return select("SELECT seq, kind, uid, params, queued_utc, set_aside_utc, reason FROM pending WHERE target = ? "
                  "ORDER BY seq LIMIT ?",
                  target, -1, out, error);
}

bool PendingQueue::select(const char* sql, const std::string& target, int limit, std::vector<PendingRecord>& out,
                          std::string& error) {
    Statement s(db_, sql);
    if (!s.get()) return fail(error, "reading");
    s.text(1, target);
    sqlite3_bind_int(s.get(), 2, limit);
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        PendingRecord r;
        r.seq = sqlite3_column_int64(s.get(), 0);
        r.kind = s.column(1);
        r.uid = s.column(2);
        if (!unpack(s.column(3), r.params)) {
            // Kept for inspection, out of the way of the records after it.
            if (sqlite3_column_type(s.get(), 5) == SQLITE_NULL) {
                std::string ignored;
                setAside(r.seq, "the queued record is damaged", ignored);
            }
            r.params.clear();
            r.setAsideUtc = "damaged";
            r.reason = "the queued record is damaged";
            if (limit >= 0) continue;
        }
        r.queuedUtc = s.column(4);
        if (sqlite3_column_type(s.get(), 5) != SQLITE_NULL) r.setAsideUtc = s.column(5);
        if (sqlite3_column_type(s.get(), 6) != SQLITE_NULL) r.reason = s.column(6);
        out.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE) return fail(error, "reading");
    return true;
}

bool PendingQueue::setAside(std::int64_t seq, const std::string& reason, std::string& error) {
    if (!db_) return fail(error, "writing");
    Statement s(db_, "UPDATE pending SET set_aside_utc = strftime('%Y-%m-%dT%H:%M:%SZ', 'now'), reason = ? "
                     "WHERE seq = ?");
    if (!s.get()) return fail(error, "writing");
    s.text(1, reason);
    sqlite3_bind_int64(s.get(), 2, seq);
    if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(error, "writing");
    return true;
}

std::int64_t PendingQueue::setAsideCount(const std::string& target) {
    if (!db_) return -1;
    Statement s(db_, "SELECT count(*) FROM pending WHERE target = ? AND set_aside_utc IS NOT NULL");
    if (!s.get()) return -1;
    s.text(1, target);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return -1;
    return sqlite3_column_int64(s.get(), 0);
}

bool PendingQueue::rekey(const std::string& from, const std::string& to, std::string& error) {
    if (!db_) return fail(error, "writing");
    Statement s(db_, "UPDATE OR IGNORE pending SET target = ? WHERE target = ?");
    if (!s.get()) return fail(error, "writing");
    s.text(1, to);
    s.text(2, from);
    if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(error, "writing");
    return true;
}

bool PendingQueue::targets(std::vector<std::string>& out, std::string& error) {
    out.clear();
    if (!db_) return fail(error, "reading");
    Statement s(db_, "SELECT DISTINCT target FROM pending");
    if (!s.get()) return fail(error, "reading");
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) out.push_back(s.column(0));
    if (rc != SQLITE_DONE) return fail(error, "reading");
    return true;
}

bool PendingQueue::remove(std::int64_t seq, std::string& error) {
    if (!db_) return fail(error, "writing");
    Statement s(db_, "DELETE FROM pending WHERE seq = ?");
    if (!s.get()) return fail(error, "writing");
    sqlite3_bind_int64(s.get(), 1, seq);
    if (sqlite3_step(s.get()) != SQLITE_DONE) return fail(error, "writing");
    return true;
}

std::int64_t PendingQueue::count(const std::string& target) {
    if (!db_) return -1;
    Statement s(db_, "SELECT count(*) FROM pending WHERE target = ? AND set_aside_utc IS NULL");
    if (!s.get()) return -1;
    s.text(1, target);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return -1;
    return sqlite3_column_int64(s.get(), 0);
}

std::string PendingQueue::pack(const SqlParams& params) {
    // Each value: "N" for NULL, or "V<length>:<bytes>".
    std::string out;
    for (const auto& p : params) {
        if (!p) {
            out += 'N';
            continue;
        }
        out += 'V';
        out += std::to_string(p->size());
        out += ':';
        out += *p;
    }
    return out;
}

bool PendingQueue::unpack(const std::string& packed, SqlParams& params) {
    params.clear();
    std::size_t i = 0;
    while (i < packed.size()) {
        if (packed[i] == 'N') {
            params.emplace_back(std::nullopt);
            ++i;
            continue;
        }
        if (packed[i] != 'V') return false;
        const std::size_t colon = packed.find(':', i + 1);
        if (colon == std::string::npos || colon == i + 1 || colon - i > 12) return false;
        std::size_t len = 0;
        for (std::size_t k = i + 1; k < colon; ++k) {
            if (packed[k] < '0' || packed[k] > '9') return false;
            len = len * 10 + static_cast<std::size_t>(packed[k] - '0');
        }
        if (len > packed.size() - colon - 1) return false;
        params.emplace_back(packed.substr(colon + 1, len));
        i = colon + 1 + len;
    }
    return true;
}

bool PendingQueue::exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    error = "Register queue " + path_ + ": " + (msg ? msg : "failed");
    sqlite3_free(msg);
    return false;
}

bool PendingQueue::fail(std::string& error, const char* what) {
    error = "Register queue " + path_ + ": " + what + " failed: " + (db_ ? sqlite3_errmsg(db_) : "not open");
    return false;
}

}  // namespace xmca::reg
