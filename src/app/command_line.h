// The program's command line: the driver choice and the simulated sample.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace xmca {

struct CommandLine {
    bool simulate = false;
    double simSpeed = 1.0;
    std::optional<double> cs134, cs137, k40;  // Bq/kg of the simulated sample
    bool background = false;                  // simulate a background measurement
    int simDevices = 1;
    bool help = false;
    // The road to the analyser besides --simulate.
    std::string serialPath;             // --serial PATH
    std::string driverName;             // --driver d2xx|libftdi
    std::string simLink = "instant";    // --sim-link instant|usb-full-speed
};

// Parses argv (without argv[0]). On a bad option returns nullopt and sets error.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error);

const char* usageText();

}  // namespace xmca
