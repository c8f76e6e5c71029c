// mcatool against hostile paths: its own input as output, write-protected and
// full targets, FIFOs and directories as input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "files/temp_dir.h"
#include "tools/tool_run.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using test::TempDir;

using ToolResult = test::ToolRun;

// Runs mcatool with a 20 s limit, so a command that blocks fails instead of hanging.
ToolResult mcatool(const TempDir& dir, const std::string& args) {
    return test::runCommand(dir, "timeout 20 " + test::quote(test::mcatoolPath()) + " " + args);
}

std::string spectrumFile(const TempDir& dir, const std::string& name) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = 1024;
    for (int i = 0; i < 1024; ++i) s->spectrum[i] = i % 29;
    EXPECT_EQ(saveSpectrum(*s, dir.file(name)), "");
    return dir.file(name);
}

TEST(McatoolFiles, OutputThatIsTheInputIsRefusedAndTheFileKept) {
    TempDir dir;
    const std::string in = spectrumFile(dir, "same.dat");
    const std::string before = test::readAll(in);
    std::filesystem::create_symlink("same.dat", dir.path() / "alias.png");
    const std::string bg = spectrumFile(dir, "bg.dat");
    for (const std::string& args : {"dump '" + in + "' '" + in + "'", "render '" + in + "' '" + in + "'",
                                    "render '" + in + "' '" + dir.file("alias.png") + "'",
                                    "report '" + in + "' '" + dir.file("alias.png") + "'",
                                    "n42 '" + in + "' '" + in + "'",
                                    "n42 '" + bg + "' '" + in + "' --background '" + in + "'",
                                    "import-n42 '" + in + "' '" + in + "'",
                                    "activity '" + in + "' '" + bg + "' --net '" + in + "'"}) {
        SCOPED_TRACE(args);
        const ToolResult r = mcatool(dir, args);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.starts_with("Error !")) << r.err;
        EXPECT_EQ(test::readAll(in), before);
    }
}

TEST(McatoolFiles, WriteProtectedAndFullTargetsFailAndKeepThePreviousFile) {
    TempDir dir;
    const std::string in = spectrumFile(dir, "in.dat");
    test::writeAll(dir.file("ro.txt"), "keep me");
    ::chmod(dir.file("ro.txt").c_str(), 0444);
    ToolResult r = mcatool(dir, "dump '" + in + "' '" + dir.file("ro.txt") + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.starts_with("Error !")) << r.err;
    EXPECT_EQ(test::readAll(dir.file("ro.txt")), "keep me");

    r = mcatool(dir, "render '" + in + "' /dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.starts_with("Error !")) << r.err;

    ASSERT_EQ(mcatool(dir, "render '" + in + "' '" + dir.file("ok.png") + "'").code, 0);
    EXPECT_EQ(test::readAll(dir.file("ok.png")).substr(1, 3), "PNG");
}

TEST(McatoolFiles, FifoAndDirectoryInputsAreRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.dat").c_str(), 0600), 0);
    for (const std::string& cmd : {std::string("info"), std::string("dump"), std::string("render")}) {
        const std::string out = cmd == "info" ? "" : " '" + dir.file("o." + cmd) + "'";
        ToolResult r = mcatool(dir, cmd + " '" + dir.file("pipe.dat") + "'" + out);
        EXPECT_EQ(r.code, 1) << cmd;  // 124 would be the time limit
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << cmd << ": " << r.err;
        r = mcatool(dir, cmd + " '" + dir.path().string() + "'" + out);
        EXPECT_EQ(r.code, 1) << cmd;
        EXPECT_NE(r.err.find("is a directory"), std::string::npos) << cmd << ": " << r.err;
    }
}

// A FIFO as output: every writing command refuses it at once instead of waiting
// for a reader, and leaves it a FIFO.
TEST(McatoolFiles, FifoOutputsAreRefusedWithoutBlocking) {
    TempDir dir;
    const std::string in = spectrumFile(dir, "in.dat");
    const std::string bg = spectrumFile(dir, "bg.dat");
    test::writeAll(dir.file("in.n42"),
                   "<RadInstrumentData xmlns=\"http://physics.nist.gov/N42/2011/N42\"><RadMeasurement id=\"m\">"
                   "<MeasurementClassCode>Foreground</MeasurementClassCode>"
                   "<StartDateTime>2026-01-02T03:04:05</StartDateTime><RealTimeDuration>PT10S</RealTimeDuration>"
                   "<Spectrum id=\"s\"><LiveTimeDuration>PT9S</LiveTimeDuration>"
                   "<ChannelData>1 2 3 4</ChannelData></Spectrum></RadMeasurement></RadInstrumentData>");
    ASSERT_EQ(mcatool(dir, "import-n42 '" + dir.file("in.n42") + "' '" + dir.file("ok.dat") + "'").code, 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    const std::string pipe = "'" + dir.file("pipe") + "'";
    for (const std::string& args :
         {"dump '" + in + "' " + pipe, "render '" + in + "' " + pipe, "report '" + in + "' " + pipe,
          "n42 '" + in + "' " + pipe, "import-n42 '" + dir.file("in.n42") + "' " + pipe,
          "activity '" + in + "' '" + bg + "' --net " + pipe,
          "acquire --simulate --channels 512 --preset 1 -o " + pipe}) {
        SCOPED_TRACE(args);
        const ToolResult r = mcatool(dir, args);
        EXPECT_EQ(r.code, 1);  // 124: blocked until the time limit
        EXPECT_TRUE(r.err.find("Error !") != std::string::npos) << r.err;
        struct stat st {};
        ASSERT_EQ(::stat(dir.file("pipe").c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
}

}  // namespace
}  // namespace xmca
