// Measurements as CSV for spreadsheet programs: UTF-8 with a byte-order mark (so
// Japanese names are read as such), CRLF line ends, fields quoted where needed.
#pragma once

#include <string>
#include <vector>

#include "register/register.h"

namespace xmca::reg {

// The header line's column names, in order (the register's field names).
const std::vector<std::string>& csvColumns();

// BOM, header line and one line per record.
std::string measurementsCsv(const std::vector<MeasurementRecord>& records);

// The same in pieces, to write a register of any size a record at a time: the BOM
// and header line, then one line (with its CRLF) per record.
std::string csvHead();
std::string csvLine(const MeasurementRecord& record);

}  // namespace xmca::reg
