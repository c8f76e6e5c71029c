// The window's session with the analyser: the link worker (and through it the
// driver, the link and the acquisition cycle), the poll timer Timer1, the order of
// requests and the link's figures as of the last answer. The operator's buttons and
// the pages' runs go through here; each answer is written into the measurement
// document and announced by a signal on the window's thread.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "acquisition/acquisition_cycle.h"
#include "device/simulated_analyser.h"
#include "link_worker.h"
#include "measurement_document.h"

class AnalyserSession : public QObject {
    Q_OBJECT
public:
    struct Options {
        // The simulated analyser (owned by the link's driver), so that a run can take
        // the simulated sample off the detector for a background; null on a real one.
        xmca::SimulatedAnalyser* simulator = nullptr;
        std::array<double, 3> simulatedSample{};  // its Cs-134, Cs-137 and K-40 (Bq/kg)
    };

    AnalyserSession(std::unique_ptr<LinkWorker> worker, MeasurementDocument& doc, Options options,
                    QObject* parent = nullptr);
    ~AnalyserSession() override;

    // A button's request is not queued again while it is outstanding (Key::None:
    // always queued, e.g. view commands, each a step).
    enum class Key { None, Open, Start, Stop, Clear, Clock, Setup, ScanSetup, ScanStart, ScanStop, ScanClear, Mem };
    // Queues op with the document's settings; the answer is written into the
    // document, then `then` runs. False when not queued (outstanding or shut down).
    bool request(Key key, xmca::LinkClient::Op op, std::function<void()> then, bool poll = false);
    // then, once every request made so far is answered.
    void afterLink(std::function<void()> then);
    bool outstanding(Key key) const { return pending_.count(key) != 0; }

    LinkWorker& worker() { return *worker_; }
    const xmca::LinkFigures& figures() const { return fig_; }
    bool isOpen() const { return fig_.deviceOpen == 1; }
    // The poll timer, as the cycle last set it.
    QTimer* timer() const { return timer_; }
    // No further command goes out; the exchange under way finishes.
    void shutdown();

    // The operator's analyser buttons.
    void open();
    void start();
    void stop();
    void clear();
    void tick();  // the poll timer's tick
    // The working spectrum is the analyser's ("Mem" group: MCA), read afresh when open.
    void showAnalyserMemory();
    // The preset the next run stops at (0.1 s), sent to an open analyser; done hears
    // whether it was taken (true with none open).
    void setPresetTenths(std::int32_t tenths, std::function<void(bool accepted)> done = {});
    // "Clock SYNC": the analyser's clock set to the local time now; returns the
    // command as the status box shows it.
    std::string syncClock();
    // Simulated analyser only: the sample on the detector or off it from the next
    // counts on (on the link's thread, between exchanges).
    void placeSimulatedSample(bool onDetector);

    // A page's own run into the MCA memory: opens the analyser when needed, sends the
    // preset, puts the simulated sample on or off, clears and starts, each step once
    // the link has answered the one before. Returns the run's ticket (never 0), which
    // `runFinished` names when the run ends; `starting` runs just before the start,
    // done hears why it could not start, or an empty text when it is counting. The
    // sample ID and comment (UTF-8) go into the run's header.
    struct RunRequest {
        std::int32_t tenths = 0;
        bool sampleOnDetector = true;
        std::string sampleId;
        std::string comment;
    };
    int startRun(const RunRequest& run, std::function<void()> starting,
                 std::function<void(const QString& failure)> done);

signals:
    // A run ended: at the preset or by a stop. ticket is the page run's, or 0 for a
    // run the operator started.
    void runFinished(int ticket, bool atPreset);
    // A plain-words message for the status bar ("Analyser opened").
    void statusMessage(const QString& text);
    // The answers the window shows.
    void opened(const xmca::OpenOutcome& outcome);
    void started(const QString& shown);
    void stopped();
    void cleared();
    void ticked(const xmca::TickOutcome& outcome);
    void analyserMemoryShown(bool read);  // read: the analyser's spectrum and window came
    void analyserMemoryChosen();          // at once, before the read: the "MCA" button

public:
    // Timer1 as the cycle's poll timer stands in the link's last figures.
    void applyTimer();

private:
    void startCounting(int ticket);  // the start of a run with this ticket (0: the operator's)
    void endRun(bool atPreset);      // says so, and names the run's ticket
    void sendTick();

    std::unique_ptr<LinkWorker> worker_;
    MeasurementDocument& doc_;
    Options options_;
    QTimer* timer_ = nullptr;
    xmca::LinkFigures fig_;
    std::set<Key> pending_;
    int ticksOutstanding_ = 0;  // threaded: the tick being read and at most one queued
    bool tickDue_ = false;      // the timer fired while two ticks were outstanding
    bool runStarting_ = false;  // a page's start sequence under way
    int nextTicket_ = 1;
    int runTicket_ = 0;         // the ticket of the run counting now (0: the operator's)
};
