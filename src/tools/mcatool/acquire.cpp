// mcatool acquire: an unattended acquisition with the window's acquisition cycle,
// saved as "SaveSpec" saves it. Progress on stderr; Ctrl-C or SIGTERM stops the
// analyser and saves what was acquired.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
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
    "usage: mcatool acquire [--simulate [--sim-speed F] [--sim-gain F] [--cs134 A] [--cs137 A] [--k40 A] [--background]\n"
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

// True when path can be written: an existing file we may write, or a new one in a
// directory we may write. Checked before the run so an hour's counts are not lost
// at the end.
bool writable(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec)) return false;
    if (fs::exists(path, ec)) return ::access(path.c_str(), W_OK) == 0;
    fs::path dir = fs::path(path).parent_path();
    if (dir.empty()) dir = ".";
    return fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string fixed1(double v) { return xmca::settings::formatFixed(v, 1); }

// One progress text: elapsed/preset real time, live time, dead time, count rate.
std::string progressText(const xmca::MeasurementState& s, bool bar) {
    const double real = s.realTime * 0.1, preset = s.presetTime * 0.1;
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
    if (!writable(outPath)) {
        err << "Error ! cannot write " << outPath << '\n';
        return kExitFileError;
    }

    xmca::ChosenDriver driver = xmca::makeDriver(road, static_cast<std::uint64_t>(std::time(nullptr)));
    err << "mcatool acquire: analyser road: " << driver.road << '\n';
    if (!driver.message.empty()) err << "mcatool acquire: " << driver.message << '\n';
    if (driver.simulator) err << "mcatool acquire: SIMULATED ANALYSER, not a measurement\n";

    auto state = std::make_unique<xmca::MeasurementState>();
    xmca::AnalyserLink link(*driver.driver);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a signal cuts the tick's sleep short
    struct sigaction oldInt {}, oldTerm {};
    sigaction(SIGINT, &sa, &oldInt);
    sigaction(SIGTERM, &sa, &oldTerm);
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
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    if (tty && r.ticks > 0) err << '\n';
    if (r.stop == xmca::BatchResult::Rejected) {
        err << r.error << '\n';
        return kExitFileError;
    }
    err << progressText(*state, false) << '\n';
    if (r.stop == xmca::BatchResult::Interrupted) err << "mcatool acquire: stopped before the preset\n";

    const std::string saveError = xmca::saveSpectrum(*state, outPath);
    if (!saveError.empty()) {
        err << "Error ! " << saveError << ' ' << outPath << '\n';
        return kExitFileError;
    }
    const char* stopped = r.stop == xmca::BatchResult::Preset        ? "preset"
                          : r.stop == xmca::BatchResult::Interrupted ? "interrupted"
                                                                     : "stalled";
    out << "{\"file\": " << jsonString(outPath) << ", \"road\": " << jsonString(driver.road)
        << ", \"stopped\": \"" << stopped << "\", \"channels\": " << state->channelCount
        << ", \"preset_s\": " << fixed1(state->presetTime * 0.1) << ", \"real_s\": " << fixed1(state->realTime * 0.1)
        << ", \"live_s\": " << fixed1(state->liveTime * 0.1) << ", \"total_counts\": "
        << static_cast<std::int64_t>(state->totalCounts) << "}\n";
    if (r.stop == xmca::BatchResult::Stalled) {
        err << r.error << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

}  // namespace mcatool
