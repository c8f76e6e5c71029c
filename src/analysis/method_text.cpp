#include "analysis/method_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace xmca::method {

namespace {

std::string num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

bool toNumber(const std::string& t, double& out) {
    if (t.empty()) return false;
    char* end = nullptr;
    out = std::strtod(t.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

// Fields of a standard are separated by '\t'; text fields cannot hold tabs or newlines.
std::string clean(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return s;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

std::string matrixText(const Matrix3& m) {
    std::string t;
    for (int w = 0; w < 3; ++w)
        for (int n = 0; n < 3; ++n) t += (w || n ? " " : "") + num(m[w][n]);
    return t;
}

bool readNumbers(const std::string& t, double* out, int count) {
    std::istringstream in(t);
    std::string word;
    int i = 0;
    while (in >> word) {
        if (i >= count || !toNumber(word, out[i])) return false;
        ++i;
    }
    return i == count;
}

}  // namespace

std::string toText(const Method& m) {
    std::string t;
    auto line = [&](const char* key, const std::string& v) { t += std::string(key) + "=" + clean(v) + "\n"; };
    // A standard's fields are cleaned one by one: the tabs between them stay.
    auto fields = [&](const char* key, const std::string& v) { t += std::string(key) + "=" + v + "\n"; };
    line("name", m.name);
    line("version", std::to_string(m.version));
    line("geometry", m.geometry);
    line("nominal_mass_kg", num(m.nominalMassKg));
    line("mass_range_kg", num(m.massLoKg) + " " + num(m.massHiKg));
    line("background_file", m.backgroundFile);
    line("background_sha256", m.backgroundSha256);
    line("calibrated_utc", m.calibratedUtc);
    line("cs134_assumed", m.cs134Assumed ? "1" : "0");
    line("k40_assumed", m.k40Assumed ? "1" : "0");
    line("response", matrixText(m.response.value));
    line("response_counting_u", matrixText(m.response.countingU));
    line("activity_rel_u", num(m.response.activityRelU[0]) + " " + num(m.response.activityRelU[1]) + " " +
                               num(m.response.activityRelU[2]));
    for (const Standard& s : m.standards)
        fields("standard", std::string(nuclide::data(s.nuclide).name) + "\t" + clean(s.file) + "\t" + clean(s.sha256) +
                             "\t" + num(s.certifiedBq) + "\t" + clean(s.referenceDate) + "\t" + num(s.relU) + "\t" +
                             clean(s.measured) + "\t" + num(s.decayFactor));
    return t;
}

std::optional<Method> fromText(const std::string& text) {
    Method m;
    std::map<std::string, std::string> kv;
    std::vector<std::string> standards;
    for (const std::string& l : split(text, '\n')) {
        if (l.empty()) continue;
        const auto eq = l.find('=');
        if (eq == std::string::npos) return std::nullopt;
        const std::string key = l.substr(0, eq), value = l.substr(eq + 1);
        if (key == "standard") standards.push_back(value);
        else kv[key] = value;
    }
    for (const char* key : {"name", "version", "nominal_mass_kg", "mass_range_kg", "response", "response_counting_u",
                            "activity_rel_u"})
        if (!kv.count(key)) return std::nullopt;
    m.name = kv["name"];
    double v = 0;
    if (!toNumber(kv["version"], v) || v < 0 || v != std::floor(v)) return std::nullopt;
    m.version = static_cast<int>(v);
    m.geometry = kv["geometry"];
    if (!toNumber(kv["nominal_mass_kg"], m.nominalMassKg)) return std::nullopt;
    double range[2];
    if (!readNumbers(kv["mass_range_kg"], range, 2)) return std::nullopt;
    m.massLoKg = range[0];
    m.massHiKg = range[1];
    m.backgroundFile = kv["background_file"];
    m.backgroundSha256 = kv["background_sha256"];
    m.calibratedUtc = kv["calibrated_utc"];
    m.cs134Assumed = kv["cs134_assumed"] == "1";
    m.k40Assumed = kv["k40_assumed"] == "1";
    double r[9], u[9], a[3];
    if (!readNumbers(kv["response"], r, 9) || !readNumbers(kv["response_counting_u"], u, 9) ||
        !readNumbers(kv["activity_rel_u"], a, 3))
        return std::nullopt;
    for (int w = 0; w < 3; ++w)
        for (int n = 0; n < 3; ++n) {
            m.response.value[w][n] = r[3 * w + n];
            m.response.countingU[w][n] = u[3 * w + n];
        }
    for (int n = 0; n < 3; ++n) m.response.activityRelU[n] = a[n];
    for (const std::string& s : standards) {
        const auto f = split(s, '\t');
        if (f.size() != 8) return std::nullopt;
        Standard st;
        bool known = false;
        for (int n = 0; n < nuclide::kNuclideCount; ++n)
            if (f[0] == nuclide::data(static_cast<Nuclide>(n)).name) {
                st.nuclide = static_cast<Nuclide>(n);
                known = true;
            }
        if (!known || !toNumber(f[3], st.certifiedBq) || !toNumber(f[5], st.relU) || !toNumber(f[7], st.decayFactor))
            return std::nullopt;
        st.file = f[1];
        st.sha256 = f[2];
        st.referenceDate = f[4];
        st.measured = f[6];
        m.standards.push_back(st);
    }
    return m;
}

}  // namespace xmca::method
