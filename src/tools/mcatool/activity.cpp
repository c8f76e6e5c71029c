// The activity command: "ReadSpec" of the sample, "BG File" of the background and
// "Bq Calic", with the program's own core, printed as one JSON object.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "model/bq_calic.h"
#include "model/measurement_state.h"
#include "model/screening_run.h"
#include "model/spectrum_io.h"
#include "tools/mcatool/activity_json.h"
#include "tools/mcatool/commands.h"
#include "tools/mcatool/method_args.h"
#include "tools/mcatool/register_json.h"

namespace mcatool {

namespace {

constexpr const char* kUsage =
    "usage: mcatool activity SAMPLE.dat BACKGROUND.dat [--net NET.dat] [--level X] [--lower-limit Y]\n"
    "       [--method NAME] [--mass-kg M] [--sampling-date YYYY-MM-DD [--decay-correct]] [--register DB]\n";

// A file that did not land in its memory: why, as the window would have it.
std::string loadError(const std::string& path, const xmca::FileLoadResult& r) {
    if (!r.opened) return "Error ! cannot open " + path;
    if (!r.valid)
        return "Error ! " + path + " is not a valid spectrum file (" + std::to_string(r.channelsRead) +
               " channels read)";
    if (!r.edit1.empty()) return r.edit1 + " (" + path + ")";
    return "Error ! " + path + " could not be stored";
}

// A decimal number ("50", "12.5", "2.5e1"); hexadecimal, "inf" and "nan" are not.
bool parseNumber(const std::string& text, double& out) {
    if (text.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(out);
}

}  // namespace

int runActivity(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    bool badRegister = false;
    const std::string location = registerLocation(args, badRegister);
    if (badRegister) {
        err << kUsage;
        return kExitUsage;
    }
    std::vector<std::string> files;
    std::string netPath;
    xmca::ScreeningSettings screening;
    MethodArgs methodArgs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const int taken = parseMethodArg(args, i, methodArgs);
        if (taken < 0) {
            err << kUsage;
            return kExitUsage;
        }
        if (taken > 0) continue;
        if (a == "--net" && hasValue) {
            netPath = args[++i];
        } else if (a == "--level" && hasValue) {
            if (!parseNumber(args[++i], screening.level) || screening.level < 0) {
                err << kUsage;
                return kExitUsage;
            }
        } else if (a == "--lower-limit" && hasValue) {
            if (!parseNumber(args[++i], screening.lowerLimit) || screening.lowerLimit <= 0) {
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
    if (files.size() != 2) {
        err << kUsage;
        return kExitUsage;
    }

    if (!netPath.empty() && refuseOutputIsInput(netPath, {files[0], files[1]}, err)) return kExitFileError;

    auto s = std::make_unique<xmca::MeasurementState>();
    s->workingLld = 0;  // no LLD cut
    s->screeningSettings = screening;
    const auto sample = xmca::readSampleFile(*s, files[0]);
    if (sample.memoryStored != 1) {
        err << loadError(files[0], sample) << '\n';
        return kExitFileError;
    }
    const auto background = xmca::readBackgroundFile(*s, files[1]);
    if (background.memoryStored != 2) {
        err << loadError(files[1], background) << '\n';
        return kExitFileError;
    }
    xmca::ScreeningOptions options;
    options.settings = screening;
    std::string methodError;
    if (!screeningOptions(methodArgs, location, options, methodError)) {
        err << methodError << '\n';
        return kExitFileError;
    }
    const xmca::MethodInputs inputs = xmca::methodInputs(*s);
    const xmca::CalicOutcome calic = xmca::bqCalic(*s);
    if (!calic.computed) {
        const std::string msg = calic.edit1.empty() ? "Error ! the background file could not be read again"
                                                    : calic.edit1;
        err << (msg.rfind("Error !", 0) == 0 ? msg : "Error ! " + msg) << '\n';
        return kExitFileError;
    }
    if (!netPath.empty() && !xmca::saveSpectrum(*s, netPath).empty()) {
        err << "Error ! cannot write " << netPath << '\n';
        return kExitFileError;
    }
    std::optional<double> massFactor;
    std::optional<xmca::activity::Figure> factoryCsAll;
    xmca::applyScreeningOptions(s->activity, inputs, options, massFactor, factoryCsAll);
    std::string json = activityJson(s->activity);
    json.pop_back();
    out << json << methodExtrasJson(factoryCsAll, massFactor, options) << "}\n";
    return out.good() ? kExitOk : kExitFileError;
}

}  // namespace mcatool
