#include "tools/mcatool/register_json.h"

#include <cmath>
#include <cstdio>

#include "model/lab_settings.h"
#include "tools/mcatool/commands.h"

namespace mcatool {

namespace {

std::string num(const std::optional<double>& v, const char* f = "%.2f") {
    if (!v || !std::isfinite(*v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, f, *v);
    return buf;
}

std::string figuresJson(const xmca::reg::Figures& f) {
    return "{\"activity\": " + num(f.activity) + ", \"uncertainty\": " + num(f.u) +
           ", \"decision_threshold\": " + num(f.decisionThreshold) +
           ", \"detection_limit\": " + num(f.detectionLimit) + "}";
}

std::string field(const char* key, const std::string& value) { return std::string("\"") + key + "\": " + value; }

}  // namespace

std::string recordJson(const xmca::reg::MeasurementRecord& r) {
    std::string s = "{" + field("id", std::to_string(r.id));
    auto text = [&](const char* k, const std::string& v) { s += ", " + field(k, jsonString(v)); };
    auto real = [&](const char* k, const std::optional<double>& v, const char* f) { s += ", " + field(k, num(v, f)); };
    text("uid", r.uid);
    text("created_utc", r.createdUtc);
    text("installation", r.installation);
    text("operator", r.operatorName);
    text("sample_id", r.sampleId);
    text("product", r.product);
    text("origin", r.origin);
    real("mass_kg", r.massKg, "%.6g");
    real("nominal_mass_kg", r.nominalMassKg, "%.6g");
    text("sampling_date", r.samplingDate);
    text("sample_file", r.sampleFile);
    text("sample_sha256", r.sampleSha256);
    text("background_file", r.backgroundFile);
    text("background_sha256", r.backgroundSha256);
    real("sample_real_time_s", r.sampleRealTimeS, "%.1f");
    real("sample_live_time_s", r.sampleLiveTimeS, "%.1f");
    real("background_real_time_s", r.backgroundRealTimeS, "%.1f");
    real("background_live_time_s", r.backgroundLiveTimeS, "%.1f");
    s += ", \"screening\": {" + field("level", num(r.screeningLevel, "%.1f")) + ", " +
         field("lower_limit", num(r.lowerLimit, "%.1f")) + ", " + field("cs_total", figuresJson(r.csAll)) + ", " +
         field("cs134", figuresJson(r.cs134)) + ", " + field("cs137", figuresJson(r.cs137)) + ", " +
         field("k40", figuresJson(r.k40)) + ", " + field("verdict", jsonString(r.verdict)) + ", " +
         field("gain_check", std::string("{\"ok\": ") + (r.gainOk ? (*r.gainOk ? "true" : "false") : "null") + "}") +
         "}";
    text("method", r.method);
    text("method_name", r.methodName);
    s += ", " + field("method_version", r.methodVersion ? std::to_string(*r.methodVersion) : "null");
    text("program_version", r.programVersion);
    s += ", " + field("supersedes", r.supersedes ? std::to_string(*r.supersedes) : "null");
    text("correction_reason", r.correctionReason);
    s += ", " + field("simulated", r.simulated ? "true" : "false");
    real("achieved_lower_limit", r.achievedLowerLimit, "%.2f");
    text("qc_status", r.qcStatus);
    s += ", " + field("qc_run_id", r.qcRunId ? std::to_string(*r.qcRunId) : "null");
    text("measurement_start", r.measurementStart);
    text("measurement_end", r.measurementEnd);
    text("background_start", r.backgroundStart);
    return s + "}";
}

bool isCalendarDate(const std::string& d) {
    if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (d[i] < '0' || d[i] > '9') return false;
    const int y = std::stoi(d.substr(0, 4));
    const int m = std::stoi(d.substr(5, 2));
    const int day = std::stoi(d.substr(8, 2));
    if (m < 1 || m > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return day <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

std::string registerLocation(std::vector<std::string>& args, bool& bad) {
    bad = false;
    std::string location;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--register") continue;
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            bad = true;
            return {};
        }
        location = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    if (!location.empty()) return location;
    const xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    return lab.registerLocation.empty() ? xmca::reg::defaultRegisterLocation() : lab.registerLocation;
}

}  // namespace mcatool
