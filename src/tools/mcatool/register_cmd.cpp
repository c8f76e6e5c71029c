// The register command: list, export and verify the recorded screenings.
#include <cmath>
#include <filesystem>

#include "files/sha256.h"
#include "model/lab_settings.h"
#include "model/method_store.h"
#include "model/screening_record.h"
#include "register/csv_export.h"
#include "register/register_copy.h"
#include "tools/mcatool/commands.h"
#include "tools/mcatool/register_json.h"

namespace mcatool {

namespace {

constexpr const char* kUsage =
    "usage: mcatool register list [--register DB] [--since YYYY-MM-DD] [--sample-id ID] [--installation NAME]\n"
    "       mcatool register export --csv OUT [--register DB]\n"
    "       mcatool register verify [--register DB]\n"
    "       mcatool register migrate [--from SQLITE_FILE] --register postgresql://...\n";

std::unique_ptr<xmca::reg::Register> open(const std::string& location, std::ostream& err) {
    std::string error;
    auto reg = xmca::reg::openRegister(location, error);
    if (!reg) err << "Error ! " << error << '\n';
    return reg;
}

bool allRecords(xmca::reg::Register& reg, const xmca::reg::MeasurementFilter& f,
                std::vector<xmca::reg::MeasurementRecord>& rows, std::ostream& err) {
    std::string error;
    if (reg.listMeasurements(f, rows, error)) return true;
    err << "Error ! " << error << '\n';
    return false;
}

int list(Args args, const std::string& location, std::ostream& out, std::ostream& err) {
    xmca::reg::MeasurementFilter f;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--since" && i + 1 < args.size()) {
            f.createdFrom = args[++i];
            if (f.createdFrom.size() != 10 || f.createdFrom[4] != '-' || f.createdFrom[7] != '-') {
                err << kUsage;
                return kExitUsage;
            }
        } else if (args[i] == "--sample-id" && i + 1 < args.size()) {
            f.sampleId = args[++i];
        } else if (args[i] == "--installation" && i + 1 < args.size()) {
            f.installation = args[++i];
        } else {
            err << kUsage;
            return kExitUsage;
        }
    }
    auto reg = open(location, err);
    if (!reg) return kExitFileError;
    std::vector<xmca::reg::MeasurementRecord> rows;
    if (!allRecords(*reg, f, rows, err)) return kExitFileError;
    out << "[";
    for (std::size_t i = 0; i < rows.size(); ++i) out << (i ? ",\n " : "") << recordJson(rows[i]);
    out << "]\n";
    return out.good() ? kExitOk : kExitFileError;
}

int exportCsv(Args args, const std::string& location, std::ostream& out, std::ostream& err) {
    std::string csvPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--csv" && i + 1 < args.size() && !args[i + 1].empty()) {
            csvPath = args[++i];
        } else {
            err << kUsage;
            return kExitUsage;
        }
    }
    if (csvPath.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    if (refuseOutputIsInput(csvPath, {location}, err)) return kExitFileError;
    auto reg = open(location, err);
    if (!reg) return kExitFileError;
    std::vector<xmca::reg::MeasurementRecord> rows;
    if (!allRecords(*reg, {}, rows, err)) return kExitFileError;
    if (!writeOutputFile(csvPath, xmca::reg::measurementsCsv(rows), err)) return kExitFileError;
    out << "{\"csv\": " << jsonString(csvPath) << ", \"records\": " << rows.size() << "}\n";
    return out.good() ? kExitOk : kExitFileError;
}

bool close(const std::optional<double>& a, const std::optional<double>& b) {
    if (!a || !b) return a.has_value() == b.has_value();
    if (!std::isfinite(*a) || !std::isfinite(*b)) return std::isfinite(*a) == std::isfinite(*b);
    return std::fabs(*a - *b) <= 1e-6 * std::max(1.0, std::fabs(*a));
}

// What differs between a stored record and the same files computed again.
std::vector<std::string> differences(const xmca::reg::MeasurementRecord& stored,
                                     const xmca::reg::MeasurementRecord& now) {
    std::vector<std::string> d;
    if (stored.sampleSha256 != now.sampleSha256) d.push_back("sample file hash changed");
    if (stored.backgroundSha256 != now.backgroundSha256) d.push_back("background file hash changed");
    const std::pair<const char*, std::pair<const xmca::reg::Figures*, const xmca::reg::Figures*>> rows[] = {
        {"cs_total", {&stored.csAll, &now.csAll}},
        {"cs134", {&stored.cs134, &now.cs134}},
        {"cs137", {&stored.cs137, &now.cs137}},
        {"k40", {&stored.k40, &now.k40}}};
    for (const auto& [name, p] : rows) {
        const auto& [a, b] = p;
        if (!close(a->activity, b->activity) || !close(a->u, b->u) ||
            !close(a->decisionThreshold, b->decisionThreshold) || !close(a->detectionLimit, b->detectionLimit))
            d.push_back(std::string(name) + " figures differ");
    }
    if (stored.verdict != now.verdict) d.push_back("verdict differs: now \"" + now.verdict + "\"");
    return d;
}

int verify(const Args& args, const std::string& location, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    auto reg = open(location, err);
    if (!reg) return kExitFileError;
    std::vector<xmca::reg::MeasurementRecord> rows;
    if (!allRecords(*reg, {}, rows, err)) return kExitFileError;
    std::size_t checked = 0;
    std::string missing, differing;
    const xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {  // oldest first
        const auto& rec = *it;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(rec.sampleFile, ec) ||
            !std::filesystem::is_regular_file(rec.backgroundFile, ec)) {
            missing += (missing.empty() ? "" : ", ") + std::to_string(rec.id);
            continue;
        }
        ++checked;
        xmca::ScreeningOptions options;
        if (rec.screeningLevel) options.settings.level = *rec.screeningLevel;
        if (rec.lowerLimit) options.settings.lowerLimit = *rec.lowerLimit;
        options.nominalMassKg = rec.nominalMassKg;
        options.massKg = rec.massKg;
        // The method and version the record was computed with, and its decay correction.
        std::vector<std::string> methodProblem;
        if (!rec.methodName.empty() && rec.methodVersion) {
            std::string why;
            options.method =
                xmca::methodVersion(reg.get(), lab, rec.methodName, static_cast<int>(*rec.methodVersion), why);
            if (!options.method) methodProblem.push_back("its method cannot be had again: " + why);
            options.samplingDate = rec.samplingDate;
            options.decayToSampling = rec.method.find("decay-corrected to") != std::string::npos;
        }
        const xmca::ScreeningOutcome now = xmca::screenFiles(rec.sampleFile, rec.backgroundFile, options);
        std::vector<std::string> diff;
        if (!now.computed) {
            diff.push_back("cannot be computed again: " + now.error);
            if (xmca::sha256OfFile(rec.sampleFile).value_or("") != rec.sampleSha256)
                diff.push_back("sample file hash changed");
        } else {
            xmca::SampleData sample;
            sample.massKg = rec.massKg;
            diff = differences(rec, xmca::measurementRecord(now, rec.sampleFile, rec.backgroundFile, sample,
                                                            options, rec.installation, rec.programVersion));
        }
        diff.insert(diff.begin(), methodProblem.begin(), methodProblem.end());
        if (diff.empty()) continue;
        std::string problems;
        for (const auto& p : diff) problems += (problems.empty() ? "" : ", ") + jsonString(p);
        differing += std::string(differing.empty() ? "" : ",\n  ") + "{\"id\": " + std::to_string(rec.id) +
                     ", \"sample_id\": " + jsonString(rec.sampleId) + ", \"problems\": [" + problems + "]}";
        err << "Record " << rec.id << " (" << rec.sampleId << "): ";
        for (std::size_t i = 0; i < diff.size(); ++i) err << (i ? "; " : "") << diff[i];
        err << '\n';
    }
    out << "{\"records\": " << rows.size() << ", \"checked\": " << checked << ", \"files_missing\": [" << missing
        << "], \"differing\": [" << differing << "]}\n";
    if (!differing.empty()) return kExitFileError;
    return out.good() ? kExitOk : kExitFileError;
}

// Brings the server's schema to this program's version (run as the schema owner) and,
// with --from, copies a local register file to it; a rerun copies nothing twice.
int migrate(const Args& args, const std::string& location, std::ostream& out, std::ostream& err) {
    std::string from;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--from" && i + 1 < args.size() && !args[i + 1].empty()) {
            from = args[++i];
        } else {
            err << kUsage;
            return kExitUsage;
        }
    }
    if (!xmca::reg::isServerLocation(location) || xmca::reg::isServerLocation(from)) {
        err << "Error ! migrate copies a register file (--from) to a server (--register postgresql://...)\n";
        return kExitUsage;
    }
    std::error_code ec;
    if (!from.empty() && !std::filesystem::is_regular_file(from, ec)) {
        err << "Error ! " << from << ": no such register file\n";
        return kExitFileError;
    }
    std::string error;
    // No queue: a copy either reaches the server or says so.
    auto server = xmca::reg::openServerRegister(location, xmca::reg::ServerOptions{""}, error);
    if (!server) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    xmca::reg::CopyReport report;
    if (!from.empty()) {
        auto local = open(from, err);
        if (!local) return kExitFileError;
        if (!xmca::reg::copyRegister(*local, *server, report, error)) {
            err << "Error ! " << error << '\n';
            return kExitFileError;
        }
    }
    auto counts = [](const xmca::reg::CopyCounts& c) {
        return "{\"copied\": " + std::to_string(c.copied) + ", \"already\": " + std::to_string(c.already) + "}";
    };
    out << "{\"register\": " << jsonString(location) << ", \"schema_version\": " << server->serverSchemaVersion();
    if (!from.empty())
        out << ", \"from\": " << jsonString(from) << ", \"measurements\": " << counts(report.measurements)
            << ", \"qc_baselines\": " << counts(report.qcBaselines) << ", \"qc_runs\": " << counts(report.qcRuns);
    out << "}\n";
    return out.good() ? kExitOk : kExitFileError;
}

}  // namespace

int runRegister(const Args& argsIn, std::ostream& out, std::ostream& err) {
    if (argsIn.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    Args args(argsIn.begin() + 1, argsIn.end());
    bool bad = false;
    const std::string location = registerLocation(args, bad);
    if (bad) {
        err << kUsage;
        return kExitUsage;
    }
    const std::string& sub = argsIn[0];
    if (sub == "list") return list(args, location, out, err);
    if (sub == "export") return exportCsv(args, location, out, err);
    if (sub == "verify") return verify(args, location, out, err);
    if (sub == "migrate") return migrate(args, location, out, err);
    err << kUsage;
    return kExitUsage;
}

}  // namespace mcatool
