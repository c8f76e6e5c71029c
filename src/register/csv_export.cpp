#include "register/csv_export.h"

#include <cmath>
#include <cstdio>

namespace xmca::reg {

namespace {

std::string quoted(const std::string& v) {
    // Leading = + - @ are spreadsheet formulas: a tab-free apostrophe keeps them text.
    std::string t = v;
    if (!t.empty() && (t[0] == '=' || t[0] == '+' || t[0] == '@' || (t[0] == '-' && t.size() > 1 &&
                                                                          !(t[1] >= '0' && t[1] <= '9'))))
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

void figures(std::vector<std::string>& row, const Figures& f) {
    row.push_back(number(f.activity));
    row.push_back(number(f.u));
    row.push_back(number(f.decisionThreshold));
    row.push_back(number(f.detectionLimit));
}

}  // namespace

const std::vector<std::string>& csvColumns() {
    static const std::vector<std::string> cols = {
        "id", "uid", "created_utc", "installation", "operator", "sample_id", "product", "origin", "mass_kg",
        "nominal_mass_kg", "sampling_date", "sample_file", "sample_sha256", "background_file", "background_sha256",
        "sample_real_time_s", "sample_live_time_s", "background_real_time_s", "background_live_time_s",
        "cs_all_activity", "cs_all_u", "cs_all_decision_threshold", "cs_all_detection_limit",
        "cs134_activity", "cs134_u", "cs134_decision_threshold", "cs134_detection_limit",
        "cs137_activity", "cs137_u", "cs137_decision_threshold", "cs137_detection_limit",
        "k40_activity", "k40_u", "k40_decision_threshold", "k40_detection_limit",
        "lower_limit", "screening_level", "method", "gain_ok", "verdict", "program_version", "supersedes",
        "method_name", "method_version"};
    return cols;
}

std::string measurementsCsv(const std::vector<MeasurementRecord>& records) {
    std::string out = "\xEF\xBB\xBF";
    const auto& cols = csvColumns();
    for (std::size_t i = 0; i < cols.size(); ++i) out += (i ? "," : "") + cols[i];
    out += "\r\n";
    for (const auto& r : records) {
        std::vector<std::string> row;
        row.push_back(std::to_string(r.id));
        for (const std::string* t : {&r.uid, &r.createdUtc, &r.installation, &r.operatorName, &r.sampleId,
                                     &r.product, &r.origin})
            row.push_back(quoted(*t));
        row.push_back(number(r.massKg));
        row.push_back(number(r.nominalMassKg));
        for (const std::string* t : {&r.samplingDate, &r.sampleFile, &r.sampleSha256, &r.backgroundFile,
                                     &r.backgroundSha256})
            row.push_back(quoted(*t));
        row.push_back(number(r.sampleRealTimeS));
        row.push_back(number(r.sampleLiveTimeS));
        row.push_back(number(r.backgroundRealTimeS));
        row.push_back(number(r.backgroundLiveTimeS));
        figures(row, r.csAll);
        figures(row, r.cs134);
        figures(row, r.cs137);
        figures(row, r.k40);
        row.push_back(number(r.lowerLimit));
        row.push_back(number(r.screeningLevel));
        row.push_back(quoted(r.method));
        row.push_back(r.gainOk ? (*r.gainOk ? "1" : "0") : "");
        row.push_back(quoted(r.verdict));
        row.push_back(quoted(r.programVersion));
        row.push_back(r.supersedes ? std::to_string(*r.supersedes) : "");
        row.push_back(quoted(r.methodName));
        row.push_back(r.methodVersion ? std::to_string(*r.methodVersion) : "");
        for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "," : "") + row[i];
        out += "\r\n";
    }
    return out;
}

}  // namespace xmca::reg
