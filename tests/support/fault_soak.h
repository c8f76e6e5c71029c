// The fault soaks' common parts: a driver that passes every call to the simulated
// analyser and remembers every count it sent, the soak's sample and seed, and a
// seeded sequence of faults, one step per poll tick: reply faults of every kind,
// failing driver calls and an unplugged analyser for a while. A step is drawn first
// and applied after, so a threaded soak draws it on the test's thread and applies it
// on the link's, between exchanges.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "device/device_status.h"
#include "device/simulated_analyser.h"

namespace xmca::test {

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

inline SimulatedAnalyserConfig soakSample(std::uint64_t seed) {
    SimulatedAnalyserConfig c;
    c.cs137 = 5e4;
    c.cs134 = 2e4;
    c.seed = seed;
    return c;
}

// XMCA_SOAK_SEED picks another seed than the given one.
inline std::uint64_t soakSeed(std::uint64_t fallback = 20261208u) {
    const char* env = std::getenv("XMCA_SOAK_SEED");
    return env && *env ? std::strtoull(env, nullptr, 10) : fallback;
}

// The faults of one poll tick.
struct FaultStep {
    std::optional<ReplyFault> reply;
    struct CallFailure {
        DriverCall call;
        int count;
        int after;
    };
    std::optional<CallFailure> driverFailure;
    bool unplugged = false;  // the analyser goes: every exchange call fails until replugged
    bool replugged = false;  // it is back: the outage's failures end

    // On the thread that drives the simulator.
    void applyTo(SimulatedAnalyser& sim) const {
        if (replugged) sim.clearFaults();
        if (reply) sim.injectFault(*reply);
        if (driverFailure) sim.failCall(driverFailure->call, FT_IO_ERROR, driverFailure->count, driverFailure->after);
        if (unplugged)
            for (DriverCall c : {DriverCall::Write, DriverCall::Read, DriverCall::GetQueueStatus, DriverCall::Purge})
                sim.failCall(c, FT_DEVICE_NOT_FOUND, -1);
    }
};

// A seeded sequence of fault steps. While unplugged, a step brings no other fault.
class FaultSequence {
public:
    struct Rates {
        double replyFault = 0.08;
        double driverFailure = 0.02;
        double unplug = 0.002;
        int longestOutage = 50;  // ticks
    };

    explicit FaultSequence(std::uint64_t seed, Rates rates) : rng(seed), rates_(rates) {}
    explicit FaultSequence(std::uint64_t seed) : FaultSequence(seed, Rates{}) {}

    FaultStep next() {
        FaultStep step;
        // The step that ends an outage brings no fault of its own: the analyser is
        // back as it was.
        if (outageLeft_ > 0) {
            step.replugged = --outageLeft_ == 0;
            return step;
        }
        if (chance(rates_.replyFault)) {
            step.reply = replyFault();
            ++replyFaults;
            ++kinds[step.reply->kind];
        }
        if (chance(rates_.driverFailure)) {
            const DriverCall calls[] = {DriverCall::Write, DriverCall::Read, DriverCall::GetQueueStatus};
            const DriverCall call = calls[pick(0, 2)];
            const int count = pick(1, 3);
            step.driverFailure = FaultStep::CallFailure{call, count, pick(0, 40)};
            ++driverFailures;
        }
        if (chance(rates_.unplug)) {
            step.unplugged = true;
            outageLeft_ = pick(1, rates_.longestOutage);
            ++outages;
        }
        return step;
    }

    bool unplugged() const { return outageLeft_ > 0; }

    // One fault of any kind in the reply to the next command, to a status or block
    // read, or to any command.
    ReplyFault replyFault() {
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

    std::mt19937_64 rng;  // also the soak's own choices (the operator's buttons)
    int replyFaults = 0, driverFailures = 0, outages = 0;
    int kinds[ReplyFault::Replace + 1] = {};  // reply faults drawn, by kind

private:
    Rates rates_;
    int outageLeft_ = 0;
};

}  // namespace xmca::test
