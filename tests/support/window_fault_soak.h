// The window's fault soak: the main window with its link on a thread of its own to
// the simulated analyser (on simulated time), driven tick by tick by the test, whose
// loop is the poll timer, under a seeded fault sequence (reply faults of every kind,
// failing driver calls, the analyser unplugged for a while), with the operator
// stopping, clearing and starting. After every step it checks what the window must
// keep; after an outage the operator opens, stops, clears and starts again and the
// run must end at its preset. It waits only for the link's answers, never on time.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "acquisition/link_client.h"
#include "support/fault_soak.h"
#include "xmca/analyser_session.h"
#include "xmca/link_worker.h"
#include "xmca/tform1.h"

namespace xmca::test {

// The recording driver with a gate: the next spectrum-block command, once armed,
// waits on the link's thread until the gate opens, so the test knows the tick has
// begun when it presses buttons "during" it, and the order of the requests does not
// hang on the threads' timing.
class GatedRecordingDriver : public RecordingDriver {
public:
    using RecordingDriver::RecordingDriver;
    std::atomic<bool> armed{false};
    std::atomic<bool> holding{false};

    void open() { holding = false; }
    void waitHolding() const {
        while (!holding) QThread::usleep(50);
    }
    FT_STATUS FT_Write(FT_HANDLE h, const void* buf, DWORD n, DWORD* written) override {
        if (armed && n > 2 && std::memcmp(buf, "$R", 2) == 0) {
            armed = false;
            holding = true;
            while (holding) QThread::usleep(50);
        }
        return RecordingDriver::FT_Write(h, buf, n, written);
    }
};

class WindowFaultSoak {
public:
    struct Config {
        std::uint64_t seed = 20261208u;
        int channels = 1024;
        std::int32_t presetTenths = 200;
        FaultSequence::Rates rates;
    };

    explicit WindowFaultSoak(const Config& cfg)
        : faults(cfg.seed, cfg.rates), cfg_(cfg), sim_(soakSample(cfg.seed), clock_),
          floor_(cfg.channels, 0), shown_(cfg.channels, 0) {
        auto drv = std::make_unique<GatedRecordingDriver>(sim_);
        rec_ = drv.get();
        auto client = std::make_unique<LinkClient>(std::move(drv), clock_->steppingMs(1.0));
        client->link().pollSleepUs = -1;
        form = std::make_unique<TForm1>(std::make_unique<LinkWorker>(std::move(client), LinkWorker::Mode::Thread),
                                        TForm1::Options{});
        // The soak's loop is the poll timer: Timer1 running on wall time would add
        // ticks of its own and the soak would no longer repeat by its seed.
        timerQuiet_ = std::make_unique<QSignalBlocker>(form->Timer1);
        QObject::connect(form.get(), &TForm1::runFinished, [this](bool atPreset) { finished.push_back(atPreset); });
        QObject::connect(&form->session(), &AnalyserSession::ticked,
                         [this](const TickOutcome& t) { wholeReads_ += t.spectrumRead; });
    }

    // The window (and with it the link's thread) goes before the simulator it drives.
    ~WindowFaultSoak() {
        timerQuiet_.reset();
        form.reset();
    }

    // Runs the window's events until every request to the link has its result shown.
    void settle() {
        LinkWorker& w = form->linkWorker();
        while (w.outstanding() > 0) {
            w.awaitReply(20);
            w.drainReplies();
            QCoreApplication::processEvents();
        }
    }
    // Runs op on the link's thread, between requests: the clock and the simulator
    // belong to it.
    void onLink(LinkClient::Op op) {
        form->linkWorker().request(CycleInputs::of(form->state()), std::move(op), {});
    }

    // Opened, 1024 channels, the preset in window and analyser, counting.
    void begin() {
        form->state().settings.presetTime = cfg_.presetTenths;
        form->McaOpenClick();
        onLink([n = cfg_.channels, p = cfg_.presetTenths](LinkClient& c) {
            c.link().SetChannelCount(0, n);
            c.link().SetPresetTime(0, p);
        });
        form->McaStartClick();
        settle();
        ASSERT_EQ(form->linkFigures().acquisitionRunning, 1);
        // One clean read replaces the start-up ramp; the checks start from it.
        onLink([this](LinkClient&) { clock_->advance(0.1); });
        form->Timer1Timer();
        settle();
        ASSERT_EQ(wholeReads_, 1);
        ASSERT_TRUE(form->linkFigures().timer.enabled);
        ASSERT_TRUE(finished.empty());
        counting_ = true;
        wholeReads_ = 0;
        shown_.assign(form->state().spectrum.begin(), form->state().spectrum.begin() + cfg_.channels);
        floor_ = shown_;
        check();
    }

    // One poll tick's worth: the tick's faults and simulated time, the operator's
    // buttons now and then, and the tick itself (or a start when stopped).
    void step() {
        const FaultStep faultStep = faults.next();
        // Every exchange is bounded: no tick's step waits long on the simulated clock
        // (measured from one step's start to the next's).
        const bool timed = std::exchange(lastWasTick_, false);
        onLink([this, faultStep, timed](LinkClient&) {
            if (timed) longestStep = std::max(longestStep, clock_->now() - stepStarted_);
            stepStarted_ = clock_->now();
            clock_->advance(0.1);
            faultStep.applyTo(sim_);
        });
        // Pressed before the tick: each goes out ahead of it.
        if (faults.chance(0.003)) form->McaStopClick();
        if (faults.chance(0.002)) clearPressed();
        settle();
        check();
        if (::testing::Test::HasFatalFailure()) return;
        if (faultStep.replugged) {
            recover();
            return;
        }
        if (!form->linkFigures().timer.enabled) {
            // Stopped (at the preset, by the operator, or a start that failed): the
            // operator clears after a preset stop and starts again.
            if (form->linkFigures().status.realTime / 10 >= cfg_.presetTenths) press(&TForm1::McaClearClick);
            press(&TForm1::McaStartClick);
            return;
        }
        // Now and then the timer fires again while the link still reads (at most one
        // tick waits behind the one being read; a third is sent when one is back).
        const int fires = faults.chance(0.05) ? faults.pick(2, 3) : 1;
        // Now and then a stop pressed while the tick is being read.
        const bool stopDuring = faults.chance(0.01);
        const bool gated = fires > 1 || stopDuring;
        rec_->armed = gated;
        form->Timer1Timer();
        if (gated) {
            rec_->waitHolding();
            for (int f = 1; f < fires; ++f) form->Timer1Timer();
            if (stopDuring) form->McaStopClick();
            rec_->open();
        }
        settle();
        check();
        ++ticks;
        lastWasTick_ = true;
    }

    // The analyser is back after an outage. The operator opens, stops the run that
    // may have hung on through it, clears and starts: that run ends at its preset,
    // once, with the analyser's own final spectrum shown.
    void recover() {
        ++recoveries;
        press(&TForm1::McaOpenClick);
        press(&TForm1::McaStopClick);
        if (::testing::Test::HasFatalFailure()) return;
        ASSERT_FALSE(form->linkFigures().timer.enabled) << "a stop after the outage did not take";
        press(&TForm1::McaClearClick);
        for (int c = 0; c < cfg_.channels; ++c) ASSERT_EQ(form->state().spectrum[c], 0) << "channel " << c;
        press(&TForm1::McaStartClick);
        ASSERT_TRUE(form->linkFigures().timer.enabled) << "no start after the outage";
        const std::size_t endsBefore = finished.size();
        // Each tick takes at least 0.1 s: the preset comes within that many ticks.
        for (int k = 0; k <= cfg_.presetTenths + 5 && form->linkFigures().timer.enabled; ++k) {
            onLink([this](LinkClient&) { clock_->advance(0.1); });
            form->Timer1Timer();
            settle();
            check();
            if (::testing::Test::HasFatalFailure()) return;
        }
        ASSERT_FALSE(form->linkFigures().timer.enabled) << "the run after the outage never ended";
        ASSERT_EQ(std::vector<bool>(finished.begin() + static_cast<std::ptrdiff_t>(endsBefore), finished.end()),
                  std::vector<bool>{true});
        ASSERT_EQ(form->state().realTime, cfg_.presetTenths);
        auto analyser = std::make_shared<std::vector<std::uint32_t>>();
        onLink([this, analyser](LinkClient&) { *analyser = sim_.spectrum(); });
        settle();
        for (int c = 0; c < cfg_.channels; ++c)
            ASSERT_EQ(form->state().spectrum[c], static_cast<std::int32_t>((*analyser)[c])) << "channel " << c;
        ++recoveredAtPreset;
    }

    std::unique_ptr<TForm1> form;
    FaultSequence faults;          // also the operator's choices
    std::vector<bool> finished;    // runFinished arguments, in order
    int ticks = 0, recoveries = 0, recoveredAtPreset = 0, checks = 0;
    double longestStep = 0;        // simulated seconds; written on the link's thread, read once settled

private:
    // A button, then its answer.
    void press(void (TForm1::*button)()) {
        if (button == &TForm1::McaClearClick) {
            clearPressed();
        } else {
            (form.get()->*button)();
        }
        settle();
        check();
    }
    void clearPressed() {
        form->McaClearClick();
        // Until a whole read shows what the analyser holds after it, no floor: the
        // clear may have taken effect in the analyser though its answer was lost.
        std::fill(floor_.begin(), floor_.end(), 0);
        cleared_ = true;
    }

    // What the window must keep after each answer.
    void check() {
        ++checks;
        const MeasurementState& s = form->state();
        // A run's end is reported once, as it ends, and only then.
        const bool counting = form->linkFigures().timer.enabled;
        const std::size_t ends = finished.size() - endsSeen_;
        ASSERT_EQ(ends, counting_ && !counting ? 1u : 0u) << "after " << ticks << " ticks";
        endsSeen_ = finished.size();
        counting_ = counting;
        // Times and rates stay physical.
        ASSERT_LE(s.liveTime, s.realTime) << "tick " << ticks;
        ASSERT_TRUE(std::isfinite(s.countRate) && s.countRate >= 0.0f) << "tick " << ticks;
        // The spectrum shown: only counts the analyser sent for that very channel;
        // unchanged unless a read came in whole or a clear was pressed; and within a
        // run never lower than the last whole read (no torn or stale block).
        const bool unchanged = wholeReads_ == 0 && !cleared_;
        for (int c = 0; c < cfg_.channels; ++c) {
            const std::int32_t v = s.spectrum[c];
            if (unchanged) {
                ASSERT_EQ(v, shown_[c]) << "tick " << ticks << " channel " << c << ": changed without a whole read";
                continue;  // as checked last time
            }
            ASSERT_TRUE(rec_->wasSent(c, v) || v == 0) << "tick " << ticks << " channel " << c << " holds " << v;
            ASSERT_GE(v, floor_[c]) << "tick " << ticks << " channel " << c << " went back";
        }
        for (int c = cfg_.channels; c < kDeviceChannels; ++c) ASSERT_EQ(s.spectrum[c], 0) << "channel " << c;
        if (wholeReads_ > 0) {
            std::copy_n(s.spectrum.begin(), cfg_.channels, floor_.begin());
            cleared_ = false;
        }
        shown_.assign(s.spectrum.begin(), s.spectrum.begin() + cfg_.channels);
        wholeReads_ = 0;
    }

    Config cfg_;
    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    SimulatedAnalyser sim_;  // the link's thread only, once the window runs
    GatedRecordingDriver* rec_ = nullptr;
    double stepStarted_ = 0;  // the link's thread
    bool lastWasTick_ = false;
    std::vector<std::int32_t> floor_;  // the least each channel may show
    std::vector<std::int32_t> shown_;  // as last checked
    bool cleared_ = false;             // a clear pressed since the last whole read
    int wholeReads_ = 0;               // ticks since the last check that read the spectrum whole
    bool counting_ = false;            // the poll timer, as of the last check
    std::size_t endsSeen_ = 0;
    std::unique_ptr<QSignalBlocker> timerQuiet_;
};

}  // namespace xmca::test
