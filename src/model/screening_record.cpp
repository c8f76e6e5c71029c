#include "model/screening_record.h"

#include <cmath>
#include <filesystem>

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
    return r;
}

}  // namespace xmca
