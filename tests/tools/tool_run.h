// Running the built batch tool (or another program) from a test: mcatool sits in
// bin/ beside the tests/ folder of the test program; stdout and stderr are kept in
// files of the test's temporary folder.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/temp_dir.h"

namespace xmca::test {

inline std::string binDir() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin").string();
}

inline std::string mcatoolPath() { return binDir() + "/mcatool"; }

// s as one shell word.
inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct ToolRun {
    int code = -1;  // exit code; -1 when killed by a signal
    std::string out, err;
};

// Runs the shell command line cmd.
inline ToolRun runCommand(const TempDir& dir, const std::string& cmd) {
    const std::string o = dir.file("stdout"), e = dir.file("stderr");
    const int st = std::system((cmd + " >" + quote(o) + " 2>" + quote(e)).c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, readAll(o), readAll(e)};
}

// Runs mcatool with args (already quoted where needed).
inline ToolRun runTool(const TempDir& dir, const std::string& args) {
    return runCommand(dir, quote(mcatoolPath()) + " " + args);
}

}  // namespace xmca::test
