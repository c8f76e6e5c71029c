#include "command_line.h"

namespace xmca {

const char* usageText() {
    static const std::string text =
        std::string("usage: xmca [--simulate [--sim-speed F] [--sim-gain F] [--sim-efficiency F] [--cs134 A] [--cs137 A] [--k40 A] [--background]\n"
                    "                        [--sim-devices N] [--sim-link L]] | [--serial PATH] | [--driver NAME]\n"
                    "            [--lang en|ja] [--register PATH]\n") +
        driverOptionsUsage() +
        "  --lang en|ja     the window's language (default: the locale's, Japanese for ja_*)\n"
        "  --register PATH  the sample register file (default: the data folder's register.sqlite)\n";
    return text.c_str();
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error) {
    CommandLine cl;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            cl.help = true;
            continue;
        }
        if (args[i] == "--lang") {
            if (i + 1 >= args.size() || (args[i + 1] != "en" && args[i + 1] != "ja")) {
                error = "--lang must be en or ja";
                return std::nullopt;
            }
            cl.lang = args[++i];
            continue;
        }
        if (args[i] == "--register") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--register needs a path";
                return std::nullopt;
            }
            cl.registerLocation = args[++i];
            continue;
        }
        const int taken = parseDriverOption(args, i, cl.road, error);
        if (taken < 0) return std::nullopt;
        if (taken == 0) {
            error = "unknown option " + args[i];
            return std::nullopt;
        }
    }
    // The simulator's options without --simulate are ignored here, not refused.
    if (cl.road.roadsNamed > 1) {
        error = "name one road to the analyser: --simulate, --serial or --driver";
        return std::nullopt;
    }
    return cl;
}

}  // namespace xmca
