#include "link_client.h"

#include <cstring>

namespace xmca {

CycleInputs CycleInputs::of(const MeasurementState& s) {
    CycleInputs in;
    in.settings = s.settings;
    in.scan = s.scan;
    in.headerTemplate = s.headerTemplate;
    in.channelCount = s.channelCount;
    return in;
}

void CycleInputs::into(MeasurementState& s) const {
    s.settings = settings;
    s.scan = scan;
    s.headerTemplate = headerTemplate;
    s.channelCount = channelCount;
}

CycleFields CycleFields::of(const MeasurementState& s) {
    CycleFields f;
    f.spectrum = s.spectrum;
    f.channelCount = s.channelCount;
    f.maxCount = s.maxCount;
    f.totalCounts = s.totalCounts;
    f.header = s.header;
    f.liveHeader = s.liveHeader;
    f.sourceName = s.sourceName;
    f.roiWorkFlag = s.roiWorkFlag;
    for (int j : {0, 1}) {
        f.roiDefined[j] = s.rois[j + 1].defined;
        f.roiShown[j] = s.rois[j + 1].shown;
    }
    f.realTime = s.realTime;
    f.liveTime = s.liveTime;
    f.deadTimePermille = s.deadTimePermille;
    f.countRate = s.countRate;
    f.prevRealSec = s.prevRealSec;
    f.curRealSec = s.curRealSec;
    f.prevTotal = s.prevTotal;
    f.curTotal = s.curTotal;
    f.acquiring = s.acquiring;
    f.view = s.view;
    f.scanCounter = s.scanCounter;
    f.scanFlag = s.scanFlag;
    return f;
}

namespace {

bool sameView(const ViewState& a, const ViewState& b) {
    return a.lo == b.lo && a.hi == b.hi && a.lo16 == b.lo16 && a.hi16 == b.hi16 && a.cursor == b.cursor &&
           a.vfsIndex == b.vfsIndex && a.logScale == b.logScale;
}

// Bitwise, so a NaN rate left by a file still compares equal to itself.
bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::uint32_t changedParts(const CycleFields& a, const CycleFields& b) {
    std::uint32_t m = 0;
    if (a.spectrum != b.spectrum || a.channelCount != b.channelCount || a.maxCount != b.maxCount ||
        !sameFloat(a.totalCounts, b.totalCounts))
        m |= LinkSnapshot::Spectrum;
    if (!(a.header == b.header) || !(a.liveHeader == b.liveHeader) || a.sourceName != b.sourceName ||
        a.roiWorkFlag != b.roiWorkFlag || a.roiDefined != b.roiDefined || a.roiShown != b.roiShown)
        m |= LinkSnapshot::Stamp;
    if (a.realTime != b.realTime || a.liveTime != b.liveTime || a.deadTimePermille != b.deadTimePermille ||
        !sameFloat(a.countRate, b.countRate) || !sameFloat(a.prevRealSec, b.prevRealSec) ||
        !sameFloat(a.curRealSec, b.curRealSec) || !sameFloat(a.prevTotal, b.prevTotal) ||
        !sameFloat(a.curTotal, b.curTotal) || a.acquiring != b.acquiring)
        m |= LinkSnapshot::Times;
    if (!sameView(a.view, b.view)) m |= LinkSnapshot::View;
    if (a.scanCounter != b.scanCounter || a.scanFlag != b.scanFlag) m |= LinkSnapshot::Scan;
    return m;
}

}  // namespace

void LinkSnapshot::applyTo(MeasurementState& s) const {
    if (!fields) return;
    const CycleFields& f = *fields;
    if (changed & Spectrum) {
        s.spectrum = f.spectrum;
        s.channelCount = f.channelCount;
        s.maxCount = f.maxCount;
        s.totalCounts = f.totalCounts;
    }
    if (changed & Stamp) {
        s.header = f.header;
        s.liveHeader = f.liveHeader;
        s.sourceName = f.sourceName;
        s.roiWorkFlag = f.roiWorkFlag;
        for (int j : {0, 1}) {
            s.rois[j + 1].defined = f.roiDefined[j];
            s.rois[j + 1].shown = f.roiShown[j];
        }
    }
    if (changed & Times) {
        s.realTime = f.realTime;
        s.liveTime = f.liveTime;
        s.deadTimePermille = f.deadTimePermille;
        s.countRate = f.countRate;
        s.prevRealSec = f.prevRealSec;
        s.curRealSec = f.curRealSec;
        s.prevTotal = f.prevTotal;
        s.curTotal = f.curTotal;
        s.acquiring = f.acquiring;
    }
    if (changed & View) {
        s.view.lo = f.view.lo;
        s.view.hi = f.view.hi;
        s.view.lo16 = f.view.lo16;
        s.view.hi16 = f.view.hi16;
        s.view.cursor = f.view.cursor;
        s.view.vfsIndex = f.view.vfsIndex;
        s.view.logScale = f.view.logScale;
    }
    if (changed & Scan) {
        s.scanCounter = f.scanCounter;
        s.scanFlag = f.scanFlag;
    }
}

LinkClient::LinkClient(std::unique_ptr<FtdiDriver> driver, AnalyserLink::Clock clock)
    : driver_(std::move(driver)), link_(*driver_, std::move(clock)), cycle_(state_, link_) {
    link_.closing = &closing_;
}

LinkFigures LinkClient::figures() const {
    LinkFigures f;
    f.deviceCount = link_.DeviceCount;
    f.deviceOpen = link_.DeviceOpen;
    f.acquisitionRunning = link_.AcquisitionRunning;
    f.acquisitionMode = link_.AcquisitionMode;
    f.channelCount = link_.ChannelCount;
    f.maxCount = link_.MaxCount;
    f.totalCounts = link_.TotalCounts;
    f.status = link_.Status;
    f.timer = cycle_.timer;
    return f;
}

LinkSnapshot LinkClient::run(const CycleInputs& in, const Op& op) {
    in.into(state_);
    const CycleFields before = CycleFields::of(state_);
    published_ = 0;
    dropSpectrum_ = false;
    if (op) op(*this);
    auto out = std::make_shared<CycleFields>(CycleFields::of(state_));
    LinkSnapshot snap;
    snap.changed = changedParts(before, *out) | published_;
    // Counts from a read that failed part-way are never shown: the window keeps the
    // last whole spectrum (the totals and maximum with it).
    if (dropSpectrum_) snap.changed &= ~static_cast<std::uint32_t>(LinkSnapshot::Spectrum);
    snap.fields = std::move(out);
    snap.link = figures();
    return snap;
}

}  // namespace xmca
