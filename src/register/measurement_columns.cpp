#include "register/measurement_columns.h"

namespace xmca::reg {

namespace {

using R = MeasurementRecord;

template <std::string R::*F>
MeasurementColumn text(const char* name) {
    return {name, ColumnKind::Text, [](const R& r) { return ColumnValue(r.*F); },
            [](R& r, const ColumnValue& v) {
                const auto* s = std::get_if<std::string>(&v);
                r.*F = s ? *s : std::string();
            }};
}

template <std::optional<double> R::*F>
MeasurementColumn real(const char* name) {
    return {name, ColumnKind::Real, [](const R& r) { return (r.*F) ? ColumnValue(*(r.*F)) : ColumnValue(); },
            [](R& r, const ColumnValue& v) {
                const auto* d = std::get_if<double>(&v);
                r.*F = d ? std::optional<double>(*d) : std::nullopt;
            }};
}

template <Figures R::*G, std::optional<double> Figures::*F>
MeasurementColumn figure(const char* name) {
    return {name, ColumnKind::Real,
            [](const R& r) { return ((r.*G).*F) ? ColumnValue(*((r.*G).*F)) : ColumnValue(); },
            [](R& r, const ColumnValue& v) {
                const auto* d = std::get_if<double>(&v);
                (r.*G).*F = d ? std::optional<double>(*d) : std::nullopt;
            }};
}

std::vector<MeasurementColumn> makeColumns() {
    std::vector<MeasurementColumn> c;
    c.push_back({"id", ColumnKind::Integer, [](const R& r) { return ColumnValue(r.id); },
                 [](R& r, const ColumnValue& v) {
                     const auto* i = std::get_if<std::int64_t>(&v);
                     r.id = i ? *i : 0;
                 },
                 true, false});
    c.push_back(text<&R::uid>("uid"));
    c.push_back(text<&R::createdUtc>("created_utc"));
    c.push_back(text<&R::installation>("installation"));
    c.push_back(text<&R::operatorName>("operator"));
    c.push_back(text<&R::sampleId>("sample_id"));
    c.push_back(text<&R::product>("product"));
    c.push_back(text<&R::origin>("origin"));
    c.push_back(real<&R::massKg>("mass_kg"));
    c.push_back(real<&R::nominalMassKg>("nominal_mass_kg"));
    c.push_back(text<&R::samplingDate>("sampling_date"));
    c.push_back(text<&R::sampleFile>("sample_file"));
    c.push_back(text<&R::sampleSha256>("sample_sha256"));
    c.push_back(text<&R::backgroundFile>("background_file"));
    c.push_back(text<&R::backgroundSha256>("background_sha256"));
    c.push_back(real<&R::sampleRealTimeS>("sample_real_time_s"));
    c.push_back(real<&R::sampleLiveTimeS>("sample_live_time_s"));
    c.push_back(real<&R::backgroundRealTimeS>("background_real_time_s"));
    c.push_back(real<&R::backgroundLiveTimeS>("background_live_time_s"));
#define XMCA_FIGURES(G, P)                                                      \
    c.push_back(figure<&R::G, &Figures::activity>(P "_activity"));               \
    c.push_back(figure<&R::G, &Figures::u>(P "_u"));                             \
    c.push_back(figure<&R::G, &Figures::decisionThreshold>(P "_decision_threshold")); \
    c.push_back(figure<&R::G, &Figures::detectionLimit>(P "_detection_limit"))
    XMCA_FIGURES(csAll, "cs_all");
    XMCA_FIGURES(cs134, "cs134");
    XMCA_FIGURES(cs137, "cs137");
    XMCA_FIGURES(k40, "k40");
#undef XMCA_FIGURES
    c.push_back(real<&R::lowerLimit>("lower_limit"));
    c.push_back(real<&R::screeningLevel>("screening_level"));
    c.push_back(text<&R::method>("method"));
    c.push_back({"gain_ok", ColumnKind::Boolean,
                 [](const R& r) { return r.gainOk ? ColumnValue(*r.gainOk) : ColumnValue(); },
                 [](R& r, const ColumnValue& v) {
                     const auto* b = std::get_if<bool>(&v);
                     r.gainOk = b ? std::optional<bool>(*b) : std::nullopt;
                 }});
    c.push_back(text<&R::verdict>("verdict"));
    c.push_back(text<&R::programVersion>("program_version"));
    c.push_back({"supersedes", ColumnKind::Integer,
                 [](const R& r) { return r.supersedes ? ColumnValue(*r.supersedes) : ColumnValue(); },
                 [](R& r, const ColumnValue& v) {
                     const auto* i = std::get_if<std::int64_t>(&v);
                     r.supersedes = i ? std::optional<std::int64_t>(*i) : std::nullopt;
                 }});
    MeasurementColumn chain = text<&R::chainHash>("chain_hash");
    chain.assigned = true;
    chain.hashed = false;
    c.push_back(chain);
    // The method the figures were formed with (added after the chain began: step 4).
    MeasurementColumn methodName = text<&R::methodName>("method_name");
    methodName.hashedWhenGiven = true;
    c.push_back(methodName);
    c.push_back({"method_version", ColumnKind::Integer,
                 [](const R& r) { return r.methodVersion ? ColumnValue(*r.methodVersion) : ColumnValue(); },
                 [](R& r, const ColumnValue& v) {
                     const auto* i = std::get_if<std::int64_t>(&v);
                     r.methodVersion = i ? std::optional<std::int64_t>(*i) : std::nullopt;
                 },
                 false, true, true});
    // Added after the chain began: what a reviewer checks beside the figures.
    const std::size_t reviewFrom = c.size();
    c.push_back({"simulated", ColumnKind::Boolean, [](const R& r) { return ColumnValue(r.simulated); },
                 [](R& r, const ColumnValue& v) {
                     const auto* b = std::get_if<bool>(&v);
                     r.simulated = b && *b;
                 }});
    c.push_back(real<&R::achievedLowerLimit>("achieved_lower_limit"));
    c.push_back(text<&R::qcStatus>("qc_status"));
    c.push_back({"qc_run_id", ColumnKind::Integer,
                 [](const R& r) { return r.qcRunId ? ColumnValue(*r.qcRunId) : ColumnValue(); },
                 [](R& r, const ColumnValue& v) {
                     const auto* i = std::get_if<std::int64_t>(&v);
                     r.qcRunId = i ? std::optional<std::int64_t>(*i) : std::nullopt;
                 }});
    c.push_back(text<&R::correctionReason>("correction_reason"));
    c.push_back(text<&R::measurementStart>("measurement_start"));
    c.push_back(text<&R::measurementEnd>("measurement_end"));
    c.push_back(text<&R::backgroundStart>("background_start"));
    for (std::size_t i = reviewFrom; i < c.size(); ++i) c[i].hashedWhenGiven = true;
    return c;
}

}  // namespace

const std::vector<MeasurementColumn>& measurementColumns() {
    static const std::vector<MeasurementColumn> cols = makeColumns();
    return cols;
}

std::string measurementColumnList(bool written) {
    std::string s;
    for (const auto& c : measurementColumns()) {
        if (written && c.assigned) continue;
        if (!s.empty()) s += ", ";
        s += c.name;
    }
    return s;
}

}  // namespace xmca::reg
