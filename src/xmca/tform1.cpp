#include "tform1.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QTabBar>
#include <algorithm>
#include <ctime>

#include "display/frame_renderer.h"
#include "files/sjis_text.h"
#include "helpabout/tmca_about.h"
#include "window_language.h"
#include "ui_tform1.h"

namespace {

using Part = xmca::LinkSnapshot::Part;

std::tm localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<xmca::FtdiDriver> driver, Options options, QWidget* parent)
    : TForm1(std::make_unique<LinkWorker>(std::make_unique<xmca::LinkClient>(std::move(driver)),
                                          LinkWorker::Mode::Inline),
             std::move(options), parent) {}

TForm1::TForm1(std::unique_ptr<LinkWorker> worker, Options options, QWidget* parent)
    : QMainWindow(parent),
      ui(new Ui::TForm1),
      worker_(std::move(worker)),
      options_(std::move(options)),
      lab_(std::make_unique<LabContext>()),
      dialogs_(options_.dialogs ? options_.dialogs : std::make_shared<WidgetDialogs>(this)) {
    ui->setupUi(this);
    xmca::display::setBoxTextFilter(&xmca::ui::verdictText);  // the plot's method and verdict lines
    // Every page's tab title in sight, in either language (the Japanese ones are
    // wider), as far as the plot leaves room; beyond that the tab bar scrolls.
    ui->PageControl1->setMinimumWidth(std::min(ui->PageControl1->tabBar()->sizeHint().width() + 8, 560));

    if (options_.simulated) {
        // An operator must never mistake simulated counts for a measurement.
        setWindowTitle(tr("xmca - SIMULATED ANALYSER (not a measurement)"));
        state_.statusText = "SIMULATION";
        // Every spectrum counted here carries the note into its header and file.
        state_.headerTemplate.markSimulated();
    } else {
        setWindowTitle(tr("xmca"));
    }
    if (!options_.driverMessage.isEmpty()) showStatus(options_.driverMessage);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    connect(ui->McaOpen, &QPushButton::clicked, this, &TForm1::McaOpenClick);
    connect(ui->McaStart, &QPushButton::clicked, this, &TForm1::McaStartClick);
    connect(ui->McaStop, &QPushButton::clicked, this, &TForm1::McaStopClick);
    connect(ui->McaClear, &QPushButton::clicked, this, &TForm1::McaClearClick);
    connect(ui->ClockSYNC1, &QAction::triggered, this, &TForm1::ClockSYNC1Click);
    connect(ui->Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(ui->About1, &QAction::triggered, this, &TForm1::About1Click);

    wireRoi();
    wireView();
    wireFiles();
    wireSetup();
    wireCalib();
    wireReport();
    wireN42();
    wireActivity();
    connect(this, &TForm1::statusMessage, this, [this](const QString& t) { ui->StatusBar1->showMessage(t); });
    addScreeningPages();
    addQcPage();

    updateWindowLabels();
    PaintBox1Paint();
}

TForm1::~TForm1() {
    // No result may arrive at a window that is going.
    worker_->shutdown();
    delete ui;
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The exchange under way finishes (the link's time-outs bound it); no other starts.
    if (worker_->threaded()) {
        Timer1->stop();
        worker_->shutdown();
    }
    QMainWindow::closeEvent(event);
}

bool TForm1::linkRequest(Key key, xmca::LinkClient::Op op, std::function<void()> then, bool poll) {
    if (key != Key::None && outstanding(key)) return false;
    if (key != Key::None) pending_.insert(key);
    const bool queued = worker_->request(xmca::CycleInputs::of(state_), std::move(op),
                                         [this, key, then = std::move(then)](const xmca::LinkSnapshot& snap) {
                                             if (key != Key::None) pending_.erase(key);
                                             snap.applyTo(state_);
                                             linkFig_ = snap.link;
                                             if (then) then();
                                         },
                                         poll);
    if (!queued && key != Key::None) pending_.erase(key);
    return queued;
}

void TForm1::showStatus(const QString& msg) { ui->Edit1->setText(xmca::ui::statusText(msg)); }

void TForm1::updateWindowLabels() {
    const auto& v = state_.view;
    ui->Label1->setText(QString::number(v.lo) + "ch");
    ui->Label2->setText(QString::number(v.hi) + "ch");
    ui->Label3->setText(QString::number(v.cursor));
    const int c = v.cursor;
    ui->Label7->setText(QString::number(c >= 0 && c < xmca::kWorkChannels ? state_.spectrum[c] : 0));
}

void TForm1::applyTimer() {
    const auto& t = linkFig_.timer;
    if (Timer1->interval() != t.intervalMs) Timer1->setInterval(t.intervalMs);
    if (t.enabled && !Timer1->isActive()) Timer1->start();
    if (!t.enabled && Timer1->isActive()) Timer1->stop();
}

void TForm1::enableAnalyserButtons() {
    for (QWidget* w : std::initializer_list<QWidget*>{ui->McaStart, ui->McaStop, ui->McaClear, ui->ZelmStart,
                                                      ui->ZelmStop, ui->ZelmClear})
        w->setEnabled(true);
}

void TForm1::McaOpenClick() {
    auto out = std::make_shared<xmca::OpenOutcome>();
    linkRequest(Key::Open, [out](xmca::LinkClient& c) { *out = c.cycle().open(); },
                [this, out] {
                    if (!out->devText.empty()) ui->Edit2->setText(xmca::ui::statusText(out->devText));
                    if (out->enableButtons) enableAnalyserButtons();
                    if (out->kind == xmca::OpenOutcome::Opened) emit statusMessage(tr("Analyser opened"));
                    else if (out->kind == xmca::OpenOutcome::Failed) emit statusMessage(tr("No analyser found"));
                });
}

void TForm1::McaStartClick() {
    const std::tm now = localNow();
    auto shown = std::make_shared<std::string>();
    linkRequest(Key::Start, [now, shown](xmca::LinkClient& c) {
                    *shown = c.cycle().start(now);
                    c.publish(Part::Stamp | Part::Times);
                },
                [this, shown] {
                    if (!shown->empty()) showStatus(QString::fromStdString(*shown));
                    if (linkFig_.timer.enabled) emit statusMessage(tr("Run started"));
                    applyTimer();
                    updateWindowLabels();
                    PaintBox1Paint();
                });
}

void TForm1::McaStopClick() {
    auto ended = std::make_shared<bool>(false);  // a run was going and this stop ended it
    linkRequest(Key::Stop, [ended](xmca::LinkClient& c) {
                    const bool wasRunning = c.cycle().timer.enabled;
                    c.cycle().stop();
                    c.publish(Part::Times);
                    *ended = wasRunning && !c.cycle().timer.enabled;
                },
                [this, ended] {
                    if (*ended) {
                        emit statusMessage(tr("Run stopped"));
                        emit runFinished(false);
                    }
                    applyTimer();
                    PaintBox1Paint();
                });
}

void TForm1::McaClearClick() {
    linkRequest(
        Key::Clear, [](xmca::LinkClient& c) { if (c.cycle().clear()) c.publish(Part::Spectrum); },
        [this] { PaintBox1Paint(); });
}

void TForm1::Timer1Timer() {
    if (!worker_->threaded()) {
        // The timer stays off while the tick talks to the analyser, so a slow exchange
        // can never start a second tick.
        Timer1->stop();
    } else if (outstanding(Key::Stop) || outstanding(Key::ScanStop)) {
        return;  // no read after a stop the operator asked for
    } else if (ticksOutstanding_ >= 2) {
        tickDue_ = true;  // the link is slower than the timer; sent when one is back
        return;
    }
    sendTick();
}

void TForm1::sendTick() {
    // Threaded, one tick may wait behind the one being read, so a link slower than
    // the timer reads back to back; a tick that finds the run ended (a preset stop
    // just before it) reads nothing.
    tickDue_ = false;
    const bool onlyWhileRunning = worker_->threaded();
    ++ticksOutstanding_;
    auto t = std::make_shared<xmca::TickOutcome>();
    const bool queued = linkRequest(
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
            afterTick(*t);
            applyTimer();
            if (t->presetStop) {
                emit statusMessage(tr("Run finished at the preset"));
                emit runFinished(true);
            }
            if (tickDue_ && Timer1->isActive() && !outstanding(Key::Stop) && !outstanding(Key::ScanStop))
                sendTick();
        },
        true);
    if (!queued) --ticksOutstanding_;
}

void TForm1::placeSimulatedSample(bool onDetector) {
    xmca::SimulatedAnalyser* sim = options_.simulator;
    if (!sim) return;
    const std::array<double, 3> a = onDetector ? options_.simulatedSample : std::array<double, 3>{0.0, 0.0, 0.0};
    linkRequest(Key::None, [sim, a](xmca::LinkClient&) { sim->setSample(a[0], a[1], a[2]); }, {});
}

void TForm1::afterLink(std::function<void()> then) {
    // Requests are answered in the order made: this one's answer comes after theirs.
    linkRequest(Key::None, [](xmca::LinkClient&) {}, std::move(then));
}

void TForm1::startPageRun(std::int32_t tenths, bool sampleOnDetector, std::function<void()> starting,
                          std::function<void(const QString& failure)> done, const std::string& sampleId,
                          const std::string& comment) {
    if (pageRunStarting_) {
        if (done) done(tr("The analyser did not start counting."));
        return;
    }
    pageRunStarting_ = true;
    auto finish = [this, done](const QString& failure) {
        pageRunStarting_ = false;
        if (done) done(failure);
    };
    if (!analyserOpen()) McaOpenClick();
    afterLink([this, tenths, sampleOnDetector, starting, finish, sampleId, comment] {
        if (!analyserOpen()) return finish(tr("The analyser could not be opened."));
        setPresetTenths(tenths, [this, tenths, sampleOnDetector, starting, finish, sampleId, comment](bool accepted) {
            if (!accepted) return finish(tr("The analyser refused the counting time."));
            if (starting) starting();
            placeSimulatedSample(sampleOnDetector);
            McaMemClick();
            McaClearClick();
            // The file of this run says what was counted and for how long (the memory
            // selection above took the times of the spectrum shown before).
            xmca::labelRun(state_, tenths, xmca::utf8ToSjis(sampleId), xmca::utf8ToSjis(comment));
            McaStartClick();
            afterLink([this, finish] {
                finish(Timer1->isActive() ? QString() : tr("The analyser did not start counting."));
            });
        });
    });
}

void TForm1::setPresetTenths(std::int32_t tenths, std::function<void(bool accepted)> done) {
    state_.settings.presetTime = tenths;
    state_.presetTimeShown = tenths;
    if (linkFig_.deviceOpen != 1) {
        if (done) done(true);
        return;
    }
    auto ok = std::make_shared<bool>(false);
    linkRequest(Key::None, [ok, tenths](xmca::LinkClient& c) { *ok = c.link().SetPresetTime(0, tenths) == 1; },
                [ok, done] {
                    if (done) done(*ok);
                });
}

void TForm1::afterTick(const xmca::TickOutcome& t) {
    if (t.statusRead) updateWindowLabels();
    if (linkFig_.acquisitionMode == 0) drawScanFrame();  // scan-map mode: the analyser's own trace
    else PaintBox1Paint();
}

void TForm1::ClockSYNC1Click() {
    const std::tm now = localNow();
    showStatus(QString::fromStdString(xmca::AnalyserLink::clockCommand(now)));
    linkRequest(Key::Clock, [now](xmca::LinkClient& c) { c.cycle().syncClock(now); }, {});
}

void TForm1::Exit1Click() {
    // No stop is sent and the device is not closed: the handle goes with the process.
    Timer1->stop();
    close();
}

void TForm1::About1Click() {
    TMcaAbout about(this);
    about.exec();
}
