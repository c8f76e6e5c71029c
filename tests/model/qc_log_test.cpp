// Check-source QC kept in a real register file: a baseline of ten simulated runs,
// runs judged against it, a gain drift that locks verdicts out, a new baseline
// that clears it, and the daily rule.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>

#include "device/simulated_analyser.h"
#include "files/spectrum_file.h"
#include "files/temp_dir.h"
#include "model/qc_log.h"

namespace xmca {
namespace {

// A .dat file of Poisson counts of the simulator's expected rates.
void writeSimulated(const std::string& path, double gain, bool backgroundOnly, double seconds, std::uint64_t seed,
                    int channels = 2048) {
    SimulatedAnalyserConfig cfg;
    cfg.cs137 = 20000;
    cfg.cs134 = 0;
    cfg.k40 = 0;
    cfg.gain = gain;
    cfg.backgroundOnly = backgroundOnly;
    const auto rates = SimulatedAnalyser(cfg).expectedRates(channels);
    std::mt19937_64 rng(seed);
    std::vector<std::int32_t> counts(rates.size());
    for (std::size_t i = 0; i < rates.size(); ++i)
        counts[i] = std::poisson_distribution<std::int32_t>(std::max(rates[i] * seconds, 1e-12))(rng);
    SpectrumHeader h;
    h.setChannelCount(static_cast<std::int16_t>(channels));
    h.setI32(SpectrumHeader::kRealTime, static_cast<std::int32_t>(seconds * 10));
    h.setI32(SpectrumHeader::kLiveTime, static_cast<std::int32_t>(seconds * 10));
    ASSERT_EQ(writeSpectrumFile(path, h, counts), WriteStatus::Ok);
}

struct Lab {
    test::TempDir dir;
    std::unique_ptr<reg::Register> reg;
    std::string background = dir.file("bg.dat");
    QcSettings settings;
    int files = 0;
    // Counting noise is random: a baseline of ten runs estimates each sd only to
    // about a quarter, so a fixed stream keeps the within-baseline runs' verdicts
    // repeatable.
    std::uint64_t seedBase = 200;

    Lab() {
        std::string error;
        reg = reg::openRegister(dir.file("register.sqlite"), error);
        EXPECT_TRUE(reg) << error;
        writeSimulated(background, 1.0, true, 3600, 999);
    }
    QcRecordOutcome run(double gain, bool newBaseline = false) {
        const std::string check = dir.file("check" + std::to_string(++files) + ".dat");
        writeSimulated(check, gain, false, 300, seedBase + static_cast<std::uint64_t>(files));
        const QcFileMeasurement m = measureCheckFiles(check, background);
        EXPECT_TRUE(m.ok) << m.error;
        QcRecordOutcome out;
        std::string error;
        EXPECT_TRUE(recordQcRun(*reg, m, "lab-1", "tester", settings, newBaseline, out, error)) << error;
        return out;
    }
    std::string lockout(const std::string& today = "") {
        std::string reason, error;
        EXPECT_TRUE(qcLockoutReason(*reg, "lab-1", settings, reason, error, today)) << error;
        return reason;
    }
};

TEST(QcLog, BaselineOkActionAndANewBaselineThatClearsIt) {
    Lab lab;
    ASSERT_TRUE(lab.reg);
    EXPECT_EQ(lab.lockout(), "");  // no QC yet and no daily rule: verdicts are given
    for (int i = 1; i <= 10; ++i) {
        const QcRecordOutcome o = lab.run(1.0);
        EXPECT_EQ(o.run.status, "baseline");
        EXPECT_EQ(o.baseline.n, i);
        EXPECT_GT(o.run.id, 0);
        EXPECT_EQ(o.run.checkSha256.size(), 64u);
    }
    int ok = 0;
    for (int i = 0; i < 5; ++i) {
        const QcRecordOutcome o = lab.run(1.0);
        EXPECT_NE(o.run.status, "action") << (o.assessment.reasons.empty() ? "" : qc::reasonText(o.assessment.reasons.front())) << " sd " << o.baseline.peakChannel.sd << " " << o.baseline.fwhmPercent.sd << " " << o.baseline.netRateCps.sd;
        ok += o.run.status == "ok";
        EXPECT_EQ(o.baseline.n, 10);
        EXPECT_NEAR(o.baseline.peakChannel.mean, 660, 3);
    }
    EXPECT_GE(ok, 4);
    EXPECT_EQ(lab.lockout(), "");

    const QcRecordOutcome drift = lab.run(1.05);
    EXPECT_EQ(drift.run.status, "action");
    EXPECT_EQ(lab.lockout(), kQcActionRequired);
    // The lock-out holds whatever the daily rule says.
    lab.settings.requireDailyQc = true;
    EXPECT_EQ(lab.lockout(), kQcActionRequired);
    lab.settings.requireDailyQc = false;

    // After recalibration: a new baseline clears it; the old one stays.
    reg::QcBaseline fresh;
    std::string error;
    ASSERT_TRUE(startQcBaseline(*lab.reg, "lab-1", 10, "recalibrated", fresh, error)) << error;
    EXPECT_EQ(lab.lockout(), "");
    EXPECT_EQ(lab.run(1.05).run.status, "baseline");
    EXPECT_EQ(lab.lockout(), "");

    qc::History h;
    ASSERT_TRUE(loadQcHistory(*lab.reg, "lab-1", h, error)) << error;
    ASSERT_EQ(h.runs.size(), 17u);
    ASSERT_EQ(h.baselines.size(), 2u);
    EXPECT_EQ(h.baselines[0].nRequired, 10);
    EXPECT_EQ(h.baselines[0].stats.n, 10);
    EXPECT_EQ(h.baselines[1].id, fresh.id);
    EXPECT_EQ(h.baselines[1].stats.n, 1);
    EXPECT_EQ(h.runs[15].status, qc::Status::Action);
    EXPECT_NEAR(h.runs[16].values.peakChannel, 693, 4);

    // Another installation's QC does not lock this one out, nor the other way.
    std::string reason;
    ASSERT_TRUE(qcLockoutReason(*lab.reg, "lab-2", lab.settings, reason, error)) << error;
    EXPECT_EQ(reason, "");
}

TEST(QcLog, NewBaselineOnRequestAndTheDailyRule) {
    Lab lab;
    ASSERT_TRUE(lab.reg);
    lab.settings.requireDailyQc = true;
    lab.settings.baselineRuns = 3;
    EXPECT_EQ(lab.lockout(), kNoQcToday);
    const QcRecordOutcome first = lab.run(1.0);
    EXPECT_EQ(lab.lockout(), "");
    EXPECT_EQ(lab.lockout("2000-01-01"), kNoQcToday);
    lab.run(1.0);
    lab.run(1.0);
    EXPECT_EQ(lab.run(1.05).run.status, "action");
    // --new-baseline: the run starts a baseline of its own.
    const QcRecordOutcome again = lab.run(1.05, true);
    EXPECT_EQ(again.run.status, "baseline");
    EXPECT_NE(again.baselineId, first.baselineId);
    EXPECT_EQ(again.nRequired, 3);
    EXPECT_EQ(lab.lockout(), "");
}

TEST(QcLog, UnreadableInputsAreNotRecorded) {
    test::TempDir dir;
    const std::string bg1024 = dir.file("bg1024.dat"), check = dir.file("check.dat");
    writeSimulated(bg1024, 1.0, true, 600, 1, 1024);
    writeSimulated(check, 1.0, false, 300, 2);
    QcFileMeasurement m = measureCheckFiles(dir.file("missing.dat"), "");
    EXPECT_FALSE(m.ok);
    EXPECT_EQ(m.error.rfind("Error ! cannot open", 0), 0u) << m.error;
    m = measureCheckFiles(check, bg1024);
    EXPECT_FALSE(m.ok);
    EXPECT_NE(m.error.find("1024 channels"), std::string::npos) << m.error;
    m = measureCheckFiles(check, dir.path());  // a folder as the background
    EXPECT_FALSE(m.ok);

    std::string error;
    auto reg = reg::openRegister(dir.file("r.sqlite"), error);
    ASSERT_TRUE(reg) << error;
    QcRecordOutcome out;
    EXPECT_FALSE(recordQcRun(*reg, m, "lab", "", {}, false, out, error));
    std::vector<reg::QcRun> runs;
    ASSERT_TRUE(reg->listQcRuns({}, runs, error));
    EXPECT_TRUE(runs.empty());

    // Without a background the net rate is the gross rate and no background rate is kept.
    m = measureCheckFiles(check, "");
    ASSERT_TRUE(m.ok) << m.error;
    ASSERT_TRUE(recordQcRun(*reg, m, "lab", "", {}, false, out, error)) << error;
    EXPECT_FALSE(out.run.backgroundRateCps);
    EXPECT_TRUE(out.run.backgroundFile.empty());
}

TEST(QcLog, TheQcDayIsTheLocalDay) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    EXPECT_EQ(localDateOf("2026-12-08T23:30:00Z"), "2026-12-09");
    EXPECT_EQ(localDateOf("2026-12-08T14:59:59Z"), "2026-12-08");
    EXPECT_EQ(localDateOf("garbage"), "");
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace xmca
