#include "model/method_store.h"

#include <filesystem>
#include <memory>

#include "analysis/method_text.h"
#include "model/bq_calic.h"
#include "model/measurement_state.h"
#include "model/method_choice.h"
#include "model/spectrum_io.h"

namespace xmca {

namespace {

constexpr double kDefaultMassRange = 0.15;

struct ReadSpectrum {
    std::unique_ptr<MeasurementState> state;
    std::string error;
    const MemorySpectrum& spectrum() const { return state->mem[0]; }
};

ReadSpectrum readOne(const std::string& path) {
    ReadSpectrum r;
    r.state = std::make_unique<MeasurementState>();
    const FileLoadResult f = readSampleFile(*r.state, path);
    if (!f.opened) r.error = "Error ! cannot open " + path;
    else if (!f.valid || f.memoryStored != 1) r.error = "Error ! " + path + " is not a valid spectrum file";
    return r;
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::string dateTimeText(const SpectrumHeader& h) {
    using H = SpectrumHeader;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", h.i16(H::kYear), h.i16(H::kMonth), h.i16(H::kDay),
                  h.i16(H::kHour), h.i16(H::kMinute));
    return buf;
}

}  // namespace

FileCalibration calibrateFromFiles(const CalibrationRequest& q) {
    FileCalibration out;
    if (!(q.nominalMassKg > 0)) {
        out.error = "Error ! the nominal mass must be above 0 kg";
        return out;
    }
    const ReadSpectrum bg = readOne(q.backgroundPath);
    if (!bg.error.empty()) {
        out.error = bg.error;
        return out;
    }
    const MemorySpectrum& b = bg.spectrum();
    // The windows stand on their lines at 2048 channels only.
    if (b.header.channelCount() != kWindowsChannels) {
        out.error = "Error ! a method needs spectra of " + std::to_string(kWindowsChannels) + " channels";
        return out;
    }
    std::vector<ReadSpectrum> read;
    std::vector<method::StandardInput> inputs;
    read.reserve(q.standards.size());
    for (const StandardFile& sf : q.standards) {
        const std::string name = nuclide::data(sf.nuclide).name;
        if (samePath(sf.path, q.backgroundPath)) {
            out.error = "Error ! the " + name + " standard is the background file";
            return out;
        }
        read.push_back(readOne(sf.path));
        if (!read.back().error.empty()) {
            out.error = read.back().error;
            return out;
        }
        const MemorySpectrum& m = read.back().spectrum();
        if (!m.sha256.empty() && m.sha256 == b.sha256) {
            out.error = "Error ! the " + name + " standard is the background file";
            return out;
        }
        if (m.header.channelCount() != b.header.channelCount()) {
            out.error = "Error ! the " + name + " standard and the background have different channel counts";
            return out;
        }
        method::StandardInput in;
        in.standard.nuclide = sf.nuclide;
        in.standard.file = std::filesystem::absolute(sf.path).lexically_normal().string();
        in.standard.sha256 = m.sha256;
        in.standard.certifiedBq = sf.certifiedBq;
        in.standard.referenceDate = sf.referenceDate;
        in.standard.relU = sf.relU;
        in.standard.measured = dateTimeText(m.header);
        in.spectrum = countedSpectrum(m);
        in.channels = m.header.channelCount();
        in.counts = std::span<const std::int32_t>(m.counts.data(), m.counts.size());
        in.backgroundCounts = std::span<const std::int32_t>(b.counts.data(), b.counts.size());
        in.measuredDay = spectrumStartDay(m.header);
        inputs.push_back(in);
    }
    const method::CalibrationOutcome cal = method::calibrate(countedSpectrum(b), inputs);
    if (cal.error != method::CalibrationError::None) {
        out.error = "Error ! " + method::calibrationErrorText(cal.error, cal.errorNuclide);
        return out;
    }
    method::Method m;
    m.name = q.name;
    m.version = 0;
    m.geometry = q.geometry;
    m.nominalMassKg = q.nominalMassKg;
    m.massLoKg = q.massLoKg.value_or(q.nominalMassKg * (1 - kDefaultMassRange));
    m.massHiKg = q.massHiKg.value_or(q.nominalMassKg * (1 + kDefaultMassRange));
    m.backgroundFile = std::filesystem::absolute(q.backgroundPath).lexically_normal().string();
    m.backgroundSha256 = b.sha256;
    m.calibratedUtc = reg::utcNow();
    m.standards = cal.standards;
    m.response = cal.response;
    m.cs134Assumed = cal.cs134Assumed;
    m.k40Assumed = cal.k40Assumed;
    out.method = m;
    return out;
}

bool recordMethod(reg::Register& r, method::Method& m, const std::string& installation, std::string& error) {
    reg::MethodRecord rec;
    rec.name = m.name;
    rec.installation = installation;
    rec.body = method::toText(m);
    if (!r.appendMethod(rec, error)) return false;
    m.version = static_cast<int>(rec.version);
    return true;
}

bool listMethods(reg::Register& r, std::vector<method::Method>& out, std::string& error) {
    std::vector<reg::MethodRecord> recs;
    if (!r.listMethods("", recs, error)) return false;
    for (const auto& rec : recs) {
        auto m = method::fromText(rec.body);
        if (!m) continue;
        m->name = rec.name;  // the register's columns are what the version was given for
        m->version = static_cast<int>(rec.version);
        out.push_back(*m);
    }
    return true;
}

std::optional<method::Method> methodVersion(reg::Register* r, const LabSettings& lab, const std::string& name,
                                            int version, std::string& error) {
    if (name == method::kFactoryName) return method::factoryMethod(lab.nominalMassKg.value_or(0));
    std::vector<reg::MethodRecord> recs;
    if (!r) {
        error = "no register to find the method " + name + " in";
        return std::nullopt;
    }
    if (!r->listMethods(name, recs, error)) return std::nullopt;
    return methodVersion(recs, lab, name, version, error);
}

std::optional<method::Method> methodVersion(const std::vector<reg::MethodRecord>& recs, const LabSettings& lab,
                                            const std::string& name, int version, std::string& error) {
    if (name == method::kFactoryName) return method::factoryMethod(lab.nominalMassKg.value_or(0));
    for (const auto& rec : recs) {
        if (rec.name != name || rec.version != version) continue;
        auto m = method::fromText(rec.body);
        if (!m) break;
        m->name = rec.name;
        m->version = version;
        return m;
    }
    error = "no version " + std::to_string(version) + " of the method " + name + " in the register";
    return std::nullopt;
}

std::optional<method::Method> methodInForce(reg::Register* r, const LabSettings& lab, const std::string& name,
                                            std::string& error) {
    const std::string wanted = !name.empty() ? name : lab.defaultMethod;
    if (wanted.empty() || wanted == method::kFactoryName) return method::factoryMethod(lab.nominalMassKg.value_or(0));
    if (!r) {
        error = "no register to find the method " + wanted + " in";
        return std::nullopt;
    }
    std::vector<reg::MethodRecord> recs;
    if (!r->listMethods(wanted, recs, error)) return std::nullopt;
    for (const auto& rec : recs) {  // newest first
        auto m = method::fromText(rec.body);
        if (!m) continue;
        m->name = rec.name;
        m->version = static_cast<int>(rec.version);
        return m;
    }
    error = "no method named " + wanted + " in the register";
    return std::nullopt;
}

}  // namespace xmca
