// mcatool: batch work on spectrum files with the program's own code.
#include <iostream>
#include <string_view>

#include "tools/mcatool/commands.h"

namespace {

constexpr mcatool::Command kCommands[] = {
    {"info", "FILE.dat", "one JSON object describing the spectrum file", mcatool::runInfo},
    {"dump", "FILE.dat OUT.txt", "the text dump of the file as the window writes it", mcatool::runDump},
    {"render", "FILE.dat OUT.png [--lo A] [--hi B] [--log] [--vfs I] [--cursor C]", "the spectrum as the window draws it, as a PNG", mcatool::runRender},
    {"fwhm", "FILE.dat --cursor M [--lo A] [--hi B]", "centroid and FWHM of the peak at the cursor", mcatool::runFwhm},
    {"fit", "FILE.dat --cursor M [--lo A] [--hi B]", "the peak fit at the cursor: start values and refinement", mcatool::runFit},
    {"report", "FILE.dat OUT.pdf [--lo A] [--hi B] [--log] [--vfs I] [--dpi D]", "the printed report of the file as a one-page A4 PDF", mcatool::runReport},
    {"n42", "SAMPLE.dat OUT.n42 [--background BG.dat]", "the spectrum (and the background) as an N42.42-2011 document", mcatool::runN42},
    {"import-n42", "IN.n42 OUT.dat", "the first foreground measurement of an N42 document as a .dat file", mcatool::runImportN42},
    {"acquire",
     "[--simulate [--sim-speed F] [--sim-gain F] [--sim-efficiency F] [--cs134 A] [--cs137 A] [--k40 A] [--background] [--sim-link L]] | "
     "[--serial PATH] | [--driver d2xx|libftdi] --channels N --preset SECONDS [--dead-time US] [--clear] -o OUT.dat",
     "an unattended acquisition on the analyser, saved as a .dat file; Ctrl-C stops and saves", mcatool::runAcquire},
    {"activity",
     "SAMPLE.dat BACKGROUND.dat [--net NET.dat] [--level X] [--lower-limit Y] [--method NAME] [--mass-kg M] "
     "[--sampling-date YYYY-MM-DD [--decay-correct]] [--register DB]",
     "Cs-134, Cs-137 and K-40 activities in Bq/kg, limits and screening verdict as JSON", mcatool::runActivity},
    {"screen",
     "SAMPLE.dat BACKGROUND.dat --sample-id ID [--mass-kg M] [--product P] [--origin O] [--operator NAME] "
     "[--sampling-date YYYY-MM-DD [--decay-correct]] [--method NAME] [--register DB]",
     "the activity computation, recorded in the sample register", mcatool::runScreen},
    {"method",
     "calibrate --name NAME --background BG.dat --cs137 FILE --cs137-bq A --cs137-date YYYY-MM-DD [--cs137-u PCT] "
     "[--cs134 FILE --cs134-bq A --cs134-date D [--cs134-u PCT]] [--k40 FILE --k40-bq A [--k40-u PCT]] "
     "--mass-kg M [--mass-range LO-HI] [--geometry TEXT] [--register DB] | list [--register DB]",
     "a laboratory's calibrated method from standard spectra, recorded as the next version; every version",
     mcatool::runMethod},
    {"register",
     "list [--register DB] [--since YYYY-MM-DD] [--sample-id ID] [--installation NAME] | "
     "export --csv OUT [--register DB] | verify [--register DB] | "
     "migrate [--from SQLITE_FILE] --register postgresql://...",
     "the register as JSON or CSV, checked against its spectrum files, or moved to a server", mcatool::runRegister},
    {"qc", "CHECK.dat [--background BG.dat] [--register DB] [--new-baseline] | --chart OUT.png|OUT.pdf [--register DB]",
     "a daily check-source run judged and recorded, or the QC control chart", mcatool::runQc},
};

void printUsage(std::ostream& o) {
    o << "usage:\n";
    for (const auto& c : kCommands) o << "  mcatool " << c.name << ' ' << c.usage << '\n';
}

// --help; also the source of the manual page (help2man): "*Commands*", "Files:",
// "Environment:" and "*Exit status*" become its sections.
void printHelp(std::ostream& o) {
    o << "Usage: mcatool COMMAND [ARGUMENT]...\n"
         "Works on spectrum files, the sample register and the analyser without a window,\n"
         "with the same code as the xmca window. Results go to stdout (JSON where a\n"
         "result is asked for), messages to stderr.\n"
         "\n"
         "*Commands*\n";
    for (const auto& c : kCommands)
        o << "  mcatool " << c.name << ' ' << c.usage << "\n                      " << c.summary << '\n';
    o << "  mcatool --help      show this help and exit\n"
         "  mcatool --version   show the version and exit\n"
         "\n"
         "The road to the analyser of acquire: --simulate (the built-in simulated\n"
         "analyser, with its options as in xmca), --serial PATH (a serial port made by\n"
         "ftdi_sio) or --driver d2xx|libftdi; with none named, the vendor library if it\n"
         "loads, else libftdi1. DB is a register file or postgresql://USER@HOST/DB.\n"
         "\n"
         "Files:\n"
         "  ~/.local/share/xmca/register.sqlite\n"
         "                      the register of screen, register and qc without --register\n"
         "                      (under $XDG_DATA_HOME if set)\n"
         "  ~/.config/xmca/laboratory.conf\n"
         "                      laboratory settings (under $XDG_CONFIG_HOME if set)\n"
         "\n"
         "Environment:\n"
         "  XMCA_REGISTER_QUEUE\n"
         "                      the file of records waiting for the PostgreSQL server\n"
         "  PGPASSWORD          the server password (or ~/.pgpass)\n"
         "\n"
         "*Exit status*\n"
         "  0                   success\n"
         "  1                   file or data error (the message starts \"Error !\")\n"
         "  2                   bad usage\n"
         "\n"
         "*See also*\n"
         "xmca(1)\n";
}

int usage() {
    printUsage(std::cerr);
    return mcatool::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(std::cout);
        return mcatool::kExitOk;
    }
    if (name == "--version") {
        std::cout << "mcatool " << XMCA_VERSION << '\n';
        return mcatool::kExitOk;
    }
    for (const auto& c : kCommands) {
        if (name == c.name) return c.run(mcatool::Args(argv + 2, argv + argc), std::cout, std::cerr);
    }
    std::cerr << "mcatool: unknown command '" << name << "'\n";
    return usage();
}
