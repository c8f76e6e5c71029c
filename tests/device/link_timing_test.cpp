// Link timing of the simulated analyser: what each exchange costs on a full-speed
// FTDI link, and a whole poll tick's worth of reads at 4096 channels.
#include <gtest/gtest.h>

#include <span>

#include "device/analyser_link.h"
#include "device/driver_choice.h"
#include "device/libftdi_driver.h"
#include "device/simulated_analyser.h"

namespace xmca {
namespace {

struct TimedSim {
    TimedSim() : clock(std::make_shared<ManualClock>()), sim(config(), clock) {
        sim.setLinkClock(clock);
        char serial[64] = {};
        void* list[2] = {serial, nullptr};
        DWORD n = 0;
        sim.FT_ListDevices(list, &n, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER);
        sim.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h);
    }
    static SimulatedAnalyserConfig config() {
        SimulatedAnalyserConfig c;
        c.link = LinkTiming::UsbFullSpeed;
        return c;
    }
    DWORD queuedAfter(double ms) {
        clock->set(t0 + ms * 1e-3);
        DWORD q = 0;
        sim.FT_GetQueueStatus(h, &q);
        return q;
    }
    void send(const std::string& cmd) {
        DWORD w = 0;
        t0 = clock->now();
        sim.FT_Write(h, cmd.data(), static_cast<DWORD>(cmd.size()), &w);
    }
    void drain() {
        std::vector<std::uint8_t> buf(4096);
        DWORD got = 0;
        sim.FT_Read(h, buf.data(), static_cast<DWORD>(buf.size()), &got);
    }
    std::shared_ptr<ManualClock> clock;
    SimulatedAnalyser sim;
    FT_HANDLE h = nullptr;
    double t0 = 0;
};

TEST(SimulatedLinkTiming, RepliesArriveInPacketsAfterTheFrameAndTheLatencyTimer) {
    TimedSim t;
    ASSERT_EQ(t.sim.FT_SetLatencyTimer(t.h, 6), FT_OK);
    // An acknowledgement is one short packet: 1 ms frame plus the 6 ms latency timer.
    t.send("$G;");
    EXPECT_EQ(t.queuedAfter(6.99), 0u);
    EXPECT_EQ(t.queuedAfter(7.0), 1u);
    t.drain();
    // A 512-byte block: eight full packets at about 1 byte/us, the last 16 bytes wait.
    t.send("$R1;");
    EXPECT_EQ(t.queuedAfter(1.0), 0u);
    EXPECT_EQ(t.queuedAfter(1.062), 62u);
    EXPECT_EQ(t.queuedAfter(1.6), 496u);
    EXPECT_EQ(t.queuedAfter(6.99), 496u);
    EXPECT_EQ(t.queuedAfter(7.0), 512u);
    t.drain();
    // The 310-byte status record is five whole packets: no latency wait.
    t.send("$R0;");
    EXPECT_EQ(t.queuedAfter(1.309), 248u);
    EXPECT_EQ(t.queuedAfter(1.31), 310u);
    t.drain();
    // A purge drops what is still on its way.
    t.send("$R2;");
    ASSERT_EQ(t.sim.FT_Purge(t.h, FT_PURGE_RX), FT_OK);
    EXPECT_EQ(t.queuedAfter(50.0), 0u);
}

TEST(SimulatedLinkTiming, TheChipsDefaultLatencyTimerIsSixteenMilliseconds) {
    TimedSim t;
    t.send("$S;");
    EXPECT_EQ(t.queuedAfter(16.99), 0u);
    EXPECT_EQ(t.queuedAfter(17.0), 1u);
}

TEST(SimulatedLinkTiming, AFullReadAt4096ChannelsHoldsTheLinkForAQuarterSecond) {
    auto clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim(TimedSim::config(), clock);
    sim.setLinkClock(clock);
    AnalyserLink link(sim, clock->steppingMs(0.05));
    link.pollSleepUs = 0;
    ASSERT_EQ(link.OpenDevice(0), 1);
    ASSERT_EQ(link.SetChannelCount(0, 4096), 1);
    link.ChannelCount = 4096;
    std::vector<std::int32_t> buf(4096);
    const double start = clock->now();
    ASSERT_EQ(link.ReadSpectrum(0, std::span<std::int32_t>(buf)), 1);
    ASSERT_EQ(link.ReadStatus(0), 1);
    const double held = clock->now() - start;
    // 32 blocks of 7 ms and a 1.31 ms status record, each found by polling.
    EXPECT_GE(held, 0.2253);
    EXPECT_LT(held, 0.2253 + 33 * 0.0002);
}

TEST(DriverChoice, OneRoadAndSimulatorOptionsOnlyWithTheSimulator) {
    auto parse = [](std::vector<std::string> args, std::string& error) {
        DriverOptions o;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const int r = parseDriverOption(args, i, o, error);
            if (r <= 0) {
                if (r == 0) error = "not mine: " + args[i];
                return std::optional<DriverOptions>();
            }
        }
        if (!checkDriverOptions(o, error)) return std::optional<DriverOptions>();
        return std::optional<DriverOptions>(o);
    };
    std::string e;
    auto ok = parse({"--simulate", "--sim-link", "usb-full-speed", "--cs137", "50"}, e);
    ASSERT_TRUE(ok) << e;
    EXPECT_EQ(ok->road, DriverOptions::Road::Simulate);
    EXPECT_EQ(ok->simLink, LinkTiming::UsbFullSpeed);
    ok = parse({"--serial", "/dev/ttyUSB0"}, e);
    ASSERT_TRUE(ok) << e;
    EXPECT_EQ(ok->serialPath, "/dev/ttyUSB0");

    EXPECT_FALSE(parse({"--simulate", "--serial", "/dev/ttyUSB0"}, e));
    EXPECT_FALSE(parse({"--driver", "d2xx", "--driver", "libftdi"}, e));
    EXPECT_FALSE(parse({"--serial", "/dev/ttyUSB0", "--cs137", "5"}, e));
    EXPECT_FALSE(parse({"--driver", "usb"}, e));
    EXPECT_FALSE(parse({"--simulate", "--sim-link", "fast"}, e));
    EXPECT_FALSE(parse({"--serial"}, e));
    EXPECT_FALSE(parse({"--simulate", "--sim-speed", "0"}, e));
    EXPECT_FALSE(parse({"--simulate", "--sim-gain", "0"}, e));
    EXPECT_FALSE(parse({"--simulate", "--sim-gain", "x"}, e));
    EXPECT_FALSE(parse({"--sim-gain", "1.05"}, e));

    // The amplifier gain reaches the simulator: its 662 keV line moves with it.
    ok = parse({"--simulate", "--sim-gain", "1.05", "--cs137", "1000"}, e);
    ASSERT_TRUE(ok) << e;
    EXPECT_DOUBLE_EQ(ok->simGain, 1.05);
    const ChosenDriver drifted = makeDriver(*ok, 1);
    ASSERT_NE(drifted.simulator, nullptr);
    EXPECT_DOUBLE_EQ(drifted.simulator->config().gain, 1.05);
    DriverOptions plain;
    plain.road = DriverOptions::Road::Simulate;
    EXPECT_DOUBLE_EQ(makeDriver(plain, 1).simulator->config().gain, 1.0);

    // The road each choice takes, as the window title and mcatool name it.
    DriverOptions sim;
    sim.road = DriverOptions::Road::Simulate;
    sim.simLink = LinkTiming::UsbFullSpeed;
    const ChosenDriver s = makeDriver(sim, 1);
    EXPECT_NE(s.simulator, nullptr);
    EXPECT_EQ(s.road, "simulated analyser, usb-full-speed link");
    DriverOptions port;
    port.road = DriverOptions::Road::Serial;
    port.serialPath = "/dev/ttyUSB3";
    EXPECT_EQ(makeDriver(port, 1).road, "serial port /dev/ttyUSB3");
    DriverOptions automatic;  // no vendor library on this machine: libftdi1 when built in
    const ChosenDriver a = makeDriver(automatic, 1);
    ASSERT_NE(a.driver, nullptr);
    EXPECT_EQ(a.road, LibftdiDriver::available() ? "libftdi1" : "vendor D2XX library");
    EXPECT_NE(a.message.find("not found"), std::string::npos) << a.message;
}

}  // namespace
}  // namespace xmca
