// SimulatedAnalyser: an FtdiDriver that models the analyser's firmware in process.
// It enumerates and opens like the vendor driver, answers every command of the
// protocol byte for byte, keeps the analyser's own view state, and accumulates a
// scintillation spectrum of a Cs-134 / Cs-137 / K-40 sample over a natural background
// in simulated time read from an injectable clock. Faults can be injected for tests.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "device_status.h"
#include "ftdi_driver.h"

namespace xmca {

namespace sim {
class Shapes;
}

// Simulated time, in seconds.
class SimClock {
public:
    virtual ~SimClock() = default;
    virtual double now() const = 0;
};

// Time that moves only when told to; for tests.
class ManualClock : public SimClock {
public:
    double now() const override { return t_; }
    void set(double seconds) { t_ = seconds; }
    void advance(double seconds) { t_ += seconds; }
    // A millisecond clock for AnalyserLink that moves this clock on by stepMs on
    // every reading, so bounded waits run out after a fixed number of polls.
    std::function<std::int64_t()> steppingMs(double stepMs = 1.0);

private:
    double t_ = 0.0;
};

// The fastest the simulated clock may run: a simulated hour per 3.6 ms of wall
// time. Beyond some 1e12 the microsecond count of a run no longer fits its int64
// and the simulator would stall.
inline constexpr double kMaxSimSpeed = 1e6;

// Wall-clock time since construction, multiplied by a speed factor (--sim-speed).
class WallClock : public SimClock {
public:
    explicit WallClock(double speed = 1.0);
    double now() const override;

private:
    double speed_;
    std::int64_t startNs_;
};

// What one exchange costs on the wire. Instant: replies are queued the moment the
// command is written. UsbFullSpeed: a full-speed FTDI link, where the command goes
// out in the next 1 ms USB frame, the reply comes back in 64-byte packets (62 data
// bytes) at about 1 MB/s, and a last part-filled packet waits for the latency timer.
enum class LinkTiming { Instant, UsbFullSpeed };
// "instant" / "usb-full-speed".
const char* linkTimingName(LinkTiming timing);
std::optional<LinkTiming> linkTimingFromName(const std::string& name);

struct SimulatedAnalyserConfig {
    int deviceCount = 1;                   // 0: nothing attached; more than 5 is allowed
    std::string serialPrefix = "XMCASIM";  // serial numbers "XMCASIM1", "XMCASIM2", ...

    // Sample activities in Bq/kg; backgroundOnly zeroes them (for a background file).
    double cs134 = 100.0;
    double cs137 = 200.0;
    double k40 = 80.0;
    bool backgroundOnly = false;
    double backgroundScale = 1.0;  // multiplies every natural-background component
    // The sample's K-40 Compton continuum, which falls under the Cs windows; off only
    // for checks of the peaks alone.
    bool sampleK40Continuum = true;
    // Detection efficiency of the counting geometry relative to the one the fixed
    // factors hold for (a larger container, a closer detector: above 1).
    double efficiency = 1.0;

    double fwhm662 = 0.075;     // relative FWHM at 662 keV, scales as 1/sqrt(E)
    double gain = 1.0;          // amplifier gain error: a line lands at gain x its nominal channel
    double deadTimeUs = 1.8;    // non-paralysable dead time per event
    std::uint64_t seed = 1;     // random stream
    LinkTiming link = LinkTiming::Instant;
};

// The driver calls, for recorded sequences and injected driver failures.
enum class DriverCall { ListDevices, OpenEx, ResetDevice, SetLatencyTimer, SetTimeouts, Purge, Write, Read, GetQueueStatus };
const char* driverCallName(DriverCall call);

// A fault in the analyser's reply to the next command(s).
struct ReplyFault {
    enum Kind {
        None,
        Reject,   // "?" instead of the normal reply
        NoReply,  // nothing is ever queued
        Late,     // the reply is queued only delaySeconds of simulated time after the command
        Short,    // shortBy bytes fewer than the normal reply
        Long,     // extraBytes junk bytes after the normal reply
        Replace,  // `bytes` instead of the normal reply (the command still takes effect)
    } kind = None;
    double delaySeconds = 0.5;
    std::size_t shortBy = 100;
    std::size_t extraBytes = 600;
    std::string bytes;
    int count = 1;             // commands it applies to; -1 = every following command
    std::string onlyCommand;   // apply only to commands starting with this text ("" = any)
};

class SimulatedAnalyser : public FtdiDriver {
public:
    static constexpr int kDisplayWidth = 512;  // columns of the view logic it mirrors
    static constexpr int kMaxChannels = 4096;

    struct CallRecord {
        std::string name;  // "FT_OpenEx", ...
        std::string args;  // e.g. "XMCASIM1,0x00000001" / "6" / "3000,3000" / "$G;"
    };

    struct ViewState {
        int lo = 0;
        int hi = 2047;
        int cursor = 1024;
        int vfsIndex = 2;  // 1..22
        bool log = false;
    };

    // Clock defaults to a WallClock at speed 1.
    explicit SimulatedAnalyser(SimulatedAnalyserConfig config = {}, std::shared_ptr<SimClock> clock = nullptr);
    ~SimulatedAnalyser() override;

    // FtdiDriver.
    FT_STATUS FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) override;
    FT_STATUS FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) override;

    // Fault injection.
    void injectFault(const ReplyFault& fault);
    // After `after` further calls of `call` have gone through normally, the next
    // `count` of them (-1: all) return `status` and do nothing.
    void failCall(DriverCall call, FT_STATUS status = FT_IO_ERROR, int count = 1, int after = 0);
    void clearFaults();

    // Records: every write as text, every driver call with its arguments.
    const std::vector<std::string>& commands() const { return commands_; }
    const std::vector<CallRecord>& calls() const { return calls_; }
    void clearLog();

    // Firmware state of device `dev` (0-based), brought up to the clock's time first.
    const std::vector<std::uint32_t>& spectrum(int dev = 0);
    DeviceStatus status(int dev = 0);  // the record "$R0;" would return (does not clear scanDone)
    ViewState view(int dev = 0) const;
    int channelCount(int dev = 0) const;
    bool running(int dev = 0);  // false once the hardware preset has stopped it
    bool scanning(int dev = 0) const;
    int presetTenths(int dev = 0) const;
    std::int64_t realTimeUs(int dev = 0);   // since the last clear
    std::int64_t eventCount(int dev = 0);   // events processed since the last clear
    int scanPasses(int dev = 0);            // passes completed since "$X;" / "$CX;"
    bool isOpen(int dev = 0) const;

    // Expected true (before dead time) counts per second in each channel at the given
    // channel count; what a long run converges to.
    enum class Part { Sample, Background, Total };
    std::vector<double> expectedRates(int channels, Part part = Part::Total) const;

    // Energy scale: about 1.0 keV per channel at 2048 channels, scaled with the count.
    static double energyOfChannel(double channel, int channels);
    static double channelOfEnergy(double keV, int channels);
    // Detection efficiencies (cps per Bq/kg per emitted gamma at 662 keV): one for
    // every sample line group, chosen so the fixed Cs-All factor gives a Cs-137
    // sample back at efficiency 1; the sum peak scales with the square.
    struct Efficiencies {
        double cs137 = 0, cs134Low = 0, cs134Mid = 0, cs134Sum = 0, k40 = 0;
    };
    const Efficiencies& efficiencies() const { return eff_; }
    const SimulatedAnalyserConfig& config() const { return config_; }
    // Places a sample of these activities (Bq/kg) on the detector, or takes it away
    // (all zero), for the counts that follow: a background and a sample counted in
    // turn on one simulated analyser.
    void setSample(double cs134, double cs137, double k40);

    std::string serialNumber(int dev) const;

    // The clock the link timing runs on; the wall clock at speed 1 unless set (link
    // costs are real time whatever --sim-speed does to counting).
    void setLinkClock(std::shared_ptr<SimClock> clock) { linkClock_ = std::move(clock); }

private:
    struct Unit;
    struct Table;

    Unit* unitFor(FT_HANDLE handle) const;
    bool takeFailure(DriverCall call, FT_STATUS* status);
    void record(DriverCall call, std::string args);
    void handleCommand(Unit& u, const std::string& cmd);
    void queueReply(Unit& u, const std::string& cmd, std::vector<std::uint8_t> reply);
    // Puts reply bytes on the wire: at once, or packet by packet under link timing.
    void deliver(Unit& u, const std::vector<std::uint8_t>& bytes);
    // Moves the packets that have arrived by now into the host's queue.
    void arrive(Unit& u);
    void advance(Unit& u);
    void generate(Unit& u, std::int64_t dtUs);
    const Table& table(int channels) const;
    std::vector<std::uint8_t> statusRecord(Unit& u);
    void applyView(Unit& u, const std::string& cmd);
    void calibrate();

    SimulatedAnalyserConfig config_;
    std::shared_ptr<SimClock> clock_;
    std::shared_ptr<SimClock> linkClock_;
    std::vector<std::unique_ptr<Unit>> units_;
    Efficiencies eff_;
    std::shared_ptr<const sim::Shapes> shapes_;
    mutable std::map<int, std::unique_ptr<Table>> tables_;
    std::mt19937_64 rng_;

    std::vector<std::string> commands_;
    std::vector<CallRecord> calls_;
    std::deque<ReplyFault> faults_;
    struct CallFailure {
        DriverCall call;
        FT_STATUS status;
        int count;
        int after;
    };
    std::vector<CallFailure> callFailures_;
};

}  // namespace xmca
