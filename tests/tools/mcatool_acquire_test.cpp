// mcatool acquire, run as a program: on the built-in simulator, and over a
// pseudo-terminal served by the simulated analyser so every command it sends can
// be checked from outside.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "device/pty_analyser.h"
#include "device/scripted_pty.h"
#include "files/spectrum_file.h"
#include "files/temp_dir.h"
#include "tools/tool_run.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using test::PtyAnalyser;
using test::TempDir;

struct ToolRun {
    int code = -1;
    std::string out, err;
};

// Starts mcatool acquire with stdout and stderr to files in dir.
pid_t spawn(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "acquire");
    args.insert(args.begin(), test::mcatoolPath());
    const std::string out = dir.file("stdout"), err = dir.file("stderr");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits at most timeoutS for the program; kills it if it overruns (a failure).
ToolRun finish(const TempDir& dir, pid_t pid, double timeoutS = 30) {
    ToolRun r;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    int st = 0;
    while (::waitpid(pid, &st, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &st, 0);
            ADD_FAILURE() << "mcatool acquire did not finish in " << timeoutS << " s";
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = test::readAll(dir.file("stdout"));
    r.err = test::readAll(dir.file("stderr"));
    return r;
}

ToolRun acquire(const TempDir& dir, std::vector<std::string> args) { return finish(dir, spawn(dir, std::move(args))); }

QJsonObject json(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

// The file read back the way the window's "&Read" reads it.
std::unique_ptr<MeasurementState> readBack(const std::string& path) {
    auto s = std::make_unique<MeasurementState>();
    const FileLoadResult r = loadSpectrum(*s, path);
    EXPECT_TRUE(r.valid) << path;
    return s;
}

// Splits the commands the analyser received after the start into poll ticks.
struct Ticks {
    std::vector<std::string> before;             // up to and with "$G;"
    std::vector<std::vector<std::string>> ticks; // "$R1;".."$Rk;" "$R0;" each
    std::vector<std::string> after;              // what followed the last "$R0;"
};

Ticks splitTicks(const std::vector<std::string>& cmds) {
    Ticks t;
    std::size_t i = 0;
    while (i < cmds.size()) {
        t.before.push_back(cmds[i]);
        if (cmds[i++] == "$G;") break;
    }
    std::vector<std::string> cur;
    for (; i < cmds.size(); ++i) {
        cur.push_back(cmds[i]);
        if (cmds[i] == "$R0;") {
            t.ticks.push_back(cur);
            cur.clear();
        }
    }
    t.after = cur;
    return t;
}

std::vector<std::string> blockReads(int blocks) {
    std::vector<std::string> v;
    for (int k = 1; k <= blocks; ++k) v.push_back("$R" + std::to_string(k) + ";");
    return v;
}

TEST(McatoolAcquire, SimulatedHourInAFewSecondsReadsBackWithTheRightTimes) {
    TempDir dir;
    const std::string out = dir.file("s.dat");
    const auto t0 = std::chrono::steady_clock::now();
    const ToolRun r = acquire(dir, {"--simulate", "--channels", "2048", "--preset", "3600", "--sim-speed", "600", "-o", out});
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_LT(took, 20.0);
    EXPECT_NE(r.err.find("analyser road: simulated analyser"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("SIMULATED"), std::string::npos);
    const QJsonObject o = json(r.out);
    EXPECT_EQ(o["stopped"].toString(), "preset");
    EXPECT_DOUBLE_EQ(o["real_s"].toDouble(), 3600.0);

    EXPECT_EQ(std::filesystem::file_size(out), 1024u + 4u * 2048u);
    auto s = readBack(out);
    EXPECT_EQ(s->channelCount, 2048);
    EXPECT_EQ(s->presetTimeShown, 36000);
    EXPECT_EQ(s->realTime, 36000);  // the preset stop, exactly
    EXPECT_GT(s->liveTime, 35000);
    EXPECT_LE(s->liveTime, 36000);
    EXPECT_FLOAT_EQ(s->header.f32(SpectrumHeader::kCalibMarker), 1.0f);  // uncalibrated
    EXPECT_TRUE(s->header.simulated());  // marked: not a measurement
    EXPECT_GE(s->header.i16(SpectrumHeader::kYear), 2025);
    std::int64_t total = 0;
    for (int i = 0; i < 2048; ++i) total += s->spectrum[static_cast<std::size_t>(i)];
    EXPECT_EQ(total, o["total_counts"].toInteger());
    // An hour of the default sample holds tens of thousands of counts, with Cs-137 at 662 keV.
    EXPECT_GT(total, 20000);
    std::int64_t peak = 0, side = 0;
    for (int i = 650; i < 670; ++i) peak += s->spectrum[static_cast<std::size_t>(i)];
    for (int i = 900; i < 920; ++i) side += s->spectrum[static_cast<std::size_t>(i)];
    EXPECT_GT(peak, 3 * side);
}

TEST(McatoolAcquire, SimulatedRunsStartedTogetherCountTheirOwnEvents) {
    // Seeded from the clock's second, two runs started together counted the very same
    // events: a check-source baseline made of such runs has too small a scatter.
    TempDir dir;
    std::vector<std::int64_t> firstChannels[2];
    for (int k = 0; k < 2; ++k) {
        const std::string out = dir.file("r" + std::to_string(k) + ".dat");
        const ToolRun r = acquire(dir, {"--simulate", "--channels", "2048", "--preset", "60", "--sim-speed", "6000", "-o", out});
        ASSERT_EQ(r.code, 0) << r.err;
        auto s = readBack(out);
        for (int i = 0; i < 2048; ++i) firstChannels[k].push_back(s->spectrum[static_cast<std::size_t>(i)]);
    }
    EXPECT_NE(firstChannels[0], firstChannels[1]);
}

TEST(McatoolAcquire, OverASerialPortTheCommandOrderAndCountsAreTheAnalysers) {
    PtyAnalyser pty({}, 600.0);
    TempDir dir;
    const std::string out = dir.file("p.dat");
    const ToolRun r = acquire(dir, {"--serial", pty.path(), "--channels", "1024", "--preset", "300", "--clear", "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("analyser road: serial port " + pty.path()), std::string::npos) << r.err;

    const Ticks t = splitTicks(pty.received());
    EXPECT_EQ(t.before, (std::vector<std::string>{"$M8;", "$P3000;", "$C;", "$G;"}));
    ASSERT_GE(t.ticks.size(), 2u);
    std::vector<std::string> tick = blockReads(8);
    tick.push_back("$R0;");
    for (const auto& k : t.ticks) EXPECT_EQ(k, tick);
    // The preset stop: the final read of every block, then "$S;", and nothing more.
    std::vector<std::string> stop = blockReads(8);
    stop.push_back("$S;");
    EXPECT_EQ(t.after, stop);

    auto s = readBack(out);
    EXPECT_EQ(s->realTime, 3000);
    EXPECT_EQ(s->presetTimeShown, 3000);
    EXPECT_FALSE(s->header.simulated());  // a serial port is an analyser as far as the file can say
    pty.with([&](SimulatedAnalyser& sim, ManualClock&) {
        // The analyser stopped itself at the preset: the file holds its counts exactly.
        EXPECT_FALSE(sim.running());
        EXPECT_EQ(sim.realTimeUs(), 300'000'000);
        const auto& spec = sim.spectrum();
        int mismatches = 0;
        for (int i = 0; i < 1024; ++i)
            if (s->spectrum[static_cast<std::size_t>(i)] != static_cast<std::int32_t>(spec[static_cast<std::size_t>(i)]))
                ++mismatches;
        EXPECT_EQ(mismatches, 0);
        const double dead = static_cast<double>(sim.eventCount()) * 1.8f * 1e-5;
        EXPECT_EQ(s->liveTime, static_cast<std::int32_t>(3000 - dead));
        return 0;
    });
}

TEST(McatoolAcquire, ALostStatusReplyCostsOneTickNotTheRun) {
    PtyAnalyser pty({}, 600.0);
    pty.with([](SimulatedAnalyser& sim, ManualClock&) {
        ReplyFault lost;
        lost.kind = ReplyFault::NoReply;
        lost.onlyCommand = "$R0;";
        sim.injectFault(lost);
        return 0;
    });
    TempDir dir;
    const std::string out = dir.file("lost.dat");
    const ToolRun r = acquire(dir, {"--serial", pty.path(), "--channels", "512", "--preset", "1800", "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json(r.out)["stopped"].toString(), "preset");
    auto s = readBack(out);
    EXPECT_EQ(s->realTime, 18000);
    pty.with([&](SimulatedAnalyser& sim, ManualClock&) {
        const auto& spec = sim.spectrum();
        int mismatches = 0;
        for (int i = 0; i < 512; ++i)
            if (s->spectrum[static_cast<std::size_t>(i)] != static_cast<std::int32_t>(spec[static_cast<std::size_t>(i)]))
                ++mismatches;
        EXPECT_EQ(mismatches, 0);
        return 0;
    });
}

TEST(McatoolAcquire, CtrlCStopsTheAnalyserAndSavesWhatWasAcquired) {
    PtyAnalyser pty({}, 1.0);
    TempDir dir;
    const std::string out = dir.file("cut.dat");
    const pid_t pid = spawn(dir, {"--serial", pty.path(), "--channels", "2048", "--preset", "3600", "-o", out});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    const ToolRun r = finish(dir, pid, 20);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json(r.out)["stopped"].toString(), "interrupted");
    // Not a terminal: one progress line per second.
    EXPECT_NE(r.err.find("real "), std::string::npos) << r.err;

    const Ticks t = splitTicks(pty.received());
    ASSERT_FALSE(t.ticks.empty());
    // "$S;" goes out first, then one more full read of the stopped analyser.
    std::vector<std::string> tail = {"$S;"};
    for (auto& c : blockReads(16)) tail.push_back(c);
    tail.push_back("$R0;");
    const auto cmds = pty.received();
    ASSERT_GE(cmds.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(cmds.end() - static_cast<std::ptrdiff_t>(tail.size()), cmds.end()), tail);

    auto s = readBack(out);
    EXPECT_GE(s->realTime, 5);   // about 1.5 s of 3600
    EXPECT_LT(s->realTime, 100);
    EXPECT_EQ(s->presetTimeShown, 36000);
    pty.with([&](SimulatedAnalyser& sim, ManualClock&) {
        EXPECT_FALSE(sim.running());
        EXPECT_EQ(s->realTime, static_cast<std::int32_t>(sim.realTimeUs() / 100000));
        const auto& spec = sim.spectrum();
        int mismatches = 0;
        for (int i = 0; i < 2048; ++i)
            if (s->spectrum[static_cast<std::size_t>(i)] != static_cast<std::int32_t>(spec[static_cast<std::size_t>(i)]))
                ++mismatches;
        EXPECT_EQ(mismatches, 0);
        return 0;
    });
}

TEST(McatoolAcquire, SigtermOnTheSimulatorAlsoSaves) {
    TempDir dir;
    const std::string out = dir.file("term.dat");
    const pid_t pid = spawn(dir, {"--simulate", "--channels", "512", "--preset", "3600", "-o", out});
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    const ToolRun r = finish(dir, pid, 20);
    ASSERT_EQ(r.code, 0) << r.err;
    auto s = readBack(out);
    EXPECT_EQ(s->channelCount, 512);
    EXPECT_GT(s->realTime, 0);
    EXPECT_LT(s->realTime, 100);
}

TEST(McatoolAcquire, ARejectedSetupOrStartExitsOneAndWritesNothing) {
    struct Case {
        const char* what;
        std::string fault;  // command the analyser rejects ("" none)
        std::string channels;
    };
    for (const Case& c : {Case{"start", "$G;", "2048"}, Case{"preset", "$P", "2048"}, Case{"clear", "$C;", "2048"},
                          Case{"channel count", "$M", "2048"}, Case{"256 channels", "", "256"}}) {
        PtyAnalyser pty({}, 600.0);
        if (!c.fault.empty()) {
            pty.with([&](SimulatedAnalyser& sim, ManualClock&) {
                ReplyFault f;
                f.kind = ReplyFault::Reject;
                f.onlyCommand = c.fault;
                sim.injectFault(f);
                return 0;
            });
        }
        TempDir dir;
        const std::string out = dir.file("never.dat");
        const ToolRun r = acquire(dir, {"--serial", pty.path(), "--channels", c.channels, "--preset", "10", "--clear", "-o", out});
        EXPECT_EQ(r.code, 1) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find("Error !"), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
        for (const auto& cmd : pty.received()) EXPECT_NE(cmd.rfind("$R", 0), 0u) << c.what << " polled " << cmd;
    }

    // Nothing attached on the chosen road, and an output that cannot be written:
    // refused before anything is sent.
    TempDir dir;
    ToolRun r = acquire(dir, {"--simulate", "--sim-devices", "0", "--channels", "2048", "--preset", "10", "-o", dir.file("x.dat")});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.dat")));
    PtyAnalyser pty({}, 600.0);
    r = acquire(dir, {"--serial", pty.path(), "--channels", "2048", "--preset", "10", "-o", dir.file("no/such/dir/x.dat")});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_TRUE(pty.received().empty());
}

// The fastest speed allowed still counts and reaches the preset.
TEST(McatoolAcquire, TheFastestSimulatorSpeedStillCounts) {
    TempDir dir;
    const std::string out = dir.file("fast.dat");
    const ToolRun r = acquire(dir, {"--simulate", "--sim-speed", "1000000", "--channels", "1024", "--preset", "36000", "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    auto s = readBack(out);
    EXPECT_EQ(s->realTime, 360000);
    std::int64_t total = 0;
    for (int i = 0; i < 1024; ++i) total += s->spectrum[static_cast<std::size_t>(i)];
    EXPECT_GT(total, 100000);  // some 12 counts per second over 10 h
}

TEST(McatoolAcquire, BadUsageExitsTwo) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--simulate", "--channels", "2048", "--preset", "10"},
          {"--simulate", "--channels", "many", "--preset", "10", "-o", dir.file("a.dat")},
          {"--simulate", "--channels", "2048", "--preset", "-3", "-o", dir.file("a.dat")},
          {"--serial", "/dev/null", "--cs137", "5", "--channels", "2048", "--preset", "10", "-o", dir.file("a.dat")},
          {"--simulate", "--driver", "d2xx", "--channels", "2048", "--preset", "10", "-o", dir.file("a.dat")},
          {"--simulate", "--channels", "2048", "--preset", "10", "--frobnicate", "-o", dir.file("a.dat")},
          // Faster than the simulator's clock can run: it would stall and save zeros.
          {"--simulate", "--sim-speed", "1e15", "--channels", "2048", "--preset", "10", "-o", dir.file("a.dat")},
          {"--simulate", "--sim-speed", "1000001", "--channels", "2048", "--preset", "10", "-o", dir.file("a.dat")}}) {
        const ToolRun r = acquire(dir, args);
        EXPECT_EQ(r.code, 2) << args.back() << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.dat")));
    }
}

// A good spectrum file to be kept: channel n holds 3n % 101.
std::string goodFile(const TempDir& dir, const std::string& name) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = 2048;
    for (int i = 0; i < 2048; ++i) s->spectrum[static_cast<std::size_t>(i)] = (3 * i) % 101;
    s->realTime = s->liveTime = 600;
    EXPECT_EQ(saveSpectrum(*s, dir.file(name)), "");
    return dir.file(name);
}

std::vector<std::string> sortedEntries(const TempDir& dir) {
    auto e = dir.entries();
    std::sort(e.begin(), e.end());
    return e;
}

// A cable pulled after the start, and firmware that acknowledges every command
// with "!" (no status, no block ever whole): the run ends as stalled with nothing
// read, and the earlier good file is not replaced by counts nobody sent.
TEST(McatoolAcquire, AnAnalyserThatNeverSendsASpectrumLeavesTheOldFile) {
    test::ScriptedPty silent(test::ScriptedPty::silentAfterStart);
    test::ScriptedPty yes(test::ScriptedPty::answersEverything);
    TempDir da, db;
    const std::string a = goodFile(da, "keep.dat"), b = goodFile(db, "keep.dat");
    const std::string before = test::readAll(a);
    const pid_t pa = spawn(da, {"--serial", silent.path(), "--channels", "2048", "--preset", "10", "-o", a});
    const pid_t pb = spawn(db, {"--serial", yes.path(), "--channels", "2048", "--preset", "10", "-o", b});
    const ToolRun ra = finish(da, pa, 120), rb = finish(db, pb, 120);
    for (const auto* r : {&ra, &rb}) {
        EXPECT_EQ(r->code, 1) << r->err;
        EXPECT_EQ(r->out, "");
        EXPECT_NE(r->err.find("nothing was read, nothing is saved"), std::string::npos) << r->err;
    }
    EXPECT_EQ(test::readAll(a), before);
    EXPECT_EQ(test::readAll(b), before);
    EXPECT_EQ(sortedEntries(da), (std::vector<std::string>{"keep.dat", "stderr", "stdout"}));
    EXPECT_EQ(sortedEntries(db), (std::vector<std::string>{"keep.dat", "stderr", "stdout"}));
    // The cable was pulled after the start: the setup went through.
    const auto cmds = silent.received();
    ASSERT_GE(cmds.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(cmds.begin(), cmds.begin() + 3), (std::vector<std::string>{"$M16;", "$P100;", "$G;"}));
}

// Targets the final save would refuse are refused before the run starts.
TEST(McatoolAcquire, UnwritableTargetsAreRefusedBeforeTheRun) {
    TempDir dir;
    const std::string ro = goodFile(dir, "ro.dat");
    ::chmod(ro.c_str(), 0444);
    std::filesystem::create_symlink("loop-b", dir.path() / "loop-a");
    std::filesystem::create_symlink("loop-a", dir.path() / "loop-b");
    std::filesystem::create_symlink("missing/x.dat", dir.path() / "dangling.dat");
    ASSERT_EQ(::mkfifo(dir.file("pipe.dat").c_str(), 0600), 0);
    const std::string before = test::readAll(ro);
    for (const std::string& target :
         {ro, dir.file("loop-a"), dir.file("dangling.dat"), std::string("/dev/full"), dir.file("pipe.dat")}) {
        const auto t0 = std::chrono::steady_clock::now();
        const ToolRun r = acquire(dir, {"--simulate", "--channels", "512", "--preset", "3", "-o", target});
        EXPECT_EQ(r.code, 1) << target << ": " << r.err;
        EXPECT_TRUE(r.err.starts_with("Error !")) << target << ": " << r.err;
        EXPECT_EQ(r.err.find("analyser road"), std::string::npos) << target << " started a run: " << r.err;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2)) << target;
    }
    EXPECT_EQ(test::readAll(ro), before);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

// A save that fails at the end (here the target became a directory during the
// run) keeps the run under a new name beside it.
TEST(McatoolAcquire, AFinalSaveThatFailsKeepsTheRunUnderANewName) {
    TempDir dir;
    const std::string out = dir.file("run.dat");
    const pid_t pid = spawn(dir, {"--simulate", "--sim-speed", "5", "--channels", "512", "--preset", "5", "-o", out});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::filesystem::create_directory(out);
    const ToolRun r = finish(dir, pid, 30);
    EXPECT_EQ(r.code, 1) << r.err;
    const std::string saved = json(r.out)["file"].toString().toStdString();
    ASSERT_FALSE(saved.empty()) << r.out << r.err;
    EXPECT_NE(saved, out);
    EXPECT_EQ(std::filesystem::path(saved).parent_path(), dir.path());
    EXPECT_TRUE(std::filesystem::path(saved).filename().string().starts_with("run.unsaved-")) << saved;
    EXPECT_NE(r.err.find(saved), std::string::npos) << r.err;
    auto s = readBack(saved);
    EXPECT_EQ(s->realTime, 50);
    EXPECT_EQ(s->channelCount, 512);
}

// Two interrupts a few milliseconds apart: the second one lands in the final read
// or save and must not kill the process; the file is written and no temporary is
// left.
TEST(McatoolAcquire, ASecondInterruptDuringTheFinalSaveIsHeldOff) {
    int killed = 0, missing = 0, stray = 0;
    for (int i = 0; i < 12; ++i) {
        TempDir dir;
        const std::string out = dir.file("cut.dat");
        const pid_t pid = spawn(dir, {"--simulate", "--sim-speed", "50", "--channels", "4096", "--preset", "3600", "-o", out});
        // Interrupts belong to the run: wait for its first progress line (after a second).
        for (int w = 0; w < 1000 && test::readAll(dir.file("stderr")).find("real ") == std::string::npos; ++w)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::kill(pid, SIGINT);
        std::this_thread::sleep_for(std::chrono::microseconds(700 * (i % 5)));
        ::kill(pid, SIGINT);
        const ToolRun r = finish(dir, pid, 30);
        if (r.code != 0) ++killed;
        if (!std::filesystem::exists(out)) ++missing;
        for (const auto& e : dir.entries())
            if (e.starts_with(".xmca-save-")) ++stray;
    }
    EXPECT_EQ(killed, 0);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(stray, 0);
}

}  // namespace
}  // namespace xmca
