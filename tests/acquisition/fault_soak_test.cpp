// The fault soak: 10 000 poll ticks of the acquisition cycle against the simulated
// analyser on simulated time, with faults injected at random (rejections, lost,
// late, short, over-long and garbled replies, failing driver calls, a device that
// disappears for a while) and the operator stopping, clearing and starting.
// Seeded and repeatable; XMCA_SOAK_SEED picks another seed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <unordered_set>
#include <vector>

#include "acquisition/acquisition_cycle.h"
#include "device/simulated_analyser.h"

namespace xmca {
namespace {

constexpr int kChannels = 1024;

// Passes every call to the simulator and remembers, per channel, every count the
// analyser put into a spectrum block it was asked for.
class RecordingDriver : public FtdiDriver {
public:
    explicit RecordingDriver(SimulatedAnalyser& sim) : sim_(sim), sent_(kDeviceChannels) {}

    bool wasSent(int channel, std::int32_t value) const {
        return sent_[static_cast<std::size_t>(channel)].count(static_cast<std::uint32_t>(value)) != 0;
    }

    FT_STATUS FT_ListDevices(void* a, void* b, DWORD f) override { return sim_.FT_ListDevices(a, b, f); }
    FT_STATUS FT_OpenEx(void* a, DWORD f, FT_HANDLE* h) override { return sim_.FT_OpenEx(a, f, h); }
    FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return sim_.FT_ResetDevice(h); }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, std::uint8_t ms) override { return sim_.FT_SetLatencyTimer(h, ms); }
    FT_STATUS FT_SetTimeouts(FT_HANDLE h, DWORD r, DWORD w) override { return sim_.FT_SetTimeouts(h, r, w); }
    FT_STATUS FT_Purge(FT_HANDLE h, DWORD m) override { return sim_.FT_Purge(h, m); }
    FT_STATUS FT_Read(FT_HANDLE h, void* b, DWORD n, DWORD* got) override { return sim_.FT_Read(h, b, n, got); }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE h, DWORD* q) override { return sim_.FT_GetQueueStatus(h, q); }
    FT_STATUS FT_Write(FT_HANDLE h, const void* buf, DWORD n, DWORD* written) override {
        const FT_STATUS st = sim_.FT_Write(h, buf, n, written);
        const std::string cmd(static_cast<const char*>(buf), n);
        if (st == FT_OK && cmd.size() > 3 && cmd.compare(0, 2, "$R") == 0 && cmd != "$R0;") {
            const int k = std::atoi(cmd.c_str() + 2);
            const auto& spec = sim_.spectrum();
            for (int c = (k - 1) * 128; c < k * 128 && c < kDeviceChannels; ++c)
                if (c >= 0) sent_[static_cast<std::size_t>(c)].insert(spec[static_cast<std::size_t>(c)]);
        }
        return st;
    }

private:
    SimulatedAnalyser& sim_;
    std::vector<std::unordered_set<std::uint32_t>> sent_;
};

SimulatedAnalyserConfig soakSample(std::uint64_t seed) {
    SimulatedAnalyserConfig c;
    c.cs137 = 5e4;
    c.cs134 = 2e4;
    c.seed = seed;
    return c;
}

std::uint64_t soakSeed() {
    const char* env = std::getenv("XMCA_SOAK_SEED");
    return env && *env ? std::strtoull(env, nullptr, 10) : 20261208u;
}

struct Soak {
    explicit Soak(std::uint64_t seed)
        : rng(seed), sim(soakSample(seed), clock), driver(sim), link(driver, clock->steppingMs(1.0)), cycle(s, link) {
        link.pollSleepUs = -1;
    }

    ReplyFault randomReplyFault() {
        ReplyFault f;
        const int kind = pick(0, 5);
        f.kind = kind == 0 ? ReplyFault::Reject
               : kind == 1 ? ReplyFault::NoReply
               : kind == 2 ? ReplyFault::Late
               : kind == 3 ? ReplyFault::Short
               : kind == 4 ? ReplyFault::Long
                           : ReplyFault::Replace;
        f.delaySeconds = std::uniform_real_distribution<double>(0.05, 4.5)(rng);
        f.shortBy = static_cast<std::size_t>(pick(1, 400));
        f.extraBytes = static_cast<std::size_t>(pick(1, 900));
        // Garbled bytes of any length but a whole block or record (those the link
        // cannot tell from the real thing).
        std::size_t len = static_cast<std::size_t>(pick(1, 700));
        if (len == 512 || len == DeviceStatus::kSize) ++len;
        f.bytes.resize(len);
        for (char& b : f.bytes) b = static_cast<char>(pick(0, 255));
        const int target = pick(0, 3);
        f.onlyCommand = target == 0 ? "" : target == 1 ? "$R0;" : target == 2 ? "$R" + std::to_string(pick(1, 8)) + ";" : "$";
        return f;
    }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p; }

    std::mt19937_64 rng;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim;
    RecordingDriver driver;
    MeasurementState s;
    AnalyserLink link;
    AcquisitionCycle cycle;
};

TEST(FaultSoak, TenThousandTicksWithRandomFaultsKeepTheSpectrumTrue) {
    const std::uint64_t seed = soakSeed();
    RecordProperty("seed", std::to_string(seed));
    Soak k(seed);
    ASSERT_EQ(k.cycle.open().kind, OpenOutcome::Opened);
    ASSERT_EQ(k.link.SetChannelCount(0, kChannels), 1);
    ASSERT_EQ(k.link.SetPresetTime(0, 600), 1);  // preset stops every minute
    k.s.settings.presetTime = 600;
    k.cycle.start(std::tm{});
    ASSERT_TRUE(k.cycle.timer.enabled);
    k.clock->advance(0.1);
    k.cycle.tick();  // one clean read replaces the start-up ramp
    ASSERT_EQ(k.s.channelCount, kChannels);

    int ticks = 0, faults = 0, driverFailures = 0, outages = 0, presetStops = 0, outageLeft = 0;
    double longestTick = 0;
    while (ticks < 10000) {
        k.clock->advance(0.1);
        if (outageLeft > 0 && --outageLeft == 0) k.sim.clearFaults();  // the device is back
        if (outageLeft == 0) {
            if (k.chance(0.08)) {
                k.sim.injectFault(k.randomReplyFault());
                ++faults;
            }
            if (k.chance(0.02)) {
                const DriverCall calls[] = {DriverCall::Write, DriverCall::Read, DriverCall::GetQueueStatus};
                k.sim.failCall(calls[k.pick(0, 2)], FT_IO_ERROR, k.pick(1, 3), k.pick(0, 40));
                ++driverFailures;
            }
            if (k.chance(0.002)) {  // unplugged for up to five seconds
                for (DriverCall c : {DriverCall::Write, DriverCall::Read, DriverCall::GetQueueStatus, DriverCall::Purge})
                    k.sim.failCall(c, FT_DEVICE_NOT_FOUND, -1);
                outageLeft = k.pick(1, 50);
                ++outages;
            }
        }
        if (k.chance(0.003)) k.cycle.stop();
        if (k.chance(0.002)) k.cycle.clear();
        if (!k.cycle.timer.enabled) {
            // Stopped (by preset, by the operator, or a start that failed): the
            // operator clears after a preset stop and starts again.
            if (k.link.Status.realTime / 10 >= 600) k.cycle.clear();
            k.cycle.start(std::tm{});
            continue;
        }
        const double t0 = k.clock->now();
        const TickOutcome out = k.cycle.tick();
        longestTick = std::max(longestTick, k.clock->now() - t0);
        presetStops += out.presetStop;
        ++ticks;

        // State flags agree with each other.
        ASSERT_EQ(k.s.acquiring, k.link.AcquisitionRunning == 1 && k.link.AcquisitionMode == 1) << "tick " << ticks;
        if (k.cycle.timer.enabled) {
            ASSERT_EQ(k.link.AcquisitionRunning, 1) << "tick " << ticks;
        }
        ASSERT_EQ(k.s.channelCount, k.link.ChannelCount) << "tick " << ticks;
        // Times and rates stay physical.
        ASSERT_LE(k.s.liveTime, k.s.realTime) << "tick " << ticks;
        ASSERT_GE(k.s.deadTimePermille, 0) << "tick " << ticks;
        ASSERT_TRUE(std::isfinite(k.s.countRate) && k.s.countRate >= 0.0f) << "tick " << ticks;
        // Every count is one the analyser sent for that very channel; nothing beyond.
        for (int c = 0; c < kChannels; ++c)
            ASSERT_TRUE(k.driver.wasSent(c, k.s.spectrum[c]) || k.s.spectrum[c] == 0)
                << "tick " << ticks << " channel " << c << " holds " << k.s.spectrum[c];
        for (int c = kChannels; c < kDeviceChannels; ++c) ASSERT_EQ(k.s.spectrum[c], 0) << "channel " << c;
    }
    // No tick waited longer than a few bounded exchanges.
    EXPECT_LT(longestTick, 30.0);
    // The soak did exercise the faults.
    EXPECT_GT(faults, 500);
    EXPECT_GT(driverFailures, 100);
    EXPECT_GT(outages, 5);
    EXPECT_GT(presetStops, 5);
    EXPECT_GT(k.link.resyncCount, 300);
    std::printf("soak seed %llu: %d ticks, %d reply faults, %d driver failures, %d outages, %d preset stops, "
                "%lld resyncs, longest tick %.1f s simulated\n",
                static_cast<unsigned long long>(seed), ticks, faults, driverFailures, outages, presetStops,
                static_cast<long long>(k.link.resyncCount), longestTick);
}

}  // namespace
}  // namespace xmca
