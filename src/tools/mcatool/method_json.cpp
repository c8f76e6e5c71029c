#include "tools/mcatool/method_json.h"

#include <cmath>
#include <cstdio>

#include "tools/mcatool/commands.h"

namespace mcatool {

namespace {

std::string num(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string matrixJson(const xmca::method::Matrix3& m) {
    std::string s = "{";
    for (int n = 0; n < 3; ++n) {
        s += (n ? ", " : "") + jsonString(xmca::nuclide::data(static_cast<xmca::nuclide::Nuclide>(n)).name) + ": {";
        for (int w = 0; w < 3; ++w)
            s += (w ? ", " : "") + jsonString(xmca::method::windowName(w)) + ": " + num(m[w][n]);
        s += "}";
    }
    return s + "}";
}

}  // namespace

std::string methodJson(const xmca::method::Method& m) {
    xmca::method::Matrix3 u{};
    for (int w = 0; w < 3; ++w)
        for (int n = 0; n < 3; ++n) u[w][n] = m.response.u(w, n);
    std::string s = "{\"name\": " + jsonString(m.name) + ", \"version\": " + std::to_string(m.version) +
                    ", \"mass_kg\": " + num(m.nominalMassKg) + ", \"mass_range\": [" + num(m.massLoKg) + ", " +
                    num(m.massHiKg) + "], \"response\": " + matrixJson(m.response.value) +
                    ", \"response_u\": " + matrixJson(u) + ", \"cs134_assumed\": " + (m.cs134Assumed ? "true" : "false") +
                    ", \"k40_assumed\": " + (m.k40Assumed ? "true" : "false") + ", \"geometry\": " + jsonString(m.geometry) +
                    ", \"calibrated_utc\": " + jsonString(m.calibratedUtc) + ", \"standards\": [";
    for (std::size_t i = 0; i < m.standards.size(); ++i) {
        const auto& st = m.standards[i];
        s += (i ? ", " : "");
        s += "{\"nuclide\": " + jsonString(xmca::nuclide::data(st.nuclide).name) + ", \"file\": " + jsonString(st.file) +
             ", \"sha256\": " + jsonString(st.sha256) + ", \"certified_bq\": " + num(st.certifiedBq) +
             ", \"reference_date\": " + jsonString(st.referenceDate) + ", \"relative_u\": " + num(st.relU) +
             ", \"measured\": " + jsonString(st.measured) + ", \"decay_factor\": " + num(st.decayFactor) + "}";
    }
    return s + "]}";
}

std::string methodRefJson(const xmca::MethodRef& m) {
    std::string s = "{\"name\": " + jsonString(m.name) + ", \"version\": " + std::to_string(m.version);
    if (!m.calibratedUtc.empty()) s += ", \"calibrated_utc\": " + jsonString(m.calibratedUtc);
    if (!m.decayCorrectedTo.empty()) s += ", \"decay_corrected_to\": " + jsonString(m.decayCorrectedTo);
    return s + "}";
}

}  // namespace mcatool
