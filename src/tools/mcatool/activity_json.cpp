#include "tools/mcatool/activity_json.h"

#include <cmath>
#include <cstdio>

#include "model/screening.h"
#include "tools/mcatool/commands.h"
#include "tools/mcatool/method_json.h"

namespace mcatool {

namespace {

std::string num(const char* f, double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

std::string optNum(const char* f, const std::optional<double>& v) { return v ? num(f, *v) : "null"; }

std::string limitsJson(const xmca::limits::WindowLimits& l, bool withLowerLimit) {
    std::string s = "{\"activity\": " + num("%.2f", l.activity) + ", \"uncertainty\": " + num("%.2f", l.uncertainty) +
                    ", \"decision_threshold\": " + num("%.2f", l.decisionThreshold) +
                    ", \"detection_limit\": " + num("%.2f", l.detectionLimit);
    if (withLowerLimit) s += ", \"lower_limit_of_measurement\": " + num("%.2f", l.lowerLimitOfMeasurement);
    return s + "}";
}

}  // namespace

std::string activityJson(const xmca::ActivityResult& res) {
    // Figures with one decimal, exactly as the activity box prints them.
    std::string s = "{\"counting_time_s\": " + num("%.1f", res.countingTime);
    s += ", \"windows\": [";
    for (std::size_t w = 0; w < res.windows.size(); ++w) {
        const xmca::ActivityWindow& aw = res.windows[w];
        s += (w ? ", " : "");
        s += "{\"roi\": " + std::to_string(aw.roi) + ", \"label\": " + jsonString(aw.label) +
             ", \"start\": " + std::to_string(aw.start) + ", \"end\": " + std::to_string(aw.end) +
             ", \"gross\": " + std::to_string(aw.gross) + ", \"net\": " + std::to_string(aw.net) +
             ", \"net_exact\": " + num("%.2f", aw.netExact) + "}";
    }
    s += "], \"activity\": {";
    for (std::size_t r = 0; r < res.activity.size(); ++r) {
        s += (r ? ", " : "");
        s += jsonString(xmca::kActivityRowLabels[r]) + ": {\"bq_per_kg\": " + num("%.1f", res.activity[r].bqPerKg) +
             ", \"sigma\": " + num("%.1f", res.activity[r].sigma) + "}";
    }
    s += "}, \"method\": " + methodRefJson(res.method);
    s += ", \"screening\": ";
    const xmca::ScreeningResult& sc = res.screening;
    if (!sc.valid) return s + "null}";
    s += "{\"level\": " + num("%.1f", sc.level) + ", \"lower_limit\": " + num("%.1f", sc.lowerLimit) +
         ", \"k\": " + num("%.3f", sc.k) + ", \"cs_total\": " + limitsJson(sc.csTotal, true) +
         ", \"cs134\": " + limitsJson(sc.cs134, false) +
         ", \"verdict\": " + jsonString(xmca::verdictText(res)) +
         ", \"count_time_needed_s\": " +
         optNum("%.0f", sc.countTimeNeeded && sc.withheld.empty() ? std::optional<double>(std::ceil(*sc.countTimeNeeded))
                                                                  : std::nullopt) +
         ", \"gain_check\": {\"ok\": " + (sc.gain.ok ? "true" : "false") +
         ", \"k40_channel\": " + optNum("%.1f", sc.gain.k40Channel) +
         ", \"cs137_channel\": " + optNum("%.1f", sc.gain.cs137Channel) +
         ", \"background_k40\": " + jsonString(sc.gain.backgroundK40) + ", \"sample_k40\": " +
         jsonString(sc.gain.sampleK40) + ", \"cs137\": " + jsonString(sc.gain.cs137) +
         ", \"sample_k40_channel\": " + optNum("%.1f", sc.gain.sampleK40Channel) +
         ", \"unexplained_peak_kev\": " + optNum("%.1f", sc.gain.unexplainedKeV) +
         ", \"background_caesium_bq_per_kg\": " + optNum("%.2f", sc.gain.backgroundCaesium) + "}}";
    return s + "}";
}

}  // namespace mcatool
