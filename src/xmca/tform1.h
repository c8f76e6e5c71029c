// TForm1: the main window. It assembles the measurement document, the analyser
// session (the link worker, which owns the driver, the analyser link and the
// acquisition cycle), the laboratory and the pages; its handlers read their widgets,
// send requests through the session or call the core, and show the result.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "acquisition/acquisition_cycle.h"
#include "analyser_session.h"
#include "analysis/peak_fit.h"
#include "device/analyser_link.h"
#include "device/ftdi_driver.h"
#include "device/simulated_analyser.h"
#include "dlgzelm/raw_data_file.h"
#include "lab_context.h"
#include "link_worker.h"
#include "measurement_document.h"
#include "page_dialogs.h"
#include "model/bq_calic.h"
#include "model/measurement_state.h"

namespace Ui {
class TForm1;
}
namespace xmca::display {
class FrameRenderer;
}
namespace xmca::report {
struct PdfResult;
}
class ActivityPage;
class QImage;
class QPrinter;
class QPagedPaintDevice;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        bool simulated = false;     // the driver is the simulated analyser
        QString driverMessage;      // shown in the status box at start (e.g. library missing)
        // The simulated analyser itself (owned by the link's driver), so that the pages
        // can take the simulated sample off the detector for a background count and put
        // it back for the sample, as an operator does; null on a real analyser.
        xmca::SimulatedAnalyser* simulator = nullptr;
        std::array<double, 3> simulatedSample{};  // its Cs-134, Cs-137 and K-40 (Bq/kg)
        // Who answers the window's file and printer questions (null: the Qt dialogs).
        std::shared_ptr<PageDialogs> dialogs = nullptr;
    };

    // The link runs inline, on this thread (tests).
    TForm1(std::unique_ptr<xmca::FtdiDriver> driver, Options options, QWidget* parent = nullptr);
    // The link runs as the worker says (the program: on its own thread).
    TForm1(std::unique_ptr<LinkWorker> worker, Options options, QWidget* parent = nullptr);
    ~TForm1() override;

    xmca::MeasurementState& state() { return state_; }
    MeasurementDocument& document() { return *doc_; }
    AnalyserSession& session() { return *session_; }
    // The client's own objects: only while the link runs inline or is idle.
    xmca::AnalyserLink& link() { return session_->worker().client().link(); }
    xmca::AcquisitionCycle& cycle() { return session_->worker().client().cycle(); }
    xmca::FtdiDriver& driver() { return session_->worker().client().driver(); }
    LinkWorker& linkWorker() { return session_->worker(); }
    // The link's figures as of the last result shown.
    const xmca::LinkFigures& linkFigures() const { return session_->figures(); }
    Ui::TForm1* form() { return ui; }

    QTimer* Timer1 = nullptr;  // the session's poll timer

    // The preset the next run stops at (0.1 s), as the session sends it.
    void setPresetTenths(std::int32_t tenths, std::function<void(bool accepted)> done = {}) {
        session_->setPresetTenths(tenths, std::move(done));
    }
    // True once the analyser has been opened.
    bool analyserOpen() const { return session_->isOpen(); }
    // The laboratory settings and the register this window records into.
    LabContext& lab() { return *lab_; }
    // The file and printer dialogs of the window and its pages.
    PageDialogs& dialogs() { return *dialogs_; }

signals:
    // An acquisition stopped: at the preset (true) or by the operator (false).
    void runFinished(bool atPreset);
    // A plain-words message for the status bar ("Analyser opened", "Saved rice-0412.dat").
    void statusMessage(const QString& text);

public slots:
    // Analyser and acquisition.
    void McaOpenClick();
    void McaStartClick();
    void McaStopClick();
    void McaClearClick();
    void Timer1Timer();
    void ClockSYNC1Click();
    void Exit1Click();
    void About1Click();

public:
    // Shows msg in the status box Edit1.
    void showStatus(const QString& msg);
    // Label1, Label2, Label3 and Label7 from the view state.
    void updateWindowLabels();
    // Mirrors the cycle's poll timer onto Timer1.
    void applyTimer() { session_->applyTimer(); }
    // Redraws the plot from the state (the paint handler).
    void repaintPlot() { PaintBox1Paint(); }

    // --- view section (plot, scale strips and view controls) ---
public slots:
    void PaintBox1Paint();
    void LogDispClick();
    void AutoVfsClick();
    void UpDown1Click(int button);       // UpDown::btNext / btPrev
    void ExpandClick();
    void CompresClick();
    void ScrollBar1Scroll(int action);   // a QAbstractSlider::SliderAction
    void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);  // paint-box pixels
    void SnapPeakClick();

public:
    // Scale redraws: the left strip (log or linear) with, if asked, the background;
    // the bottom channel strip, with the window first taken from the analyser if
    // asked. Each shows the quick preview on the paint box.
    void redrawLogScale(bool withBackground);
    void redrawLinearScale(bool withBackground);
    void redrawChannelScale(bool fromAnalyser);

private:
    bool viewForwarded() const;                 // link open and an acquisition running
    // Sends command; acknowledged runs when the analyser answered "!". With
    // readWindow, a status read follows in the same request (its window is taken).
    void forwardView(const std::string& command, std::function<void()> acknowledged, bool readWindow = false);
    void takeWindowFromAnalyser();  // from the status record read with the command
    bool windowRead_ = false;
    void sendCursor(int channel);   // "$@C" to the analyser
    void afterLocalZoom();
    void showCursorEnergy();
    void showPreview();
    std::unique_ptr<xmca::display::FrameRenderer> viewRenderer_;

public:

    // --- files section (spectrum files, text dump, memories, snapshot) ---
public slots:
    void Write1Click();
    void SaveSpecClick();
    void Read1Click();
    void ReadSpecClick();
    void BGfileClick();
    void Write2Click();
    void McaMemClick();
    void Mem1SpecClick();
    void Mem2SpecClick();
    void Mem3SpecClick();
    void OverLapONClick();

public:
    // The handlers' cores, for a path already chosen (through the document).
    void readSpectrumPath(const QString& path);
    void writeSpectrumPath(const QString& path);
    void writeTextPath(const QString& path);

private:
    QString askFile(PageDialogs::Kind kind);
    void syncSelectedSource();       // the checked "Mem" button into the state

public:

    // --- setup section (MCA setup dialog, scan-map page) ---
public slots:
    void Button10Click();    // MCA page "SetUp"
    void Button7Click();     // scan-map page "SetUp"
    void ZelmStartClick();
    void ZelmStopClick();
    void ZelmClearClick();

public:
    // The scan-map frame of the poll tick: the analyser's trace and read-outs into
    // the plot, the pass counter into "ScanCount".
    void drawScanFrame();

    // --- N42 section (spectra in the N42.42-2011 interchange format) ---
public slots:
    void ExportN42Click();   // "Export N42...": the spectrum on screen
    void ImportN42Click();   // "Import N42...": loads as "&Read" does

public:
    // The handlers' cores, for a path already chosen.
    void exportN42Path(const QString& path);
    void importN42Path(const QString& path);

private:
    QString askN42File(PageDialogs::Kind kind);
    void wireN42();

public:

    // --- ROI section (the ROI table page) ---
public slots:
    void ROINoSelectChange();
    void ROIOnCheckClick();
    void ROILowChClick();
    void ROIHighChClick();
    void EditROILowChange();
    void EditROIHighChange();

    // --- calibration section (energy calibration, FWHM, peak fit: "Eng.Calib" page) ---
public slots:
    void LengChClick();
    void HengChClick();
    void LowChChange();
    void HiChChange();
    void EngCalibClick();
    void FWHMClick();
    void MnKaFitClick();

public:
    // The refined fit drawn over the spectrum until the next view command.
    bool fitCurveShown() const { return fitCurveShown_; }
    const xmca::FitResult& fitCurve() const { return fitCurve_; }

private:
    void wireCalib();
    void hideFitCurve();
    // The composed frame, with the fitted curve drawn over it while it is shown.
    const QImage& withFitCurve(const QImage& frame);
    bool fitCurveShown_ = false;
    xmca::FitResult fitCurve_;
    QImage fitFrame_;

    // --- report section (printed report, report PDF, window copy) ---
public slots:
    void PlotLptClick();     // "Plot": the report on a printer, or a PDF without one
    void ReportPdf1Click();  // "Report as PDF..."
    void PrintSpecClick();   // "H.Copy": the window, black on white

public:
    // The main window drawn black on white; the display is restored before it returns.
    QImage windowCopy();

private:
    void wireReport();
    // Puts a page on a printer, or, with no printer, into a PDF file the operator names.
    void deliverPage(const std::function<bool(QPagedPaintDevice&)>& print,
                     const std::function<xmca::report::PdfResult()>& pdf);
    QString askReportPdf();

    // --- activity section (the "Calic" menu and the activity page) ---
public slots:
    void DataComp1Click();
    void DataSmmth();
    void BGSubtruct1Click();
    void PeakFund();
    void BqCalic1Click();
    void BqCalicClick();
    void ExpertModeClick();
    void ScreenLevelChange();
    void LowerLimitChange();

public:
    // The activity page's figures, limits and verdict from the result record.
    void showActivityResults();

private:
    void wireActivity();
    ActivityPage* activity_ = nullptr;  // the page's controller, a child of the window

private:
    void addScreeningPages();  // the Screening and History pages beside the spectrum (tform1_tabs.cpp)
    void addQcPage();  // the check-source QC page beside the spectrum (tform1_qc.cpp)
    void wireRoi();
    void wireView();
    void wireFiles();
    void wireSetup();
    void enableAnalyserButtons();
    void wireSession();  // the session's answers onto the widgets
    void afterTick(const xmca::TickOutcome& t);
    void afterRead(const MeasurementDocument::ReadResult& r);

    // Requests to the link, through the session.
    using Key = AnalyserSession::Key;
    bool linkRequest(Key key, xmca::LinkClient::Op op, std::function<void()> then, bool poll = false) {
        return session_->request(key, std::move(op), std::move(then), poll);
    }
    bool outstanding(Key key) const { return session_->outstanding(key); }
    const xmca::LinkFigures& linkFig() const { return session_->figures(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Ui::TForm1* ui;
    std::unique_ptr<MeasurementDocument> doc_;
    xmca::MeasurementState& state_;  // the document's: the handlers run the core on it
    xmca::RawDataFile rawDataFile_;  // "Save Spectrum Data" of the last scan-map setup, for the run
    Options options_;
    std::unique_ptr<AnalyserSession> session_;
    std::unique_ptr<LabContext> lab_;
    std::shared_ptr<PageDialogs> dialogs_;
};
