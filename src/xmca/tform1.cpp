#include "tform1.h"

#include <QDateTime>
#include <QTabBar>
#include <algorithm>
#include <ctime>

#include "display/frame_renderer.h"
#include "helpabout/tmca_about.h"
#include "window_language.h"
#include "ui_tform1.h"

namespace {

std::tm localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<xmca::FtdiDriver> driver, Options options, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TForm1), driver_(std::move(driver)), options_(std::move(options)) {
    ui->setupUi(this);
    xmca::display::setBoxTextFilter(&xmca::ui::verdictText);  // the plot's method and verdict lines
    // Every page's tab title in sight, in either language (the Japanese ones are
    // wider), as far as the plot leaves room; beyond that the tab bar scrolls.
    ui->PageControl1->setMinimumWidth(std::min(ui->PageControl1->tabBar()->sizeHint().width() + 8, 560));
    link_ = std::make_unique<xmca::AnalyserLink>(*driver_);
    cycle_ = std::make_unique<xmca::AcquisitionCycle>(state_, *link_);

    if (options_.simulated) {
        // An operator must never mistake simulated counts for a measurement.
        setWindowTitle(tr("xmca - SIMULATED ANALYSER (not a measurement)"));
        state_.statusText = "SIMULATION";
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

TForm1::~TForm1() { delete ui; }

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
    const auto& t = cycle_->timer;
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
    const xmca::OpenOutcome out = cycle_->open();
    if (!out.devText.empty()) ui->Edit2->setText(xmca::ui::statusText(out.devText));
    if (out.enableButtons) enableAnalyserButtons();
    if (out.kind == xmca::OpenOutcome::Opened) emit statusMessage(tr("Analyser opened"));
    else if (out.kind == xmca::OpenOutcome::Failed) emit statusMessage(tr("No analyser found"));
}

void TForm1::McaStartClick() {
    const std::string shown = cycle_->start(localNow());
    if (!shown.empty()) showStatus(QString::fromStdString(shown));
    if (cycle_->timer.enabled) emit statusMessage(tr("Run started"));
    applyTimer();
    updateWindowLabels();
    PaintBox1Paint();
}

void TForm1::McaStopClick() {
    const bool wasRunning = cycle_->timer.enabled;
    cycle_->stop();
    if (wasRunning && !cycle_->timer.enabled) {
        emit statusMessage(tr("Run stopped"));
        emit runFinished(false);
    }
    applyTimer();
    PaintBox1Paint();
}

void TForm1::McaClearClick() {
    cycle_->clear();
    PaintBox1Paint();
}

void TForm1::Timer1Timer() {
    // The timer stays off while the tick talks to the analyser, so a slow exchange
    // can never start a second tick.
    Timer1->stop();
    const xmca::TickOutcome t = cycle_->tick();
    afterTick(t);
    applyTimer();
    if (t.presetStop) {
        emit statusMessage(tr("Run finished at the preset"));
        emit runFinished(true);
    }
}

bool TForm1::setPresetTenths(std::int32_t tenths) {
    state_.settings.presetTime = tenths;
    state_.presetTime = tenths;
    return link_->DeviceOpen != 1 || link_->SetPresetTime(0, tenths);
}

void TForm1::afterTick(const xmca::TickOutcome& t) {
    if (t.statusRead) updateWindowLabels();
    if (link_->AcquisitionMode == 0) drawScanFrame();  // scan-map mode: the analyser's own trace
    else PaintBox1Paint();
}

void TForm1::ClockSYNC1Click() {
    const std::tm now = localNow();
    showStatus(QString::fromStdString(xmca::AnalyserLink::clockCommand(now)));
    cycle_->syncClock(now);
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
