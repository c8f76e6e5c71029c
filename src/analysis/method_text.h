// A method as text, one "key=value" per line, for the register: every figure with
// 17 significant digits, so a method read back is the method written.
#pragma once

#include <optional>
#include <string>

#include "analysis/method.h"

namespace xmca::method {

std::string toText(const Method& m);
// nullopt when the text is no method (a missing or unreadable figure).
std::optional<Method> fromText(const std::string& text);

}  // namespace xmca::method
