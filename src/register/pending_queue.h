// The local queue of records that wait for the register server: a small SQLite
// file holding, in order, each record's insert parameters and the server they
// are meant for. Sending is idempotent on the server (by the record's uid), so a
// row is removed only after the server has it, and a resend is harmless.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace xmca::reg {

// One value of an insert, as text; nullopt is SQL NULL.
using SqlParams = std::vector<std::optional<std::string>>;

struct PendingRecord {
    std::int64_t seq = 0;  // the queue's order
    std::string kind;      // "measurement" or "qc_run"
    std::string uid;
    SqlParams params;
    std::string queuedUtc;
    std::string setAsideUtc;  // set when the server refused the record for good
    std::string reason;       // the server's words then
};

class PendingQueue {
public:
    PendingQueue() = default;
    ~PendingQueue();
    PendingQueue(const PendingQueue&) = delete;
    PendingQueue& operator=(const PendingQueue&) = delete;

    // Opens or creates the queue file (and its folder).
    bool open(const std::string& path, std::string& error);
    const std::string& path() const { return path_; }

    // Adds a record for the server named by target; durable when this returns true.
    bool push(const std::string& target, const std::string& kind, const std::string& uid, const SqlParams& params,
              std::string& error);
    // The oldest waiting records for target, at most limit (not those set aside).
    bool peek(const std::string& target, int limit, std::vector<PendingRecord>& out, std::string& error);
    bool remove(std::int64_t seq, std::string& error);
    // Keeps a record the server refused for good out of the way of those after it.
    bool setAside(std::int64_t seq, const std::string& reason, std::string& error);
    // How many records wait for target (set aside: refused); -1 when the queue cannot be read.
    std::int64_t count(const std::string& target);
    std::int64_t setAsideCount(const std::string& target);
    // Every record for target, waiting and set aside, oldest first.
    bool entries(const std::string& target, std::vector<PendingRecord>& out, std::string& error);
    // Moves the records kept under the key from to the key to (an address spelt another way).
    bool rekey(const std::string& from, const std::string& to, std::string& error);
    // The keys records are kept under.
    bool targets(std::vector<std::string>& out, std::string& error);

    // Packing of the parameter list into one text value (length-prefixed, NULL-aware).
    static std::string pack(const SqlParams& params);
    static bool unpack(const std::string& packed, SqlParams& params);

private:
    bool select(const char* sql, const std::string& target, int limit, std::vector<PendingRecord>& out,
                std::string& error);
    bool exec(const char* sql, std::string& error);
    bool fail(std::string& error, const char* what);

    sqlite3* db_ = nullptr;
    std::string path_;
};

}  // namespace xmca::reg
