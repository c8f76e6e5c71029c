#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "link_rig.h"

namespace xmca {
namespace {

using test::LinkRig;
using Strings = std::vector<std::string>;

std::string blockOf(const std::vector<std::uint32_t>& counts) {
    std::string b(512, '\0');
    for (std::size_t i = 0; i < counts.size() && i < 128; ++i)
        for (int k = 0; k < 4; ++k) b[4 * i + k] = static_cast<char>((counts[i] >> (8 * k)) & 0xFF);
    return b;
}

// ---------------------------------------------------------------- open

TEST(AnalyserLinkOpen, CallSequenceAndFlags) {
    LinkRig r;
    ASSERT_EQ(r.link.OpenDevice(0), 1);
    EXPECT_EQ(r.link.DeviceOpen, 1);
    EXPECT_EQ(r.link.DeviceCount, 1);
    EXPECT_EQ(r.link.serialNumber(0), "XMCASIM1");
    EXPECT_NE(r.link.handle(0), nullptr);
    const auto& c = r.sim.calls();
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(c[0].name, "FT_ListDevices");
    EXPECT_EQ(c[0].args, "0x20000001");
    EXPECT_EQ(c[1].name, "FT_OpenEx");
    EXPECT_EQ(c[1].args, "XMCASIM1,0x00000001");
    EXPECT_EQ(c[2].name, "FT_ResetDevice");
    EXPECT_EQ(c[3].name, "FT_SetLatencyTimer");
    EXPECT_EQ(c[3].args, "6");
    EXPECT_EQ(c[4].name, "FT_SetTimeouts");
    EXPECT_EQ(c[4].args, "3000,3000");
    EXPECT_EQ(c[5].name, "FT_Purge");
    EXPECT_EQ(c[5].args, "3");
}

TEST(AnalyserLinkOpen, NoDeviceAttached) {
    SimulatedAnalyserConfig cfg;
    cfg.deviceCount = 0;
    LinkRig r(cfg);
    EXPECT_EQ(r.link.OpenDevice(0), 0);
    EXPECT_EQ(r.link.DeviceCount, 0);
    EXPECT_EQ(r.link.DeviceOpen, 0);
    EXPECT_EQ(r.callNames(), Strings{"FT_ListDevices"});
}

TEST(AnalyserLinkOpen, FailsAtEachCheckedStep) {
    struct Case {
        DriverCall call;
        int deviceCount;  // what DeviceCount holds afterwards
        std::size_t calls;
    };
    for (const Case& c : {Case{DriverCall::ListDevices, 0, 1}, Case{DriverCall::OpenEx, 1, 2},
                          Case{DriverCall::ResetDevice, 1, 3}, Case{DriverCall::SetLatencyTimer, 1, 4}}) {
        LinkRig r;
        r.sim.failCall(c.call);
        EXPECT_EQ(r.link.OpenDevice(0), 0) << driverCallName(c.call);
        EXPECT_EQ(r.link.DeviceOpen, 0) << driverCallName(c.call);
        EXPECT_EQ(r.link.DeviceCount, c.deviceCount) << driverCallName(c.call);
        EXPECT_EQ(r.sim.calls().size(), c.calls) << driverCallName(c.call);  // stops at once
    }
}

TEST(AnalyserLinkOpen, TimeoutAndPurgeStatusNotChecked) {
    for (DriverCall call : {DriverCall::SetTimeouts, DriverCall::Purge}) {
        LinkRig r;
        r.sim.failCall(call);
        EXPECT_EQ(r.link.OpenDevice(0), 1) << driverCallName(call);
        EXPECT_EQ(r.link.DeviceOpen, 1);
    }
}

TEST(AnalyserLinkOpen, RetryAfterPartialOpenReusesTheHandle) {
    LinkRig r;
    r.sim.failCall(DriverCall::ResetDevice);
    ASSERT_EQ(r.link.OpenDevice(0), 0);
    EXPECT_EQ(r.link.DeviceCount, 1);
    r.sim.clearLog();
    // The simulated driver, like the real one, refuses to open a device twice.
    ASSERT_EQ(r.link.OpenDevice(0), 1);
    EXPECT_EQ(r.callNames(), (Strings{"FT_ListDevices", "FT_ResetDevice", "FT_SetLatencyTimer", "FT_SetTimeouts",
                                      "FT_Purge"}));
    EXPECT_EQ(r.link.SendCommand(0, "$O;"), 1);
}

TEST(AnalyserLinkOpen, MoreThanFiveDevicesStayInTheTable) {
    SimulatedAnalyserConfig cfg;
    cfg.deviceCount = 7;
    LinkRig r(cfg);
    ASSERT_EQ(r.link.OpenDevice(4), 1);
    EXPECT_EQ(r.link.DeviceCount, 7);  // the count as reported
    EXPECT_EQ(r.link.serialNumber(4), "XMCASIM5");
    EXPECT_EQ(r.link.OpenDevice(0), 1);
    EXPECT_EQ(r.link.OpenDevice(5), 0);
    EXPECT_EQ(r.link.OpenDevice(-1), 0);
    EXPECT_EQ(r.link.handle(5), nullptr);
    EXPECT_EQ(r.link.serialNumber(6), "");
}

TEST(AnalyserLinkOpen, DeviceBeyondTheCountFails) {
    LinkRig r;
    EXPECT_EQ(r.link.OpenDevice(1), 0);
    EXPECT_EQ(r.link.DeviceCount, 1);
    EXPECT_EQ(r.link.DeviceOpen, 0);
}

// ---------------------------------------------------------------- command bytes

TEST(AnalyserLinkCommands, ExactBytes) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    std::array<std::int32_t, 4096> buf{};
    EXPECT_EQ(r.link.StartAcquisition(0), 1);
    EXPECT_EQ(r.link.StopAcquisition(0), 1);
    EXPECT_EQ(r.link.ClearSpectrum(0, buf), 1);
    EXPECT_EQ(r.link.SetPresetTime(0, 1000), 1);
    EXPECT_EQ(r.link.SetPresetTime(0, 36000), 1);
    EXPECT_EQ(r.link.SetChannelCount(0, 512), 1);
    EXPECT_EQ(r.link.SetChannelCount(0, 1024), 1);
    EXPECT_EQ(r.link.SetChannelCount(0, 4096), 1);
    EXPECT_EQ(r.link.SetChannelCount(0, 2048), 1);
    EXPECT_EQ(r.link.SetCursorChannel(0, 7), 1);
    EXPECT_EQ(r.link.SetCursorChannel(0, 1024), 1);
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 9;
    t.tm_min = 7;
    r.link.SyncClock(0, t);
    EXPECT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.StartScan(0), 1);
    EXPECT_EQ(r.link.SendCommand(0, "$CX;"), 1);
    EXPECT_EQ(r.sim.commands(),
              (Strings{"$G;", "$S;", "$C;", "$P1000;", "$P36000;", "$M4;", "$M8;", "$M32;", "$M16;", "$@C0007;",
                       "$@C1024;", "$t2403050907;", "$R0;", "$X;", "$CX;"}));
    EXPECT_EQ(AnalyserLink::clockCommand(t).size(), 13u);
    EXPECT_EQ(AnalyserLink::cursorCommand(7).size(), 8u);
}

TEST(AnalyserLinkCommands, RefusedArgumentsSendNothing) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    for (int c : {256, 0, -512, 3000, 8192}) EXPECT_EQ(r.link.SetChannelCount(0, c), 0) << c;
    EXPECT_EQ(r.link.SetCursorChannel(0, -3), 0);
    EXPECT_EQ(r.link.SetCursorChannel(0, 10000), 0);
    EXPECT_EQ(r.link.SetPresetTime(0, -1), 0);
    EXPECT_TRUE(r.sim.commands().empty());
    EXPECT_EQ(AnalyserLink::channelCountCommand(256), "");
}

TEST(AnalyserLinkCommands, WithoutAnOpenHandleNothingIsWritten) {
    LinkRig r;
    std::array<std::int32_t, 4096> buf{};
    buf.fill(5);
    r.link.AcquisitionRunning = 1;
    EXPECT_EQ(r.link.StartAcquisition(0), 0);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);  // left as it was
    EXPECT_EQ(r.link.StartScan(0), 0);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);
    EXPECT_EQ(r.link.StopAcquisition(0), 0);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);
    EXPECT_EQ(r.link.ClearSpectrum(0, buf), 0);
    EXPECT_EQ(r.link.ReadSpectrum(0, buf), 0);
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    EXPECT_EQ(r.link.SetPresetTime(0, 10), 0);
    EXPECT_EQ(r.link.SendCommand(0, "$O;"), 0);
    EXPECT_EQ(buf[0], 5);
    EXPECT_TRUE(r.sim.calls().empty());
}

TEST(AnalyserLinkCommands, DeviceNumberOutOfRange) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    EXPECT_EQ(r.link.SendCommand(5, "$O;"), 0);
    EXPECT_EQ(r.link.SendCommand(-1, "$O;"), 0);
    EXPECT_EQ(r.link.ReadStatus(9), 0);
    EXPECT_TRUE(r.sim.commands().empty());
}

// ---------------------------------------------------------------- acknowledgements

TEST(AnalyserLinkAck, OnlyTheFirstByteCounts) {
    struct Case {
        std::string reply;
        int ok;
    };
    for (const Case& c : {Case{"!", 1}, Case{"!junk", 1}, Case{"!?", 1}, Case{"?!", 0}, Case{"?", 0},
                          Case{std::string("\0!", 2), 0}, Case{"OK", 0}}) {
        LinkRig r;
        ASSERT_TRUE(r.open());
        ReplyFault f;
        f.kind = ReplyFault::Replace;
        f.bytes = c.reply;
        r.sim.injectFault(f);
        EXPECT_EQ(r.link.SendCommand(0, "$O;"), c.ok) << c.reply;
    }
}

TEST(AnalyserLinkAck, StartAndStopFlagRules) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    r.link.AcquisitionMode = 0;
    EXPECT_EQ(r.link.StartAcquisition(0), 1);
    EXPECT_EQ(r.link.AcquisitionMode, 1);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);

    // A rejected stop changes nothing; a rejected start lowers the running flag.
    ReplyFault reject;
    reject.kind = ReplyFault::Reject;
    r.sim.injectFault(reject);
    EXPECT_EQ(r.link.StopAcquisition(0), 0);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);
    r.sim.injectFault(reject);
    EXPECT_EQ(r.link.StartScan(0), 0);
    EXPECT_EQ(r.link.AcquisitionMode, 0);  // set before sending
    EXPECT_EQ(r.link.AcquisitionRunning, 0);

    EXPECT_EQ(r.link.StartScan(0), 1);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);
    EXPECT_TRUE(r.sim.scanning());
    EXPECT_EQ(r.link.StopAcquisition(0), 1);
    EXPECT_EQ(r.link.AcquisitionRunning, 0);
    EXPECT_FALSE(r.sim.running());

    r.link.AcquisitionRunning = 1;
    r.sim.injectFault(reject);
    EXPECT_EQ(r.link.StartAcquisition(0), 0);
    EXPECT_EQ(r.link.AcquisitionMode, 1);
    EXPECT_EQ(r.link.AcquisitionRunning, 0);
    EXPECT_FALSE(r.sim.running());  // the analyser did not start either
}

TEST(AnalyserLinkAck, ClearZeroesOnlyOnAcknowledgeAndOnlyChannelCount) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    std::array<std::int32_t, 4096> buf;
    buf.fill(9);
    r.link.ChannelCount = 1024;
    ReplyFault reject;
    reject.kind = ReplyFault::Reject;
    r.sim.injectFault(reject);
    EXPECT_EQ(r.link.ClearSpectrum(0, buf), 0);
    EXPECT_EQ(buf[0], 9);
    EXPECT_EQ(r.link.ClearSpectrum(0, buf), 1);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1023], 0);
    EXPECT_EQ(buf[1024], 9);
}

// ---------------------------------------------------------------- spectrum and status reads

TEST(AnalyserLinkRead, BlockCommandsFollowTheChannelCount) {
    struct Case {
        int channels;
        std::size_t blocks;
    };
    for (const Case& c : {Case{512, 4}, Case{4096, 32}, Case{2048, 16}, Case{300, 2}, Case{100, 0}}) {
        LinkRig r;
        ASSERT_TRUE(r.open());
        if (c.channels == 4096) {
            ASSERT_EQ(r.link.SetChannelCount(0, 4096), 1);
        }
        r.sim.clearLog();
        std::vector<std::int32_t> buf(4096, 0);
        r.link.ChannelCount = c.channels;
        EXPECT_EQ(r.link.ReadSpectrum(0, buf), 1) << c.channels;
        ASSERT_EQ(r.sim.commands().size(), c.blocks) << c.channels;
        for (std::size_t k = 0; k < c.blocks; ++k) EXPECT_EQ(r.sim.commands()[k], "$R" + std::to_string(k + 1) + ";");
    }
}

TEST(AnalyserLinkRead, SpectrumMatchesTheAnalyser) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(600.0);
    std::vector<std::int32_t> buf(4096, -1);
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    const auto& dev = r.sim.spectrum();
    std::uint32_t total = 0;
    std::int32_t mx = 0;
    for (int i = 0; i < 2048; ++i) {
        ASSERT_EQ(buf[i], static_cast<std::int32_t>(dev[i])) << i;
        total += dev[i];
        mx = std::max(mx, static_cast<std::int32_t>(dev[i]));
    }
    EXPECT_GT(total, 1000u);
    EXPECT_EQ(buf[2048], -1);
    EXPECT_EQ(r.link.MaxCount, mx);
    EXPECT_EQ(r.link.TotalCounts, static_cast<float>(total));
}

TEST(AnalyserLinkRead, CountsAreUnsignedAndTheTotalWraps) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ReplyFault f;
    f.kind = ReplyFault::Replace;
    f.bytes = blockOf({0xC0000000u, 0xC0000000u, 0x50000000u, 7u});
    r.sim.injectFault(f);
    std::vector<std::int32_t> buf(128, 1);
    r.link.ChannelCount = 128;
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    EXPECT_EQ(static_cast<std::uint32_t>(buf[0]), 0xC0000000u);
    EXPECT_EQ(buf[3], 7);
    EXPECT_EQ(buf[4], 0);
    EXPECT_EQ(r.link.MaxCount, 0x50000000);  // as signed counts, starting from 0
    EXPECT_EQ(r.link.TotalCounts, static_cast<float>(0xD0000007u));  // 0x1D0000007 wrapped
}

TEST(AnalyserLinkRead, NeverWritesPastTheCallersBuffer) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    std::vector<std::int32_t> buf(1000, 0);
    r.link.ChannelCount = 2048;
    EXPECT_EQ(r.link.ReadSpectrum(0, std::span<std::int32_t>(buf.data(), buf.size())), 1);
    EXPECT_EQ(r.sim.commands().size(), 7u);  // 7 whole blocks fit in 1000 channels
    std::array<std::int32_t, 4096> clr{};
    r.link.ChannelCount = 4096;
    EXPECT_EQ(r.link.ClearSpectrum(0, std::span<std::int32_t>(clr.data(), 100)), 1);
}

TEST(AnalyserLinkRead, StatusRecordFields) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(12.345);
    ASSERT_EQ(r.link.SetCursorChannel(0, 700), 1);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    const DeviceStatus& s = r.link.Status;
    EXPECT_GE(s.realTime, 1234);
    EXPECT_LE(s.realTime, 1236);  // the status exchange itself takes a few simulated ms
    EXPECT_EQ(s.eventCount, r.sim.eventCount());
    EXPECT_GT(s.eventCount, 10);
    EXPECT_EQ(s.displayLowCh, 0);
    EXPECT_EQ(s.displayHighCh, 2047);
    EXPECT_EQ(s.cursorCh, 700);
    EXPECT_EQ(s.vfsIndex, 2);
    EXPECT_EQ(s.scanDone, 0);
    ASSERT_EQ(r.link.SendCommand(0, "$O;"), 1);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.vfsIndex, 0);  // logarithmic
}

// ---------------------------------------------------------------- injected faults

TEST(AnalyserLinkFaults, NoReplyFailsWithinTheBound) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    ReplyFault f;
    f.kind = ReplyFault::NoReply;
    r.sim.injectFault(f);
    const double t0 = r.clock->now();
    EXPECT_EQ(r.link.StopAcquisition(0), 0);
    const double waited = r.clock->now() - t0;
    EXPECT_GE(waited, 3.0);
    EXPECT_LT(waited, 3.1);
    EXPECT_EQ(r.link.AcquisitionRunning, 1);
    EXPECT_EQ(r.link.StopAcquisition(0), 1);  // the next exchange is clean
}

TEST(AnalyserLinkFaults, ShorterTimeoutIsHonoured) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    r.link.replyTimeoutMs = 250;
    ReplyFault f;
    f.kind = ReplyFault::NoReply;
    r.sim.injectFault(f);
    const double t0 = r.clock->now();
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    EXPECT_LT(r.clock->now() - t0, 0.3);
}

TEST(AnalyserLinkFaults, LateReplyWithinTheBoundIsAccepted) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ReplyFault f;
    f.kind = ReplyFault::Late;
    f.delaySeconds = 0.5;
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.StartAcquisition(0), 1);
}

TEST(AnalyserLinkFaults, ReplyArrivingAfterTheTimeoutDoesNotPoisonTheNextRead) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    ReplyFault f;
    f.kind = ReplyFault::Late;
    f.delaySeconds = 5.0;
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.SetCursorChannel(0, 300), 0);
    r.clock->advance(3.0);  // the stale "!" is queued now
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.cursorCh, 300);
    EXPECT_EQ(r.link.Status.displayHighCh, 2047);
    std::vector<std::int32_t> buf(2048, 0);
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    EXPECT_EQ(buf[660], static_cast<std::int32_t>(r.sim.spectrum()[660]));
}

TEST(AnalyserLinkFaults, ShortBlockFailsAndLeavesTheBufferAndTotals) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(100.0);
    r.link.MaxCount = 11;
    r.link.TotalCounts = 22.0f;
    std::vector<std::int32_t> buf(2048, -7);
    ReplyFault f;
    f.kind = ReplyFault::Short;
    f.onlyCommand = "$R3;";
    r.sim.injectFault(f);
    const double t0 = r.clock->now();
    EXPECT_EQ(r.link.ReadSpectrum(0, buf), 0);
    EXPECT_LT(r.clock->now() - t0, 3.2);  // one time-out, not one per remaining block
    EXPECT_EQ(r.sim.commands().back(), "$R3;");
    EXPECT_EQ(buf[2 * 128], -7);   // the short block stored nothing
    EXPECT_EQ(buf[3 * 128], -7);   // nor anything after it
    EXPECT_NE(buf[0], -7);         // blocks before it stay
    EXPECT_EQ(r.link.MaxCount, 11);
    EXPECT_EQ(r.link.TotalCounts, 22.0f);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);
    ASSERT_EQ(r.link.ReadSpectrum(0, buf), 1);
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(buf[i], static_cast<std::int32_t>(r.sim.spectrum()[i])) << i;
}

TEST(AnalyserLinkFaults, OverlongAcknowledgementIsAcceptedButOverlongDataIsNeverStored) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(50.0);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);

    ReplyFault f;
    f.kind = ReplyFault::Long;
    f.extraBytes = 1500;
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.SendCommand(0, "$O;"), 1);  // "!" then junk beyond the 512-byte buffer

    // A status record or block with bytes after it cannot be trusted: nothing is taken.
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    const auto before = r.link.Status.raw;
    ASSERT_EQ(r.link.SendCommand(0, "$V;"), 1);  // changes the record
    f.onlyCommand = "$R0;";
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    EXPECT_EQ(r.link.Status.raw, before);
    ASSERT_EQ(r.link.ReadStatus(0), 1);  // the next read is clean again
    EXPECT_NE(r.link.Status.raw, before);

    f.onlyCommand = "$R2;";
    f.extraBytes = 4;
    r.sim.injectFault(f);
    std::vector<std::int32_t> buf(2048 + 8, -3);
    EXPECT_EQ(r.link.ReadSpectrum(0, std::span<std::int32_t>(buf.data(), 2048)), 0);
    for (int i = 128; i < 2048 + 8; ++i) ASSERT_EQ(buf[i], -3) << i;
    ASSERT_EQ(r.link.ReadSpectrum(0, std::span<std::int32_t>(buf.data(), 2048)), 1);
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(buf[i], static_cast<std::int32_t>(r.sim.spectrum()[i])) << i;
    EXPECT_EQ(buf[2048], -3);
}

TEST(AnalyserLinkFaults, ShortStatusLeavesTheRecord) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    const auto before = r.link.Status.raw;
    ASSERT_EQ(r.link.SetCursorChannel(0, 5), 1);
    ReplyFault f;
    f.kind = ReplyFault::Short;
    f.shortBy = 1;
    r.sim.injectFault(f);
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    EXPECT_EQ(r.link.Status.raw, before);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.cursorCh, 5);
}

TEST(AnalyserLinkFaults, DriverErrorsFailTheExchange) {
    for (DriverCall call : {DriverCall::Write, DriverCall::Read, DriverCall::GetQueueStatus}) {
        LinkRig r;
        ASSERT_TRUE(r.open());
        r.sim.failCall(call, FT_IO_ERROR, -1);
        EXPECT_EQ(r.link.StartAcquisition(0), 0) << driverCallName(call);
        EXPECT_EQ(r.link.ReadStatus(0), 0) << driverCallName(call);
        std::vector<std::int32_t> buf(2048, 4);
        EXPECT_EQ(r.link.ReadSpectrum(0, buf), 0) << driverCallName(call);
        EXPECT_EQ(buf[0], 4);
        r.sim.clearFaults();
        EXPECT_EQ(r.link.ReadStatus(0), 1) << driverCallName(call);
    }
}

TEST(AnalyserLinkFaults, FailedQueuePollSkipsOneBlock) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(200.0);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);
    r.sim.clearLog();
    // Per block: a poll that finds nothing stale, the write, the reply poll, the read.
    // The fourth poll is block 2's reply poll.
    r.sim.failCall(DriverCall::GetQueueStatus, FT_IO_ERROR, 1, 3);
    std::vector<std::int32_t> buf(2048, -9);
    EXPECT_EQ(r.link.ReadSpectrum(0, buf), 0);  // incomplete: reported as a failure
    EXPECT_EQ(r.sim.commands().size(), 16u);    // but every other block was read
    const auto& dev = r.sim.spectrum();
    for (int i = 0; i < 2048; ++i) {
        if (i >= 128 && i < 256)
            ASSERT_EQ(buf[i], -9) << i;
        else
            ASSERT_EQ(buf[i], static_cast<std::int32_t>(dev[i])) << i;
    }
}

}  // namespace
}  // namespace xmca
