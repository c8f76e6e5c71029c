// mcatool fwhm and fit, run as a program on files written by the program's code,
// against the same core the window calls.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "analysis/peak_fit.h"
#include "analysis/peak_width.h"
#include "files/temp_dir.h"
#include "tools/tool_run.h"
#include "model/spectrum_io.h"

namespace {

using xmca::test::TempDir;
using xmca::test::ToolRun;
using xmca::test::runTool;

QJsonObject parse(const std::string& out) {
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(QByteArray::fromStdString(out), &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << out;
    return d.object();
}

// A 2048-channel file with a Gaussian line at 660 (FWHM 50) and a small one at 1450.
std::unique_ptr<xmca::MeasurementState> writeSample(const std::string& path) {
    auto s = std::make_unique<xmca::MeasurementState>();
    s->channelCount = 2048;
    s->spectrum.fill(0);
    for (int k = 0; k < 2048; ++k) {
        const double a = (k - 660.0) / 50.0, b = (k - 1450.0) / 100.0;
        s->spectrum[k] = static_cast<std::int32_t>(3000.0 * std::exp(-2.773 * a * a) + 80.0 * std::exp(-2.773 * b * b) + 20.5);
    }
    EXPECT_EQ(xmca::saveSpectrum(*s, path), "");
    return s;
}

}  // namespace

TEST(McatoolPeak, FwhmMatchesTheWindowsComputation) {
    TempDir dir;
    const std::string f = dir.file("s.dat");
    const auto s = writeSample(f);
    for (const auto& [args, cursor, lo, hi] : {std::tuple{std::string("--cursor 662"), 662, 0, 2047},
                                               std::tuple{std::string("--hi 1480 --cursor 1450 --lo 1420"), 1450, 1420, 1480}}) {
        const ToolRun r = runTool(dir, "fwhm '" + f + "' " + args);
        ASSERT_EQ(r.code, 0) << r.err;
        const QJsonObject o = parse(r.out);
        const xmca::PeakWidth w = xmca::peakWidthAtCursor(s->spectrum, 2048, cursor, lo, hi);
        EXPECT_EQ(o["peak_channel"].toInt(), w.peak) << args;
        EXPECT_FLOAT_EQ(static_cast<float>(o["centroid"].toDouble()), w.centroid) << args;
        EXPECT_FLOAT_EQ(static_cast<float>(o["fwhm"].toDouble()), w.fwhm) << args;
        EXPECT_EQ(o.keys(), QStringList({"centroid", "fwhm", "peak_channel"}));
    }
    // The display range decides where a broad line's edges fall back.
    const ToolRun narrow = runTool(dir, "fwhm '" + f + "' --cursor 1450 --lo 1420 --hi 1480");
    const ToolRun wide = runTool(dir, "fwhm '" + f + "' --cursor 1450");
    EXPECT_LT(parse(narrow.out)["fwhm"].toDouble(), 60.0);
    EXPECT_GT(parse(wide.out)["fwhm"].toDouble(), 100.0);
}

TEST(McatoolPeak, FitPrintsStartValuesAndTheRefinement) {
    TempDir dir;
    const std::string f = dir.file("s.dat");
    const auto s = writeSample(f);
    const ToolRun r = runTool(dir, "fit '" + f + "' --cursor 650");
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = parse(r.out);
    const xmca::PeakFitOutcome want = xmca::fitPeakAtCursor(s->spectrum, 2048, 650, 0, 2047);
    ASSERT_TRUE(want.fit.ok);
    EXPECT_FLOAT_EQ(static_cast<float>(o["centroid"].toDouble()), want.start.position);
    EXPECT_FLOAT_EQ(static_cast<float>(o["width_ch"].toDouble()), want.start.widthCh);
    EXPECT_NEAR(o["width_ev"].toDouble(), want.start.widthCh * 5899.0 / want.start.position, 1e-3);
    const QJsonObject fit = o["fit"].toObject();
    EXPECT_EQ(fit.keys(), QStringList({"chi2_per_dof", "fwhm_ch", "fwhm_ev", "height1", "height2", "position"}));
    EXPECT_NEAR(fit["position"].toDouble(), want.fit.position, 1e-6);
    EXPECT_NEAR(fit["fwhm_ch"].toDouble(), want.fit.fwhm, 1e-6);
    EXPECT_NEAR(fit["fwhm_ev"].toDouble(), fit["fwhm_ch"].toDouble() * 5899.0 / fit["position"].toDouble(), 1e-6);
    EXPECT_NEAR(fit["height1"].toDouble() + fit["height2"].toDouble(), 3000.0, 30.0);
    EXPECT_NEAR(fit["fwhm_ch"].toDouble(), 50.0, 0.5);
    EXPECT_GE(fit["chi2_per_dof"].toDouble(), 0.0);
}

TEST(McatoolPeak, ErrorsAndUsage) {
    TempDir dir;
    const std::string f = dir.file("s.dat");
    writeSample(f);
    for (const char* cmd : {"fwhm", "fit"}) {
        const std::string c = cmd;
        // No count above 0 near the cursor: the sample's tail is 20, so use a file of zeros.
        ToolRun r = runTool(dir, c + " '" + dir.file("missing.dat") + "' --cursor 5");
        EXPECT_EQ(r.code, 1) << c;
        EXPECT_EQ(r.err.rfind("Error !", 0), 0u) << r.err;
        r = runTool(dir, c + " '" + f + "'");
        EXPECT_EQ(r.code, 2) << c;
        EXPECT_NE(r.err.find("usage: mcatool " + c + " FILE.dat --cursor M"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
        for (const char* bad : {"--cursor 12x", "--cursor 5 --lo 1.5", "--cursor 5 --bogus 1", "--cursor 5 other.dat"}) {
            r = runTool(dir, c + " '" + f + "' " + bad);
            EXPECT_EQ(r.code, 2) << c << ' ' << bad;
        }
    }
    // A file whose header does not match its blocks, and a spectrum of zeros.
    {
        std::FILE* fp = std::fopen(dir.file("short.dat").c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        std::fputs("not a spectrum", fp);
        std::fclose(fp);
    }
    auto zero = std::make_unique<xmca::MeasurementState>();
    zero->channelCount = 512;
    zero->spectrum.fill(0);
    ASSERT_EQ(xmca::saveSpectrum(*zero, dir.file("zero.dat")), "");
    for (const char* cmd : {"fwhm", "fit"}) {
        ToolRun r = runTool(dir, std::string(cmd) + " '" + dir.file("short.dat") + "' --cursor 5");
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.rfind("Error !", 0), 0u) << r.err;
        r = runTool(dir, std::string(cmd) + " '" + dir.file("zero.dat") + "' --cursor 100");
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.rfind("Error !", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

// Ranges that are not a range of the file are bad usage; a range too narrow for
// the peak gives no width instead of a negative one.
TEST(McatoolPeak, BadRangesAreUsageErrorsAndNoWidthIsNeverPrinted) {
    TempDir dir;
    const std::string f = dir.file("s.dat");
    writeSample(f);
    for (const std::string& cmd : {std::string("fwhm"), std::string("fit")}) {
        for (const std::string& args :
             {std::string("--cursor 660 --lo 700 --hi 600"), std::string("--cursor 660 --hi -2147483648"),
              std::string("--cursor 660 --lo -1"), std::string("--cursor 660 --hi 2048"),
              std::string("--cursor 2147483647"), std::string("--cursor 500 --lo 600 --hi 700")}) {
            const ToolRun r = runTool(dir, cmd + " '" + f + "' " + args);
            EXPECT_EQ(r.code, 2) << cmd << ' ' << args << ": " << r.out << r.err;
            EXPECT_EQ(r.out, "") << cmd << ' ' << args;
        }
        const ToolRun r = runTool(dir, cmd + " '" + f + "' --cursor 660 --lo 659 --hi 661");
        EXPECT_EQ(r.code, 1) << cmd << ": " << r.out;
        EXPECT_EQ(r.out, "") << cmd;
        EXPECT_TRUE(r.err.starts_with("Error !")) << r.err;
    }
}
