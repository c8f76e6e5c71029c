// A method as the method command prints it, and its name and version as a result names it.
#pragma once

#include <string>

#include "analysis/method.h"
#include "model/activity_result.h"

namespace mcatool {

// {"name", "version", "mass_kg", "mass_range": [lo, hi], "response": {nuclide: {window: cps/Bq}},
//  "response_u", "cs134_assumed", "k40_assumed", "geometry", "calibrated_utc", "standards": [...]}
std::string methodJson(const xmca::method::Method& m);

// {"name", "version"} (and "calibrated_utc", "decay_corrected_to" when set).
std::string methodRefJson(const xmca::MethodRef& m);

}  // namespace mcatool
