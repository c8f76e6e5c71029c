// The program's command line: the driver choice and the simulated sample.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/driver_choice.h"

namespace xmca {

struct CommandLine {
    DriverOptions road;  // --simulate (with the simulated sample), --serial or --driver
    bool help = false;
    bool version = false;  // --version
    std::string lang;  // --lang en|ja; empty: the locale's language
    std::string registerLocation;  // --register PATH (empty: the settings' or the default)
};

// Parses argv (without argv[0]). On a bad option returns nullopt and sets error.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error);

const char* usageText();
const char* versionText();  // "xmca <version>\n"

}  // namespace xmca
