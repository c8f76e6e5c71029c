// The measurement record's columns, in one table: the name each backend and the
// CSV use, the kind of value, and how it is read from and put into a record.
// The SQLite and server backends derive their column lists, binds and reads from
// it, and the CSV its header and cells; a column is added here (and in a schema
// migration of each backend) and nowhere else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "register/register.h"

namespace xmca::reg {

enum class ColumnKind {
    Text,     // never NULL: empty when not given
    Real,     // NULL when not given
    Integer,  // NULL when not given
    Boolean,  // NULL when not given
};

// One value: monostate is NULL; Text holds std::string, Real double, Integer
// std::int64_t and Boolean bool.
using ColumnValue = std::variant<std::monostate, std::string, double, std::int64_t, bool>;

struct MeasurementColumn {
    const char* name;
    ColumnKind kind;
    ColumnValue (*get)(const MeasurementRecord&);
    void (*set)(MeasurementRecord&, const ColumnValue&);
    // Given by the register when the record is added, not by the caller (id, chain hash).
    bool assigned = false;
    // Part of the content the chain hash covers.
    bool hashed = true;
    // Covered only when it holds a value (not NULL, not empty): a column added after
    // the chain began, so that the records written before it keep their hashes.
    bool hashedWhenSet = false;
};

// Every column, in the order of the CSV and of each backend's lists; "id" first.
const std::vector<MeasurementColumn>& measurementColumns();

// The names joined with ", " (skipping the assigned columns when written is set).
std::string measurementColumnList(bool written = false);

}  // namespace xmca::reg
