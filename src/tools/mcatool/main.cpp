// mcatool: batch work on spectrum files with the program's own code.
#include <iostream>
#include <string_view>

#include "tools/mcatool/commands.h"

namespace {

constexpr mcatool::Command kCommands[] = {
    {"info", "FILE.dat", mcatool::runInfo},
    {"dump", "FILE.dat OUT.txt", mcatool::runDump},
    {"render", "FILE.dat OUT.png [--lo A] [--hi B] [--log] [--vfs I] [--cursor C]", mcatool::runRender},
    {"fwhm", "FILE.dat --cursor M [--lo A] [--hi B]", mcatool::runFwhm},
    {"fit", "FILE.dat --cursor M [--lo A] [--hi B]", mcatool::runFit},
    {"report", "FILE.dat OUT.pdf [--lo A] [--hi B] [--log] [--vfs I] [--dpi D]", mcatool::runReport},
    {"n42", "SAMPLE.dat OUT.n42 [--background BG.dat]", mcatool::runN42},
    {"import-n42", "IN.n42 OUT.dat", mcatool::runImportN42},
    {"acquire",
     "[--simulate [--sim-speed F] [--sim-gain F] [--sim-efficiency F] [--cs134 A] [--cs137 A] [--k40 A] [--background] [--sim-link L]] | "
     "[--serial PATH] | [--driver d2xx|libftdi] --channels N --preset SECONDS [--dead-time US] [--clear] -o OUT.dat",
     mcatool::runAcquire},
    {"activity",
     "SAMPLE.dat BACKGROUND.dat [--net NET.dat] [--level X] [--lower-limit Y] [--method NAME] [--mass-kg M] "
     "[--sampling-date YYYY-MM-DD [--decay-correct]] [--register DB]",
     mcatool::runActivity},
    {"screen",
     "SAMPLE.dat BACKGROUND.dat --sample-id ID [--mass-kg M] [--product P] [--origin O] [--operator NAME] "
     "[--sampling-date YYYY-MM-DD [--decay-correct]] [--method NAME] [--register DB]",
     mcatool::runScreen},
    {"method",
     "calibrate --name NAME --background BG.dat --cs137 FILE --cs137-bq A --cs137-date YYYY-MM-DD [--cs137-u PCT] "
     "[--cs134 FILE --cs134-bq A --cs134-date D [--cs134-u PCT]] [--k40 FILE --k40-bq A [--k40-u PCT]] "
     "--mass-kg M [--mass-range LO-HI] [--geometry TEXT] [--register DB] | list [--register DB]",
     mcatool::runMethod},
    {"register",
     "list [--register DB] [--since YYYY-MM-DD] [--sample-id ID] [--installation NAME] | "
     "export --csv OUT [--register DB] | verify [--register DB] | "
     "migrate [--from SQLITE_FILE] --register postgresql://...",
     mcatool::runRegister},
    {"qc", "CHECK.dat [--background BG.dat] [--register DB] [--new-baseline] | --chart OUT.png|OUT.pdf [--register DB]",
     mcatool::runQc},
};

void printUsage(std::ostream& o) {
    o << "usage:\n";
    for (const auto& c : kCommands) o << "  mcatool " << c.name << ' ' << c.usage << '\n';
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
        printUsage(std::cout);
        return mcatool::kExitOk;
    }
    for (const auto& c : kCommands) {
        if (name == c.name) return c.run(mcatool::Args(argv + 2, argv + argc), std::cout, std::cerr);
    }
    std::cerr << "mcatool: unknown command '" << name << "'\n";
    return usage();
}
