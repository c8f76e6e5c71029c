// The method options of `activity` and `screen`: --method NAME (else the
// laboratory's default, else "factory"), --mass-kg, --sampling-date and
// --decay-correct, turned into the screening options the window uses too.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/screening_run.h"

namespace mcatool {

struct MethodArgs {
    std::string name;
    std::optional<double> massKg;
    std::string samplingDate;
    bool decayCorrect = false;
};

// Takes args[i] when it is a method option (moving i past its value): 1 taken, 0
// not a method option, -1 a bad value. withSample: --mass-kg and --sampling-date
// too (`screen` reads those with the sample's data).
int parseMethodArg(const std::vector<std::string>& args, std::size_t& i, MethodArgs& m, bool withSample = true);

// The laboratory's nominal mass and decay setting, the mass and sampling date, and
// the method in force (looked up in the register at location when it is not
// "factory"). False with an "Error !" text when the method cannot be had.
bool screeningOptions(const MethodArgs& m, const std::string& location, xmca::ScreeningOptions& options,
                      std::string& error);

// `, "factory_cs_all": {...}` when a calibrated method formed the figures, and
// `, "mass_correction": {...}` when the fixed factors were scaled by the mass.
std::string methodExtrasJson(const std::optional<xmca::activity::Figure>& factoryCsAll,
                             const std::optional<double>& massFactor, const xmca::ScreeningOptions& options);

}  // namespace mcatool
