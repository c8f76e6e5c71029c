// Saves never go over the files the program reads its spectra from, damaged
// calibrations are not taken, and the cursor energy keeps its width.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>

#include "files/spectrum_file.h"
#include "files/temp_dir.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using H = SpectrumHeader;
using test::TempDir;

std::unique_ptr<MeasurementState> smallSpectrum() {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = 512;
    for (int i = 0; i < 512; ++i) s->spectrum[i] = i;
    return s;
}

TEST(OutputRules, TextDumpNeverReplacesASpectrumFileThatWasRead) {
    TempDir dir;
    auto s = smallSpectrum();
    ASSERT_EQ(saveSpectrum(*s, dir.file("same.dat")), "");
    const std::string before = test::readAll(dir.file("same.dat"));

    auto w = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*w, dir.file("same.dat")).valid);
    EXPECT_EQ(saveTextDump(*w, dir.file("same.dat")), kOutputIsInput);
    EXPECT_EQ(test::readAll(dir.file("same.dat")), before);
    EXPECT_EQ(saveTextDump(*w, dir.file("same.txt")), "");  // a new name is fine
}

TEST(OutputRules, SaveGoesBackOverItsOwnFileButNotOverTheBackground) {
    TempDir dir;
    auto s = smallSpectrum();
    ASSERT_EQ(saveSpectrum(*s, dir.file("bg.dat")), "");
    s->spectrum[3] = 99;
    ASSERT_EQ(saveSpectrum(*s, dir.file("sample.dat")), "");

    auto w = std::make_unique<MeasurementState>();
    ASSERT_EQ(readBackgroundFile(*w, dir.file("bg.dat")).memoryStored, 2);
    ASSERT_TRUE(loadSpectrum(*w, dir.file("sample.dat")).valid);
    const std::string bg = test::readAll(dir.file("bg.dat"));
    EXPECT_EQ(saveSpectrum(*w, dir.file("bg.dat")), kOutputIsInput);
    EXPECT_EQ(test::readAll(dir.file("bg.dat")), bg);
    w->spectrum[4] = 1234;
    EXPECT_EQ(saveSpectrum(*w, dir.file("sample.dat")), "");  // saving back is allowed
    auto check = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*check, dir.file("sample.dat")).valid);
    EXPECT_EQ(check->spectrum[4], 1234);
}

TEST(OutputRules, WriteProtectedTargetIsAFileWriteError) {
    TempDir dir;
    auto s = smallSpectrum();
    ASSERT_EQ(saveSpectrum(*s, dir.file("ro.dat")), "");
    ::chmod(dir.file("ro.dat").c_str(), 0444);
    const std::string before = test::readAll(dir.file("ro.dat"));
    s->spectrum[0] = 5;
    EXPECT_EQ(saveSpectrum(*s, dir.file("ro.dat")), kFileWriteError);
    EXPECT_EQ(saveTextDump(*s, dir.file("ro.dat")), kFileWriteError);
    EXPECT_EQ(test::readAll(dir.file("ro.dat")), before);
}

TEST(OutputRules, DamagedCalibrationIsNotTakenAndEnergiesKeepTheirWidth) {
    H h;
    h.setF32(H::kCalibMarker, 0.0f);
    h.setF32(H::kCalibCoef2, 0.0f);
    for (float gain : {1e38f, -2e4f}) {
        h.setF32(H::kCalibCoef1, gain);
        EXPECT_FALSE(headerCalibration(h).has_value()) << gain;
    }
    h.setF32(H::kCalibCoef1, 0.5f);
    h.setF32(H::kCalibCoef2, 3e7f);
    EXPECT_FALSE(headerCalibration(h).has_value());
    h.setF32(H::kCalibCoef2, -12.0f);
    ASSERT_TRUE(headerCalibration(h).has_value());  // an ordinary one still is

    EXPECT_EQ(energyLabel(661.66), "  661.66");
    EXPECT_EQ(energyLabel(-3.5), "   -3.50");
    EXPECT_LE(energyLabel(1024.0 * 1e38).size(), 10u);
    EXPECT_LE(energyLabel(-1e300).size(), 10u);
}

}  // namespace
}  // namespace xmca
