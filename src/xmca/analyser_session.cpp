#include "analyser_session.h"

#include <ctime>
#include <utility>

#include "files/sjis_text.h"
#include "model/memory_spectra.h"

namespace {

using Part = xmca::LinkSnapshot::Part;

std::tm localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace

AnalyserSession::AnalyserSession(std::unique_ptr<LinkWorker> worker, MeasurementDocument& doc, Options options,
                                 QObject* parent)
    : QObject(parent), worker_(std::move(worker)), doc_(doc), options_(options) {
    timer_ = new QTimer(this);
    timer_->setObjectName("Timer1");
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &AnalyserSession::tick);
}

// No answer may arrive once the window that owns the session is going.
AnalyserSession::~AnalyserSession() { worker_->shutdown(); }

void AnalyserSession::shutdown() {
    timer_->stop();
    worker_->shutdown();
}

bool AnalyserSession::request(Key key, xmca::LinkClient::Op op, std::function<void()> then, bool poll) {
    if (key != Key::None && outstanding(key)) return false;
    if (key != Key::None) pending_.insert(key);
    const bool queued = worker_->request(xmca::CycleInputs::of(doc_.state()), std::move(op),
                                         [this, key, then = std::move(then)](const xmca::LinkSnapshot& snap) {
                                             if (key != Key::None) pending_.erase(key);
                                             fig_ = snap.link;
                                             doc_.apply(snap);
                                             if (then) then();
                                         },
                                         poll);
    if (!queued && key != Key::None) pending_.erase(key);
    return queued;
}

void AnalyserSession::afterLink(std::function<void()> then) {
    // Requests are answered in the order made: this one's answer comes after theirs.
    request(Key::None, [](xmca::LinkClient&) {}, std::move(then));
}

void AnalyserSession::applyTimer() {
    const auto& t = fig_.timer;
    if (timer_->interval() != t.intervalMs) timer_->setInterval(t.intervalMs);
    if (t.enabled && !timer_->isActive()) timer_->start();
    if (!t.enabled && timer_->isActive()) timer_->stop();
}

void AnalyserSession::open() {
    auto out = std::make_shared<xmca::OpenOutcome>();
    request(Key::Open, [out](xmca::LinkClient& c) { *out = c.cycle().open(); },
            [this, out] {
                emit opened(*out);
                if (out->kind == xmca::OpenOutcome::Opened) emit statusMessage(tr("Analyser opened"));
                else if (out->kind == xmca::OpenOutcome::Failed) emit statusMessage(tr("No analyser found"));
            });
}

void AnalyserSession::start() { startCounting(0); }

void AnalyserSession::startCounting(int ticket) {
    const std::tm now = localNow();
    auto shown = std::make_shared<std::string>();
    auto wasRunning = std::make_shared<bool>(false);
    request(Key::Start, [now, shown, wasRunning](xmca::LinkClient& c) {
                *wasRunning = c.cycle().timer.enabled;
                *shown = c.cycle().start(now);
                c.publish(Part::Stamp | Part::Times);
            },
            [this, shown, wasRunning, ticket] {
                // The run that began here is this ticket's; a start pressed while a
                // run counts leaves that run its own. The preset shown and written with
                // the run is the one it was set up to count to, not that of a file
                // read since.
                if (fig_.timer.enabled && !*wasRunning) {
                    runTicket_ = ticket;
                    xmca::MeasurementState& s = doc_.edit();
                    s.presetTimeShown = s.headerTemplate.i32(xmca::SpectrumHeader::kPresetTime);
                }
                if (fig_.timer.enabled) emit statusMessage(tr("Run started"));
                applyTimer();
                emit started(QString::fromStdString(*shown));
            });
}

void AnalyserSession::stop() {
    auto ended = std::make_shared<bool>(false);  // a run was going and this stop ended it
    request(Key::Stop, [ended](xmca::LinkClient& c) {
                const bool wasRunning = c.cycle().timer.enabled;
                c.cycle().stop();
                c.publish(Part::Times);
                *ended = wasRunning && !c.cycle().timer.enabled;
            },
            [this, ended] {
                if (*ended) endRun(false);
                applyTimer();
                emit stopped();
            });
}

void AnalyserSession::endRun(bool atPreset) {
    emit statusMessage(atPreset ? tr("Run finished at the preset") : tr("Run stopped"));
    // The ticket is let go before anyone hears of the end, so a run started from the
    // answer is a new one.
    emit runFinished(std::exchange(runTicket_, 0), atPreset);
}

void AnalyserSession::clear() {
    request(
        Key::Clear, [](xmca::LinkClient& c) { if (c.cycle().clear()) c.publish(Part::Spectrum); },
        [this] { emit cleared(); });
}

void AnalyserSession::tick() {
    if (!worker_->threaded()) {
        // The timer stays off while the tick talks to the analyser, so a slow exchange
        // can never start a second tick.
        timer_->stop();
    } else if (outstanding(Key::Stop) || outstanding(Key::ScanStop)) {
        return;  // no read after a stop the operator asked for
    } else if (ticksOutstanding_ >= 2) {
        tickDue_ = true;  // the link is slower than the timer; sent when one is back
        return;
    }
    sendTick();
}

void AnalyserSession::sendTick() {
    // Threaded, one tick may wait behind the one being read, so a link slower than
    // the timer reads back to back; a tick that finds the run ended (a preset stop
    // just before it) reads nothing.
    tickDue_ = false;
    const bool onlyWhileRunning = worker_->threaded();
    ++ticksOutstanding_;
    auto t = std::make_shared<xmca::TickOutcome>();
    const bool queued = request(
        Key::None,
        [t, onlyWhileRunning](xmca::LinkClient& c) {
            if (onlyWhileRunning && !c.cycle().timer.enabled) return;
            const bool mca = c.link().AcquisitionMode == 1;
            *t = c.cycle().tick();
            // Whatever the tick read whole is the analyser's, changed or not.
            if (mca) c.publish(Part::Times);
            if (t->statusRead) c.publish(Part::View);
            if (mca || t->scanPassDone) c.publish(Part::Spectrum);
            if (t->scanPassDone) c.publish(Part::Scan);
            if ((mca || t->scanPassDone) && !t->spectrumRead) c.dropSpectrum();
        },
        [this, t] {
            --ticksOutstanding_;
            emit ticked(*t);
            applyTimer();
            if (t->presetStop) endRun(true);
            if (tickDue_ && timer_->isActive() && !outstanding(Key::Stop) && !outstanding(Key::ScanStop))
                sendTick();
        },
        true);
    if (!queued) --ticksOutstanding_;
}

void AnalyserSession::showAnalyserMemory() {
    emit analyserMemoryChosen();
    xmca::selectAnalyser(doc_.edit());
    if (!fig_.deviceOpen) {
        emit analyserMemoryShown(false);
        return;
    }
    auto read = std::make_shared<bool>(false);
    request(Key::Mem, [read](xmca::LinkClient& c) {
                *read = c.cycle().readAnalyserView();
                if (*read) c.publish(Part::Spectrum | Part::View | Part::Times);
            },
            [this, read] { emit analyserMemoryShown(*read); });
}

std::string AnalyserSession::syncClock() {
    const std::tm now = localNow();
    request(Key::Clock, [now](xmca::LinkClient& c) { c.cycle().syncClock(now); }, {});
    return xmca::AnalyserLink::clockCommand(now);
}

void AnalyserSession::placeSimulatedSample(bool onDetector) {
    xmca::SimulatedAnalyser* sim = options_.simulator;
    if (!sim) return;
    const std::array<double, 3> a = onDetector ? options_.simulatedSample : std::array<double, 3>{0.0, 0.0, 0.0};
    request(Key::None, [sim, a](xmca::LinkClient&) { sim->setSample(a[0], a[1], a[2]); }, {});
}

void AnalyserSession::setPresetTenths(std::int32_t tenths, std::function<void(bool accepted)> done) {
    xmca::MeasurementState& s = doc_.edit();
    s.settings.presetTime = tenths;
    s.presetTimeShown = tenths;
    if (fig_.deviceOpen != 1) {
        if (done) done(true);
        return;
    }
    auto ok = std::make_shared<bool>(false);
    request(Key::None, [ok, tenths](xmca::LinkClient& c) { *ok = c.link().SetPresetTime(0, tenths) == 1; },
            [ok, done] {
                if (done) done(*ok);
            });
}

int AnalyserSession::startRun(const RunRequest& run, std::function<void()> starting,
                              std::function<void(const QString& failure)> done) {
    const int ticket = nextTicket_++;
    if (runStarting_) {
        if (done) done(tr("The analyser did not start counting."));
        return ticket;
    }
    runStarting_ = true;
    auto finish = [this, done](const QString& failure) {
        runStarting_ = false;
        if (done) done(failure);
    };
    if (!isOpen()) open();
    afterLink([this, run, ticket, starting, finish] {
        if (!isOpen()) return finish(tr("The analyser could not be opened."));
        setPresetTenths(run.tenths, [this, run, ticket, starting, finish](bool accepted) {
            if (!accepted) return finish(tr("The analyser refused the counting time."));
            if (starting) starting();
            placeSimulatedSample(run.sampleOnDetector);
            showAnalyserMemory();
            clear();
            // The file of this run says what was counted and for how long (the memory
            // selection above took the times of the spectrum shown before).
            xmca::labelRun(doc_.edit(), run.tenths, xmca::utf8ToSjis(run.sampleId), xmca::utf8ToSjis(run.comment));
            startCounting(ticket);
            afterLink([this, finish] {
                finish(timer_->isActive() ? QString() : tr("The analyser did not start counting."));
            });
        });
    });
    return ticket;
}
