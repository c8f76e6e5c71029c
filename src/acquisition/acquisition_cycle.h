// The acquisition cycle: open, start, stop and clear, and the poll tick that reads
// the spectrum and status record, works out real, live and dead time and the count
// rate, and ends the run at the preset time. Plain C++: the window reads its widgets,
// calls these, then shows what the returned texts and the state say.
#pragma once

#include <ctime>
#include <string>

#include "device/analyser_link.h"
#include "model/measurement_state.h"

namespace xmca {

// The poll timer as the cycle wants it; the window mirrors it onto its QTimer.
struct PollTimer {
    bool enabled = false;
    int intervalMs = 100;
};

// What the window shows after "OpenMCA".
struct OpenOutcome {
    enum Kind { Opened, Failed, Repeated } kind = Failed;
    std::string devText;    // for the "Dev#" box (empty: leave it)
    bool enableButtons = false;
};

// What one poll tick did, for the window's repaint decisions.
struct TickOutcome {
    bool statusRead = false;
    bool spectrumRead = false;  // the whole spectrum came in (at a preset stop: the final read)
    bool presetStop = false;
    bool scanPassDone = false;  // scan-map mode: a pass completed this tick
};

class AcquisitionCycle {
public:
    AcquisitionCycle(MeasurementState& state, AnalyserLink& link);

    OpenOutcome open();                          // McaOpenClick
    // McaStartClick: returns the text for the status box ("" for none).
    std::string start(const std::tm& localNow);
    int stop();                                  // McaStopClick
    int clear();                                 // McaClearClick
    TickOutcome tick();                          // Timer1Timer, either mode
    std::string syncClock(const std::tm& localNow);  // ClockSYNC1Click; returns the command shown

    // Scan-map mode.
    std::string startScan();                     // ZelmStartClick: status-box text ("" for none)
    int abortScan();                             // ZelmStopClick: only while running
    int clearScan();                             // ZelmClearClick

    // Reads the analyser's spectrum and status and takes the view and times from
    // them as the MCA-mode tick does (selecting the analyser memory). False when the
    // link is closed or the status read failed; spectrumWhole (when given) tells
    // whether every block of the spectrum came in.
    bool readAnalyserView(bool* spectrumWhole = nullptr);

    PollTimer timer;

private:
    TickOutcome mcaTick();
    TickOutcome scanTick();
    void takeViewFromStatus();
    void takeTimesFromStatus();
    void syncRunning();
    int readSpectrum();
    // The working channel count becomes the analyser's; channels beyond it are zeroed.
    void adoptAnalyserChannels();

    MeasurementState& s_;
    AnalyserLink& link_;
};

}  // namespace xmca
