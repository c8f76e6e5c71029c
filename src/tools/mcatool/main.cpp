// mcatool: batch work on spectrum files with the program's own code.
#include <iostream>
#include <string_view>

#include "tools/mcatool/commands.h"

namespace {

constexpr mcatool::Command kCommands[] = {
    {"info", "FILE.dat", mcatool::runInfo},
    {"dump", "FILE.dat OUT.txt", mcatool::runDump},
    {"render", "FILE.dat OUT.png [--lo A] [--hi B] [--log] [--vfs I] [--cursor C]", mcatool::runRender},
    {"activity", "SAMPLE.dat BACKGROUND.dat [--net NET.dat] [--level X] [--lower-limit Y]", mcatool::runActivity},
};

int usage() {
    std::cerr << "usage:\n";
    for (const auto& c : kCommands) std::cerr << "  mcatool " << c.name << ' ' << c.usage << '\n';
    return mcatool::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view name = argv[1];
    for (const auto& c : kCommands) {
        if (name == c.name) return c.run(mcatool::Args(argv + 2, argv + argc), std::cout, std::cerr);
    }
    std::cerr << "mcatool: unknown command '" << name << "'\n";
    return usage();
}
