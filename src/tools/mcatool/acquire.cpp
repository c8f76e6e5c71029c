// mcatool acquire: an unattended acquisition with the window's acquisition cycle,
// saved as "SaveSpec" saves it. Progress on stderr; Ctrl-C or SIGTERM stops the
// analyser and saves what was acquired. Only counts the analyser sent are saved;
// a run whose final save fails is saved under a new name instead of being lost.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <cstdlib>
#include <memory>

#include "acquisition/batch_acquisition.h"
#include "device/analyser_link.h"
#include "device/driver_choice.h"
#include "model/settings_io.h"
#include "model/spectrum_io.h"
#include "tools/mcatool/commands.h"

namespace mcatool {
namespace {

volatile std::sig_atomic_t gStop = 0;

void onSignal(int) { gStop = 1; }

const char* kUsage =
    "usage: mcatool acquire [--simulate [--sim-speed F] [--sim-gain F] [--sim-efficiency F] [--cs134 A] [--cs137 A] [--k40 A] [--background]\n"
    "                        [--sim-link L]] | [--serial PATH] | [--driver d2xx|libftdi]\n"
    "                       --channels N --preset SECONDS [--dead-time US] [--clear] -o OUT.dat\n";

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::tm localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

// Ctrl-C and SIGTERM held off while the spectrum is saved: the save runs to its
// end (no temporary left behind) and a signal that came meanwhile only sets the
// stop flag once they are let through again.
class StopSignalsHeld {
public:
    StopSignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        ok_ = ::sigprocmask(SIG_BLOCK, &set, &old_) == 0;
    }
    ~StopSignalsHeld() {
        if (ok_) ::sigprocmask(SIG_SETMASK, &old_, nullptr);
    }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t old_{};
    bool ok_ = false;
};

// Saves the state's spectrum to a new file named after path with the tag, e.g.
// "run.partial-Ab12Cd.dat", beside path or else in the temporary folder; the
// name written, or empty when neither took it.
std::string saveBeside(xmca::MeasurementState& s, const std::string& path, const std::string& tag) {
    namespace fs = std::filesystem;
    const fs::path p(path);
    std::string stem = p.stem().string();
    if (stem.empty() || stem == "." || stem == "..") stem = "acquire";
    const std::string name = stem + "." + tag + "-XXXXXX.dat";
    const char* tmp = std::getenv("TMPDIR");
    const fs::path dirs[] = {p.parent_path().empty() ? fs::path(".") : p.parent_path(), tmp && *tmp ? tmp : "/tmp"};
    for (const fs::path& dir : dirs) {
        std::string candidate = (dir / name).string();
        // Created empty first, so that no other file can take the name.
        const int fd = ::mkstemps(candidate.data(), 4);
        if (fd < 0) continue;
        ::close(fd);
        if (xmca::saveSpectrum(s, candidate).empty()) return candidate;
        ::unlink(candidate.c_str());
    }
    return {};
}

std::string fixed1(double v) { return xmca::settings::formatFixed(v, 1); }

// One progress text: elapsed/preset real time, live time, dead time, count rate.
std::string progressText(const xmca::MeasurementState& s, bool bar) {
    const double real = s.realTime * 0.1, preset = s.presetTimeShown * 0.1;
    std::string t;
    if (bar) {
        constexpr int kWidth = 30;
        const double f = preset > 0 ? std::min(real / preset, 1.0) : 1.0;
        const int filled = static_cast<int>(f * kWidth);
        t = "[" + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(kWidth - filled), '.') + "] ";
    }
    t += "real " + fixed1(real) + "/" + fixed1(preset) + " s  live " + fixed1(s.liveTime * 0.1) + " s  dead " +
         fixed1(s.deadTimePermille * 0.1) + " %  " + xmca::settings::formatFixed(s.countRate, 3) + " kcps";
    return t;
}

}  // namespace

int runAcquire(const Args& args, std::ostream& out, std::ostream& err) {
    xmca::DriverOptions road;
    xmca::BatchRequest req;
    bool haveChannels = false, havePreset = false;
    std::string outPath, error;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const int taken = xmca::parseDriverOption(args, i, road, error);
        if (taken < 0) {
            err << "mcatool acquire: " << error << '\n' << kUsage;
            return kExitUsage;
        }
        if (taken > 0) continue;
        const bool hasValue = i + 1 < args.size();
        if (a == "--channels" && hasValue) {
            const auto v = xmca::settings::parseInt(args[++i]);
            if (!v) {
                err << "mcatool acquire: --channels needs a whole number\n" << kUsage;
                return kExitUsage;
            }
            req.channels = *v;
            haveChannels = true;
        } else if (a == "--preset" && hasValue) {
            const auto v = xmca::settings::presetTenthsFromSeconds(args[++i]);
            if (!v) {
                err << "mcatool acquire: --preset needs a time in seconds, 0 or more\n" << kUsage;
                return kExitUsage;
            }
            req.presetTenths = *v;
            havePreset = true;
        } else if (a == "--dead-time" && hasValue) {
            const auto v = xmca::settings::deadTimeFromText(args[++i]);
            if (!v) {
                err << "mcatool acquire: --dead-time needs microseconds, 0 or more\n" << kUsage;
                return kExitUsage;
            }
            req.deadTimeUs = *v;
        } else if (a == "--clear") {
            req.clear = true;
        } else if (a == "-o" && hasValue) {
            outPath = args[++i];
        } else {
            err << "mcatool acquire: unknown or incomplete option " << a << '\n' << kUsage;
            return kExitUsage;
        }
    }
    if (!haveChannels || !havePreset || outPath.empty()) {
        err << "mcatool acquire: --channels, --preset and -o are needed\n" << kUsage;
        return kExitUsage;
    }
    if (!xmca::checkDriverOptions(road, error)) {
        err << "mcatool acquire: " << error << '\n' << kUsage;
        return kExitUsage;
    }
    // Refused before the run, as the final save would refuse it, so no run is
    // spent on a target that cannot take it.
    if (!outputTargetOk(outPath, err)) return kExitFileError;

    xmca::ChosenDriver driver = xmca::makeDriver(road, xmca::freshSimulatorSeed());
    err << "mcatool acquire: analyser road: " << driver.road << '\n';
    if (!driver.message.empty()) err << "mcatool acquire: " << driver.message << '\n';
    if (driver.simulator) err << "mcatool acquire: SIMULATED ANALYSER, not a measurement\n";

    auto state = std::make_unique<xmca::MeasurementState>();
    // The file of a simulated run says so in its header, as the window's do.
    if (driver.simulator) state->headerTemplate.markSimulated();
    xmca::AnalyserLink link(*driver.driver);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a signal cuts the tick's sleep short
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    gStop = 0;

    const bool tty = ::isatty(STDERR_FILENO) == 1;
    std::int64_t lastLine = steadyMs();
    xmca::BatchHooks hooks;
    hooks.nowMs = steadyMs;
    hooks.sleep = [](int ms) {
        timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
        nanosleep(&ts, nullptr);  // returns early on a signal
    };
    hooks.stopRequested = [] { return gStop != 0; };
    hooks.progress = [&](const xmca::MeasurementState& s) {
        if (tty) {
            err << '\r' << progressText(s, true) << "\x1b[K" << std::flush;
        } else if (steadyMs() - lastLine >= 1000) {
            lastLine = steadyMs();
            err << progressText(s, false) << '\n' << std::flush;
        }
    };

    const xmca::BatchResult r = xmca::runBatchAcquisition(*state, link, req, hooks, localNow());
    // The handlers stay for the rest of the command, which ends the process: a
    // second Ctrl-C during the final read, the save or the report only sets the
    // flag again, so a saved run never ends as a killed one.
    if (tty && r.ticks > 0) err << '\n';
    if (r.stop == xmca::BatchResult::Rejected) {
        err << r.error << '\n';
        return kExitFileError;
    }
    err << progressText(*state, false) << '\n';
    if (r.stop == xmca::BatchResult::Interrupted) err << "mcatool acquire: stopped before the preset\n";
    if (r.content == xmca::BatchResult::Nothing) {
        // Never counts the analyser did not send; the target is left as it was.
        err << r.error << '\n';
        return kExitFileError;
    }

    std::string saved;
    bool complete = r.content == xmca::BatchResult::Final;
    {
        const StopSignalsHeld held;
        if (complete) {
            const std::string saveError = xmca::saveSpectrum(*state, outPath);
            if (saveError.empty()) {
                saved = outPath;
            } else {
                err << "Error ! cannot save " << outPath << " (" << saveError << ")\n";
                saved = saveBeside(*state, outPath, "unsaved");
                complete = false;
            }
        } else {
            saved = saveBeside(*state, outPath, "partial");
        }
    }
    if (saved.empty()) {
        err << "Error ! the spectrum could not be saved anywhere; it is lost\n";
        return kExitFileError;
    }
    if (saved != outPath)
        err << "mcatool acquire: the spectrum is saved as " << saved
            << (r.content == xmca::BatchResult::LastWhole ? " (partial: the last whole read)" : "") << '\n';
    const char* stopped = r.stop == xmca::BatchResult::Preset        ? "preset"
                          : r.stop == xmca::BatchResult::Interrupted ? "interrupted"
                                                                     : "stalled";
    out << "{\"file\": " << jsonString(saved) << ", \"road\": " << jsonString(driver.road)
        << ", \"stopped\": \"" << stopped << "\", \"channels\": " << state->channelCount
        << ", \"preset_s\": " << fixed1(state->presetTimeShown * 0.1) << ", \"real_s\": " << fixed1(state->realTime * 0.1)
        << ", \"live_s\": " << fixed1(state->liveTime * 0.1) << ", \"total_counts\": "
        << static_cast<std::int64_t>(state->totalCounts) << "}\n";
    if (!r.error.empty()) err << r.error << '\n';
    return complete && r.stop != xmca::BatchResult::Stalled ? kExitOk : kExitFileError;
}

}  // namespace mcatool
