#include "spectrum_io.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>

#include "files/sha256.h"
#include "files/spectrum_file.h"
#include "model/memory_spectra.h"

namespace xmca {

namespace {

using H = SpectrumHeader;

// The working channel count, bounded by the working spectrum's room.
int boundedN(const MeasurementState& s) { return std::clamp<int>(s.channelCount, 0, kWorkChannels); }

// The flags a start of acquisition also clears: the ROI working flag and the
// on-flags (defined and shown) of ROI entries 1 and 2, as the acquisition start does.
void clearStartFlags(MeasurementState& s) {
    s.roiWorkFlag = 0;
    for (int j : {1, 2}) {
        s.rois[j].defined = 0;
        s.rois[j].shown = 0;
    }
}

std::string writeErrorText(WriteStatus st) { return st == WriteStatus::Ok ? std::string() : kFileWriteError; }

FileLoadResult finishLoad(MeasurementState& s, const SpectrumHeader& h, const SpectrumReadResult& r);

// The content hash of the file a memory was just loaded from, so that a result
// names the very file it came from.
void hashStoredFile(MeasurementState& s, const FileLoadResult& r, const std::string& path) {
    if (r.memoryStored < 1 || r.memoryStored > 3) return;
    s.mem[static_cast<std::size_t>(r.memoryStored - 1)].sha256 = sha256OfFile(path).value_or(std::string());
}

}  // namespace

std::string channelLabel(int ch) { return std::to_string(ch) + "ch"; }

std::string energyLabel(double energy) {
    char buf[64];
    std::snprintf(buf, sizeof buf, std::fabs(energy) < 1e7 ? "%8.2f" : "%8.2e", energy);
    return buf;
}

std::string checkMeasuredSpectrum(const MeasurementState& s) {
    return s.workingProcessed ? kProcessedSpectrum : std::string();
}

std::string checkOutputTarget(const MeasurementState& s, const std::string& path, bool textDump) {
    if (textDump) {
        for (const std::string* in : {&s.sourcePath, &s.samplePath, &s.bgPath})
            if (sameFile(path, *in)) return kOutputIsInput;
        return {};
    }
    // Saving the working spectrum back over the file it came from is an ordinary
    // save; over the sample or background file of the analysis it is not.
    if (sameFile(path, s.sourcePath)) return {};
    if (sameFile(path, s.samplePath) || sameFile(path, s.bgPath)) return kOutputIsInput;
    return {};
}

void rememberPath(MeasurementState& s, const std::string& path) {
    s.path = path;
    s.fileName = bareName(path);
}

std::optional<std::pair<float, float>> headerCalibration(const SpectrumHeader& h) {
    if (!h.hasCalibration()) return std::nullopt;
    const float gain = h.f32(H::kCalibCoef1);
    const float offset = h.f32(H::kCalibCoef2);
    if (!std::isfinite(gain) || !std::isfinite(offset) || gain == 0.0f) return std::nullopt;
    // Beyond any detector: more than 10 MeV (or eV) per channel, or an offset past
    // 10^7. Such a header is damaged; its energies would be meaningless numbers.
    if (std::fabs(gain) > 1e4f || std::fabs(offset) > 1e7f) return std::nullopt;
    return std::make_pair(gain, offset);
}

void applyHeaderValues(MeasurementState& s, const SpectrumHeader& h) {
    s.liveTime = h.i32(H::kLiveTime);
    s.realTime = h.i32(H::kRealTime);
    s.presetTimeShown = h.i32(H::kPresetTime);
    if (const auto cal = headerCalibration(h)) {
        s.cal.gain = cal->first;
        s.cal.offset = cal->second;
        s.cal.calibrated = 1;
        s.cal.channels = h.channelCount();
    }
    for (int j = 0; j < kRoiCount; ++j) {
        s.rois[j].low = h.roiStart(j);
        s.rois[j].high = h.roiEnd(j);
        s.rois[j].colour = static_cast<TColor>(static_cast<std::int32_t>(h.roiColour(j)));
    }
}

FileLoadResult loadSpectrum(MeasurementState& s, const std::string& path) {
    FileLoadResult res;
    rememberPath(s, path);

    SpectrumHeader h = s.header;  // the copy's extra word travels on unchanged
    const SpectrumReadResult r = readSpectrumFile(path, h, s.spectrum);
    res.input = r.input;
    if (!r.opened) return res;
    s.sourcePath = path;
    FileLoadResult loaded = finishLoad(s, h, r);
    loaded.input = r.input;
    hashStoredFile(s, loaded, path);
    return loaded;
}

FileLoadResult loadSpectrumImage(MeasurementState& s, const std::string& path, const SpectrumHeader& header,
                                 std::span<const std::int32_t> counts) {
    rememberPath(s, path);
    SpectrumHeader h = s.header;
    std::copy_n(header.bytes().begin(), SpectrumHeader::kFileSize, h.bytes().begin());
    SpectrumReadResult r;
    r.opened = r.headerComplete = true;
    const int blocks = std::min<int>(kMaxBlocks, static_cast<int>(counts.size()) / kBlockChannels);
    r.channelsRead = r.wordsRead = blocks * kBlockChannels;
    std::copy_n(counts.begin(), r.channelsRead, s.spectrum.begin());
    r.valid = r.channelsRead > 0 && h.channelCount() == r.channelsRead;
    s.sourcePath = path;
    FileLoadResult loaded = finishLoad(s, h, r);
    hashStoredFile(s, loaded, path);
    return loaded;
}

namespace {

// The part of "&Read" after the file is in the working buffers: LLD, validation,
// header values, window labels and the selected memory.
FileLoadResult finishLoad(MeasurementState& s, const SpectrumHeader& h, const SpectrumReadResult& r) {
    FileLoadResult res;
    res.opened = true;
    res.channelsRead = r.channelsRead;
    s.header = h;

    const int lld = std::clamp<int>(s.workingLld, 0, kWorkChannels);
    std::fill_n(s.spectrum.begin(), lld, 0);

    if (!r.valid) {
        res.edit1 = std::to_string(r.channelsRead);
        s.header = s.liveHeader;
        return res;
    }
    res.valid = true;
    s.workingProcessed = false;
    applyHeaderValues(s, h);
    const int n = r.channelsRead;
    s.channelCount = n;
    s.view.lo = 0;
    s.view.hi = n - 1;
    s.view.cursor = n / 2;
    res.label1 = channelLabel(0);
    res.label2 = channelLabel(n - 1);
    res.label3 = std::to_string(n / 2);

    const int k = s.selectedSource;
    if (k >= 1 && k <= 3) {
        if (n > kMemChannels) {
            res.edit1 = kMemoryTooSmall;
        } else {
            auto& m = s.mem[k - 1];
            std::copy_n(s.spectrum.begin(), n, m.counts.begin());
            m.header = s.header;
            m.name = s.fileName;
            m.sha256.clear();
            m.processed = false;
            res.memoryStored = k;
        }
    }
    return res;
}

}  // namespace

FileLoadResult readSampleFile(MeasurementState& s, const std::optional<std::string>& path) {
    clearStartFlags(s);
    selectMemory(s, 1);
    if (!path) return {};
    FileLoadResult res = loadSpectrum(s, *path);
    s.samplePath = *path;
    return res;
}

FileLoadResult readBackgroundFile(MeasurementState& s, const std::optional<std::string>& path) {
    selectMemory(s, 2);
    if (!path) return {};
    FileLoadResult res = loadSpectrum(s, *path);
    // Only a file that is really in memory 2 becomes the background: a flag set
    // for a cancelled or rejected file would make every later analysis stop.
    if (res.memoryStored == 2) {
        s.bgPath = *path;
        s.bgFileFlag = 1;
    }
    return res;
}

void fillHeaderForWrite(MeasurementState& s) {
    SpectrumHeader& h = s.header;
    h.setChannelCount(static_cast<std::int16_t>(boundedN(s)));
    auto& b = h.bytes();
    std::fill_n(b.begin() + H::kBanner, H::kBannerSize, std::uint8_t{0});
    std::memcpy(b.data() + H::kBanner, H::kMakerBanner, std::strlen(H::kMakerBanner));
    if (s.cal.calibrated == 1) {
        // The net spectrum (half the channels) gets the calibration of its own channels.
        const auto [gain, offset] = calibrationFor(s.cal, boundedN(s));
        h.setF32(H::kCalibCoef1, gain);
        h.setF32(H::kCalibCoef2, offset);
        h.setF32(H::kCalibMarker, 0.0f);
    } else {
        h.setF32(H::kCalibMarker, 1.0f);
        h.setF32(H::kCalibCoef1, 0.0f);
    }
    for (int j = 0; j < kRoiCount; ++j) {
        h.setRoiStart(j, static_cast<std::int16_t>(s.rois[j].low & 0xFFFF));
        h.setRoiEnd(j, static_cast<std::int16_t>(s.rois[j].high & 0xFFFF));
        h.setRoiColour(j, static_cast<std::int16_t>(s.rois[j].colour & 0xFFFF));
    }
    h.setI32(H::kLiveTime, s.liveTime);
    h.setI32(H::kRealTime, s.realTime);
    h.setI32(H::kPresetTime, s.presetTimeShown);
}

std::string saveSpectrum(MeasurementState& s, const std::string& path) {
    if (std::string refused = checkOutputTarget(s, path, false); !refused.empty()) return refused;
    rememberPath(s, path);
    fillHeaderForWrite(s);
    const std::span<const std::int32_t> counts(s.spectrum.data(), static_cast<std::size_t>(boundedN(s)));
    return writeErrorText(writeSpectrumFile(path, s.header, counts));
}

std::string textDump(MeasurementState& s, const std::string& dataFileName) {
    s.header.setI32(H::kLiveTime, s.liveTime);
    s.header.setI32(H::kRealTime, s.realTime);
    s.header.setI32(H::kPresetTime, s.presetTimeShown);
    const std::span<const std::int32_t> counts(s.spectrum.data(), static_cast<std::size_t>(boundedN(s)));
    return formatTextDump(s.header, counts, dataFileName);
}

std::string saveTextDump(MeasurementState& s, const std::string& path) {
    if (std::string refused = checkOutputTarget(s, path, true); !refused.empty()) return refused;
    rememberPath(s, path);
    return writeErrorText(writeWholeFile(path, textDump(s, s.fileName)));
}

}  // namespace xmca
