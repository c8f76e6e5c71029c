#include "model/screening_record.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "model/qc_log.h"
#include "model/screening.h"

#ifndef XMCA_VERSION
#define XMCA_VERSION "unknown"
#endif

namespace xmca {

namespace {

std::optional<double> finite(double v) { return std::isfinite(v) ? std::optional<double>(v) : std::nullopt; }

// A limit that could not be formed (NaN) is stored as none.
reg::Figures limitsFigures(const limits::WindowLimits& l) {
    return {finite(l.activity), finite(l.uncertainty), finite(l.decisionThreshold), finite(l.detectionLimit)};
}

reg::Figures rowFigures(const activity::Figure& f) {
    return {static_cast<double>(f.bqPerKg), static_cast<double>(f.sigma), std::nullopt, std::nullopt};
}

// Stored whole, so the files can be found again from any working folder.
std::string absolutePath(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

}  // namespace

const char* programVersion() { return XMCA_VERSION; }

QcStanding qcStanding(reg::Register* r, const LabSettings& lab) {
    QcStanding out;
    out.reason = qcLockoutReason(r, lab);
    if (!r) return out;
    reg::QcRunFilter filter;
    filter.installation = qcDetectorInForce(lab, defaultLabSettingsPath());  // the QC record's key, as the lock-out reads it
    filter.limit = 1;
    std::vector<reg::QcRun> runs;
    std::string error;
    if (!r->listQcRuns(filter, runs, error)) {
        out.reason = kQcUnknown;
        return out;
    }
    if (!runs.empty()) {
        out.runId = runs.front().id;
        out.status = runs.front().status;
    }
    return out;
}

void setQcStanding(reg::MeasurementRecord& r, const QcStanding& qc) {
    r.qcStatus = qc.status;
    r.qcRunId = qc.runId;
}

std::string correctionProblem(const reg::MeasurementRecord& r) {
    if (!r.supersedes) return {};
    bool blank = true;
    for (char c : r.correctionReason) blank = blank && (c == ' ' || c == '\t' || c == '\n' || c == '\r');
    if (blank) return "a correction needs its reason";
    return {};
}

std::vector<std::string> changedInputs(const reg::MeasurementRecord& original, const reg::MeasurementRecord& now) {
    std::vector<std::string> out;
    auto text = [&](const char* name, const std::string& a, const std::string& b) {
        if (a != b) out.push_back(name);
    };
    auto real = [&](const char* name, const std::optional<double>& a, const std::optional<double>& b) {
        if (a.has_value() != b.has_value() || (a && std::abs(*a - *b) > 1e-9 * std::max(1.0, std::abs(*a))))
            out.push_back(name);
    };
    text("sample ID", original.sampleId, now.sampleId);
    text("product", original.product, now.product);
    text("origin", original.origin, now.origin);
    real("mass", original.massKg, now.massKg);
    real("nominal mass", original.nominalMassKg, now.nominalMassKg);
    text("sampling date", original.samplingDate, now.samplingDate);
    text("operator", original.operatorName, now.operatorName);
    text("sample spectrum", original.sampleSha256, now.sampleSha256);
    text("background spectrum", original.backgroundSha256, now.backgroundSha256);
    real("screening level", original.screeningLevel, now.screeningLevel);
    real("lower limit", original.lowerLimit, now.lowerLimit);
    return out;
}

std::vector<std::string> changedFigures(const reg::MeasurementRecord& original, const reg::MeasurementRecord& now) {
    std::vector<std::string> out;
    // Figures as printed (one decimal): a change below that is no change to a reader.
    auto differ = [](const std::optional<double>& a, const std::optional<double>& b) {
        if (a.has_value() != b.has_value()) return true;
        return a && std::lround(*a * 10) != std::lround(*b * 10);
    };
    const std::pair<const char*, const reg::Figures*> rows[][2] = {
        {{"Cs-All", &original.csAll}, {"Cs-All", &now.csAll}},
        {{"Cs-134", &original.cs134}, {"Cs-134", &now.cs134}},
        {{"Cs-137", &original.cs137}, {"Cs-137", &now.cs137}},
        {{"K-40", &original.k40}, {"K-40", &now.k40}}};
    for (const auto& row : rows) {
        const reg::Figures& a = *row[0].second;
        const reg::Figures& b = *row[1].second;
        if (differ(a.activity, b.activity) || differ(a.u, b.u) || differ(a.decisionThreshold, b.decisionThreshold) ||
            differ(a.detectionLimit, b.detectionLimit))
            out.push_back(row[0].first);
    }
    if (differ(original.achievedLowerLimit, now.achievedLowerLimit)) out.push_back("lower limit reached");
    if (original.verdict != now.verdict) out.push_back("verdict");
    return out;
}

std::string recordVerdict(const ActivityResult& res) { return verdictText(res); }

reg::MeasurementRecord measurementRecord(const ScreeningOutcome& outcome, const std::string& samplePath,
                                         const std::string& backgroundPath, const SampleData& sample,
                                         const ScreeningOptions& options, const std::string& installation,
                                         const std::string& version) {
    const ActivityResult& res = outcome.result;
    const ScreeningResult& sc = res.screening;
    reg::MeasurementRecord r;
    r.installation = installation;
    r.operatorName = sample.operatorName;
    r.sampleId = sample.sampleId;
    r.product = sample.product;
    r.origin = sample.origin;
    r.massKg = sample.massKg;
    if (outcome.massFactor) r.nominalMassKg = options.nominalMassKg;
    r.samplingDate = sample.samplingDate;
    r.sampleFile = absolutePath(samplePath);
    r.sampleSha256 = outcome.sampleSha256;
    r.backgroundFile = absolutePath(backgroundPath);
    r.backgroundSha256 = outcome.backgroundSha256;
    r.sampleRealTimeS = outcome.sample.realTimeS;
    r.sampleLiveTimeS = outcome.sample.liveTimeS;
    r.backgroundRealTimeS = outcome.background.realTimeS;
    r.backgroundLiveTimeS = outcome.background.liveTimeS;
    if (sc.valid) {
        r.csAll = limitsFigures(sc.csTotal);
        r.cs134 = limitsFigures(sc.cs134);
        r.lowerLimit = sc.lowerLimit;
        r.screeningLevel = sc.level;
        r.gainOk = sc.gain.ok;
        r.achievedLowerLimit = sc.csTotal.lowerLimitOfMeasurement;
    } else {
        r.csAll = rowFigures(res.activity[kRowCsAll]);
        r.cs134 = rowFigures(res.activity[kRowCs134]);
        r.lowerLimit = options.settings.lowerLimit;
        r.screeningLevel = options.settings.level;
    }
    r.cs137 = rowFigures(res.activity[kRowCs137]);
    r.k40 = rowFigures(res.activity[kRowK40]);
    r.method = methodText(res);
    r.methodName = res.method.name;
    r.methodVersion = res.method.version;
    r.verdict = recordVerdict(res);
    r.programVersion = version;
    r.simulated = outcome.sample.simulated || outcome.background.simulated;
    r.measurementStart = outcome.sample.startIso;
    r.measurementEnd = outcome.sample.endIso;
    r.backgroundStart = outcome.background.startIso;
    return r;
}

}  // namespace xmca
