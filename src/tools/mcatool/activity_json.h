// The JSON object of `mcatool activity`: counting time, the three windows as
// summed, the four activities as the plot's activity box shows them, and the
// screening figures.
#pragma once

#include <string>

#include "model/activity_result.h"

namespace mcatool {

std::string activityJson(const xmca::ActivityResult& res);

}  // namespace mcatool
