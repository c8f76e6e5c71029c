// The register on a laboratory's PostgreSQL server (libpq), shared by every
// installation. Same records, schema version and append-only rule as the local
// file. When the server does not answer, new measurements and QC runs wait in a
// local queue and are sent, oldest first and once each, when it answers again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "register/register.h"

namespace xmca::reg {

// True for every libpq spelling of a server: "postgresql://..." and "postgres://..."
// in any case, and the keyword/value form ("host=... dbname=...").
bool isServerLocation(const std::string& location);

// False with a message (which never repeats the address) when a server location
// cannot be used as given: it carries a password (refused, so that none is kept in
// clear in settings or on a command line), does not parse, has a port that is no
// number, an unknown sslmode, or names a connection service nobody defined.
bool checkServerLocation(const std::string& uri, std::string& error);

// What identifies the server whatever the spelling of its address (host, port,
// database and user, libpq's defaults filled in): the key of its queued records.
std::string serverIdentity(const std::string& uri);

// Where records wait while the server does not answer: $XMCA_REGISTER_QUEUE when
// set, else register-queue.sqlite beside the default register file.
std::string defaultQueueLocation();

struct ServerOptions {
    // Empty: no queue; a write fails when the server does not answer (used to copy a register).
    std::string queuePath = defaultQueueLocation();
    // How long the server may stay silent (connecting, or in a statement) before a
    // call gives up; 0: $XMCA_REGISTER_TIMEOUT_MS, else 15 s.
    int timeoutMs = 0;
};

class ServerRegister : public Register {
public:
    // Adds a record keeping its uid and created time; inserted is false when the
    // server already held a record with that uid (id then names that record).
    virtual bool copyMeasurement(MeasurementRecord& rec, bool& inserted, std::string& error) = 0;
    virtual bool copyQcBaseline(QcBaseline& baseline, bool& inserted, std::string& error) = 0;
    virtual bool copyQcRun(QcRun& run, bool& inserted, std::string& error) = 0;
    // The schema version found on the server when it was last reached (0: none yet).
    virtual int serverSchemaVersion() const = 0;
};

// Connects to the server at uri (any libpq connection URI without a password:
// the password comes from ~/.pgpass or PGPASSWORD). The schema is brought to
// kSchemaVersion once, in a transaction, under an advisory lock. nullptr and a
// message when the URI carries a password, the server refuses the role, or its
// schema is newer than this program's. A server that does not answer is no
// reason to fail when a queue is given: the register opens and writes queue.
std::unique_ptr<ServerRegister> openServerRegister(const std::string& uri, const ServerOptions& options,
                                                   std::string& error);

}  // namespace xmca::reg
