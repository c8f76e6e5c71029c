// The road to the analyser, chosen on the command line of xmca and mcatool:
// --simulate (with the simulated sample's options), --serial PATH, --driver d2xx or
// --driver libftdi; with none named, the vendor library first, then libftdi1.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ftdi_driver.h"
#include "simulated_analyser.h"

namespace xmca {

struct DriverOptions {
    enum class Road { Auto, Simulate, Serial, D2xx, Libftdi } road = Road::Auto;
    std::string serialPath;
    // Simulated analyser (--simulate only).
    double simSpeed = 1.0;
    double simGain = 1.0;  // the simulated amplifier's gain (a drift of a few per cent for QC)
    double simEfficiency = 1.0;  // the simulated geometry's efficiency against the fixed one
    std::optional<double> cs134, cs137, k40;
    bool background = false;
    int simDevices = 1;
    LinkTiming simLink = LinkTiming::Instant;
    bool simOptionSeen = false;  // a --sim-*/activity option was given
    int roadsNamed = 0;          // how many of --simulate, --serial, --driver were given
};

// Parses the driver option at args[i], moving i past its value. Returns 1 when it
// took the option, 0 when args[i] is not a driver option, -1 on a bad value (error
// says why).
int parseDriverOption(const std::vector<std::string>& args, std::size_t& i, DriverOptions& opts,
                      std::string& error);
// After parsing: at most one road, and simulator options only with --simulate.
bool checkDriverOptions(const DriverOptions& opts, std::string& error);
// The usage lines of the driver options.
const char* driverOptionsUsage();

struct ChosenDriver {
    std::unique_ptr<FtdiDriver> driver;
    std::string road;     // what the window title and mcatool say, e.g. "libftdi1"
    std::string message;  // why a library is missing or a fallback was taken ("" if none)
    SimulatedAnalyser* simulator = nullptr;  // the driver, when simulated
};

// Builds the driver. The simulator gets a wall clock at simSpeed and `seed`.
ChosenDriver makeDriver(const DriverOptions& opts, std::uint64_t seed);

// A seed of its own for each simulated run (from the system's entropy), so that
// two runs started in the same second do not count the same events.
std::uint64_t freshSimulatorSeed();

}  // namespace xmca
