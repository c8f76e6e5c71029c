#include "register/csv_export.h"

#include "register/measurement_columns.h"

#include <cmath>
#include <cstdio>

namespace xmca::reg {

namespace {

std::string quoted(const std::string& v) {
    // A text cell starting = + - @, a tab or a carriage return is run as a formula by
    // spreadsheet programs: a leading apostrophe keeps it text. Figures are numbers
    // and never pass through here, so a negative activity stays a number.
    std::string t = v;
    if (!t.empty() && (t[0] == '=' || t[0] == '+' || t[0] == '-' || t[0] == '@' || t[0] == '\t' || t[0] == '\r'))
        t.insert(t.begin(), '\'');
    if (t.find_first_of(",\"\r\n") == std::string::npos) return t;
    std::string out = "\"";
    for (char c : t) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string number(const std::optional<double>& v) {
    if (!v || !std::isfinite(*v)) return {};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", *v);
    return buf;
}

std::string cell(const ColumnValue& v) {
    if (const auto* t = std::get_if<std::string>(&v)) return quoted(*t);
    if (const auto* d = std::get_if<double>(&v)) return number(*d);
    if (const auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "1" : "0";
    return {};
}

}  // namespace

const std::vector<std::string>& csvColumns() {
    static const std::vector<std::string> cols = [] {
        std::vector<std::string> v;
        for (const auto& c : measurementColumns()) v.push_back(c.name);
        return v;
    }();
    return cols;
}

std::string csvHead() {
    std::string out = "\xEF\xBB\xBF";
    const auto& cols = csvColumns();
    for (std::size_t i = 0; i < cols.size(); ++i) out += (i ? "," : "") + cols[i];
    return out + "\r\n";
}

std::string csvLine(const MeasurementRecord& r) {
    std::string out;
    bool first = true;
    for (const auto& c : measurementColumns()) {
        if (!first) out += ',';
        first = false;
        out += cell(c.get(r));
    }
    return out + "\r\n";
}

std::string measurementsCsv(const std::vector<MeasurementRecord>& records) {
    std::string out = csvHead();
    for (const auto& r : records) out += csvLine(r);
    return out;
}

}  // namespace xmca::reg
