#include "tools/mcatool/method_args.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "analysis/nuclide_data.h"
#include "model/lab_settings.h"
#include "model/method_store.h"
#include "register/register.h"

namespace mcatool {

namespace {

std::string fixed(const char* f, double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

}  // namespace

int parseMethodArg(const std::vector<std::string>& args, std::size_t& i, MethodArgs& m, bool withSample) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--method") {
        if (!hasValue || args[i + 1].empty()) return -1;
        m.name = args[++i];
        return 1;
    }
    if (a == "--decay-correct") {
        m.decayCorrect = true;
        return 1;
    }
    if (!withSample) return 0;
    if (a == "--mass-kg") {
        if (!hasValue) return -1;
        const std::string& v = args[++i];
        char* end = nullptr;
        const double x = std::strtod(v.c_str(), &end);
        if (v.empty() || *end != '\0' || !std::isfinite(x) || x <= 0) return -1;
        m.massKg = x;
        return 1;
    }
    if (a == "--sampling-date") {
        if (!hasValue || !xmca::nuclide::dayNumber(args[i + 1])) return -1;
        m.samplingDate = args[++i];
        return 1;
    }
    return 0;
}

bool screeningOptions(const MethodArgs& m, const std::string& location, xmca::ScreeningOptions& options,
                      std::string& error) {
    const xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    options.nominalMassKg = lab.nominalMassKg;
    options.massKg = m.massKg;
    options.samplingDate = m.samplingDate;
    options.decayToSampling = m.decayCorrect || lab.decayToSamplingDate;
    const std::string wanted = !m.name.empty() ? m.name : lab.defaultMethod;
    std::unique_ptr<xmca::reg::Register> reg;
    std::string why;
    if (!wanted.empty() && wanted != xmca::method::kFactoryName) reg = xmca::reg::openRegister(location, why);
    auto method = xmca::methodInForce(reg.get(), lab, m.name, why);
    if (!method) {
        error = "Error ! the method " + wanted + " cannot be used: " + why;
        return false;
    }
    options.method = std::move(method);
    return true;
}

std::string methodExtrasJson(const std::optional<xmca::activity::Figure>& factoryCsAll,
                             const std::optional<double>& massFactor, const xmca::ScreeningOptions& options) {
    std::string s;
    if (factoryCsAll)
        s += ", \"factory_cs_all\": {\"bq_per_kg\": " + fixed("%.1f", factoryCsAll->bqPerKg) +
             ", \"sigma\": " + fixed("%.1f", factoryCsAll->sigma) + "}";
    if (massFactor && options.nominalMassKg && options.massKg)
        s += ", \"mass_correction\": {\"nominal_mass_kg\": " + std::to_string(*options.nominalMassKg) +
             ", \"mass_kg\": " + std::to_string(*options.massKg) + ", \"factor\": " + std::to_string(*massFactor) + "}";
    return s;
}

}  // namespace mcatool
