// Copies a register (a local file) into a server register: every measurement, QC
// baseline and QC run, oldest first, keeping each record's uid and created time.
// The server recognises a record it already holds by its uid, so copying twice
// copies nothing twice. Links (a correction's supersedes, a run's baseline) are
// carried over to the ids the server gave.
#pragma once

#include <cstdint>
#include <string>

#include "register/postgres_register.h"

namespace xmca::reg {

struct CopyCounts {
    std::int64_t copied = 0;   // new on the server
    std::int64_t already = 0;  // held there before (same uid)
};

struct CopyReport {
    CopyCounts measurements, qcBaselines, qcRuns;
};

// False with a message at the first record that cannot be copied; what was copied
// before it stays (a rerun carries on from there).
bool copyRegister(Register& from, ServerRegister& to, CopyReport& report, std::string& error);

}  // namespace xmca::reg
