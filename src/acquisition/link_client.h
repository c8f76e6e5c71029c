// The link client: owns the driver, the analyser link and the acquisition cycle,
// and runs each request (open, start, a poll tick, a view command...) as one unit
// against a measurement state of its own. The window's settings go in with the
// request; what the request changed comes back as one snapshot, applied to the
// window's state in one go. Runs on whatever thread calls run(): inline in tests,
// on the window's link thread in the program.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "acquisition/acquisition_cycle.h"
#include "device/analyser_link.h"
#include "device/ftdi_driver.h"
#include "model/measurement_state.h"

namespace xmca {

// What the window's state gives the cycle with each request: the settings it
// reads and the working channel count (a setup or a file may have changed it).
struct CycleInputs {
    AcquisitionSettings settings;
    ScanSettings scan;
    SpectrumHeader headerTemplate;
    std::int32_t channelCount = 2048;

    static CycleInputs of(const MeasurementState& s);
    void into(MeasurementState& s) const;
};

// The part of the measurement state the cycle writes.
struct CycleFields {
    std::array<std::int32_t, kWorkChannels> spectrum{};
    std::int32_t channelCount = 0, maxCount = 0;
    float totalCounts = 0;
    SpectrumHeader header, liveHeader;
    std::string sourceName;
    std::int32_t roiWorkFlag = 0;
    std::array<std::int32_t, 2> roiDefined{}, roiShown{};  // ROIs 1 and 2, cleared at a start
    std::int32_t realTime = 0, liveTime = 0, deadTimePermille = 0;
    float countRate = 0, prevRealSec = 0, curRealSec = 0, prevTotal = 0, curTotal = 0;
    bool acquiring = false;
    ViewState view;
    std::int32_t scanCounter = 0, scanFlag = 0;

    static CycleFields of(const MeasurementState& s);
};

// The link's own figures, as the window shows and tests them.
struct LinkFigures {
    std::int32_t deviceCount = 0, deviceOpen = 0, acquisitionRunning = 0, acquisitionMode = 1;
    std::int32_t channelCount = 2048, maxCount = 0;
    float totalCounts = 0;
    DeviceStatus status;
    PollTimer timer;
};

// One request's result: the fields after it, which parts it wrote, the link's
// figures. The window takes only those parts, so what the operator did meanwhile
// (a local zoom, a file read) is not undone by a reply that did not touch it.
struct LinkSnapshot {
    enum Part : std::uint32_t {
        Spectrum = 1u << 0,  // counts, channel count, maximum, total
        Stamp = 1u << 1,     // live and working header, source name, ROI work flags
        Times = 1u << 2,     // real, live, dead time, rates, running flag
        View = 1u << 3,      // window, cursor, scale from the analyser
        Scan = 1u << 4,      // pass counter and flag
    };
    std::shared_ptr<const CycleFields> fields;
    std::uint32_t changed = 0;
    LinkFigures link;
    // Writes the changed parts into s.
    void applyTo(MeasurementState& s) const;
};

class LinkClient {
public:
    explicit LinkClient(std::unique_ptr<FtdiDriver> driver, AnalyserLink::Clock clock = {});

    using Op = std::function<void(LinkClient&)>;
    // Takes in the window's settings, runs op (its exchanges) and returns the parts
    // of the state it changed or published.
    LinkSnapshot run(const CycleInputs& in, const Op& op);
    // From within op: these parts are the analyser's now, changed or not (a whole
    // spectrum read, a status record, a start's stamp).
    void publish(std::uint32_t parts) { published_ |= parts; }
    // From within op: the spectrum this request read is not whole; the window keeps its own.
    void dropSpectrum() { dropSpectrum_ = true; }

    // Only from the thread that runs requests (or before it starts).
    FtdiDriver& driver() { return *driver_; }
    AnalyserLink& link() { return link_; }
    AcquisitionCycle& cycle() { return cycle_; }
    MeasurementState& state() { return state_; }
    LinkFigures figures() const;

    // Set from any thread: no further command goes out (the window is closing).
    void close() { closing_ = true; }
    bool closing() const { return closing_; }

private:
    std::unique_ptr<FtdiDriver> driver_;
    AnalyserLink link_;
    MeasurementState state_;
    AcquisitionCycle cycle_;
    std::atomic<bool> closing_{false};
    std::uint32_t published_ = 0;
    bool dropSpectrum_ = false;
};

}  // namespace xmca
