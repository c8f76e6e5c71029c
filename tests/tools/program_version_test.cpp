// --version, --help and the manual pages of both installed programs, run as programs.
// xmca must answer --version and --help without a display: the manual pages are made
// from them at build time, and a package check runs them on a machine with no screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "files/temp_dir.h"
#include "tools/tool_run.h"

namespace xmca {
namespace {

using test::quote;
using test::runCommand;
using test::TempDir;
using test::ToolRun;

std::string xmcaPath() { return test::binDir() + "/xmca"; }

// No display at all, and the X11 platform forced: building a QApplication here
// aborts the program, so an answer proves it came before the window.
ToolRun runWithoutDisplay(const TempDir& dir, const std::string& program, const std::string& args) {
    return runCommand(dir, "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " + quote(program) + " " + args);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ProgramVersion, BothProgramsPrintTheBuildVersionWithoutADisplay) {
    TempDir dir;
    const ToolRun x = runWithoutDisplay(dir, xmcaPath(), "--version");
    EXPECT_EQ(x.code, 0) << x.err;
    EXPECT_EQ(x.out, std::string("xmca ") + XMCA_VERSION + "\n");
    EXPECT_EQ(x.err, "");

    const ToolRun m = runWithoutDisplay(dir, test::mcatoolPath(), "--version");
    EXPECT_EQ(m.code, 0) << m.err;
    EXPECT_EQ(m.out, std::string("mcatool ") + XMCA_VERSION + "\n");
    EXPECT_EQ(m.err, "");

    // Among other options too, and whatever their order.
    const ToolRun late = runWithoutDisplay(dir, xmcaPath(), "--simulate --lang ja --version");
    EXPECT_EQ(late.code, 0) << late.err;
    EXPECT_EQ(late.out, x.out);
}

TEST(ProgramVersion, XmcaHelpNeedsNoDisplayAndNamesOptionsFilesAndExitStatus) {
    TempDir dir;
    const ToolRun r = runWithoutDisplay(dir, xmcaPath(), "--help");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Usage: xmca ", 0), 0u) << r.out;
    for (const char* part : {"--simulate", "--serial PATH", "--driver NAME", "--cs137 A", "--register PATH", "--version",
                             "\nFiles:\n", "register.sqlite", "laboratory.conf", "60-xmca-ftdi.rules",
                             "/usr/share/doc/xmca/postgresql/setup.sql", "\nEnvironment:\n", "*Exit status*"})
        EXPECT_TRUE(contains(r.out, part)) << part;
}

TEST(ProgramVersion, XmcaStillRefusesABadCommandLine) {
    TempDir dir;
    // A bad option is not mistaken for a request that needs no window: it reaches
    // the full parser (after QApplication took Qt's own options) and exits 2.
    const ToolRun r = runCommand(dir, "QT_QPA_PLATFORM=offscreen " + quote(xmcaPath()) + " --version --lang fr");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(contains(r.err, "--lang must be en or ja")) << r.err;
    EXPECT_EQ(r.out, "");
    // Qt's own options are taken by QApplication, ours answered after it.
    const ToolRun qt = runCommand(dir, "QT_QPA_PLATFORM=offscreen " + quote(xmcaPath()) + " -platform offscreen --version");
    EXPECT_EQ(qt.code, 0) << qt.err;
    EXPECT_EQ(qt.out, std::string("xmca ") + XMCA_VERSION + "\n");
}

TEST(ProgramVersion, McatoolHelpListsEveryCommandWithWhatItDoesAndTheExitCodes) {
    TempDir dir;
    const ToolRun r = test::runTool(dir, "--help");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Usage: mcatool COMMAND", 0), 0u) << r.out;
    for (const char* cmd : {"info", "dump", "render", "fwhm", "fit", "report", "n42", "import-n42", "acquire",
                            "activity", "screen", "register", "qc"}) {
        const std::size_t at = r.out.find(std::string("\n  mcatool ") + cmd + " ");
        ASSERT_NE(at, std::string::npos) << cmd;
        // The line after the usage line says what the command does.
        const std::size_t next = r.out.find('\n', at + 1);
        ASSERT_NE(next, std::string::npos);
        EXPECT_EQ(r.out.compare(next + 1, 22, std::string(22, ' ')), 0) << cmd;
        EXPECT_GT(r.out.find_first_not_of(' ', next + 1), next + 22) << cmd;
    }
    for (const char* part : {"*Exit status*", "  1  ", "\"Error !\"", "  2  ", "\nFiles:\n", "\nEnvironment:\n"})
        EXPECT_TRUE(contains(r.out, part)) << part;
}

TEST(ProgramVersion, ManualPagesHoldTheOptionsFilesAndExitStatus) {
#ifndef XMCA_MAN_DIR
    GTEST_SKIP() << "manual pages are not made in this build (sanitizer or fuzz build)";
#else
    TempDir dir;
    for (const char* prog : {"xmca", "mcatool"}) {
        const std::string page = std::string(XMCA_MAN_DIR) + "/" + prog + ".1.gz";
        ASSERT_TRUE(std::filesystem::exists(page)) << page;
        const ToolRun r = runCommand(dir, "gzip -dc " + quote(page));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(contains(r.out, std::string(".TH ") + (prog[0] == 'x' ? "XMCA" : "MCATOOL") + " \"1\""))
            << prog;
        EXPECT_TRUE(contains(r.out, std::string(" ") + XMCA_VERSION)) << prog;
        for (const char* section : {".SH SYNOPSIS", ".SH \"EXIT STATUS\"", ".SH FILES", ".SH ENVIRONMENT", ".SH \"SEE ALSO\""})
            EXPECT_TRUE(contains(r.out, section)) << prog << ": " << section;
        EXPECT_TRUE(contains(r.out, "\\-\\-version")) << prog;
    }
#endif
}

}  // namespace
}  // namespace xmca
