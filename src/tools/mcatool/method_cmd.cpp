// The method command: a laboratory's calibrated method formed from standard
// spectra and recorded in the register as the next version of its name, and the
// list of every version.
#include <cmath>
#include <cstdlib>
#include <map>

#include "analysis/nuclide_data.h"
#include "model/lab_settings.h"
#include "model/method_store.h"
#include "tools/mcatool/commands.h"
#include "tools/mcatool/method_json.h"
#include "tools/mcatool/register_json.h"

namespace mcatool {

namespace {

constexpr const char* kUsage =
    "usage: mcatool method calibrate --name NAME --background BG.dat --cs137 FILE --cs137-bq A --cs137-date YYYY-MM-DD\n"
    "         [--cs137-u PCT] [--cs134 FILE --cs134-bq A --cs134-date D [--cs134-u PCT]]\n"
    "         [--k40 FILE --k40-bq A [--k40-u PCT]] --mass-kg M [--mass-range LO-HI] [--geometry TEXT]\n"
    "         [--register DB]\n"
    "       mcatool method list [--register DB]\n";

bool number(const std::string& t, double& out) {
    if (t.empty() || t.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    char* end = nullptr;
    out = std::strtod(t.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

int usage(std::ostream& err) {
    err << kUsage;
    return kExitUsage;
}

int runCalibrate(const Args& args, const std::string& location, std::ostream& out, std::ostream& err) {
    std::map<std::string, std::string> v;
    static const char* const kKeys[] = {"--name",      "--background", "--cs137",      "--cs137-bq", "--cs137-date",
                                        "--cs137-u",   "--cs134",      "--cs134-bq",   "--cs134-date", "--cs134-u",
                                        "--k40",       "--k40-bq",     "--k40-u",      "--mass-kg",  "--mass-range",
                                        "--geometry"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool known = false;
        for (const char* k : kKeys) known = known || args[i] == k;
        if (!known || i + 1 >= args.size() || v.count(args[i])) return usage(err);
        v[args[i]] = args[i + 1];
        ++i;
    }
    for (const char* k : {"--name", "--background", "--cs137", "--cs137-bq", "--cs137-date", "--mass-kg"})
        if (!v.count(k) || v[k].empty()) return usage(err);

    xmca::CalibrationRequest q;
    q.name = v["--name"];
    if (q.name == "factory") {
        err << "Error ! \"factory\" is the fixed factors' method and cannot be calibrated\n";
        return kExitFileError;
    }
    q.geometry = v["--geometry"];
    q.backgroundPath = v["--background"];
    if (!number(v["--mass-kg"], q.nominalMassKg)) return usage(err);
    if (!(q.nominalMassKg > 0)) {
        err << "Error ! the nominal mass must be above 0 kg\n";
        return kExitFileError;
    }
    if (v.count("--mass-range")) {
        const std::string& r = v["--mass-range"];
        const auto dash = r.find('-', 1);
        double lo = 0, hi = 0;
        if (dash == std::string::npos || !number(r.substr(0, dash), lo) || !number(r.substr(dash + 1), hi))
            return usage(err);
        if (!(lo > 0) || !(hi >= lo) || q.nominalMassKg < lo || q.nominalMassKg > hi) {
            err << "Error ! the mass range must hold the nominal mass, from a low above 0 to a high\n";
            return kExitFileError;
        }
        q.massLoKg = lo;
        q.massHiKg = hi;
    }
    struct Std {
        const char* key;
        xmca::nuclide::Nuclide n;
        bool dated;
    };
    for (const Std& s : {Std{"--cs137", xmca::nuclide::Cs137, true}, Std{"--cs134", xmca::nuclide::Cs134, true},
                         Std{"--k40", xmca::nuclide::K40, false}}) {
        const std::string k = s.key;
        const bool any = v.count(k) || v.count(k + "-bq") || v.count(k + "-date") || v.count(k + "-u");
        if (!any) continue;
        if (!v.count(k) || !v.count(k + "-bq") || (s.dated && !v.count(k + "-date"))) return usage(err);
        if (!s.dated && v.count(k + "-date")) return usage(err);
        xmca::StandardFile f;
        f.nuclide = s.n;
        f.path = v[k];
        if (!number(v[k + "-bq"], f.certifiedBq)) return usage(err);
        if (s.dated) {
            f.referenceDate = v[k + "-date"];
            if (!xmca::nuclide::dayNumber(f.referenceDate)) return usage(err);
        }
        if (v.count(k + "-u")) {
            double pct = 0;
            if (!number(v[k + "-u"], pct) || pct < 0 || pct >= 100) return usage(err);
            f.relU = pct / 100.0;
        }
        q.standards.push_back(f);
    }

    const xmca::FileCalibration cal = xmca::calibrateFromFiles(q);
    if (!cal.method) {
        err << cal.error << '\n';
        return kExitFileError;
    }
    xmca::method::Method m = *cal.method;
    std::string error;
    auto reg = xmca::reg::openRegister(location, error);
    const xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    if (!reg || !xmca::recordMethod(*reg, m, xmca::installationName(lab), error)) {
        err << "Error ! the method was not recorded: " << error << '\n';
        return kExitFileError;
    }
    out << "{\"method\": " << methodJson(m) << "}\n";
    return out.good() ? kExitOk : kExitFileError;
}

int runList(const Args& args, const std::string& location, std::ostream& out, std::ostream& err) {
    if (!args.empty()) return usage(err);
    std::string error;
    auto reg = xmca::reg::openRegister(location, error);
    std::vector<xmca::method::Method> methods;
    if (!reg || !xmca::listMethods(*reg, methods, error)) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    out << "[";
    for (std::size_t i = 0; i < methods.size(); ++i) out << (i ? ", " : "") << methodJson(methods[i]);
    out << "]\n";
    return out.good() ? kExitOk : kExitFileError;
}

}  // namespace

int runMethod(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    bool bad = false;
    const std::string location = registerLocation(args, bad);
    if (bad || args.empty()) return usage(err);
    const std::string sub = args.front();
    args.erase(args.begin());
    if (sub == "calibrate") return runCalibrate(args, location, out, err);
    if (sub == "list") return runList(args, location, out, err);
    return usage(err);
}

}  // namespace mcatool
