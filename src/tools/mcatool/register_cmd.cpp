// The register command: list, export and verify the recorded screenings, and show
// the local queue of a server register.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "files/file_guard.h"
#include "files/sha256.h"
#include "model/lab_settings.h"
#include "model/method_store.h"
#include "model/qc_log.h"
#include "model/screening.h"
#include "model/screening_record.h"
#include "register/csv_export.h"
#include "register/postgres_register.h"
#include "register/register_copy.h"
#include "tools/mcatool/commands.h"
#include "tools/mcatool/register_json.h"

namespace mcatool {

namespace {

constexpr const char* kUsage =
    "usage: mcatool register list [--register DB] [--since YYYY-MM-DD] [--sample-id ID] [--installation NAME]\n"
    "       [--limit N]\n"
    "       mcatool register export --csv OUT [--force] [--register DB]\n"
    "       mcatool register verify [--register DB]\n"
    "       mcatool register queue [--register postgresql://...]\n"
    "       mcatool register migrate [--from SQLITE_FILE] --register postgresql://...\n";

// Opens a register that must exist already (reading or checking one makes none).
std::unique_ptr<xmca::reg::Register> open(const std::string& location, std::ostream& err) {
    std::string error;
    auto reg = xmca::reg::openRegister(location, error, xmca::reg::OpenMode::Existing);
    if (!reg) err << "Error ! " << error << '\n';
    return reg;
}

int list(Args args, const std::string& location, std::ostream& out, std::ostream& err) {
    xmca::reg::MeasurementFilter f;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--since" && i + 1 < args.size()) {
            f.createdFrom = args[++i];
            if (!isCalendarDate(f.createdFrom)) {
                err << "Error ! --since takes a date YYYY-MM-DD that exists\n" << kUsage;
                return kExitUsage;
            }
        } else if (args[i] == "--sample-id" && i + 1 < args.size()) {
            f.sampleId = args[++i];
        } else if (args[i] == "--installation" && i + 1 < args.size()) {
            f.installation = args[++i];
        } else if (args[i] == "--limit" && i + 1 < args.size()) {
            const std::string& v = args[++i];
            char* end = nullptr;
            const long long n = std::strtoll(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 0) {
                err << kUsage;
                return kExitUsage;
            }
            f.limit = n;
        } else {
            err << kUsage;
            return kExitUsage;
        }
    }
    auto reg = open(location, err);
    if (!reg) return kExitFileError;
    // Each record is printed as it is read: a register of any size in little memory.
    out << "[";
    std::size_t n = 0;
    std::string error;
    const bool ok = reg->forEachMeasurement(f, [&](const xmca::reg::MeasurementRecord& r) {
        out << (n++ ? ",\n " : "") << recordJson(r);
        return out.good();
    }, error);
    out << "]\n";
    if (!ok) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    return out.good() ? kExitOk : kExitFileError;
}

// Writes the CSV of every record under a temporary name beside path, a record at a
// time, flushed to disk, and renames it over path only once complete.
bool writeCsvStreaming(xmca::reg::Register& reg, const std::string& path, std::size_t& records, std::ostream& err) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::string tmpl = (target.has_parent_path() ? target.parent_path() / ("." + target.filename().string())
                                                 : fs::path("." + target.filename().string()))
                           .string() +
                       ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        err << "Error ! cannot create " << path << '\n';
        return false;
    }
    ::fchmod(fd, 0644);
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        err << "Error ! cannot create " << path << '\n';
        return false;
    }
    std::string error;
    records = 0;
    const std::string head = xmca::reg::csvHead();
    bool written = std::fwrite(head.data(), 1, head.size(), f) == head.size();
    const bool read = written && reg.forEachMeasurement({}, [&](const xmca::reg::MeasurementRecord& r) {
        const std::string line = xmca::reg::csvLine(r);
        written = std::fwrite(line.data(), 1, line.size(), f) == line.size();
        records += written ? 1 : 0;
        return written;
    }, error);
    written = written && std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
    written = std::fclose(f) == 0 && written;
    if (!read || !written || ::rename(tmpl.c_str(), path.c_str()) != 0) {
        ::unlink(tmpl.c_str());
        if (!read && !error.empty()) err << "Error ! " << error << '\n';
        else err << "Error ! cannot write " << path << " (the previous file is kept)\n";
        return false;
    }
    return true;
}

int exportCsv(Args args, const std::string& location, std::ostream& out, std::ostream& err) {
    std::string csvPath;
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--csv" && i + 1 < args.size() && !args[i + 1].empty()) {
            csvPath = args[++i];
        } else if (args[i] == "--force") {
            force = true;
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
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(csvPath, ec))) {
        // Never a file the register names (a spectrum a record rests on), even with --force.
        std::string named, error;
        const bool read = reg->forEachMeasurement({}, [&](const xmca::reg::MeasurementRecord& r) {
            for (const std::string* f : {&r.sampleFile, &r.backgroundFile})
                if (!f->empty() && xmca::sameFile(csvPath, *f)) named = *f;
            return named.empty();
        }, error);
        if (!read) {
            err << "Error ! " << error << '\n';
            return kExitFileError;
        }
        if (!named.empty()) {
            err << "Error ! " << csvPath << " is a spectrum the register names; it is not overwritten\n";
            return kExitFileError;
        }
        if (!force) {
            err << "Error ! " << csvPath << " exists; it is not overwritten (give --force to replace it)\n";
            return kExitFileError;
        }
    }
    if (!outputTargetOk(csvPath, err)) return kExitFileError;
    std::size_t records = 0;
    if (!writeCsvStreaming(*reg, csvPath, records, err)) return kExitFileError;
    out << "{\"csv\": " << jsonString(csvPath) << ", \"records\": " << records << "}\n";
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
    // What the spectrum files themselves attest of the record's identity.
    if (stored.method != now.method) d.push_back("method differs: now \"" + now.method + "\"");
    if (!close(stored.sampleRealTimeS, now.sampleRealTimeS) || !close(stored.sampleLiveTimeS, now.sampleLiveTimeS))
        d.push_back("sample times differ");
    if (!close(stored.backgroundRealTimeS, now.backgroundRealTimeS) ||
        !close(stored.backgroundLiveTimeS, now.backgroundLiveTimeS))
        d.push_back("background times differ");
    return d;
}

// The QC reason a stored verdict was withheld for ("No verdict - <reason>"), empty when none.
std::string qcWithholding(const std::string& verdict) {
    for (const char* reason : {xmca::kQcActionRequired, xmca::kNoQcToday, xmca::kQcUnknown})
        if (verdict == std::string("No verdict - ") + reason) return reason;
    return {};
}

int verify(const Args& args, const std::string& location, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    auto reg = open(location, err);
    if (!reg) return kExitFileError;
    std::string error;
    xmca::reg::IntegrityReport integrity;
    if (!reg->checkIntegrity(integrity, error)) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    if (!integrity.databaseOk) err << "Error ! the register's database check failed: " << integrity.databaseProblem << '\n';
    if (integrity.brokenId) err << "Error ! " << integrity.chainProblem << '\n';

    std::size_t checked = 0, records = 0;
    std::string missing, differing;
    const xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    // The methods are read before the records are walked (a server answers one query at a time).
    std::vector<xmca::reg::MethodRecord> methods;
    std::string methodsError;
    const bool haveMethods = reg->listMethods("", methods, methodsError);
    xmca::reg::MeasurementFilter all;
    all.oldestFirst = true;
    // A record is computed again from its files, one at a time.
    const bool read = reg->forEachMeasurement(all, [&](const xmca::reg::MeasurementRecord& rec) {
        ++records;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(rec.sampleFile, ec) ||
            !std::filesystem::is_regular_file(rec.backgroundFile, ec)) {
            missing += (missing.empty() ? "" : ", ") + std::to_string(rec.id);
            return true;
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
                xmca::methodVersion(methods, lab, rec.methodName, static_cast<int>(*rec.methodVersion), why);
            if (!options.method)
                methodProblem.push_back("its method cannot be had again: " + (haveMethods ? why : methodsError));
            options.samplingDate = rec.samplingDate;
            options.decayToSampling = rec.method.find("decay-corrected to") != std::string::npos;
        }
        xmca::ScreeningOutcome now = xmca::screenFiles(rec.sampleFile, rec.backgroundFile, options);
        std::vector<std::string> diff;
        if (!now.computed) {
            diff.push_back("cannot be computed again: " + now.error);
            if (xmca::sha256OfFile(rec.sampleFile).value_or("") != rec.sampleSha256)
                diff.push_back("sample file hash changed");
        } else {
            // A verdict withheld for QC is judged by the QC state the register held at the record's time.
            const std::string reason = qcWithholding(rec.verdict);
            if (!reason.empty()) {
                bool calledFor = reason == xmca::kQcUnknown;
                std::string qcError;
                if (!calledFor && !xmca::qcCalledFor(*reg, rec.installation, reason, rec.createdUtc, calledFor,
                                                     qcError))
                    diff.push_back("QC state cannot be read: " + qcError);
                else if (calledFor)
                    xmca::withholdVerdict(now.result, reason);
                else
                    diff.push_back("verdict withheld for \"" + reason + "\", which QC did not call for then");
            }
            xmca::SampleData sample;
            sample.massKg = rec.massKg;
            const auto again = xmca::measurementRecord(now, rec.sampleFile, rec.backgroundFile, sample, options,
                                                       rec.installation, rec.programVersion);
            for (const auto& d : differences(rec, again))
                if (reason.empty() || d.rfind("verdict", 0) != 0 || diff.empty()) diff.push_back(d);
        }
        diff.insert(diff.begin(), methodProblem.begin(), methodProblem.end());
        if (diff.empty()) return true;
        std::string problems;
        for (const auto& p : diff) problems += (problems.empty() ? "" : ", ") + jsonString(p);
        differing += std::string(differing.empty() ? "" : ",\n  ") + "{\"id\": " + std::to_string(rec.id) +
                     ", \"sample_id\": " + jsonString(rec.sampleId) + ", \"problems\": [" + problems + "]}";
        err << "Record " << rec.id << " (" << rec.sampleId << "): ";
        for (std::size_t i = 0; i < diff.size(); ++i) err << (i ? "; " : "") << diff[i];
        err << '\n';
        return true;
    }, error);
    if (!read) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    out << "{\"records\": " << records << ", \"checked\": " << checked << ", \"files_missing\": [" << missing
        << "], \"differing\": [" << differing << "], \"integrity\": {\"database_ok\": "
        << (integrity.databaseOk ? "true" : "false") << ", \"chain_ok\": " << (integrity.brokenId ? "false" : "true")
        << ", \"first_broken_record\": " << (integrity.brokenId ? std::to_string(*integrity.brokenId) : "null")
        << ", \"problem\": "
        << jsonString(!integrity.databaseOk ? integrity.databaseProblem : integrity.chainProblem) << "}}\n";
    if (!differing.empty() || !integrity.ok()) return kExitFileError;
    return out.good() ? kExitOk : kExitFileError;
}

// The local queue of a server register: how many records wait, and every record the
// server refused for good (set aside; exit 1 while there is one).
int queue(const Args& args, const std::string& location, std::ostream& out, std::ostream& err) {
    if (!args.empty() || !xmca::reg::isServerLocation(location)) {
        err << kUsage;
        return kExitUsage;
    }
    std::string error;
    auto reg = xmca::reg::openRegister(location, error);
    if (!reg) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    std::vector<xmca::reg::QueuedRecord> rows;
    if (!reg->listQueue(rows, error)) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    std::size_t waiting = 0;
    std::string aside;
    for (const auto& r : rows) {
        if (r.setAsideUtc.empty()) {
            ++waiting;
            continue;
        }
        aside += std::string(aside.empty() ? "" : ",\n  ") + "{\"uid\": " + jsonString(r.uid) +
                 ", \"kind\": " + jsonString(r.kind) + ", \"queued_utc\": " + jsonString(r.queuedUtc) +
                 ", \"set_aside_utc\": " + jsonString(r.setAsideUtc) + ", \"reason\": " + jsonString(r.reason) +
                 "}";
        err << "Error ! record " << r.uid << " was refused by the register server and set aside: " << r.reason
            << '\n';
    }
    out << "{\"register\": " << jsonString(location) << ", \"waiting\": " << waiting << ", \"set_aside\": ["
        << aside << "]}\n";
    if (!aside.empty()) return kExitFileError;
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
    std::string why;
    if (bad || !xmca::reg::checkRegisterLocation(location, why)) {
        if (!why.empty()) err << "Error ! " << why << '\n';
        err << kUsage;
        return kExitUsage;
    }
    const std::string& sub = argsIn[0];
    if (sub == "list") return list(args, location, out, err);
    if (sub == "export") return exportCsv(args, location, out, err);
    if (sub == "verify") return verify(args, location, out, err);
    if (sub == "migrate") return migrate(args, location, out, err);
    if (sub == "queue") return queue(args, location, out, err);
    err << kUsage;
    return kExitUsage;
}

}  // namespace mcatool
