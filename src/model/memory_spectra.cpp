#include "memory_spectra.h"

#include <algorithm>

#include "model/spectrum_io.h"

namespace xmca {

bool selectMemory(MeasurementState& s, int k) {
    if (k < 1 || k > 3) return false;
    const MemorySpectrum& m = s.mem[k - 1];
    s.selectedSource = k;
    // An empty memory would put a zeroed header (N = 0, no times, no ROIs) over
    // counts it does not replace, and a save would then write them mislabelled.
    if (m.header.channelCount() <= 0) return false;
    s.fileName = m.name;
    s.header = m.header;
    // A memory holds at most 4096 channels.
    const int n = std::min<int>(m.header.channelCount(), kMemChannels);
    s.channelCount = n;
    std::copy_n(m.counts.begin(), n, s.spectrum.begin());
    s.workingProcessed = m.processed;
    applyHeaderValues(s, s.header);
    return true;
}

std::string emptyMemoryText(int k) { return "Error ! Mem" + std::to_string(k) + " Empty"; }

void selectAnalyser(MeasurementState& s) {
    s.header = s.liveHeader;
    s.fileName.clear();
    s.workingProcessed = false;
    const int n = std::min<int>(s.header.channelCount(), kDeviceChannels);
    if (n > 0) s.channelCount = n;
    applyHeaderValues(s, s.header);
    s.selectedSource = 0;
}

int toggleSnapshot(MeasurementState& s, int plotWidth, int plotHeight) {
    const int src = std::clamp(s.selectedSource, 0, kOverlayCount - 1);
    Overlay& o = s.overlays[src];
    if (o.on == 1) {
        o.on = 0;
        return src;
    }
    o.on = 1;
    const int cols = std::clamp(std::min(s.channelCount, plotWidth), 0, kMaxColumns);
    const int h = plotHeight;
    if (src == 0) {
        // Squeeze the analyser trace into the top third of the plot.
        auto squeeze = [h](std::int32_t y) { return std::min(h - (4 * h / 6 + (h - y) / 3), h - 1); };
        for (int i = 0; i < cols; ++i) {
            o.top[i] = squeeze(s.traceTop[i]);
            o.bottom[i] = squeeze(s.traceBottom[i]);
        }
    } else {
        s.fileName = s.mem[src - 1].name;
        std::copy_n(s.traceTop.begin(), cols, o.top.begin());
        std::copy_n(s.traceBottom.begin(), cols, o.bottom.begin());
    }
    return src;
}

}  // namespace xmca
