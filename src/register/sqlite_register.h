// The register in one SQLite file: WAL journal, foreign keys, a busy timeout and
// retried write transactions, so that two programs can record at once.
#pragma once

#include <memory>
#include <string>

#include "register/register.h"

struct sqlite3;

namespace xmca::reg {

// Opens (or, with create, creates) the file and brings its schema to kSchemaVersion.
// nullptr and a message when the file is missing (without create), damaged, not a
// register, or from a newer program.
std::unique_ptr<Register> openSqliteRegister(const std::string& path, std::string& error, bool create = true);

}  // namespace xmca::reg
