#include "command_line.h"

namespace xmca {

const char* usageText() {
    // Also the source of the manual page (help2man): "Files:", "Environment:" and
    // "*Exit status*" become its sections.
    static const std::string text =
        std::string("Usage: xmca [OPTION]...\n"
                    "Acquires gamma-ray spectra from a USB multichannel analyser on a scintillation\n"
                    "detector, shows them live and reads the Cs-134, Cs-137 and K-40 activity in\n"
                    "Bq/kg with its limits and a screening verdict.\n"
                    "Name at most one road to the analyser: --simulate (with the simulator's\n"
                    "options), --serial or --driver.\n"
                    "\n"
                    "Options:\n") +
        driverOptionsUsage() +
        "  --lang en|ja     the window's language (default: the locale's, Japanese for ja_*)\n"
        "  --register PATH  the sample register file (default: the data folder's register.sqlite),\n"
        "                   or a PostgreSQL server as postgresql://USER@HOST/DB (no password)\n"
        "  -h, --help       show this help and exit\n"
        "  --version        show the version and exit\n"
        "\n"
        "Files:\n"
        "  ~/.local/share/xmca/register.sqlite\n"
        "                    the sample and QC register (under $XDG_DATA_HOME if set)\n"
        "  ~/.local/share/xmca/register-queue.sqlite\n"
        "                    records waiting for the PostgreSQL server\n"
        "  ~/.local/share/xmca/spectra/\n"
        "                    spectra saved by the Screening page\n"
        "  ~/.config/xmca/laboratory.conf\n"
        "                    laboratory settings (under $XDG_CONFIG_HOME if set)\n"
        "  /usr/lib/udev/rules.d/60-xmca-ftdi.rules\n"
        "                    gives the plugdev group access to FTDI analysers\n"
        "  /usr/share/doc/xmca/postgresql/setup.sql\n"
        "                    sets up a laboratory's PostgreSQL server for the register\n"
        "\n"
        "Environment:\n"
        "  LANG             ja_* gives the Japanese window unless --lang is given\n"
        "  XMCA_REGISTER_QUEUE\n"
        "                    the file of records waiting for the server\n"
        "  PGPASSWORD       the server password (or ~/.pgpass)\n"
        "\n"
        "*Exit status*\n"
        "  0                the window was closed, or --help or --version\n"
        "  2                bad command line\n"
        "\n"
        "*See also*\n"
        "mcatool(1)\n";
    return text.c_str();
}

const char* versionText() {
    static const std::string text = std::string("xmca ") + XMCA_VERSION + "\n";
    return text.c_str();
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error) {
    CommandLine cl;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            cl.help = true;
            continue;
        }
        if (args[i] == "--version") {
            cl.version = true;
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
