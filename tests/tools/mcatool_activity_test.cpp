// mcatool activity, run as a program on spectra acquired from the simulated
// analyser: the JSON contract, the net spectrum it writes, settings and refusals.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "files/temp_dir.h"
#include "tools/tool_run.h"
#include "model/bq_calic.h"
#include "support/simulated_spectra.h"

namespace xmca {
namespace {

using test::TempDir;
using ToolResult = test::ToolRun;

ToolResult activityRun(const TempDir& dir, const std::string& args) { return test::runTool(dir, "activity " + args); }


struct Spectra {
    TempDir dir;
    std::string sample = dir.file("s.dat"), bg = dir.file("b.dat");
    Spectra() {
        SimulatedAnalyserConfig c;
        c.seed = 11;
        EXPECT_TRUE(test::acquireAndSave(c, 36000, sample));
        c.backgroundOnly = true;
        c.seed = 12;
        EXPECT_TRUE(test::acquireAndSave(c, 36000, bg));
    }
};

QStringList keysInOrder(const std::string& json, const QStringList& keys) {
    // The order the keys first appear in the text.
    QList<std::pair<qsizetype, QString>> at;
    const QString text = QString::fromStdString(json);
    for (const QString& k : keys) at.append({text.indexOf('"' + k + '"'), k});
    std::sort(at.begin(), at.end());
    QStringList out;
    for (const auto& p : at) out << p.second;
    return out;
}

TEST(McatoolActivity, PrintsTheWindowFiguresAndWritesTheNetSpectrum) {
    Spectra sp;
    const std::string net = sp.dir.file("net.dat");
    const ToolResult r = activityRun(sp.dir, sp.sample + " " + sp.bg + " --net " + net);
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(keysInOrder(r.out, {"counting_time_s", "windows", "activity", "screening"}),
              QStringList({"counting_time_s", "windows", "activity", "screening"}));
    EXPECT_EQ(o["counting_time_s"].toDouble(), 3600.0);
    const QJsonArray w = o["windows"].toArray();
    ASSERT_EQ(w.size(), 3);
    EXPECT_EQ(w[0]["roi"].toInt(), 2);
    EXPECT_EQ(w[0]["label"].toString(), "Cs-All");
    EXPECT_EQ(w[1]["label"].toString(), "Cs-134");
    EXPECT_EQ(w[2]["label"].toString(), "K-40");
    EXPECT_EQ(w[2]["start"].toInt(), 686);
    EXPECT_EQ(w[2]["end"].toInt(), 756);

    // The same figures as the window's own computation on the same files.
    auto s = std::make_unique<MeasurementState>();
    readSampleFile(*s, sp.sample);
    readBackgroundFile(*s, sp.bg);
    ASSERT_TRUE(bqCalic(*s).computed);
    EXPECT_EQ(w[0]["gross"].toInt(), s->activity.windows[kWinCsAll].gross);
    EXPECT_EQ(w[1]["net"].toInt(), s->activity.windows[kWinCs134].net);
    const QJsonObject a = o["activity"].toObject();
    EXPECT_EQ(a.keys().size(), 4);
    for (int row = 0; row < 4; ++row) {
        const QJsonObject f = a[kActivityRowLabels[row]].toObject();
        EXPECT_NEAR(f["bq_per_kg"].toDouble(), s->activity.activity[row].bqPerKg, 0.05 + 1e-6);
        EXPECT_NEAR(f["sigma"].toDouble(), s->activity.activity[row].sigma, 0.05 + 1e-6);
    }
    const QJsonObject sc = o["screening"].toObject();
    EXPECT_EQ(sc["level"].toDouble(), 50.0);
    EXPECT_EQ(sc["lower_limit"].toDouble(), 25.0);
    EXPECT_EQ(sc["k"].toDouble(), 1.645);
    EXPECT_EQ(sc["verdict"].toString(), "Above screening level - confirm");
    EXPECT_TRUE(sc["count_time_needed_s"].isNull());
    EXPECT_EQ(sc["cs_total"].toObject().keys().size(), 5);
    EXPECT_EQ(sc["cs134"].toObject().keys().size(), 4);
    EXPECT_TRUE(sc["gain_check"]["ok"].toBool());

    // The net spectrum: 1024 channels, as memory 3 holds it.
    ASSERT_TRUE(std::filesystem::exists(net));
    EXPECT_EQ(std::filesystem::file_size(net), 1024u + 4u * 1024u);
    auto back = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*back, net).valid);
    EXPECT_EQ(back->spectrum[300], s->mem[2].counts[300]);

    // Settings change the verdict only.
    const ToolResult high = activityRun(sp.dir, sp.sample + " " + sp.bg + " --level 1000 --lower-limit 30");
    ASSERT_EQ(high.code, 0) << high.err;
    const QJsonObject sh = QJsonDocument::fromJson(QByteArray::fromStdString(high.out)).object()["screening"].toObject();
    EXPECT_EQ(sh["verdict"].toString(), "Below screening level");
    EXPECT_EQ(sh["lower_limit"].toDouble(), 30.0);
}

QJsonObject screeningOf(const ToolResult& r) {
    EXPECT_EQ(r.code, 0) << r.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object()["screening"].toObject();
}

// A pair of 3600 s spectra from the simulator (300 Bq/kg caesium) at n channels.
std::pair<std::string, std::string> pairOf(const TempDir& dir, int n, double gain = 1.0) {
    SimulatedAnalyserConfig c;
    c.gain = gain;
    c.seed = 21;
    const std::string tag = std::to_string(n) + "_" + std::to_string(static_cast<int>(gain * 100));
    const std::string sample = dir.file("s" + tag + ".dat"), bg = dir.file("b" + tag + ".dat");
    EXPECT_TRUE(test::acquireAndSave(c, 36000, sample, n));
    c.backgroundOnly = true;
    c.seed = 22;
    EXPECT_TRUE(test::acquireAndSave(c, 36000, bg, n));
    return {sample, bg};
}

TEST(McatoolActivity, WithholdsTheVerdictWithoutGroundsForIt) {
    TempDir dir;
    for (int n : {512, 1024, 4096}) {
        const auto [sample, bg] = pairOf(dir, n);
        const QJsonObject sc = screeningOf(activityRun(dir, sample + " " + bg));
        EXPECT_EQ(sc["verdict"].toString(), "No verdict - windows need 2048 channels") << n;
        EXPECT_TRUE(sc["count_time_needed_s"].isNull());
        EXPECT_TRUE(sc["cs_total"]["activity"].isDouble());  // the figures are still given
    }
    const auto [sample, bg] = pairOf(dir, 2048);
    const ToolResult normal = activityRun(dir, sample + " " + bg);
    EXPECT_EQ(screeningOf(normal)["verdict"].toString(), "Above screening level - confirm") << normal.out;
    // A gain 15 % high moves the lines off their windows.
    const auto [hs, hb] = pairOf(dir, 2048, 1.15);
    EXPECT_EQ(screeningOf(activityRun(dir, hs + " " + hb))["verdict"].toString(), "No verdict - check gain");
    // The lower limit missed with a short count: no time needed once withheld.
    EXPECT_TRUE(screeningOf(activityRun(dir, hs + " " + hb + " --lower-limit 0.5"))["count_time_needed_s"].isNull());

    // A dead sample (all zeros) against a normal background.
    auto z = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*z, sample).valid);
    std::fill(z->spectrum.begin(), z->spectrum.end(), 0);
    ASSERT_EQ(saveSpectrum(*z, dir.file("zero.dat")), "");
    const QJsonObject dead = screeningOf(activityRun(dir, dir.file("zero.dat") + " " + bg));
    EXPECT_EQ(dead["verdict"].toString(), "No verdict - sample below background");
    EXPECT_LT(dead["cs_total"]["activity"].toDouble(), 0.0);

    // Counts no analyser gives: refused in the sample and in the background.
    for (const std::int32_t bad : {-5, static_cast<std::int32_t>(0xFFFFFFFFu)}) {
        auto b = std::make_unique<MeasurementState>();
        ASSERT_TRUE(loadSpectrum(*b, sample).valid);
        b->spectrum[700] = bad;
        ASSERT_EQ(saveSpectrum(*b, dir.file("bad.dat")), "");
        const ToolResult rs = activityRun(dir, dir.file("bad.dat") + " " + bg);
        EXPECT_EQ(rs.code, 1);
        EXPECT_EQ(rs.err.rfind(std::string(kSampleBadCounts), 0), 0u) << rs.err;
        EXPECT_TRUE(rs.out.empty());
        const ToolResult rb = activityRun(dir, sample + " " + dir.file("bad.dat"));
        EXPECT_EQ(rb.code, 1);
        EXPECT_EQ(rb.err.rfind(std::string(kBackgroundBadCounts), 0), 0u) << rb.err;
    }
}

TEST(McatoolActivity, ExitCodesForBadUsageAndBadFiles) {
    Spectra sp;
    EXPECT_EQ(activityRun(sp.dir, sp.sample).code, 2);
    EXPECT_EQ(activityRun(sp.dir, sp.sample + " " + sp.bg + " --level").code, 2);
    EXPECT_EQ(activityRun(sp.dir, sp.sample + " " + sp.bg + " --level abc").code, 2);
    // Decimal only: "0x10" is not 16, nor "inf" a level.
    for (const char* v : {"0x10", "0X1p4", "inf", "nan", "1e999"})
        EXPECT_EQ(activityRun(sp.dir, sp.sample + " " + sp.bg + " --level " + v).code, 2) << v;
    EXPECT_EQ(activityRun(sp.dir, sp.sample + " " + sp.bg + " --bogus 1").code, 2);

    const ToolResult missing = activityRun(sp.dir, sp.sample + " " + sp.dir.file("none.dat"));
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err.rfind("Error !", 0), 0u) << missing.err;
    EXPECT_TRUE(missing.out.empty());

    test::writeAll(sp.dir.file("junk.dat"), std::string(700, 'x'));
    const ToolResult junk = activityRun(sp.dir, sp.dir.file("junk.dat") + " " + sp.bg);
    EXPECT_EQ(junk.code, 1);
    EXPECT_EQ(junk.err.rfind("Error !", 0), 0u) << junk.err;

    // A background of zero real time: no division, a message.
    auto z = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*z, sp.bg).valid);
    z->realTime = 0;
    ASSERT_EQ(saveSpectrum(*z, sp.dir.file("zero.dat")), "");
    const ToolResult zero = activityRun(sp.dir, sp.sample + " " + sp.dir.file("zero.dat"));
    EXPECT_EQ(zero.code, 1);
    EXPECT_EQ(zero.err, std::string(kBackgroundRealTimeZero) + "\n");
}

}  // namespace
}  // namespace xmca
