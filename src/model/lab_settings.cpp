#include "model/lab_settings.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/safe_write.h"

namespace xmca {

namespace {

std::string baseDir(const char* xdgVar, const char* fallback) {
    const char* xdg = std::getenv(xdgVar);
    if (xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/" + fallback;
    return ".";
}

// Values are one line: line breaks are kept as "\n" escapes.
std::string escape(const std::string& v) {
    std::string out;
    for (char c : v) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') continue;
        else out += c;
    }
    return out;
}

std::string unescape(const std::string& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            ++i;
            out += v[i] == 'n' ? '\n' : v[i];
        } else {
            out += v[i];
        }
    }
    return out;
}

std::optional<double> positive(const std::string& v) {
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (v.empty() || !end || *end != '\0' || !std::isfinite(d) || d <= 0) return std::nullopt;
    return d;
}

std::string shortest(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

}  // namespace

std::string defaultLabSettingsPath() { return baseDir("XDG_CONFIG_HOME", ".config") + "/xmca/laboratory.conf"; }

LabSettings loadLabSettings(const std::string& path) {
    LabSettings s;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const std::string value = unescape(line.substr(eq + 1));
        if (key == "laboratory_name") s.laboratoryName = value;
        else if (key == "laboratory_address") s.laboratoryAddress = value;
        else if (key == "installation") s.installation = value;
        else if (key == "nominal_mass_kg") s.nominalMassKg = positive(value);
        else if (key == "data_folder") s.dataFolder = value;
        else if (key == "background_max_age_days") {
            if (const auto d = positive(value)) s.backgroundMaxAgeDays = static_cast<int>(std::min(*d, 3650.0));
        } else if (key == "register") s.registerLocation = value;
        else if (key == "operator") s.operatorName = value;
        else if (key == "background") s.backgroundFile = value;
        else if (key == "qc_baseline_runs") {
            if (const auto n = positive(value)) s.qcBaselineRuns = static_cast<int>(std::clamp(*n, 2.0, 100.0));
        } else if (key == "qc_require_daily") s.qcRequireDaily = value == "1";
        else if (key == "qc_min_net_counts") {
            if (const auto n = positive(value)) s.qcMinNetCounts = std::clamp(*n, 100.0, 1e9);
        } else if (key == "qc_nuclide") s.qcNuclide = value;
        else if (key == "qc_half_life_years") {
            if (const auto y = positive(value)) s.qcHalfLifeYears = *y;
        } else if (key == "qc_detector") s.qcDetector = value;
        else if (key == "default_method") s.defaultMethod = value;
        else if (key == "decay_to_sampling_date") s.decayToSamplingDate = value == "1";
    }
    return s;
}

bool saveLabSettings(const LabSettings& s, const std::string& path) {
    std::ostringstream out;
    out << "# xmca laboratory settings\n";
    out << "laboratory_name=" << escape(s.laboratoryName) << '\n';
    out << "laboratory_address=" << escape(s.laboratoryAddress) << '\n';
    out << "installation=" << escape(s.installation) << '\n';
    out << "nominal_mass_kg=" << (s.nominalMassKg ? shortest(*s.nominalMassKg) : std::string()) << '\n';
    out << "data_folder=" << escape(s.dataFolder) << '\n';
    out << "background_max_age_days=" << s.backgroundMaxAgeDays << '\n';
    out << "register=" << escape(s.registerLocation) << '\n';
    out << "operator=" << escape(s.operatorName) << '\n';
    out << "background=" << escape(s.backgroundFile) << '\n';
    out << "qc_baseline_runs=" << s.qcBaselineRuns << '\n';
    out << "qc_require_daily=" << (s.qcRequireDaily ? 1 : 0) << '\n';
    out << "qc_min_net_counts=" << shortest(s.qcMinNetCounts) << '\n';
    out << "qc_nuclide=" << escape(s.qcNuclide) << '\n';
    out << "qc_half_life_years=" << shortest(s.qcHalfLifeYears) << '\n';
    out << "qc_detector=" << escape(s.qcDetector) << '\n';
    out << "default_method=" << s.defaultMethod << '\n';
    out << "decay_to_sampling_date=" << (s.decayToSamplingDate ? 1 : 0) << '\n';
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return writeWholeFile(path, out.str()) == WriteStatus::Ok;
}

std::string installationName(const LabSettings& s) {
    if (!s.installation.empty()) return s.installation;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0]) return host;
    return "xmca";
}

std::string dataFolder(const LabSettings& s) {
    if (!s.dataFolder.empty()) return s.dataFolder;
    return baseDir("XDG_DATA_HOME", ".local/share") + "/xmca/spectra";
}

}  // namespace xmca
