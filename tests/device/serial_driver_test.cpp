// The serial-port backend, end to end: AnalyserLink over SerialDriver on a
// pseudo-terminal served by the simulated analyser.
#include <gtest/gtest.h>

#include <pty.h>

#include <chrono>
#include <cstring>
#include <span>

#include "device/analyser_link.h"
#include "device/serial_driver.h"
#include "pty_analyser.h"

namespace xmca {
namespace {

using test::PtyAnalyser;
using Ms = std::chrono::milliseconds;

struct SerialRig {
    SerialRig() : driver(pty.path()), link(driver) { link.replyTimeoutMs = 500; }
    PtyAnalyser pty;
    SerialDriver driver;
    AnalyserLink link;
};

TEST(SerialDriver, EnumeratesThePortAndOpensItByPath) {
    SerialRig r;
    ASSERT_EQ(r.link.OpenDevice(0), 1);
    EXPECT_EQ(r.link.DeviceCount, 1);
    EXPECT_EQ(r.link.serialNumber(0), r.pty.path());
    // The driver refuses a second open of the same port, as the vendor driver does.
    FT_HANDLE again = nullptr;
    std::string serial = r.pty.path();
    EXPECT_EQ(r.driver.FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &again), FT_DEVICE_NOT_OPENED);

    SerialDriver missing("/dev/xmca-no-such-port");
    AnalyserLink none(missing);
    EXPECT_EQ(none.OpenDevice(0), 0);
    EXPECT_EQ(none.DeviceCount, 0);
    EXPECT_EQ(none.SendCommand(0, "$G;"), 0);
}

TEST(SerialDriver, EveryAcknowledgedCommandCrossesTheWireByteForByte) {
    SerialRig r;
    ASSERT_EQ(r.link.OpenDevice(0), 1);
    r.pty.clearReceived();
    const std::vector<std::string> commands = {
        "$C;",  "$P1000;", "$M4;", "$M8;", "$M32;", "$M16;", "$@C0007;", "$G;", "$S;",  "$X;",  "$S;",
        "$CX;", "$O;",     "$V;",  "$v;",  "$V5;",  "$V;;",  "$E;",      "$e;", "$l;",  "$r;",  "$ ;",
        "$t2612081103;"};
    for (const std::string& c : commands) EXPECT_EQ(r.link.SendCommand(0, c), 1) << c;
    EXPECT_EQ(r.pty.received(), commands);
    // The analyser took them: full-scale index 11 from "$V;;", cursor 7, preset.
    r.pty.with([](SimulatedAnalyser& sim, ManualClock&) {
        EXPECT_EQ(sim.presetTenths(), 1000);
        EXPECT_EQ(sim.channelCount(), 2048);
        return 0;
    });
    // A rejection comes back as one: "?" is not "!".
    EXPECT_EQ(r.link.SendCommand(0, "$Q;"), 0);
    EXPECT_EQ(r.link.SendCommand(0, "$@C9999;"), 0);
}

TEST(SerialDriver, SpectrumAndStatusReadsMatchTheAnalyserAtEveryChannelCount) {
    SerialRig r;
    ASSERT_EQ(r.link.OpenDevice(0), 1);
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    std::vector<std::int32_t> buf(4096, -1);
    for (int channels : {512, 1024, 2048, 4096}) {
        ASSERT_EQ(r.link.SetChannelCount(0, channels), 1);
        r.link.ChannelCount = channels;
        r.pty.with([](SimulatedAnalyser&, ManualClock& c) {
            c.advance(2.0);
            return 0;
        });
        r.pty.clearReceived();
        ASSERT_EQ(r.link.ReadSpectrum(0, std::span<std::int32_t>(buf)), 1) << channels;
        ASSERT_EQ(r.link.ReadStatus(0), 1);
        const auto sent = r.pty.received();
        ASSERT_EQ(sent.size(), static_cast<std::size_t>(channels / 128 + 1));
        EXPECT_EQ(sent.front(), "$R1;");
        EXPECT_EQ(sent[sent.size() - 2], "$R" + std::to_string(channels / 128) + ";");
        EXPECT_EQ(sent.back(), "$R0;");
        r.pty.with([&](SimulatedAnalyser& sim, ManualClock&) {
            const auto& spec = sim.spectrum();
            long long total = 0;
            int mismatches = 0;
            for (int i = 0; i < channels; ++i) {
                total += spec[static_cast<std::size_t>(i)];
                if (buf[static_cast<std::size_t>(i)] != static_cast<std::int32_t>(spec[static_cast<std::size_t>(i)]))
                    ++mismatches;
            }
            EXPECT_EQ(mismatches, 0) << channels;
            EXPECT_GT(total, 0);
            const DeviceStatus st = sim.status();
            EXPECT_EQ(r.link.Status.realTime, st.realTime);
            EXPECT_EQ(r.link.Status.eventCount, st.eventCount);
            EXPECT_EQ(r.link.Status.displayHighCh, channels - 1);
            EXPECT_EQ(r.link.Status.trace, st.trace);
            return 0;
        });
    }
}

TEST(SerialDriver, LostAndOverlongRepliesAreBoundedAndDoNotLeakIntoTheNextAnswer) {
    SerialRig r;
    ASSERT_EQ(r.link.OpenDevice(0), 1);
    r.pty.with([](SimulatedAnalyser& sim, ManualClock&) {
        ReplyFault lost;
        lost.kind = ReplyFault::NoReply;
        lost.onlyCommand = "$G;";
        sim.injectFault(lost);
        ReplyFault longer;
        longer.kind = ReplyFault::Long;
        longer.onlyCommand = "$R0;";
        sim.injectFault(longer);
        return 0;
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(r.link.StartAcquisition(0), 0);
    EXPECT_LT(std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0).count(), 2500);
    EXPECT_EQ(r.link.AcquisitionRunning, 0);

    // 310 bytes plus 600 of junk: a failed read that stores nothing; once the line
    // is quiet the next read and command are answered cleanly, the junk gone.
    const auto before = r.link.Status.displayHighCh;
    EXPECT_EQ(r.link.ReadStatus(0), 0);
    EXPECT_EQ(r.link.Status.displayHighCh, before);
    EXPECT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.displayHighCh, 2047);
    EXPECT_EQ(r.link.SendCommand(0, "$S;"), 1);
}

TEST(SerialDriver, DriverCallsOnARawPort) {
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    SerialDriver d(name);
    FT_HANDLE h = nullptr;
    ASSERT_EQ(d.FT_OpenEx(name, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    ASSERT_EQ(d.FT_SetTimeouts(h, 150, 150), FT_OK);
    EXPECT_EQ(d.FT_SetLatencyTimer(h, 6), FT_OK);  // no sysfs timer on a pty: not an error

    // Raw mode: a reply with CR, LF, NUL and 0xFF bytes comes through unchanged.
    const unsigned char reply[] = {'!', '\r', '\n', 0, 0xFF, 0x03, 0x11, 0x13};
    ASSERT_EQ(::write(master, reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
    ::usleep(20000);
    DWORD q = 0;
    ASSERT_EQ(d.FT_GetQueueStatus(h, &q), FT_OK);
    EXPECT_EQ(q, sizeof reply);
    unsigned char got[16] = {};
    DWORD n = 0;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(d.FT_Read(h, got, 16, &n), FT_OK);  // asks for more than came: waits the time-out
    const auto waited = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(n, sizeof reply);
    EXPECT_EQ(std::memcmp(got, reply, sizeof reply), 0);
    EXPECT_GE(waited, 140);
    EXPECT_LT(waited, 1500);

    // What the host writes reaches the far end unchanged (no CR/LF mapping).
    const char cmd[] = "$R1;\n";
    DWORD w = 0;
    ASSERT_EQ(d.FT_Write(h, cmd, 5, &w), FT_OK);
    EXPECT_EQ(w, 5u);
    char far[8] = {};
    ::usleep(20000);
    EXPECT_EQ(::read(master, far, sizeof far), 5);
    EXPECT_EQ(std::string(far, 5), "$R1;\n");

    // Purge drops what is queued.
    ASSERT_EQ(::write(master, "junk", 4), 4);
    ::usleep(20000);
    ASSERT_EQ(d.FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    ASSERT_EQ(d.FT_GetQueueStatus(h, &q), FT_OK);
    EXPECT_EQ(q, 0u);

    // Calls on a handle that is not the driver's fail cleanly.
    int other = 0;
    EXPECT_EQ(d.FT_GetQueueStatus(&other, &q), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_Write(nullptr, cmd, 4, &w), FT_INVALID_HANDLE);
    ::close(slave);
    ::close(master);
}

TEST(SerialDriver, AFarEndThatHangsUpFailsTheExchangeWithinTheBound) {
    SerialRig r;
    ASSERT_EQ(r.link.OpenDevice(0), 1);
    EXPECT_EQ(r.link.SendCommand(0, "$G;"), 1);
    r.pty.hangUp();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(r.link.SendCommand(0, "$S;"), 0);
    std::vector<std::int32_t> buf(2048);
    EXPECT_EQ(r.link.ReadSpectrum(0, std::span<std::int32_t>(buf)), 0);
    EXPECT_LT(std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0).count(), 3000);
}

}  // namespace
}  // namespace xmca
