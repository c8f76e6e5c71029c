#include "simulated_analyser.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "simulated_physics.h"

namespace xmca {
namespace {

constexpr std::size_t kLogLimit = 200000;  // records kept; older ones are dropped
constexpr std::array<std::int64_t, 23> kFullScale = {0,        100,       250,       500,       1000,     2500,
                                                      5000,     10000,     25000,     50000,     100000,   250000,
                                                      500000,   1000000,   2500000,   5000000,   10000000, 25000000,
                                                      50000000, 100000000, 250000000, 500000000, 1000000000};

// Windows of the fixed activity computation, in channels of the 2:1 compressed
// 1024-channel spectrum, ends included.
struct Window {
    int lo, hi;
};
constexpr Window kCsAll{272, 354};
constexpr double kFactorCsAll = 106.73;

double windowSum(const std::vector<double>& spectrum2048, Window w) {
    double s = 0;
    for (int c = 2 * w.lo; c <= 2 * w.hi + 1; ++c) s += spectrum2048[static_cast<std::size_t>(c)];
    return s;
}

std::string hex32(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
    return buf;
}

bool allDigits(const std::string& s, std::size_t from, std::size_t to) {
    if (from >= to) return false;
    for (std::size_t i = from; i < to; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int b = 0; b < 4; ++b) p[b] = static_cast<std::uint8_t>(v >> (8 * b));
}

}  // namespace

// ---------------------------------------------------------------- clocks

std::function<std::int64_t()> ManualClock::steppingMs(double stepMs) {
    return [this, stepMs] {
        t_ += stepMs * 1e-3;
        return static_cast<std::int64_t>(std::llround(t_ * 1e3));
    };
}

static std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

WallClock::WallClock(double speed) : speed_(speed), startNs_(steadyNs()) {}

double WallClock::now() const { return static_cast<double>(steadyNs() - startNs_) * 1e-9 * speed_; }

const char* linkTimingName(LinkTiming timing) {
    return timing == LinkTiming::UsbFullSpeed ? "usb-full-speed" : "instant";
}

std::optional<LinkTiming> linkTimingFromName(const std::string& name) {
    if (name == "instant") return LinkTiming::Instant;
    if (name == "usb-full-speed") return LinkTiming::UsbFullSpeed;
    return std::nullopt;
}

const char* driverCallName(DriverCall call) {
    switch (call) {
        case DriverCall::ListDevices: return "FT_ListDevices";
        case DriverCall::OpenEx: return "FT_OpenEx";
        case DriverCall::ResetDevice: return "FT_ResetDevice";
        case DriverCall::SetLatencyTimer: return "FT_SetLatencyTimer";
        case DriverCall::SetTimeouts: return "FT_SetTimeouts";
        case DriverCall::Purge: return "FT_Purge";
        case DriverCall::Write: return "FT_Write";
        case DriverCall::Read: return "FT_Read";
        case DriverCall::GetQueueStatus: return "FT_GetQueueStatus";
    }
    return "?";
}

// ---------------------------------------------------------------- state

struct SimulatedAnalyser::Unit {
    std::string serial;
    bool open = false;
    std::deque<std::uint8_t> out;  // reply bytes the host can read now
    struct Pending {
        std::int64_t atUs;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Pending> pending;  // late replies
    std::deque<Pending> wire;     // packets on their way under link timing (link clock)
    std::int64_t wireFreeUs = 0;  // link time the last packet on the wire arrives
    int latencyMs = 16;           // the chip's latency timer

    int channels = 2048;
    std::vector<std::uint32_t> spec = std::vector<std::uint32_t>(kMaxChannels, 0);
    bool running = false;
    bool scan = false;
    int preset = 36000;        // 0.1 s units
    std::int64_t realUs = 0;   // since the last clear
    std::int64_t passUs = 0;   // into the current scan pass
    std::int64_t events = 0;
    int passes = 0;
    bool scanDonePending = false;
    std::int64_t lastUs = 0;
    ViewState view;
};

// Expected rates and an alias table for drawing channels, per channel count.
struct SimulatedAnalyser::Table {
    std::vector<double> rates;  // true counts per second, per channel
    double total = 0;
    std::vector<std::uint64_t> threshold;  // alias method: keep i when low bits < threshold
    std::vector<std::uint32_t> alias;
};

SimulatedAnalyser::SimulatedAnalyser(SimulatedAnalyserConfig config, std::shared_ptr<SimClock> clock)
    : config_(std::move(config)), clock_(std::move(clock)), rng_(config_.seed) {
    if (!clock_) clock_ = std::make_shared<WallClock>(1.0);
    if (config_.link != LinkTiming::Instant) linkClock_ = std::make_shared<WallClock>(1.0);
    if (config_.backgroundOnly) config_.cs134 = config_.cs137 = config_.k40 = 0.0;
    shapes_ = sim::Shapes::get(config_.fwhm662, config_.sampleK40Continuum);
    calibrate();
    const int n = std::max(config_.deviceCount, 0);
    for (int i = 0; i < n; ++i) {
        auto u = std::make_unique<Unit>();
        u->serial = serialNumber(i);
        units_.push_back(std::move(u));
    }
}

SimulatedAnalyser::~SimulatedAnalyser() = default;

void SimulatedAnalyser::setSample(double cs134, double cs137, double k40) {
    config_.cs134 = cs134;
    config_.cs137 = cs137;
    config_.k40 = k40;
    tables_.clear();  // rates are formed again for the next counts
}

std::string SimulatedAnalyser::serialNumber(int dev) const { return config_.serialPrefix + std::to_string(dev + 1); }

double SimulatedAnalyser::energyOfChannel(double channel, int channels) {
    return sim::energyOfChannel(channel, channels);
}
double SimulatedAnalyser::channelOfEnergy(double keV, int channels) { return sim::channelOfEnergy(keV, channels); }

// One efficiency for every sample line (each line group already carries the
// crystal's energy dependence), chosen so that Cs-137 in the fixed geometry gives
// the fixed Cs-All factor back: A137 / 106.73 counts per second in the Cs-All
// window. Cs-134 and K-40 then respond as their own lines and continua make them
// (Cs-134 gives more counts per Bq in Cs-All than Cs-137; K-40's continuum spills
// into the Cs windows). `efficiency` scales all of it for another geometry; the
// 605+796 keV sum peak needs two photons detected at once, so it scales twice.
void SimulatedAnalyser::calibrate() {
    const auto& s137 = shapes_->group(sim::Cs137, 2048);
    const double e0 = (1.0 / kFactorCsAll) / windowSum(s137, kCsAll);
    const double f = config_.efficiency > 0 && std::isfinite(config_.efficiency) ? config_.efficiency : 1.0;
    eff_.cs137 = eff_.cs134Low = eff_.cs134Mid = eff_.k40 = e0 * f;
    eff_.cs134Sum = e0 * f * f;
}

std::vector<double> SimulatedAnalyser::expectedRates(int channels, Part part) const {
    std::vector<double> out(static_cast<std::size_t>(std::max(channels, 0)), 0.0);
    if (channels <= 0) return out;
    auto add = [&](sim::Group g, double weight) {
        if (weight == 0) return;
        const auto& s = shapes_->group(g, channels);
        for (std::size_t i = 0; i < out.size(); ++i) out[i] += weight * s[i];
    };
    if (part != Part::Background) {
        add(sim::Cs137, config_.cs137 * eff_.cs137);
        add(sim::Cs134Low, config_.cs134 * eff_.cs134Low);
        add(sim::Cs134Mid, config_.cs134 * eff_.cs134Mid);
        add(sim::Cs134Sum, config_.cs134 * eff_.cs134Sum);
        add(sim::K40Sample, config_.k40 * eff_.k40);
    }
    if (part != Part::Sample) add(sim::Background, config_.backgroundScale);
    const double g = config_.gain;
    if (g == 1.0 || !(g > 0.0)) return out;
    // Stretch the spectrum by the gain: the density at channel x is the nominal
    // density at x / g, over g (counts are kept).
    std::vector<double> stretched(out.size(), 0.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double x = static_cast<double>(i) / g;
        const auto k = static_cast<std::size_t>(x);
        if (k + 1 >= out.size()) break;
        const double frac = x - static_cast<double>(k);
        stretched[i] = ((1.0 - frac) * out[k] + frac * out[k + 1]) / g;
    }
    return stretched;
}

const SimulatedAnalyser::Table& SimulatedAnalyser::table(int channels) const {
    auto it = tables_.find(channels);
    if (it != tables_.end()) return *it->second;
    auto t = std::make_unique<Table>();
    t->rates = expectedRates(channels, Part::Total);
    const std::size_t n = t->rates.size();
    for (double r : t->rates) t->total += r;
    // Vose's alias method.
    t->threshold.assign(n, 0);
    t->alias.assign(n, 0);
    std::vector<double> p(n);
    std::vector<std::uint32_t> small, large;
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = t->total > 0 ? t->rates[i] / t->total * static_cast<double>(n) : 1.0;
        (p[i] < 1.0 ? small : large).push_back(static_cast<std::uint32_t>(i));
    }
    std::vector<double> keep(n, 1.0);
    while (!small.empty() && !large.empty()) {
        const std::uint32_t s = small.back();
        small.pop_back();
        const std::uint32_t l = large.back();
        keep[s] = p[s];
        t->alias[s] = l;
        p[l] = (p[l] + p[s]) - 1.0;
        if (p[l] < 1.0) {
            large.pop_back();
            small.push_back(l);
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (keep[i] >= 1.0) t->alias[i] = static_cast<std::uint32_t>(i);
        t->threshold[i] = static_cast<std::uint64_t>(std::clamp(keep[i], 0.0, 1.0) * 4294967296.0);
    }
    return *tables_.emplace(channels, std::move(t)).first->second;
}

// ---------------------------------------------------------------- accumulation

void SimulatedAnalyser::generate(Unit& u, std::int64_t dtUs) {
    if (dtUs <= 0) return;
    const Table& t = table(u.channels);
    const std::size_t n = t.rates.size();
    if (n == 0 || t.total <= 0) return;
    const double tau = config_.deadTimeUs * 1e-6;
    const double live = 1.0 / (1.0 + t.total * tau);  // non-paralysable: recorded = n / (1 + n tau)
    const double dt = static_cast<double>(dtUs) * 1e-6;
    const double mean = t.total * live * dt;
    std::int64_t recorded = 0;
    if (mean < 16.0 * static_cast<double>(n)) {
        std::poisson_distribution<std::int64_t> pois(mean);
        const std::int64_t k = mean > 0 ? pois(rng_) : 0;
        for (std::int64_t e = 0; e < k; ++e) {
            const std::uint64_t r = rng_();
            const auto i = static_cast<std::size_t>(((r >> 32) * n) >> 32);
            const std::size_t ch = (r & 0xFFFFFFFFu) < t.threshold[i] ? i : t.alias[i];
            ++u.spec[ch];
        }
        recorded = k;
    } else {
        // Many events per channel: draw each channel's count directly.
        std::normal_distribution<double> normal(0.0, 1.0);
        for (std::size_t i = 0; i < n; ++i) {
            const double m = t.rates[i] * live * dt;
            std::int64_t c = 0;
            if (m > 64.0) {
                c = std::max<std::int64_t>(0, std::llround(m + std::sqrt(m) * normal(rng_)));
            } else if (m > 0) {
                std::poisson_distribution<std::int64_t> pois(m);
                c = pois(rng_);
            }
            u.spec[i] += static_cast<std::uint32_t>(c);
            recorded += c;
        }
    }
    u.events += recorded;
}

void SimulatedAnalyser::advance(Unit& u) {
    const auto nowUs = static_cast<std::int64_t>(std::llround(clock_->now() * 1e6));
    std::int64_t dt = nowUs - u.lastUs;
    u.lastUs = nowUs;
    if (dt <= 0 || !u.running) return;
    if (u.scan) {
        const std::int64_t passLen = static_cast<std::int64_t>(std::max(u.preset, 1)) * 100000;
        while (dt > 0) {
            if (u.passUs >= passLen) u.passUs = passLen;  // the preset was lowered mid-pass
            const std::int64_t step = std::min(dt, passLen - u.passUs);
            generate(u, step);
            u.passUs += step;
            u.realUs += step;
            dt -= step;
            if (u.passUs >= passLen) {
                u.passUs = 0;
                ++u.passes;
                u.scanDonePending = true;
            }
        }
        return;
    }
    // The hardware preset: counting stops by itself at exactly the preset real time.
    const std::int64_t presetUs = static_cast<std::int64_t>(u.preset) * 100000;
    const std::int64_t step = std::min(dt, std::max<std::int64_t>(presetUs - u.realUs, 0));
    generate(u, step);
    u.realUs += step;
    if (u.realUs >= presetUs) u.running = false;
}

// ---------------------------------------------------------------- records and faults

void SimulatedAnalyser::record(DriverCall call, std::string args) {
    if (calls_.size() >= kLogLimit) calls_.erase(calls_.begin(), calls_.begin() + kLogLimit / 2);
    calls_.push_back({driverCallName(call), std::move(args)});
}

void SimulatedAnalyser::clearLog() {
    calls_.clear();
    commands_.clear();
}

void SimulatedAnalyser::injectFault(const ReplyFault& fault) {
    if (fault.kind != ReplyFault::None && fault.count != 0) faults_.push_back(fault);
}

void SimulatedAnalyser::failCall(DriverCall call, FT_STATUS status, int count, int after) {
    if (count != 0) callFailures_.push_back({call, status, count, std::max(after, 0)});
}

void SimulatedAnalyser::clearFaults() {
    faults_.clear();
    callFailures_.clear();
}

bool SimulatedAnalyser::takeFailure(DriverCall call, FT_STATUS* status) {
    for (auto it = callFailures_.begin(); it != callFailures_.end(); ++it) {
        if (it->call != call) continue;
        if (it->after > 0) {
            --it->after;
            return false;
        }
        *status = it->status;
        if (it->count > 0 && --it->count == 0) callFailures_.erase(it);
        return true;
    }
    return false;
}

SimulatedAnalyser::Unit* SimulatedAnalyser::unitFor(FT_HANDLE handle) const {
    for (const auto& u : units_)
        if (u.get() == handle && u->open) return u.get();
    return nullptr;
}

// ---------------------------------------------------------------- driver calls

FT_STATUS SimulatedAnalyser::FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) {
    record(DriverCall::ListDevices, hex32(flags));
    FT_STATUS st;
    if (takeFailure(DriverCall::ListDevices, &st)) return st;
    const auto count = static_cast<DWORD>(units_.size());
    if (flags == (FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER)) {
        if (pvArg1 == nullptr || pvArg2 == nullptr) return FT_INVALID_PARAMETER;
        // Fills the caller's buffers up to the null pointer that ends the list.
        auto** list = static_cast<char**>(pvArg1);
        for (std::size_t i = 0; i < units_.size() && list[i] != nullptr; ++i) {
            std::memset(list[i], 0, 64);
            std::memcpy(list[i], units_[i]->serial.data(), std::min<std::size_t>(units_[i]->serial.size(), 63));
        }
        *static_cast<DWORD*>(pvArg2) = count;
        return FT_OK;
    }
    if ((flags & FT_LIST_NUMBER_ONLY) != 0 && pvArg1 != nullptr) {
        *static_cast<DWORD*>(pvArg1) = count;
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS SimulatedAnalyser::FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) {
    const std::string serial = pvArg1 ? std::string(static_cast<const char*>(pvArg1), strnlen(static_cast<const char*>(pvArg1), 64)) : "";
    record(DriverCall::OpenEx, serial + "," + hex32(flags));
    FT_STATUS st;
    if (takeFailure(DriverCall::OpenEx, &st)) return st;
    if (handle == nullptr || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
    for (auto& u : units_) {
        if (u->serial != serial) continue;
        if (u->open) return FT_DEVICE_NOT_OPENED;  // already in use
        u->open = true;
        u->lastUs = static_cast<std::int64_t>(std::llround(clock_->now() * 1e6));
        *handle = u.get();
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS SimulatedAnalyser::FT_ResetDevice(FT_HANDLE handle) {
    record(DriverCall::ResetDevice, "");
    FT_STATUS st;
    if (takeFailure(DriverCall::ResetDevice, &st)) return st;
    return unitFor(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedAnalyser::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) {
    record(DriverCall::SetLatencyTimer, std::to_string(ms));
    FT_STATUS st;
    if (takeFailure(DriverCall::SetLatencyTimer, &st)) return st;
    Unit* u = unitFor(handle);
    if (!u) return FT_INVALID_HANDLE;
    u->latencyMs = std::max<int>(ms, 1);
    return FT_OK;
}

FT_STATUS SimulatedAnalyser::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
    record(DriverCall::SetTimeouts, std::to_string(readMs) + "," + std::to_string(writeMs));
    FT_STATUS st;
    if (takeFailure(DriverCall::SetTimeouts, &st)) return st;
    return unitFor(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedAnalyser::FT_Purge(FT_HANDLE handle, DWORD mask) {
    record(DriverCall::Purge, std::to_string(mask));
    FT_STATUS st;
    if (takeFailure(DriverCall::Purge, &st)) return st;
    Unit* u = unitFor(handle);
    if (!u) return FT_INVALID_HANDLE;
    if (mask & FT_PURGE_RX) {
        u->out.clear();
        u->pending.clear();
        u->wire.clear();
    }
    return FT_OK;
}

FT_STATUS SimulatedAnalyser::FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) {
    const std::string cmd = buffer ? std::string(static_cast<const char*>(buffer), bytes) : std::string();
    record(DriverCall::Write, cmd);
    if (written) *written = 0;
    FT_STATUS st;
    if (takeFailure(DriverCall::Write, &st)) return st;
    Unit* u = unitFor(handle);
    if (!u) return FT_INVALID_HANDLE;
    if (buffer == nullptr && bytes > 0) return FT_INVALID_PARAMETER;
    if (commands_.size() >= kLogLimit) commands_.erase(commands_.begin(), commands_.begin() + kLogLimit / 2);
    commands_.push_back(cmd);
    if (written) *written = bytes;
    handleCommand(*u, cmd);
    return FT_OK;
}

FT_STATUS SimulatedAnalyser::FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) {
    record(DriverCall::GetQueueStatus, "");
    FT_STATUS st;
    if (takeFailure(DriverCall::GetQueueStatus, &st)) return st;
    Unit* u = unitFor(handle);
    if (!u) return FT_INVALID_HANDLE;
    if (queued == nullptr) return FT_INVALID_PARAMETER;
    const auto nowUs = static_cast<std::int64_t>(std::llround(clock_->now() * 1e6));
    while (!u->pending.empty() && u->pending.front().atUs <= nowUs) {
        deliver(*u, u->pending.front().bytes);
        u->pending.pop_front();
    }
    arrive(*u);
    *queued = static_cast<DWORD>(u->out.size());
    return FT_OK;
}

FT_STATUS SimulatedAnalyser::FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) {
    record(DriverCall::Read, std::to_string(bytes));
    if (returned) *returned = 0;
    FT_STATUS st;
    if (takeFailure(DriverCall::Read, &st)) return st;
    Unit* u = unitFor(handle);
    if (!u) return FT_INVALID_HANDLE;
    if ((buffer == nullptr && bytes > 0) || returned == nullptr) return FT_INVALID_PARAMETER;
    arrive(*u);
    const std::size_t n = std::min<std::size_t>(bytes, u->out.size());
    auto* dst = static_cast<std::uint8_t*>(buffer);
    std::copy_n(u->out.begin(), n, dst);
    u->out.erase(u->out.begin(), u->out.begin() + static_cast<std::ptrdiff_t>(n));
    *returned = static_cast<DWORD>(n);
    return FT_OK;
}

// ---------------------------------------------------------------- firmware

void SimulatedAnalyser::queueReply(Unit& u, const std::string& cmd, std::vector<std::uint8_t> reply) {
    const auto nowUs = static_cast<std::int64_t>(std::llround(clock_->now() * 1e6));
    std::int64_t atUs = nowUs;
    if (!faults_.empty()) {
        ReplyFault& f = faults_.front();
        if (f.onlyCommand.empty() || cmd.rfind(f.onlyCommand, 0) == 0) {
            switch (f.kind) {
                case ReplyFault::Reject: reply = {'?'}; break;
                case ReplyFault::NoReply: reply.clear(); break;
                case ReplyFault::Late: atUs = nowUs + static_cast<std::int64_t>(std::llround(f.delaySeconds * 1e6)); break;
                case ReplyFault::Short: reply.resize(reply.size() - std::min(f.shortBy, reply.size())); break;
                case ReplyFault::Long: reply.insert(reply.end(), f.extraBytes, 0xA5); break;
                case ReplyFault::Replace: reply.assign(f.bytes.begin(), f.bytes.end()); break;
                case ReplyFault::None: break;
            }
            if (f.count > 0 && --f.count == 0) faults_.pop_front();
        }
    }
    if (reply.empty()) return;
    if (atUs <= nowUs && u.pending.empty())
        deliver(u, reply);
    else
        u.pending.push_back({atUs, std::move(reply)});
}

void SimulatedAnalyser::deliver(Unit& u, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return;
    if (config_.link == LinkTiming::Instant || !linkClock_) {
        u.out.insert(u.out.end(), bytes.begin(), bytes.end());
        return;
    }
    // Full-speed FTDI: the command reaches the chip in the next 1 ms frame and the
    // reply leaves at about 1 byte per microsecond in 62-byte packets; a last
    // part-filled packet goes when the latency timer runs out.
    constexpr std::int64_t kFrameUs = 1000;
    constexpr std::size_t kPacketData = 62;
    const auto nowUs = static_cast<std::int64_t>(std::llround(linkClock_->now() * 1e6));
    const std::int64_t t0 = std::max(nowUs + kFrameUs, u.wireFreeUs);
    std::int64_t t = t0;
    for (std::size_t off = 0; off < bytes.size(); off += kPacketData) {
        const std::size_t n = std::min(kPacketData, bytes.size() - off);
        t += static_cast<std::int64_t>(n);
        if (n < kPacketData) t = std::max(t, t0 + static_cast<std::int64_t>(u.latencyMs) * 1000);
        u.wire.push_back({t, std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(off),
                                                       bytes.begin() + static_cast<std::ptrdiff_t>(off + n))});
    }
    u.wireFreeUs = t;
}

void SimulatedAnalyser::arrive(Unit& u) {
    if (u.wire.empty() || !linkClock_) return;
    const auto nowUs = static_cast<std::int64_t>(std::llround(linkClock_->now() * 1e6));
    while (!u.wire.empty() && u.wire.front().atUs <= nowUs) {
        u.out.insert(u.out.end(), u.wire.front().bytes.begin(), u.wire.front().bytes.end());
        u.wire.pop_front();
    }
}

void SimulatedAnalyser::applyView(Unit& u, const std::string& cmd) {
    ViewState& v = u.view;
    const int W = kDisplayWidth;
    const int C = u.channels;
    bool zoomed = false;
    if (cmd == "$E;") {
        const int n = (v.hi - v.lo + 1) / W;
        if (n >= 1) {
            int f;
            if (n >= 2) {
                f = W * (n / 2);
                v.lo = std::max(v.cursor - f / 2, 0);
            } else {
                v.lo = std::max(v.cursor - W / 4, 0);
                f = W / 2;
            }
            v.hi = v.lo + f - 1;
            if (v.hi >= C) {
                v.hi = C - 1;
                v.lo = C - f;
            }
            zoomed = true;
        } else {
            const int q = (W / (v.hi - v.lo + 1)) * 2;
            if (q <= 64) {
                const int a = W / q;
                v.lo = v.cursor - a / 2;
                v.hi = v.cursor + a / 2 - 1;
                if (v.lo < 0) v.lo = 0;
                if (v.hi >= C) {
                    v.hi = C - 1;
                    v.lo = C - a;
                }
                zoomed = true;
            }
        }
    } else if (cmd == "$e;") {
        const int n = (v.hi - v.lo + 1) / W;
        if (n < C / W) {
            int f;
            if (n >= 1) {
                f = 2 * n * W;
            } else {
                const int q = (W / (v.hi - v.lo + 1)) / 2;
                f = q > 0 ? W / q : W;  // between W/2 and W channels: widen to one per column
            }
            v.lo = std::max(v.cursor - f / 2, 0);
            v.hi = v.lo + f - 1;
            if (v.lo + f >= C) {
                v.hi = C - 1;
                v.lo = std::max(C - f, 0);
            }
            zoomed = true;
        }
    } else if (cmd == "$l;") {
        if (v.lo > 10) {
            v.lo -= 10;
            v.hi -= 10;
            v.cursor -= 10;
        }
    } else if (cmd == "$r;") {
        if (v.hi + 10 < C) {
            v.lo += 10;
            v.hi += 10;
            v.cursor += 10;
        }
    } else if (cmd == "$V;") {
        v.log = false;
        if (v.vfsIndex > 1) --v.vfsIndex;
    } else if (cmd == "$v;") {
        v.log = false;
        if (v.vfsIndex < 22) ++v.vfsIndex;
    } else if (cmd == "$O;") {
        v.log = true;
    } else if (cmd.size() == 4 && cmd.compare(0, 2, "$V") == 0) {
        v.log = false;
        v.vfsIndex = cmd[2] - '0';
    }
    if (zoomed && (v.cursor < v.lo || v.cursor > v.hi)) v.cursor = v.lo + (v.hi - v.lo + 1) / 2;
}

void SimulatedAnalyser::handleCommand(Unit& u, const std::string& cmd) {
    advance(u);
    const std::vector<std::uint8_t> ack = {'!'};
    const std::vector<std::uint8_t> reject = {'?'};
    auto reply = [&](std::vector<std::uint8_t> bytes) { queueReply(u, cmd, std::move(bytes)); };

    // A rejection or a lost command leaves the firmware as it was.
    if (!faults_.empty()) {
        const ReplyFault& f = faults_.front();
        if ((f.kind == ReplyFault::Reject || f.kind == ReplyFault::NoReply) &&
            (f.onlyCommand.empty() || cmd.rfind(f.onlyCommand, 0) == 0)) {
            reply(reject);
            return;
        }
    }

    const std::size_t n = cmd.size();
    if (n < 3 || cmd[0] != '$' || cmd[n - 1] != ';') return reply(reject);

    if (cmd == "$G;") {
        u.scan = false;
        u.running = true;
        return reply(ack);
    }
    if (cmd == "$S;") {
        u.running = false;
        return reply(ack);
    }
    if (cmd == "$C;") {
        std::fill(u.spec.begin(), u.spec.end(), 0u);
        u.realUs = 0;
        u.passUs = 0;
        u.events = 0;
        return reply(ack);
    }
    if (cmd == "$X;") {
        u.scan = true;
        u.running = true;
        u.passUs = 0;
        u.passes = 0;
        u.scanDonePending = false;
        return reply(ack);
    }
    if (cmd == "$CX;") {
        std::fill(u.spec.begin(), u.spec.end(), 0u);
        u.realUs = 0;
        u.passUs = 0;
        u.events = 0;
        u.passes = 0;
        u.scanDonePending = false;
        return reply(ack);
    }
    if (cmd[1] == 'P' && allDigits(cmd, 2, n - 1) && n - 3 <= 9) {
        u.preset = std::stoi(cmd.substr(2, n - 3));
        return reply(ack);
    }
    if (cmd[1] == 'M') {
        int c = 0;
        if (cmd == "$M4;") c = 512;
        else if (cmd == "$M8;") c = 1024;
        else if (cmd == "$M16;") c = 2048;
        else if (cmd == "$M32;") c = 4096;
        if (c == 0) return reply(reject);
        // A new conversion gain; the display shows the whole new range.
        u.channels = c;
        u.view.lo = 0;
        u.view.hi = c - 1;
        u.view.cursor = std::min(u.view.cursor, c - 1);
        return reply(ack);
    }
    if (n == 8 && cmd.compare(0, 3, "$@C") == 0 && allDigits(cmd, 3, 7)) {
        const int ch = std::stoi(cmd.substr(3, 4));
        if (ch >= u.channels) return reply(reject);
        u.view.cursor = ch;
        return reply(ack);
    }
    if (n == 13 && cmd[1] == 't' && allDigits(cmd, 2, 12)) {
        return reply(ack);
    }
    if (cmd == "$O;" || cmd == "$V;" || cmd == "$v;" || cmd == "$E;" || cmd == "$e;" || cmd == "$l;" ||
        cmd == "$r;" || cmd == "$ ;") {
        applyView(u, cmd);
        return reply(ack);
    }
    if (n == 4 && cmd[1] == 'V') {
        const int idx = cmd[2] - '0';
        if (idx < 1 || idx > 22) return reply(reject);
        applyView(u, cmd);
        return reply(ack);
    }
    if (cmd[1] == 'R' && allDigits(cmd, 2, n - 1) && n - 3 <= 4) {
        const int k = std::stoi(cmd.substr(2, n - 3));
        if (k == 0) return reply(statusRecord(u));
        if (k > u.channels / 128) return reply(reject);
        std::vector<std::uint8_t> block(512);
        for (int c = 0; c < 128; ++c) put32(block.data() + 4 * c, u.spec[static_cast<std::size_t>((k - 1) * 128 + c)]);
        return reply(std::move(block));
    }
    reply(reject);
}

std::vector<std::uint8_t> SimulatedAnalyser::statusRecord(Unit& u) {
    DeviceStatus s;
    const ViewState& v = u.view;
    const int span = std::max(v.hi - v.lo + 1, 1);
    for (int i = 0; i < 256; ++i) {
        const int a = v.lo + static_cast<int>(static_cast<std::int64_t>(i) * span / 256);
        int b = v.lo + static_cast<int>(static_cast<std::int64_t>(i + 1) * span / 256);
        if (b <= a) b = a + 1;
        std::uint32_t peak = 0;
        for (int c = std::max(a, 0); c < b && c < u.channels; ++c) peak = std::max(peak, u.spec[static_cast<std::size_t>(c)]);
        double h;
        if (v.log)
            h = peak >= 1 ? std::log10(static_cast<double>(peak)) / 6.0 * 255.0 : 0.0;
        else
            h = static_cast<double>(peak) * 255.0 / static_cast<double>(kFullScale[std::clamp(v.vfsIndex, 1, 22)]);
        s.trace[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::clamp(h, 0.0, 255.0));
    }
    s.displayLowCh = static_cast<std::int16_t>(v.lo);
    s.displayHighCh = static_cast<std::int16_t>(v.hi);
    s.cursorCh = static_cast<std::int16_t>(v.cursor);
    s.vfsIndex = static_cast<std::int16_t>(v.log ? 0 : v.vfsIndex);
    const std::int64_t shownUs = u.scan ? u.passUs : u.realUs;
    s.realTime = static_cast<std::int32_t>(shownUs / 10000);
    s.eventCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(u.events));
    s.scanDone = u.scanDonePending ? 1 : 0;
    std::vector<std::uint8_t> rec(DeviceStatus::kSize, 0);
    s.pack(rec.data());
    // The pass completion is reported once.
    u.scanDonePending = false;
    return rec;
}

// ---------------------------------------------------------------- inspection

const std::vector<std::uint32_t>& SimulatedAnalyser::spectrum(int dev) {
    Unit& u = *units_.at(static_cast<std::size_t>(dev));
    advance(u);
    return u.spec;
}

DeviceStatus SimulatedAnalyser::status(int dev) {
    Unit& u = *units_.at(static_cast<std::size_t>(dev));
    advance(u);
    const bool pending = u.scanDonePending;
    const auto rec = statusRecord(u);
    u.scanDonePending = pending;
    return DeviceStatus::unpack(rec.data());
}

SimulatedAnalyser::ViewState SimulatedAnalyser::view(int dev) const { return units_.at(static_cast<std::size_t>(dev))->view; }
int SimulatedAnalyser::channelCount(int dev) const { return units_.at(static_cast<std::size_t>(dev))->channels; }
bool SimulatedAnalyser::running(int dev) {
    Unit& u = *units_.at(static_cast<std::size_t>(dev));
    advance(u);
    return u.running;
}
bool SimulatedAnalyser::scanning(int dev) const { return units_.at(static_cast<std::size_t>(dev))->scan; }
int SimulatedAnalyser::presetTenths(int dev) const { return units_.at(static_cast<std::size_t>(dev))->preset; }
bool SimulatedAnalyser::isOpen(int dev) const { return units_.at(static_cast<std::size_t>(dev))->open; }

std::int64_t SimulatedAnalyser::realTimeUs(int dev) {
    Unit& u = *units_.at(static_cast<std::size_t>(dev));
    advance(u);
    return u.realUs;
}

std::int64_t SimulatedAnalyser::eventCount(int dev) {
    Unit& u = *units_.at(static_cast<std::size_t>(dev));
    advance(u);
    return u.events;
}

int SimulatedAnalyser::scanPasses(int dev) {
    Unit& u = *units_.at(static_cast<std::size_t>(dev));
    advance(u);
    return u.passes;
}

}  // namespace xmca
