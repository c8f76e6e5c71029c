// The screen command: `activity`'s computation on a sample and a background file,
// recorded in the register with the sample's data.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/lab_settings.h"
#include "model/qc_log.h"
#include "model/screening.h"
#include "model/screening_record.h"
#include "register/record_chain.h"
#include "tools/mcatool/activity_json.h"
#include "tools/mcatool/commands.h"
#include "tools/mcatool/method_args.h"
#include "tools/mcatool/register_json.h"

namespace mcatool {

namespace {

constexpr const char* kUsage =
    "usage: mcatool screen SAMPLE.dat BACKGROUND.dat --sample-id ID [--mass-kg M] [--product P] [--origin O]\n"
    "       [--operator NAME] [--sampling-date YYYY-MM-DD [--decay-correct]] [--method NAME] [--register DB]\n";

}  // namespace



int runScreen(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    bool badRegister = false;
    const bool registerNamed = std::find(args.begin(), args.end(), "--register") != args.end();
    std::string location = registerLocation(args, badRegister);
    std::string why;
    if (badRegister || !xmca::reg::checkRegisterLocation(location, why)) {
        if (!why.empty()) err << "Error ! " << why << '\n';
        err << kUsage;
        return kExitUsage;
    }
    std::vector<std::string> files;
    xmca::SampleData sample;
    bool haveId = false;
    MethodArgs methodArgs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const int taken = parseMethodArg(args, i, methodArgs, false);
        if (taken < 0) {
            err << kUsage;
            return kExitUsage;
        }
        if (taken > 0) continue;
        if (a == "--sample-id" && hasValue) {
            sample.sampleId = args[++i];
            haveId = !sample.sampleId.empty();
        } else if (a == "--mass-kg" && hasValue) {
            char* end = nullptr;
            const std::string& v = args[++i];
            // Decimal kilograms only: "0x10" is not 16, and a mass too small to
            // divide by (a subnormal) is no mass.
            const bool decimal = v.find_first_not_of("0123456789+-.eE") == std::string::npos;
            const double m = decimal ? std::strtod(v.c_str(), &end) : 0.0;
            if (!decimal || v.empty() || *end != '\0' || !std::isnormal(m) || m <= 0) {
                err << kUsage;
                return kExitUsage;
            }
            sample.massKg = m;
        } else if (a == "--product" && hasValue) {
            sample.product = args[++i];
        } else if (a == "--origin" && hasValue) {
            sample.origin = args[++i];
        } else if (a == "--operator" && hasValue) {
            sample.operatorName = args[++i];
        } else if (a == "--sampling-date" && hasValue) {
            sample.samplingDate = args[++i];
            if (!isCalendarDate(sample.samplingDate)) {
                err << kUsage;
                return kExitUsage;
            }
        } else if (a.rfind("--", 0) == 0) {
            err << kUsage;
            return kExitUsage;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2 || !haveId) {
        err << kUsage;
        return kExitUsage;
    }
    for (const auto& [name, text] : {std::pair<const char*, const std::string*>{"--sample-id", &sample.sampleId},
                                     {"--product", &sample.product},
                                     {"--origin", &sample.origin},
                                     {"--operator", &sample.operatorName}}) {
        if (!xmca::reg::textIsClean(*text)) {
            err << "Error ! " << name << " holds a NUL character or is not valid UTF-8\n" << kUsage;
            return kExitUsage;
        }
    }

    const xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    xmca::ScreeningOptions options;
    methodArgs.massKg = sample.massKg;
    methodArgs.samplingDate = sample.samplingDate;
    std::string methodError;
    if (!screeningOptions(methodArgs, location, options, methodError)) {
        err << methodError << '\n';
        return kExitFileError;
    }
    options.settings.backgroundMaxAgeDays = lab.backgroundMaxAgeDays;
    xmca::ScreeningOutcome outcome = xmca::screenFiles(files[0], files[1], options);
    if (!outcome.computed) {
        err << outcome.error << '\n';
        return kExitFileError;
    }
    // Spectra of the simulated analyser are kept out of the laboratory's register.
    if (!registerNamed && (outcome.sample.simulated || outcome.background.simulated))
        location = xmca::reg::simulatorRegisterLocation();
    std::string error;
    auto reg = xmca::reg::openRegister(location, error);
    const xmca::QcStanding qc = xmca::qcStanding(reg.get(), lab);
    if (!qc.reason.empty()) xmca::withholdVerdict(outcome.result, qc.reason);
    std::string json = activityJson(outcome.result);
    json.pop_back();  // the closing brace: the mass correction and the record follow
    if (outcome.massFactor)
        json += ", \"mass_correction\": {\"nominal_mass_kg\": " + std::to_string(*options.nominalMassKg) +
                ", \"mass_kg\": " + std::to_string(*sample.massKg) +
                ", \"factor\": " + std::to_string(*outcome.massFactor) + "}";
    json += methodExtrasJson(outcome.factoryCsAll, std::nullopt, options);

    xmca::reg::MeasurementRecord rec =
        xmca::measurementRecord(outcome, files[0], files[1], sample, options, xmca::installationName(lab),
                                xmca::programVersion());
    xmca::setQcStanding(rec, qc);
    if (!reg || !reg->appendMeasurement(rec, error)) {
        // The figures are still printed; the record is missing and the exit says so.
        out << json << ", \"record\": null}\n";
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    if (rec.id == 0)  // kept in the local queue while the register server does not answer
        err << "Record " << rec.uid << " waits for the register server (" << reg->pendingCount()
            << " waiting); it is sent when the server answers\n";
    if (const std::int64_t aside = reg->setAsideCount(); aside > 0)
        err << "Error ! " << aside << " queued record(s) were refused by the register server and set aside; "
            << "`mcatool register queue` lists them with the server's reason\n";
    out << json << ", \"record\": {\"id\": " << rec.id << ", \"register\": " << jsonString(location) << "}}\n";
    return out.good() ? kExitOk : kExitFileError;
}

}  // namespace mcatool
