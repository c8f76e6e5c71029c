#include "acquisition_cycle.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "model/settings_io.h"

namespace xmca {

namespace {

// Truncation toward zero into int32, saturating at its ends (NaN gives 0): a
// conversion out of range would be undefined.
std::int32_t truncToInt32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

// The dead time per event within its physical range, whoever set it.
double deadTimeUs(const AcquisitionSettings& a) {
    const double d = a.deadTimePerEvent;
    if (!(d > 0.0)) return 0.0;
    return std::min(d, settings::kMaxDeadTimeUs);
}

}  // namespace

AcquisitionCycle::AcquisitionCycle(MeasurementState& state, AnalyserLink& link) : s_(state), link_(link) {}

void AcquisitionCycle::syncRunning() {
    s_.acquiring = link_.AcquisitionRunning != 0 && link_.AcquisitionMode == 1;
}

void AcquisitionCycle::adoptAnalyserChannels() {
    // The analyser's spectrum is shown with the analyser's channel count; what an
    // earlier file left beyond it is not part of this spectrum.
    const int n = std::clamp(link_.ChannelCount, 0, kDeviceChannels);
    if (s_.channelCount == n) return;
    s_.channelCount = n;
    std::fill(s_.spectrum.begin() + n, s_.spectrum.end(), 0);
}

int AcquisitionCycle::readSpectrum() {
    adoptAnalyserChannels();
    const int ok = link_.ReadSpectrum(0, std::span<std::int32_t>(s_.spectrum.data(), kDeviceChannels));
    s_.maxCount = link_.MaxCount;
    s_.totalCounts = link_.TotalCounts;
    return ok;
}

OpenOutcome AcquisitionCycle::open() {
    OpenOutcome out;
    if (link_.DeviceCount == 0) {
        if (link_.OpenDevice(0)) {
            out.kind = OpenOutcome::Opened;
            out.devText = std::to_string(link_.DeviceCount);
            out.enableButtons = true;
        } else {
            out.kind = OpenOutcome::Failed;
            out.devText = "Error";
        }
        return out;
    }
    // A device was counted before. Re-opening a handle that is already open would
    // only fail on the driver, so an open link is left alone. An earlier open that
    // failed after the enumeration is retried; when the retry succeeds the buttons
    // are enabled, or the operator could never start.
    out.kind = OpenOutcome::Repeated;
    if (link_.DeviceOpen == 0 && link_.OpenDevice(0)) {
        out.devText = std::to_string(link_.DeviceCount);
        out.enableButtons = true;
    }
    return out;
}

std::string AcquisitionCycle::start(const std::tm& now) {
    std::string shown;
    // The live header starts as the template, stamped with the start time.
    s_.liveHeader = s_.headerTemplate;
    s_.roiWorkFlag = 0;
    for (int j : {1, 2}) {
        s_.rois[j].defined = 0;
        s_.rois[j].shown = 0;
    }
    s_.liveHeader.setI16(SpectrumHeader::kYear, static_cast<std::int16_t>(now.tm_year + 1900));
    s_.liveHeader.setI16(SpectrumHeader::kMonth, static_cast<std::int16_t>(now.tm_mon + 1));
    s_.liveHeader.setI16(SpectrumHeader::kDay, static_cast<std::int16_t>(now.tm_mday));
    s_.liveHeader.setI16(SpectrumHeader::kHour, static_cast<std::int16_t>(now.tm_hour));
    s_.liveHeader.setI16(SpectrumHeader::kMinute, static_cast<std::int16_t>(now.tm_min));
    s_.liveHeader.setI16(SpectrumHeader::kSecond, static_cast<std::int16_t>(now.tm_sec));
    s_.header = s_.liveHeader;
    s_.sourceName = "MCA";

    if (link_.DeviceCount == 0 && link_.OpenDevice(0)) shown = std::to_string(link_.DeviceCount);
    if (link_.StartAcquisition(0)) {
        timer.enabled = true;
        adoptAnalyserChannels();
    } else if (link_.AcquisitionRunning == 0) {
        // A refused start leaves the timer off, also when a run was going: the
        // link now holds the analyser stopped, and ticks must not go on polling.
        timer.enabled = false;
    }
    syncRunning();
    return shown;
}

int AcquisitionCycle::stop() {
    const int ok = link_.StopAcquisition(0);
    if (ok) timer.enabled = false;
    syncRunning();
    return ok;
}

int AcquisitionCycle::clear() {
    return link_.ClearSpectrum(0, std::span<std::int32_t>(s_.spectrum.data(), kDeviceChannels));
}

std::string AcquisitionCycle::syncClock(const std::tm& now) {
    link_.SyncClock(0, now);
    return AnalyserLink::clockCommand(now);
}

void AcquisitionCycle::takeViewFromStatus() {
    const DeviceStatus& st = link_.Status;
    // The analyser's window and cursor become the view. A record that reports a
    // window outside the spectrum room is bounded, so the plot never indexes past it.
    const int lo = std::clamp<int>(st.displayLowCh, 0, kDeviceChannels - 1);
    const int hi = std::clamp<int>(st.displayHighCh, lo, kDeviceChannels - 1);
    s_.view.lo = lo;
    s_.view.hi = hi;
    s_.view.lo16 = static_cast<std::int16_t>(lo);
    s_.view.hi16 = static_cast<std::int16_t>(hi);
    s_.view.cursor = std::clamp<int>(st.cursorCh, 0, kDeviceChannels - 1);
    if (st.vfsIndex == 0) {
        s_.view.logScale = 1;
    } else {
        s_.view.logScale = 0;
        s_.view.vfsIndex = std::clamp<int>(st.vfsIndex, 1, 22);
    }
}

void AcquisitionCycle::takeTimesFromStatus() {
    const DeviceStatus& st = link_.Status;
    s_.realTime = st.realTime / 10;
    const double dead = static_cast<double>(st.eventCount) * deadTimeUs(s_.settings) * 1e-5;
    s_.liveTime = truncToInt32(s_.realTime - dead);
}

TickOutcome AcquisitionCycle::tick() {
    return link_.AcquisitionMode == 1 ? mcaTick() : scanTick();
}

TickOutcome AcquisitionCycle::mcaTick() {
    TickOutcome out;
    s_.prevRealSec = s_.curRealSec;
    s_.prevTotal = s_.curTotal;

    const bool wasEnabled = timer.enabled;
    timer.enabled = false;
    const bool spectrumRead = readSpectrum() == 1;
    out.spectrumRead = spectrumRead;
    timer.enabled = wasEnabled;

    if (link_.ReadStatus(0)) {
        out.statusRead = true;
        takeViewFromStatus();
        if (link_.Status.realTime / 10 >= s_.settings.presetTime) {
            timer.enabled = false;
            out.spectrumRead = readSpectrum() == 1;
            link_.StopAcquisition(0);
            link_.AcquisitionRunning = 0;
            takeTimesFromStatus();
            s_.realTime = s_.settings.presetTime;
            syncRunning();
            out.presetStop = true;
            return out;
        }
    }

    const DeviceStatus& st = link_.Status;
    // A spectrum read that failed leaves an old total: this tick holds no rate
    // information, and the next one measures over both intervals.
    if (spectrumRead) {
        s_.curRealSec = static_cast<float>(st.realTime * 0.01);
        s_.curTotal = link_.TotalCounts;
        const float diff = s_.curTotal - s_.prevTotal;
        const float dt = s_.curRealSec - s_.prevRealSec;
        // Without elapsed analyser time (a repeated status record, or a clear in
        // between) the last rate stands, rather than a raw count difference as kcps.
        if (dt > 0) s_.countRate = std::max(0.0f, diff / dt * 0.001f);
    }
    takeTimesFromStatus();
    s_.deadTimePermille = truncToInt32(s_.countRate * static_cast<float>(deadTimeUs(s_.settings)));
    syncRunning();
    return out;
}

TickOutcome AcquisitionCycle::scanTick() {
    TickOutcome out;
    if (link_.ReadStatus(0)) {
        out.statusRead = true;
        if (link_.Status.scanDone != 0) {
            const bool wasEnabled = timer.enabled;
            timer.enabled = false;
            ++s_.scanCounter;
            out.spectrumRead = readSpectrum() == 1;
            // Counts per pass-second; a pass preset of 0 leaves the plain total.
            if (s_.scan.presetTime > 0) s_.totalCounts = link_.TotalCounts / s_.scan.presetTime * 0.01f;
            timer.enabled = wasEnabled;
            out.scanPassDone = true;
        }
        takeViewFromStatus();
    }
    return out;
}

bool AcquisitionCycle::readAnalyserView(bool* spectrumWhole) {
    if (spectrumWhole) *spectrumWhole = false;
    if (!link_.DeviceOpen) return false;
    const bool whole = readSpectrum() == 1;
    if (spectrumWhole) *spectrumWhole = whole;
    if (!link_.ReadStatus(0)) return false;
    takeViewFromStatus();
    takeTimesFromStatus();
    return true;
}

std::string AcquisitionCycle::startScan() {
    std::string shown;
    if (link_.DeviceCount == 0 && link_.OpenDevice(0)) shown = std::to_string(link_.DeviceCount);
    if (link_.StartScan(0)) {
        timer.intervalMs = std::max(1, s_.scan.refreshInterval);
        timer.enabled = true;
        s_.scanCounter = 0;
    } else if (link_.AcquisitionRunning == 0) {
        timer.enabled = false;
    }
    syncRunning();
    return shown;
}

int AcquisitionCycle::abortScan() {
    if (!link_.AcquisitionRunning) return 0;
    return stop();
}

int AcquisitionCycle::clearScan() {
    s_.scanCounter = 0;
    s_.scanFlag = 0;
    if (!link_.SendCommand(0, "$CX;")) return 0;
    std::fill_n(s_.spectrum.begin(), std::clamp(link_.ChannelCount, 0, kDeviceChannels), 0);
    return 1;
}

}  // namespace xmca
