#include "command_line.h"

#include <cmath>
#include <cstdlib>

namespace xmca {
namespace {

bool toNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

}  // namespace

const char* usageText() {
    return "usage: xmca [--simulate [--sim-speed F] [--cs134 A] [--cs137 A] [--k40 A] [--background]\n"
           "                        [--sim-devices N]]\n"
           "  --simulate       use the built-in simulated analyser instead of the USB driver\n"
           "  --sim-speed F    run the simulated analyser's clock F times faster (F > 0)\n"
           "  --cs134 A, --cs137 A, --k40 A\n"
           "                   activities of the simulated sample in Bq/kg (A >= 0)\n"
           "  --background     simulate a background measurement (no sample)\n"
           "  --sim-devices N  number of simulated analysers attached (0..8)\n"
           "  --sim-link L     link timing of the simulated analyser: instant or usb-full-speed\n"
           "       xmca [--serial PATH | --driver d2xx|libftdi]\n"
           "  --serial PATH    the analyser as a serial port (e.g. /dev/ttyUSB0)\n"
           "  --driver NAME    d2xx (the vendor library) or libftdi (libftdi1 over libusb);\n"
           "                   with no road named: the vendor library, else libftdi1\n";
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error) {
    CommandLine cl;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](double& out) {
            if (i + 1 >= args.size() || !toNumber(args[i + 1], out)) {
                error = a + " needs a number";
                return false;
            }
            ++i;
            return true;
        };
        double v = 0;
        if (a == "--simulate") {
            cl.simulate = true;
        } else if (a == "--background") {
            cl.background = true;
        } else if (a == "--help" || a == "-h") {
            cl.help = true;
        } else if (a == "--sim-speed") {
            if (!value(v)) return std::nullopt;
            if (v <= 0) {
                error = "--sim-speed must be above 0";
                return std::nullopt;
            }
            cl.simSpeed = v;
        } else if (a == "--cs134" || a == "--cs137" || a == "--k40") {
            if (!value(v)) return std::nullopt;
            if (v < 0) {
                error = a + " must not be negative";
                return std::nullopt;
            }
            (a == "--cs134" ? cl.cs134 : a == "--cs137" ? cl.cs137 : cl.k40) = v;
        } else if (a == "--sim-devices") {
            if (!value(v)) return std::nullopt;
            if (v < 0 || v > 8 || v != std::floor(v)) {
                error = "--sim-devices must be a whole number from 0 to 8";
                return std::nullopt;
            }
            cl.simDevices = static_cast<int>(v);
        } else if (a == "--serial" || a == "--driver" || a == "--sim-link") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            const std::string& v = args[++i];
            if (a == "--serial") {
                cl.serialPath = v;
            } else if (a == "--driver") {
                if (v != "d2xx" && v != "libftdi") {
                    error = "--driver must be d2xx or libftdi";
                    return std::nullopt;
                }
                cl.driverName = v;
            } else {
                if (v != "instant" && v != "usb-full-speed") {
                    error = "--sim-link must be instant or usb-full-speed";
                    return std::nullopt;
                }
                cl.simLink = v;
            }
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (int(cl.simulate) + int(!cl.serialPath.empty()) + int(!cl.driverName.empty()) > 1) {
        error = "name one road to the analyser: --simulate, --serial or --driver";
        return std::nullopt;
    }
    return cl;
}

}  // namespace xmca
