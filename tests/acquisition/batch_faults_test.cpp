// The unattended acquisition against an analyser that stops answering or loses
// blocks at the end: only counts the analyser sent are ever offered for saving,
// and a final spectrum is read whole before it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "acquisition/batch_acquisition.h"
#include "device/simulated_analyser.h"

namespace xmca {
namespace {

struct BatchFaults : ::testing::Test {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim{hot(), clock};
    std::unique_ptr<MeasurementState> s = std::make_unique<MeasurementState>();
    AnalyserLink link{sim, clock->steppingMs(1.0)};
    BatchRequest req;
    BatchHooks hooks;

    static SimulatedAnalyserConfig hot() {
        SimulatedAnalyserConfig c;
        c.cs137 = 2e5;
        return c;
    }
    void SetUp() override {
        link.pollSleepUs = -1;
        req.channels = 512;
        req.presetTenths = 100;
        hooks.nowMs = [this] { return static_cast<std::int64_t>(clock->now() * 1000.0 + 0.5); };
        hooks.sleep = [this](int ms) { clock->advance(ms * 1e-3); };
        // The program's start-up contents: channel n holds n.
        for (int i = 0; i < kWorkChannels; ++i) s->spectrum[static_cast<std::size_t>(i)] = i;
    }
    BatchResult run() { return runBatchAcquisition(*s, link, req, hooks, std::tm{}); }
    // Blocks lost from the moment the run is a tick short of its preset.
    void loseBlocksNearThePreset(int count) {
        hooks.progress = [this, count, done = false](const MeasurementState& st) mutable {
            if (done || st.realTime < req.presetTenths - 1) return;
            done = true;
            ReplyFault f;
            f.kind = ReplyFault::NoReply;
            f.onlyCommand = "$R1;";
            f.count = count;
            sim.injectFault(f);
        };
    }
    int mismatches() {
        const auto& dev = sim.spectrum();
        int n = 0;
        for (int c = 0; c < req.channels; ++c)
            if (s->spectrum[static_cast<std::size_t>(c)] != static_cast<std::int32_t>(dev[static_cast<std::size_t>(c)]))
                ++n;
        return n;
    }
};

TEST_F(BatchFaults, SilentAfterTheStartOffersNothingToSave) {
    ReplyFault f;
    f.kind = ReplyFault::NoReply;
    f.onlyCommand = "$R";  // the setup and start are acknowledged, no read ever answered
    f.count = -1;
    sim.injectFault(f);
    const BatchResult r = run();
    EXPECT_EQ(r.stop, BatchResult::Stalled);
    EXPECT_EQ(r.content, BatchResult::Nothing);
    EXPECT_NE(r.error.find("nothing is saved"), std::string::npos) << r.error;
}

TEST_F(BatchFaults, LostBlocksAtThePresetAreReadAgainUntilWhole) {
    loseBlocksNearThePreset(2);  // the tick's read and the final read after the preset status
    const BatchResult r = run();
    ASSERT_EQ(r.stop, BatchResult::Preset);
    EXPECT_GE(r.finalReads, 1);  // the final read did fail and was repeated
    EXPECT_EQ(r.content, BatchResult::Final);
    EXPECT_EQ(s->realTime, 100);
    EXPECT_EQ(mismatches(), 0);  // the stopped analyser's spectrum, not the tick before
    EXPECT_TRUE(r.error.empty()) << r.error;
}

TEST_F(BatchFaults, AFinalReadThatNeverComesKeepsTheLastWholeReadAsPartial) {
    loseBlocksNearThePreset(-1);
    const BatchResult r = run();
    ASSERT_EQ(r.stop, BatchResult::Preset);
    EXPECT_EQ(r.finalReads, req.finalReadAttempts);
    EXPECT_EQ(r.content, BatchResult::LastWhole);
    EXPECT_LT(s->realTime, 100);  // that read's own time, not the preset's
    EXPECT_GT(mismatches(), 0);
    EXPECT_NE(r.error.find("last whole read"), std::string::npos) << r.error;
}

TEST_F(BatchFaults, InterruptedWithAFinalReadThatFailsKeepsTheLastWholeRead) {
    int ticks = 0;
    hooks.stopRequested = [&] { return ticks >= 10; };
    hooks.progress = [&](const MeasurementState&) {
        if (++ticks == 10) {
            ReplyFault f;
            f.kind = ReplyFault::NoReply;
            f.onlyCommand = "$R1;";
            f.count = -1;
            sim.injectFault(f);
        }
    };
    const BatchResult r = run();
    EXPECT_EQ(r.stop, BatchResult::Interrupted);
    EXPECT_EQ(r.content, BatchResult::LastWhole);
    EXPECT_GT(s->realTime, 0);
}

TEST_F(BatchFaults, ASilentSetupSaysNoReplyAndARefusalSaysRejected) {
    ReplyFault f;
    f.kind = ReplyFault::NoReply;
    f.onlyCommand = "$M";
    sim.injectFault(f);
    BatchResult r = run();
    EXPECT_EQ(r.stop, BatchResult::Rejected);
    EXPECT_EQ(r.error, "Error ! SetChannelCount: no reply from the analyser");

    SimulatedAnalyser other{hot(), clock};
    AnalyserLink otherLink{other, clock->steppingMs(1.0)};
    otherLink.pollSleepUs = -1;
    f.kind = ReplyFault::Reject;
    f.onlyCommand = "$P";
    other.injectFault(f);
    r = runBatchAcquisition(*s, otherLink, req, hooks, std::tm{});
    EXPECT_EQ(r.error, "Error ! SetPresetTime: rejected by the analyser");
}

}  // namespace
}  // namespace xmca
