// A reply that comes after its exchange gave up, or bytes a failed read left
// queued, must never be taken for the answer to a later command.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "link_rig.h"

namespace xmca {
namespace {

using test::LinkRig;

// A rig with a run of 50 s counted, stopped, so the spectrum is fixed.
struct Resync : ::testing::Test {
    LinkRig r;
    void SetUp() override {
        ASSERT_TRUE(r.open());
        ASSERT_EQ(r.link.StartAcquisition(0), 1);
        r.clock->advance(50.0);
        ASSERT_EQ(r.link.StopAcquisition(0), 1);
    }
    // The next reply (to a command starting with `only`) comes `delay` s late.
    void late(double delay, const std::string& only = "") {
        ReplyFault f;
        f.kind = ReplyFault::Late;
        f.delaySeconds = delay;
        f.onlyCommand = only;
        r.sim.injectFault(f);
    }
    void expectSpectrumMatches(const std::vector<std::int32_t>& buf) {
        const auto& dev = r.sim.spectrum();
        for (int i = 0; i < 2048; ++i) ASSERT_EQ(buf[i], static_cast<std::int32_t>(dev[i])) << "channel " << i;
    }
};

TEST_F(Resync, LateAcknowledgementNeverShiftsTheNextStatusOrBlock) {
    // The "!" to the cursor command lands half a second after its time-out, while
    // the next read waits for its own reply.
    late(3.5);
    EXPECT_EQ(r.link.SetCursorChannel(0, 300), 0);
    EXPECT_TRUE(r.link.resyncPending());
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.cursorCh, 300);
    EXPECT_EQ(r.link.Status.displayLowCh, 0);
    EXPECT_EQ(r.link.Status.displayHighCh, 2047);
    EXPECT_EQ(r.link.Status.realTime, 5000);

    late(3.5);
    EXPECT_EQ(r.link.SetCursorChannel(0, 400), 0);
    std::vector<std::int32_t> buf(2048, -1);
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    expectSpectrumMatches(buf);
}

TEST_F(Resync, LateRepliesNeverDecideTheNextCommand) {
    // A late "!" followed by a real rejection: the rejection counts.
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    late(3.5);
    EXPECT_EQ(r.link.SetCursorChannel(0, 100), 0);
    ReplyFault reject;
    reject.kind = ReplyFault::Reject;
    r.sim.injectFault(reject);
    EXPECT_EQ(r.link.StopAcquisition(0), 0);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);

    // A late "?" (the analyser refuses a cursor beyond its channels) followed by
    // the "!" of a stop that worked: the stop is reported as done.
    late(3.5);
    EXPECT_EQ(r.link.SetCursorChannel(0, 3000), 0);
    EXPECT_EQ(r.link.StopAcquisition(0), 1);
    EXPECT_EQ(r.link.AcquisitionRunning, 0);
}

TEST_F(Resync, LateBlockIsNotReadAsTheFirstBlockOfTheNextRead) {
    std::vector<std::int32_t> buf(2048, -1);
    late(3.5, "$R6;");
    EXPECT_EQ(r.link.ReadSpectrum(0, buf), 0);
    for (int i = 5 * 128; i < 2048; ++i) ASSERT_EQ(buf[i], -1) << i;  // nothing after the late block
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    expectSpectrumMatches(buf);
}

TEST_F(Resync, FailedReadLeavingItsBytesQueuedIsDiscarded) {
    r.sim.failCall(DriverCall::Read, FT_IO_ERROR, 1);
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    std::vector<std::int32_t> buf(2048, -1);
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    expectSpectrumMatches(buf);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.realTime, 5000);
}

TEST_F(Resync, StatusOrBlockOfTheWrongLengthIsNeverStored) {
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    const auto before = r.link.Status.raw;
    ReplyFault f;
    f.kind = ReplyFault::Replace;
    f.bytes = std::string(311, '\x07');  // one byte too many
    f.onlyCommand = "$R0;";
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    EXPECT_EQ(r.link.Status.raw, before);

    std::vector<std::int32_t> buf(2048, -1);
    f.bytes = std::string(600, '\x07');
    f.onlyCommand = "$R1;";
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.ReadSpectrum(0, buf), 0);
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(buf[i], -1) << i;
}

TEST_F(Resync, QuietLineCostsNothingAndTheGuardIsBounded) {
    // A clean exchange never waits for the guard.
    const double t0 = r.clock->now();
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_LT(r.clock->now() - t0, 0.1);
    EXPECT_EQ(r.link.resyncCount, 0);

    // After a lost reply, the next command first waits for one quiet second.
    ReplyFault f;
    f.kind = ReplyFault::NoReply;
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    const double t1 = r.clock->now();
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_GE(r.clock->now() - t1, 1.0);
    EXPECT_LT(r.clock->now() - t1, 1.2);
    EXPECT_EQ(r.link.resyncCount, 1);
    EXPECT_FALSE(r.link.resyncPending());

    // However long the guard is set, the wait stays within the reply bound.
    r.link.resyncQuietMs = 60000;
    r.link.lostStep();
    const double t2 = r.clock->now();
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_GE(r.clock->now() - t2, 3.0);
    EXPECT_LT(r.clock->now() - t2, 3.2);
}

TEST(AnalyserLinkChannels, FollowTheCountTheAnalyserAcknowledged) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ReplyFault reject;
    reject.kind = ReplyFault::Reject;
    r.sim.injectFault(reject);
    EXPECT_EQ(r.link.SetChannelCount(0, 4096), 0);
    EXPECT_EQ(r.link.ChannelCount, 2048);
    EXPECT_EQ(r.link.SetChannelCount(0, 256), 0);
    EXPECT_EQ(r.link.ChannelCount, 2048);
    ASSERT_EQ(r.link.SetChannelCount(0, 1024), 1);
    EXPECT_EQ(r.link.ChannelCount, 1024);
    r.sim.clearLog();
    std::vector<std::int32_t> buf(4096, 0);
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    EXPECT_EQ(r.sim.commands().size(), 8u);
    EXPECT_EQ(r.sim.commands().back(), "$R8;");
}

TEST_F(Resync, ClosingSendsNoFurtherCommand) {
    std::atomic<bool> closing{false};
    r.link.closing = &closing;
    late(3.5);
    EXPECT_EQ(r.link.SetCursorChannel(0, 300), 0);
    ASSERT_TRUE(r.link.resyncPending());
    r.sim.clearLog();
    closing = true;
    // Neither the read nor the stop reaches the analyser; the spectrum buffer is untouched.
    std::vector<std::int32_t> buf(2048, -1);
    EXPECT_EQ(r.link.ReadSpectrum(0, buf), 0);
    EXPECT_EQ(r.link.StopAcquisition(0), 0);
    EXPECT_TRUE(r.sim.commands().empty());
    EXPECT_EQ(buf[0], -1);
    closing = false;
    ASSERT_EQ(r.link.ReadStatus(0), 1);  // and the line is in step for whoever comes next
    EXPECT_EQ(r.link.Status.cursorCh, 300);
}

}  // namespace
}  // namespace xmca
