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
#include "support/first_schema.h"

#include <sqlite3.h>
#include <cmath>

namespace xmca {
namespace {

// A .dat file of Poisson counts of the simulator's expected rates, its acquisition
// started at `start` (stamped in local time, as an acquisition does).
void writeSimulated(const std::string& path, double gain, bool backgroundOnly, double seconds, std::uint64_t seed,
                    int channels = 2048, std::time_t start = std::time(nullptr) - 86400, double cs137 = 20000) {
    SimulatedAnalyserConfig cfg;
    cfg.cs137 = cs137;
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
    std::tm tm{};
    localtime_r(&start, &tm);
    using H = SpectrumHeader;
    h.setI16(H::kYear, static_cast<std::int16_t>(tm.tm_year + 1900));
    h.setI16(H::kMonth, static_cast<std::int16_t>(tm.tm_mon + 1));
    h.setI16(H::kDay, static_cast<std::int16_t>(tm.tm_mday));
    h.setI16(H::kHour, static_cast<std::int16_t>(tm.tm_hour));
    h.setI16(H::kMinute, static_cast<std::int16_t>(tm.tm_min));
    h.setI16(H::kSecond, static_cast<std::int16_t>(tm.tm_sec));
    ASSERT_EQ(writeSpectrumFile(path, h, counts), WriteStatus::Ok);
}

struct Lab {
    test::TempDir dir;
    std::unique_ptr<reg::Register> reg;
    std::string background = dir.file("bg.dat");
    QcSettings settings = tenRuns();
    int files = 0;
    // Check spectra acquired an hour apart, the last ones some hours ago.
    std::time_t clock = std::time(nullptr) - 30 * 86400;
    static QcSettings tenRuns() {
        QcSettings s;
        s.baselineRuns = 10;
        return s;
    }
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
    std::string write(double gain, double cs137 = 20000, double seconds = 300) {
        const std::string check = dir.file("check" + std::to_string(++files) + ".dat");
        clock += 3600;
        writeSimulated(check, gain, false, seconds, seedBase + static_cast<std::uint64_t>(files), 2048, clock, cs137);
        return check;
    }
    // Records the file; error is empty when it was recorded.
    QcRecordOutcome record(const std::string& check, std::string& error, bool newBaseline = false) {
        const QcFileMeasurement m = measureCheckFiles(check, background);
        EXPECT_TRUE(m.ok) << m.error;
        QcRecordOutcome out;
        error.clear();
        if (!recordQcRun(*reg, m, "lab-1", "tester", settings, newBaseline, out, error)) {
            EXPECT_FALSE(error.empty());
        }
        return out;
    }
    QcRecordOutcome run(double gain, bool newBaseline = false, double cs137 = 20000) {
        std::string error;
        const QcRecordOutcome out = record(write(gain, cs137), error, newBaseline);
        EXPECT_EQ(error, "");
        return out;
    }
    std::size_t recorded() {
        std::vector<reg::QcRun> runs;
        std::string error;
        EXPECT_TRUE(reg->listQcRuns({}, runs, error)) << error;
        return runs.size();
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
    // Ten runs, and more while their scatter does not agree with counting statistics.
    QcRecordOutcome o;
    for (int i = 1; i <= 10 || !o.baselineAccepted; ++i) {
        ASSERT_LE(i, 16) << "the baseline was never accepted";
        o = lab.run(1.0);
        EXPECT_EQ(o.run.status, "baseline");
        EXPECT_EQ(o.baseline.n, i);
        EXPECT_EQ(o.run.checkSha256.size(), 64u);
        EXPECT_GT(*o.run.peakChannelU, 0.05);
        EXPECT_LT(*o.run.peakChannelU, 0.5);
        if (i >= 10 && !o.baselineAccepted) {
            ASSERT_FALSE(o.assessment.reasons.empty());
            EXPECT_EQ(o.assessment.reasons[0].kind, qc::Reason::BaselineScatter);
            EXPECT_EQ(o.run.reason, qc::reasonsText(o.assessment.reasons));
        }
    }
    const int baselineRuns = o.baseline.n;
    int ok = 0;
    for (int i = 0; i < 5; ++i) {
        o = lab.run(1.0);
        EXPECT_NE(o.run.status, "action") << o.run.reason;
        ok += o.run.status == "ok";
        EXPECT_EQ(o.baseline.n, baselineRuns);
        EXPECT_NEAR(o.baseline.peakChannel.mean, 660, 3);
    }
    EXPECT_GE(ok, 4);
    EXPECT_EQ(lab.lockout(), "");

    const QcRecordOutcome drift = lab.run(1.05);
    EXPECT_EQ(drift.run.status, "action");
    EXPECT_NE(drift.run.reason.find("outside the middle half of the Cs window"), std::string::npos) << drift.run.reason;
    EXPECT_EQ(lab.lockout(), kQcActionRequired);
    // The lock-out holds whatever the daily rule says.
    lab.settings.requireDailyQc = true;
    EXPECT_EQ(lab.lockout(), kQcActionRequired);
    lab.settings.requireDailyQc = false;
    // Submitting a baseline run's spectrum again does not clear it: refused, not recorded.
    const std::size_t before = lab.recorded();
    std::string error;
    lab.record(lab.dir.file("check3.dat"), error);
    EXPECT_NE(error.find("already in the register (QC run 3)"), std::string::npos) << error;
    EXPECT_EQ(lab.recorded(), before);
    EXPECT_EQ(lab.lockout(), kQcActionRequired);

    // After recalibration: a new baseline clears it; the old one stays. A run still
    // 5 % off is action even as the first run of a baseline.
    reg::QcBaseline fresh;
    ASSERT_TRUE(startQcBaseline(*lab.reg, "lab-1", 10, "recalibrated", fresh, error)) << error;
    EXPECT_EQ(lab.lockout(), "");
    EXPECT_EQ(lab.run(1.05).run.status, "action");
    ASSERT_TRUE(startQcBaseline(*lab.reg, "lab-1", 10, "recalibrated again", fresh, error)) << error;
    EXPECT_EQ(lab.run(1.0).run.status, "baseline");
    EXPECT_EQ(lab.lockout(), "");

    qc::History h;
    ASSERT_TRUE(loadQcHistory(*lab.reg, "lab-1", h, error)) << error;
    ASSERT_EQ(h.runs.size(), static_cast<std::size_t>(baselineRuns + 8));
    ASSERT_EQ(h.baselines.size(), 3u);
    EXPECT_EQ(h.baselines[0].nRequired, baselineRuns);
    EXPECT_EQ(h.baselines[0].stats.n, baselineRuns);
    EXPECT_TRUE(h.baselines[0].accepted);
    EXPECT_EQ(h.baselines[2].id, fresh.id);
    EXPECT_EQ(h.baselines[2].stats.n, 1);
    EXPECT_EQ(h.runs[static_cast<std::size_t>(baselineRuns + 5)].status, qc::Status::Action);
    EXPECT_EQ(h.runs[static_cast<std::size_t>(baselineRuns + 5)].reason, drift.run.reason);
    EXPECT_NEAR(h.runs[static_cast<std::size_t>(baselineRuns + 6)].values.peakChannel, 693, 4);

    // Another installation's QC does not lock this one out, nor the other way.
    std::string reason;
    ASSERT_TRUE(qcLockoutReason(*lab.reg, "lab-2", lab.settings, reason, error)) << error;
    EXPECT_EQ(reason, "");
}

TEST(QcLog, NewBaselineOnRequestAndTheDailyRuleOnTheAcquisitionDate) {
    Lab lab;
    ASSERT_TRUE(lab.reg);
    lab.settings.requireDailyQc = true;
    lab.settings.baselineRuns = 3;
    EXPECT_EQ(lab.lockout(), kNoQcToday);
    // Acquired a month ago, recorded now: it does not pass today's QC.
    const QcRecordOutcome first = lab.run(1.0);
    const std::string acquiredDay = localDateOf(first.run.acquiredUtc);
    EXPECT_EQ(lab.lockout(), kNoQcToday);
    EXPECT_EQ(lab.lockout(acquiredDay), "");
    EXPECT_EQ(lab.lockout("2000-01-01"), kNoQcToday);
    lab.run(1.0);
    lab.run(1.0);
    EXPECT_EQ(lab.run(1.05).run.status, "action");
    // --new-baseline: the run starts a baseline of its own.
    const QcRecordOutcome again = lab.run(1.0, true);
    EXPECT_EQ(again.run.status, "baseline");
    EXPECT_NE(again.baselineId, first.baselineId);
    EXPECT_EQ(again.nRequired, 3);
    EXPECT_EQ(lab.lockout(localDateOf(again.run.acquiredUtc)), "");
}

TEST(QcLog, RefusedCheckSpectraLeaveNoTrace) {
    Lab lab;
    ASSERT_TRUE(lab.reg);
    lab.run(1.0);
    std::string error;
    // Dated tomorrow.
    const std::string tomorrow = lab.dir.file("tomorrow.dat");
    writeSimulated(tomorrow, 1.0, false, 300, 9001, 2048, std::time(nullptr) + 86400);
    lab.record(tomorrow, error);
    EXPECT_NE(error.find("is dated in the future"), std::string::npos) << error;
    // Acquired before the latest run.
    const std::string old = lab.dir.file("old.dat");
    writeSimulated(old, 1.0, false, 300, 9002, 2048, lab.clock - 7200);
    lab.record(old, error);
    EXPECT_NE(error.find("before the latest QC run of lab-1 (run 1"), std::string::npos) << error;
    // No acquisition start at all.
    const std::string undated = lab.dir.file("undated.dat");
    writeSimulated(undated, 1.0, false, 300, 9003);
    {
        SpectrumHeader h;
        std::vector<std::int32_t> counts(kMaxFileChannels);
        ASSERT_TRUE(readSpectrumFile(undated, h, counts).valid);
        h.setI16(SpectrumHeader::kYear, 0);
        ASSERT_EQ(writeSpectrumFile(undated, h, std::span(counts).first(2048)), WriteStatus::Ok);
    }
    lab.record(undated, error);
    EXPECT_NE(error.find("has no acquisition start date"), std::string::npos) << error;
    // Too few net counts: the error says how long to count (the rate is about 174 cps).
    lab.record(lab.write(1.0, 20000, 40), error);
    EXPECT_NE(error.find("net counts in the 662 keV window, at least 10000 are needed: count the check source for at "
                         "least "),
              std::string::npos)
        << error;
    const auto at = error.find("at least 5");
    EXPECT_NE(at, std::string::npos) << error;
    EXPECT_EQ(lab.recorded(), 1u);
    // Neither left a baseline behind.
    std::vector<reg::QcBaseline> baselines;
    ASSERT_TRUE(lab.reg->listQcBaselines(baselines, error)) << error;
    EXPECT_EQ(baselines.size(), 1u);
}

// The source decays 2.3 % a year: the rates are compared as of the baseline's first run.
TEST(QcLog, TheCheckSourcesDecayIsCorrectedByAcquisitionStart) {
    const double years = 3.0;
    const auto span = static_cast<std::time_t>(years * 365.25 * 86400);
    Lab lab;
    ASSERT_TRUE(lab.reg);
    lab.settings.baselineRuns = 5;
    lab.clock = std::time(nullptr) - span - 7 * 86400;
    QcRecordOutcome o;
    for (int i = 0; i < 5; ++i) o = lab.run(1.0);
    // Four hours after the first baseline run.
    EXPECT_NEAR(o.decayFactor, std::exp2(4 * 3600.0 / (30.08 * 365.25 * 86400)), 1e-9);
    // Three years on the source has 6.7 % less activity (half-life 30.08 years).
    lab.clock += span;
    const double left = std::exp2(-years / 30.08);
    o = lab.run(1.0, false, 20000 * left);
    EXPECT_NE(o.run.status, "action") << o.run.reason;
    EXPECT_NEAR(o.decayFactor, 1.0 / left, 1e-4);
    EXPECT_NEAR(o.netRateCorrectedCps / o.baseline.netRateCps.mean, 1.0, 0.02);
    EXPECT_NEAR(*o.run.netRateCps / o.baseline.netRateCps.mean, left, 0.02);  // the measured rate is kept as measured
    // A source that lost 8 % beyond its decay is action.
    lab.clock += 86400;
    o = lab.run(1.0, false, 20000 * left * 0.92);
    EXPECT_EQ(o.run.status, "action");
    // The chart shows the corrected rates.
    qc::History h;
    std::string error;
    ASSERT_TRUE(loadQcHistory(*lab.reg, "lab-1", h, error)) << error;
    EXPECT_NEAR(h.runs[5].values.netRateCps, o.baseline.netRateCps.mean, 0.02 * o.baseline.netRateCps.mean);
    // Without a correction (a half-life setting of a million years) the same decay alone is action.
    Lab other;
    other.settings.baselineRuns = 5;
    other.settings.halfLifeYears = 1e6;
    other.clock = lab.clock - span - 86400;
    for (int i = 0; i < 5; ++i) other.run(1.0);
    other.clock += span;
    EXPECT_EQ(other.run(1.0, false, 20000 * left).run.status, "action");
}

TEST(QcLog, TheLockoutBelongsToTheDetectorNotToTheInstallationName) {
    test::TempDir dir;
    const std::string conf = dir.file("laboratory.conf");
    LabSettings lab;
    lab.installation = "Bench A";
    EXPECT_EQ(qcDetector(lab), "Bench A");
    ASSERT_TRUE(bindQcDetector(lab, conf));
    EXPECT_EQ(lab.qcDetector, "Bench A");
    EXPECT_EQ(loadLabSettings(conf).qcDetector, "Bench A");
    lab.installation = "Bench B";
    EXPECT_EQ(qcDetector(lab), "Bench A");
    ASSERT_TRUE(bindQcDetector(lab, conf));
    EXPECT_EQ(loadLabSettings(conf).qcDetector, "Bench A");
    // A key bound elsewhere meanwhile (another program on this computer) is the one used.
    LabSettings stale;
    stale.installation = "Bench C";
    ASSERT_TRUE(bindQcDetector(stale, conf));
    EXPECT_EQ(stale.qcDetector, "Bench A");

    // With an "action" run on record, renaming the installation keeps verdicts withheld.
    Lab qc;
    ASSERT_TRUE(qc.reg);
    qc.settings.baselineRuns = 3;
    const QcFileMeasurement m = measureCheckFiles(qc.write(1.05), qc.background);
    QcRecordOutcome out;
    std::string error;
    LabSettings renamed = loadLabSettings(conf);
    ASSERT_TRUE(recordQcRun(*qc.reg, m, qcDetector(renamed), "", qc.settings, false, out, error)) << error;
    EXPECT_EQ(out.run.status, "action");
    renamed.installation = "Bench D";
    renamed.qcBaselineRuns = 3;
    EXPECT_EQ(qcLockoutReason(qc.reg.get(), renamed), kQcActionRequired);
}

TEST(QcLog, ARegisterOfTheFirstSchemaGainsTheNewColumns) {
    test::TempDir dir;
    const std::string path = dir.file("old.sqlite");
    std::string error;
    {
        auto reg = reg::openRegister(path, error);
        ASSERT_TRUE(reg) << error;
        reg::QcRun run;
        run.installation = "lab";
        run.peakChannel = 660;
        run.status = "ok";
        run.acquiredUtc = "2026-01-01T00:00:00Z";
        ASSERT_TRUE(reg->appendQcRun(run, error)) << error;
    }
    // Back to the first schema, as an earlier program left it.
    ASSERT_EQ(xmca::test::backToFirstSchema(path, error), SQLITE_OK) << error;

    auto reg = reg::openRegister(path, error);
    ASSERT_TRUE(reg) << error;
    std::vector<reg::QcRun> runs;
    ASSERT_TRUE(reg->listQcRuns({}, runs, error)) << error;
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].acquiredUtc, "");
    EXPECT_FALSE(runs[0].peakChannelU);
    EXPECT_EQ(*runs[0].peakChannel, 660);
    reg::QcRun next;
    next.installation = "lab";
    next.netRateU = 0.25;
    next.reason = "r";
    next.checkSha256 = std::string(64, 'a');
    ASSERT_TRUE(reg->appendQcRun(next, error)) << error;
    reg::QcRunFilter byHash;
    byHash.checkSha256 = std::string(64, 'a');
    ASSERT_TRUE(reg->listQcRuns(byHash, runs = {}, error)) << error;
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(*runs[0].netRateU, 0.25);
    EXPECT_EQ(runs[0].reason, "r");
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
