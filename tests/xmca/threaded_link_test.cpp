// The window with its link on a thread of its own, as the program runs it: buttons
// pressed while a read is under way, a failed exchange while the operator scrolls,
// closing during a read, the final read at the preset stop, and a soak of random
// faults through the window's handlers. A gate in the driver holds a reply back, so
// the tests know where the worker is without timing it.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "acquisition/link_client.h"
#include "device/simulated_analyser.h"
#include "support/scripted_analyser.h"
#include "support/window_fault_soak.h"
#include "ui_tform1.h"
#include "xmca/link_worker.h"
#include "xmca/tform1.h"

namespace xmca {
namespace {

using test::ScriptedAnalyser;

// A scripted analyser whose reply to one command can be held back (until the gate
// opens) or dropped (never comes).
class GatedAnalyser : public ScriptedAnalyser {
public:
    std::string holdCommand;  // the reply to its next occurrence waits for open
    std::string dropCommand;  // the reply to its next occurrence never comes
    std::atomic<bool> gateOpen{false};
    std::atomic<bool> holding{false};  // the worker is waiting on the held reply
    std::function<void(const std::string&)> afterWrite;

    FT_STATUS FT_Write(FT_HANDLE h, const void* buf, DWORD n, DWORD* written) override {
        const FT_STATUS st = ScriptedAnalyser::FT_Write(h, buf, n, written);
        const std::string cmd(static_cast<const char*>(buf), n);
        hidden_ = None;
        if (!holdCommand.empty() && cmd == holdCommand) {
            holdCommand.clear();
            hidden_ = Held;
        } else if (!dropCommand.empty() && cmd == dropCommand) {
            dropCommand.clear();
            hidden_ = Dropped;
        }
        if (afterWrite) afterWrite(cmd);
        return st;
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE h, DWORD* q) override {
        if (hidden_ == Held && !gateOpen) {
            holding = true;
            *q = 0;
            return FT_OK;
        }
        if (hidden_ == Held) hidden_ = None;
        if (hidden_ == Dropped) {
            *q = 0;
            return FT_OK;
        }
        return ScriptedAnalyser::FT_GetQueueStatus(h, q);
    }

private:
    enum { None, Held, Dropped } hidden_ = None;
};

// Runs the window until every request to the link has its result shown.
void settleLink(TForm1& form) {
    LinkWorker& w = form.linkWorker();
    while (w.outstanding() > 0) {
        w.awaitReply(20);
        w.drainReplies();
        QCoreApplication::processEvents();
    }
}

std::vector<std::string> blockReads(int blocks) {
    std::vector<std::string> v;
    for (int k = 1; k <= blocks; ++k) v.push_back("$R" + std::to_string(k) + ";");
    return v;
}

struct ThreadedWindow {
    GatedAnalyser* drv = nullptr;
    std::unique_ptr<TForm1> form;
    std::vector<bool> finished;  // runFinished arguments, in order

    explicit ThreadedWindow(std::int64_t replyTimeoutMs = 3000) {
        auto d = std::make_unique<GatedAnalyser>();
        drv = d.get();
        for (int c = 0; c < 4096; ++c) drv->counts[c] = static_cast<std::uint32_t>(c % 97);
        auto client = std::make_unique<xmca::LinkClient>(std::move(d));
        client->link().replyTimeoutMs = replyTimeoutMs;
        client->link().resyncQuietMs = std::min<std::int64_t>(100, replyTimeoutMs);
        form = std::make_unique<TForm1>(std::make_unique<LinkWorker>(std::move(client), LinkWorker::Mode::Thread),
                                        TForm1::Options{});
        QObject::connect(form.get(), &TForm1::runFinished, [this](bool atPreset) { finished.push_back(atPreset); });
    }

    // Runs the window's events until every request has its result.
    void settle() { settleLink(*form); }
    void waitHolding() {
        while (!drv->holding) QThread::msleep(1);
    }
    // Opened and acquiring; the log starts empty. The timer is left to the test.
    void startRun(std::int32_t presetTenths = 36000) {
        form->state().settings.presetTime = presetTenths;
        form->McaOpenClick();
        form->McaStartClick();
        settle();
        form->Timer1->stop();
        ASSERT_EQ(form->linkFigures().acquisitionRunning, 1);
        drv->log.clear();
    }
};

TEST(ThreadedLink, ButtonsPressedDuringASlowReadGoOutOnceAfterIt) {
    ThreadedWindow w;
    w.startRun();
    w.drv->holdCommand = "$R5;";
    w.form->Timer1Timer();
    w.waitHolding();

    // The window is not held by the read: each handler returns while the worker
    // still waits for block 5, and a second press of a pending button is not queued.
    w.form->McaStopClick();
    w.form->McaStopClick();
    w.form->McaClearClick();
    w.form->McaClearClick();
    w.form->Timer1Timer();  // the timer firing meanwhile adds no read after the stop
    EXPECT_TRUE(w.drv->holding);
    EXPECT_EQ(w.form->linkWorker().outstanding(), 3u);

    w.drv->gateOpen = true;
    w.settle();
    std::vector<std::string> want = blockReads(16);
    want.insert(want.end(), {"$R0;", "$S;", "$C;"});
    EXPECT_EQ(w.drv->log, want);
    EXPECT_FALSE(w.form->Timer1->isActive());
    EXPECT_EQ(w.finished, std::vector<bool>{false});
    // The clear came after the tick's read: the window shows the cleared spectrum.
    for (int c = 0; c < 2048; ++c) ASSERT_EQ(w.form->state().spectrum[c], 0) << c;
}

TEST(ThreadedLink, AFailedExchangeWhileScrollingKeepsTheOrderAndTheWindowFree) {
    ThreadedWindow w(1000);
    w.startRun();
    w.form->Timer1Timer();
    w.settle();
    const auto before = w.form->state().spectrum;
    w.drv->log.clear();

    // The first scroll step's reply never comes; the link waits out its time-out and
    // resynchronises before the next command. The operator goes on scrolling.
    w.drv->dropCommand = "$r;";
    QScrollBar* bar = w.form->form()->ScrollBar1;
    const QSignalBlocker quiet(bar);  // the bar moves as the operator's steps move it
    bar->setSliderPosition(3);
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderSingleStepAdd);
    bar->setSliderPosition(5);
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderSingleStepAdd);
    w.form->Timer1Timer();
    bar->setSliderPosition(4);
    w.form->ScrollBar1Scroll(QAbstractSlider::SliderSingleStepSub);
    EXPECT_GE(w.form->linkWorker().outstanding(), 3u);
    w.settle();

    // The steps in the order made; the tick that waited behind them comes after them
    // (a view command goes out between polls, never inside one).
    std::vector<std::string> want = {"$r;", "$r;", "$l;"};
    for (const auto& c : blockReads(16)) want.push_back(c);
    want.push_back("$R0;");
    // (The timer, running again after the tick, may have added reads after these.)
    ASSERT_GE(w.drv->log.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(w.drv->log.begin(), w.drv->log.begin() + want.size()), want);
    EXPECT_GE(w.form->link().resyncCount, 1);
    // Acknowledged steps only; the last one answered was the one left.
    EXPECT_EQ(w.form->state().view.scrollPos, 4);
    // The tick after the failure read whole blocks: the counts are the analyser's.
    EXPECT_EQ(w.form->state().spectrum, before);
}

TEST(ThreadedLink, ClosingDuringAReadFinishesThatExchangeAndSendsNoOther) {
    ThreadedWindow w;
    w.startRun();
    w.form->show();
    const auto before = w.form->state().spectrum;
    w.drv->counts.assign(4096, 7);
    w.drv->holdCommand = "$R3;";
    xmca::LinkClient& client = w.form->linkWorker().client();
    w.form->Timer1Timer();
    w.waitHolding();
    // The reply comes once the window is closing.
    std::thread analyser([&] {
        while (!client.closing()) QThread::msleep(1);
        w.drv->gateOpen = true;
    });
    w.form->close();
    analyser.join();

    EXPECT_TRUE(w.form->linkWorker().isShutDown());
    // Block 3 was read to its end; nothing went out after it.
    EXPECT_EQ(w.drv->log, blockReads(3));
    DWORD left = 1;
    w.drv->ScriptedAnalyser::FT_GetQueueStatus(w.drv, &left);
    EXPECT_EQ(left, 0u);
    // The cut-short read is not shown, and no button reaches the link any more.
    EXPECT_EQ(w.form->state().spectrum, before);
    w.form->McaStopClick();
    EXPECT_EQ(w.drv->log, blockReads(3));
}

TEST(ThreadedLink, TheFinalReadAtThePresetStopIsTheSpectrumShown) {
    ThreadedWindow w;
    w.startRun(600);
    w.drv->status.realTime = 6000;  // 600.0 s: the preset
    // The analyser counts on between the tick's first read and its final one.
    w.drv->afterWrite = [d = w.drv](const std::string& cmd) {
        if (cmd == "$R0;")
            for (auto& c : d->counts) c += 5;
    };
    w.form->Timer1Timer();
    w.settle();
    std::vector<std::string> want = blockReads(16);
    want.push_back("$R0;");
    for (const auto& c : blockReads(16)) want.push_back(c);
    want.push_back("$S;");
    EXPECT_EQ(w.drv->log, want);
    for (int c = 0; c < 2048; ++c) ASSERT_EQ(w.form->state().spectrum[c], c % 97 + 5) << c;
    EXPECT_EQ(w.form->state().realTime, 600);
    EXPECT_FALSE(w.form->state().acquiring);
    EXPECT_FALSE(w.form->Timer1->isActive());
    EXPECT_EQ(w.finished, std::vector<bool>{true});
}

TEST(ThreadedLink, AFinalReadThatFailsLeavesTheLastWholeSpectrum) {
    ThreadedWindow w(300);
    w.startRun(600);
    w.form->Timer1Timer();
    w.settle();
    const auto whole = w.form->state().spectrum;
    w.drv->status.realTime = 6000;
    w.drv->afterWrite = [d = w.drv](const std::string& cmd) {
        if (cmd == "$R0;") {
            for (auto& c : d->counts) c += 5;
            d->dropCommand = "$R9;";  // the final read breaks off at block 9
        }
    };
    w.form->Timer1Timer();
    w.settle();
    EXPECT_EQ(w.form->state().spectrum, whole);
    EXPECT_EQ(w.finished, std::vector<bool>{true});
}

// The fault soak through the window's handlers against the threaded link: reply
// faults of every kind, failing driver calls and outages, the operator stopping,
// clearing and starting; after each outage a run to its preset.
TEST(ThreadedLink, FaultSoakThroughTheWindow) {
    test::WindowFaultSoak::Config cfg;
    cfg.seed = test::soakSeed(20261208u);
    cfg.rates.unplug = 0.004;
    cfg.rates.longestOutage = 30;
    RecordProperty("seed", std::to_string(cfg.seed));
    test::WindowFaultSoak k(cfg);
    k.begin();
    ASSERT_FALSE(HasFatalFailure());
    while (k.ticks < 1500) {
        k.step();
        ASSERT_FALSE(HasFatalFailure()) << "seed " << cfg.seed;
    }
    const auto& f = k.faults;
    EXPECT_GT(f.replyFaults, 60);
    for (int kind = xmca::ReplyFault::Reject; kind <= xmca::ReplyFault::Replace; ++kind)
        EXPECT_GT(f.kinds[kind], 5) << "reply fault kind " << kind;
    EXPECT_GT(f.driverFailures, 10);
    EXPECT_GE(k.recoveredAtPreset, 2);
    EXPECT_EQ(k.recoveredAtPreset, k.recoveries);
    EXPECT_GT(std::count(k.finished.begin(), k.finished.end(), true), 3);
    EXPECT_GT(k.form->link().resyncCount, 10);
    EXPECT_LT(k.longestStep, 30.0);
    std::printf("window soak seed %llu: %d ticks, %d reply faults (%d replaced), %d driver failures, %d outages, "
                "%d runs ended (%lld at the preset), longest step %.1f s simulated\n",
                static_cast<unsigned long long>(cfg.seed), k.ticks, f.replyFaults, f.kinds[xmca::ReplyFault::Replace],
                f.driverFailures, f.outages, static_cast<int>(k.finished.size()),
                static_cast<long long>(std::count(k.finished.begin(), k.finished.end(), true)), k.longestStep);
}

}  // namespace
}  // namespace xmca
