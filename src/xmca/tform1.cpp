#include "tform1.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QTabBar>
#include <algorithm>

#include "display/frame_renderer.h"
#include "helpabout/tmca_about.h"
#include "window_language.h"
#include "ui_tform1.h"

TForm1::TForm1(std::unique_ptr<xmca::FtdiDriver> driver, Options options, QWidget* parent)
    : TForm1(std::make_unique<LinkWorker>(std::make_unique<xmca::LinkClient>(std::move(driver)),
                                          LinkWorker::Mode::Inline),
             std::move(options), parent) {}

TForm1::TForm1(std::unique_ptr<LinkWorker> worker, Options options, QWidget* parent)
    : QMainWindow(parent),
      ui(new Ui::TForm1),
      doc_(std::make_unique<MeasurementDocument>()),
      state_(doc_->edit()),
      options_(std::move(options)),
      session_(std::make_unique<AnalyserSession>(
          std::move(worker), *doc_, AnalyserSession::Options{options_.simulator, options_.simulatedSample})),
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

    Timer1 = session_->timer();
    wireSession();

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
    session_->shutdown();
    delete ui;
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The exchange under way finishes (the link's time-outs bound it); no other starts.
    if (session_->worker().threaded()) session_->shutdown();
    QMainWindow::closeEvent(event);
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

void TForm1::enableAnalyserButtons() {
    for (QWidget* w : std::initializer_list<QWidget*>{ui->McaStart, ui->McaStop, ui->McaClear, ui->ZelmStart,
                                                      ui->ZelmStop, ui->ZelmClear})
        w->setEnabled(true);
}

void TForm1::wireSession() {
    connect(session_.get(), &AnalyserSession::opened, this, [this](const xmca::OpenOutcome& out) {
        if (!out.devText.empty()) ui->Edit2->setText(xmca::ui::statusText(out.devText));
        if (out.enableButtons) enableAnalyserButtons();
    });
    connect(session_.get(), &AnalyserSession::started, this, [this](const QString& shown) {
        if (!shown.isEmpty()) showStatus(shown);
        updateWindowLabels();
        PaintBox1Paint();
    });
    connect(session_.get(), &AnalyserSession::stopped, this, &TForm1::PaintBox1Paint);
    connect(session_.get(), &AnalyserSession::cleared, this, &TForm1::PaintBox1Paint);
    connect(session_.get(), &AnalyserSession::ticked, this, &TForm1::afterTick);
    connect(session_.get(), &AnalyserSession::analyserMemoryChosen, this, [this] { ui->McaMem->setChecked(true); });
    connect(session_.get(), &AnalyserSession::analyserMemoryShown, this, [this](bool read) {
        if (read) updateWindowLabels();
        PaintBox1Paint();
    });
    connect(session_.get(), &AnalyserSession::statusMessage, this, &TForm1::statusMessage);
    connect(session_.get(), &AnalyserSession::runFinished, this,
            [this](int, bool atPreset) { emit runFinished(atPreset); });
    // A file read into the working spectrum goes into the memory whose button is checked.
    connect(doc_.get(), &MeasurementDocument::aboutToRead, this, &TForm1::syncSelectedSource);
    connect(doc_.get(), &MeasurementDocument::spectrumRead, this, &TForm1::afterRead);
}

void TForm1::McaOpenClick() { session_->open(); }
void TForm1::McaStartClick() { session_->start(); }
void TForm1::McaStopClick() { session_->stop(); }
void TForm1::McaClearClick() { session_->clear(); }
void TForm1::Timer1Timer() { session_->tick(); }

void TForm1::afterTick(const xmca::TickOutcome& t) {
    if (t.statusRead) updateWindowLabels();
    if (linkFig().acquisitionMode == 0) drawScanFrame();  // scan-map mode: the analyser's own trace
    else PaintBox1Paint();
}

void TForm1::ClockSYNC1Click() { showStatus(QString::fromStdString(session_->syncClock())); }

void TForm1::Exit1Click() {
    // No stop is sent and the device is not closed: the handle goes with the process.
    Timer1->stop();
    close();
}

void TForm1::About1Click() {
    TMcaAbout about(this);
    about.exec();
}
