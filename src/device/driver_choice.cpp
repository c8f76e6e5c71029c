#include "driver_choice.h"

#include <cmath>
#include <cstdlib>
#include <random>

#include "d2xx_driver.h"
#include "libftdi_driver.h"
#include "serial_driver.h"

namespace xmca {
namespace {

bool toNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

}  // namespace

const char* driverOptionsUsage() {
    return "  --simulate       use the built-in simulated analyser\n"
           "  --serial PATH    the analyser as a serial port (e.g. /dev/ttyUSB0)\n"
           "  --driver NAME    d2xx (the vendor library) or libftdi (libftdi1 over libusb);\n"
           "                   with no road named: the vendor library, else libftdi1\n"
           "  --sim-speed F    run the simulated analyser's clock F times faster (0 < F <= 1000000)\n"
           "  --sim-gain F     the simulated amplifier's gain (default 1.0; 0.5 .. 2)\n"
           "  --sim-efficiency F\n"
           "                   the simulated geometry's detection efficiency against the\n"
           "                   fixed one (default 1.0; 0.1 .. 10)\n"
           "  --cs134 A        Cs-134 activity of the simulated sample in Bq/kg (A >= 0)\n"
           "  --cs137 A        Cs-137 activity of the simulated sample in Bq/kg (A >= 0)\n"
           "  --k40 A          K-40 activity of the simulated sample in Bq/kg (A >= 0)\n"
           "  --background     simulate a background measurement (no sample)\n"
           "  --sim-devices N  number of simulated analysers attached (0..8)\n"
           "  --sim-link L     link timing of the simulated analyser: instant or usb-full-speed\n";
}

int parseDriverOption(const std::vector<std::string>& args, std::size_t& i, DriverOptions& o, std::string& error) {
    const std::string& a = args[i];
    auto text = [&](std::string& out) {
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        out = args[++i];
        return true;
    };
    auto number = [&](double& out) {
        if (i + 1 >= args.size() || !toNumber(args[i + 1], out)) {
            error = a + " needs a number";
            return false;
        }
        ++i;
        return true;
    };
    double v = 0;
    std::string t;
    if (a == "--simulate") {
        o.road = DriverOptions::Road::Simulate;
        ++o.roadsNamed;
    } else if (a == "--serial") {
        if (!text(t)) return -1;
        if (t.empty()) {
            error = "--serial needs a path";
            return -1;
        }
        o.road = DriverOptions::Road::Serial;
        o.serialPath = t;
        ++o.roadsNamed;
    } else if (a == "--driver") {
        if (!text(t)) return -1;
        if (t == "d2xx") o.road = DriverOptions::Road::D2xx;
        else if (t == "libftdi") o.road = DriverOptions::Road::Libftdi;
        else {
            error = "--driver must be d2xx or libftdi";
            return -1;
        }
        ++o.roadsNamed;
    } else if (a == "--background") {
        o.background = true;
        o.simOptionSeen = true;
    } else if (a == "--sim-speed") {
        if (!number(v)) return -1;
        if (v <= 0 || v > kMaxSimSpeed) {
            error = "--sim-speed must be above 0 and at most 1000000";
            return -1;
        }
        o.simSpeed = v;
        o.simOptionSeen = true;
    } else if (a == "--sim-gain") {
        if (!number(v)) return -1;
        if (v < 0.5 || v > 2.0) {
            error = "--sim-gain must be from 0.5 to 2";
            return -1;
        }
        o.simGain = v;
        o.simOptionSeen = true;
    } else if (a == "--sim-efficiency") {
        if (!number(v)) return -1;
        if (v < 0.1 || v > 10.0) {
            error = "--sim-efficiency must be from 0.1 to 10";
            return -1;
        }
        o.simEfficiency = v;
        o.simOptionSeen = true;
    } else if (a == "--cs134" || a == "--cs137" || a == "--k40") {
        if (!number(v)) return -1;
        if (v < 0) {
            error = a + " must not be negative";
            return -1;
        }
        (a == "--cs134" ? o.cs134 : a == "--cs137" ? o.cs137 : o.k40) = v;
        o.simOptionSeen = true;
    } else if (a == "--sim-devices") {
        if (!number(v)) return -1;
        if (v < 0 || v > 8 || v != std::floor(v)) {
            error = "--sim-devices must be a whole number from 0 to 8";
            return -1;
        }
        o.simDevices = static_cast<int>(v);
        o.simOptionSeen = true;
    } else if (a == "--sim-link") {
        if (!text(t)) return -1;
        const auto link = linkTimingFromName(t);
        if (!link) {
            error = "--sim-link must be instant or usb-full-speed";
            return -1;
        }
        o.simLink = *link;
        o.simOptionSeen = true;
    } else {
        return 0;
    }
    return 1;
}

bool checkDriverOptions(const DriverOptions& o, std::string& error) {
    if (o.roadsNamed > 1) {
        error = "name one road to the analyser: --simulate, --serial or --driver";
        return false;
    }
    if (o.simOptionSeen && o.road != DriverOptions::Road::Simulate) {
        error = "the simulated analyser's options need --simulate";
        return false;
    }
    return true;
}

ChosenDriver makeDriver(const DriverOptions& o, std::uint64_t seed) {
    ChosenDriver out;
    switch (o.road) {
        case DriverOptions::Road::Simulate: {
            SimulatedAnalyserConfig cfg;
            cfg.deviceCount = o.simDevices;
            if (o.cs134) cfg.cs134 = *o.cs134;
            if (o.cs137) cfg.cs137 = *o.cs137;
            if (o.k40) cfg.k40 = *o.k40;
            cfg.backgroundOnly = o.background;
            cfg.gain = o.simGain;
            cfg.efficiency = o.simEfficiency;
            cfg.link = o.simLink;
            cfg.seed = seed;
            auto sim = std::make_unique<SimulatedAnalyser>(cfg, std::make_shared<WallClock>(o.simSpeed));
            out.simulator = sim.get();
            out.driver = std::move(sim);
            out.road = o.simLink == LinkTiming::Instant ? "simulated analyser"
                                                        : std::string("simulated analyser, ") + linkTimingName(o.simLink) + " link";
            return out;
        }
        case DriverOptions::Road::Serial:
            out.driver = std::make_unique<SerialDriver>(o.serialPath);
            out.road = "serial port " + o.serialPath;
            return out;
        case DriverOptions::Road::Libftdi: {
            auto f = std::make_unique<LibftdiDriver>();
            out.message = f->message();
            out.driver = std::move(f);
            out.road = "libftdi1";
            return out;
        }
        case DriverOptions::Road::D2xx:
        case DriverOptions::Road::Auto: {
            auto d2xx = std::make_unique<D2xxDriver>();
            if (d2xx->load() || o.road == DriverOptions::Road::D2xx || !LibftdiDriver::available()) {
                out.message = d2xx->message();
                out.driver = std::move(d2xx);
                out.road = "vendor D2XX library";
                return out;
            }
            out.message = d2xx->message() + "; using libftdi1";
            out.driver = std::make_unique<LibftdiDriver>();
            out.road = "libftdi1";
            return out;
        }
    }
    return out;
}

std::uint64_t freshSimulatorSeed() {
    std::random_device rd;
    return (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
}

}  // namespace xmca
