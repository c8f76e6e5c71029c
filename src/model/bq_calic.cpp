#include "bq_calic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "analysis/activity_calc.h"
#include "files/sha256.h"
#include "files/spectrum_file.h"
#include "analysis/char_limits.h"
#include "model/memory_spectra.h"
#include "model/screening.h"
#include "model/verdict_grounds.h"
#include "model/spectrum_io.h"

namespace xmca {

namespace {

using H = SpectrumHeader;

int workingN(const MeasurementState& s) { return std::clamp<int>(s.channelCount, 0, kWorkChannels); }

// Channels 10 .. N-1 of the working spectrum into the memory selected in the
// "Mem" group (the analyser selected: none).
void copyToSelectedMemory(MeasurementState& s) {
    const int k = s.selectedSource;
    if (k < 1 || k > 3) return;
    const int n = std::min(workingN(s), kMemChannels);
    auto& mem = s.mem[static_cast<std::size_t>(k - 1)];
    auto& m = mem.counts;
    for (int i = activity::kSmoothFirst; i < n; ++i) m[static_cast<std::size_t>(i)] = s.spectrum[static_cast<std::size_t>(i)];
    mem.processed = true;
}

void setLabel(RoiRecord& r, const char* text) {
    r.label.fill('\0');
    std::strncpy(r.label.data(), text, r.label.size() - 1);
}

bool sameSpectrum(const MemorySpectrum& a, const MemorySpectrum& b) {
    return a.counts == b.counts && a.header == b.header;
}

int memoryChannels(const MemorySpectrum& m) { return m.header.channelCount(); }
bool holdsSpectrum(const MemorySpectrum& m) {
    const int n = memoryChannels(m);
    return n >= 2 && n <= kMemChannels;
}

// Channels from the memory's channel count up read as zero: what lies there is
// left over from a longer spectrum (or the start-up ramp), not part of this one.
void clearAboveChannelCount(MemorySpectrum& m) {
    const int n = std::clamp(memoryChannels(m), 0, kMemChannels);
    std::fill(m.counts.begin() + n, m.counts.end(), 0);
}

// The first channel below n holding a negative count, or -1.
int negativeChannel(const MemorySpectrum& m) {
    const int n = std::clamp(memoryChannels(m), 0, kMemChannels);
    const auto it = std::find_if(m.counts.begin(), m.counts.begin() + n, [](std::int32_t c) { return c < 0; });
    return it == m.counts.begin() + n ? -1 : static_cast<int>(it - m.counts.begin());
}

double exactSum(const std::vector<double>& v, int lo, int hi) {
    double sum = 0.0;
    for (int c = std::max(lo, 0); c <= std::min(hi, static_cast<int>(v.size()) - 1); ++c)
        sum += v[static_cast<std::size_t>(c)];
    return sum;
}

// The trapezoid baseline of "Re Calic" on the exact net spectrum.
double exactBaseline(const std::vector<double>& v, int lo, int hi) {
    auto ch = [&](int c) { return c >= 0 && c < static_cast<int>(v.size()) ? v[static_cast<std::size_t>(c)] : 0.0; };
    const double left = (ch(lo - 1) + ch(lo - 2) + ch(lo - 3)) / 3.0;
    const double right = (ch(hi + 1) + ch(hi + 2) + ch(hi + 3)) / 3.0;
    return (left + right) * (hi - lo) * 0.5;
}

// Memory m compressed 2:1 into kNetChannels doubles, unsmoothed.
std::vector<double> compressedCopy(const MemorySpectrum& m) {
    std::vector<double> out(static_cast<std::size_t>(kNetChannels), 0.0);
    const int h = std::min(std::clamp(memoryChannels(m), 0, kMemChannels) / 2, kNetChannels);
    for (int j = 0; j < h; ++j)
        out[static_cast<std::size_t>(j)] = static_cast<double>(m.counts[static_cast<std::size_t>(2 * j)]) +
                                           m.counts[static_cast<std::size_t>(2 * j + 1)];
    return out;
}

bool liveTimeOk(const MemorySpectrum& m) {
    const std::int32_t live = m.header.i32(H::kLiveTime);
    return live > 0 && live <= m.header.i32(H::kRealTime);
}

// Step 3: the background file again into memory 2. Returns false when the file
// cannot be opened (the computation ends there).
bool rereadBackground(MeasurementState& s, CalicOutcome& out) {
    SpectrumHeader h = s.header;
    const SpectrumReadResult r = readSpectrumFile(s.bgPath, h, s.spectrum);
    if (!r.opened) return false;
    s.header = h;
    if (!r.valid || r.channelsRead > kMemChannels) {
        // Refused: the count read (or the memory's limit) is shown, the header comes
        // back from the backup and memory 2 stays as it was.
        out.edit1 = r.valid ? kMemoryTooSmall : std::to_string(r.channelsRead);
        s.header = s.liveHeader;
        return true;
    }
    const int n = r.channelsRead;
    applyHeaderValues(s, s.header);
    s.channelCount = n;
    s.view.lo = 0;
    s.view.hi = n - 1;
    s.view.cursor = n / 2;
    out.label1 = channelLabel(0);
    out.label2 = channelLabel(n - 1);
    out.label3 = std::to_string(n / 2);
    s.selectedSource = 2;
    auto& m = s.mem[1];
    std::copy_n(s.spectrum.begin(), n, m.counts.begin());
    m.header = s.header;
    m.name = bareName(s.bgPath);
    m.sha256 = sha256OfFile(s.bgPath).value_or(std::string());
    m.processed = false;
    return true;
}

// Loads memory k, keeping the sample's display name.
void loadMemory(MeasurementState& s, int k, const std::string& displayName) {
    selectMemory(s, k);
    s.fileName = displayName;
}

// Steps 9 and 11 for entries 2, 3 and 1: sums over memory 1 (gross) and the
// working spectrum (net, less the baseline when the flag is set), stored in the
// ROI table and the result record, then the activities.
CalicOutcome sumWindowsAndActivities(MeasurementState& s) {
    CalicOutcome out;
    ActivityResult& res = s.activity;
    const int n = workingN(s);
    const auto& m1 = s.mem[0].counts;
    constexpr int kOrder[3] = {2, 3, 1};
    constexpr const char* kLabels[3] = {"Cs-All", "Cs-134", "K-40"};
    // The exact net of the record's own spectra; on any other spectra only the
    // integer net spectrum on screen is there to sum.
    bool exact = res.haveBackground && n == kNetChannels && s.netExact.size() == static_cast<std::size_t>(kNetChannels) &&
                 s.grossExact.size() == s.netExact.size();
    for (int w = 0; w < 3 && exact; ++w) {
        const RoiRecord& r = s.rois[static_cast<std::size_t>(kOrder[w])];
        const ActivityWindow& aw = res.windows[static_cast<std::size_t>(w)];
        exact = aw.start == r.low && aw.end == r.high;
    }
    for (int w = 0; w < 3; ++w) {
        RoiRecord& r = s.rois[static_cast<std::size_t>(kOrder[w])];
        const double gross = exact ? exactSum(s.grossExact, r.low, r.high)
                                   : activity::windowSum(m1, kMemChannels, r.low, r.high);
        double net = exact ? exactSum(s.netExact, r.low, r.high)
                           : activity::windowSum(std::span<const std::int32_t>(s.spectrum), n, r.low, r.high);
        if (s.baselineFlag == 1)
            net -= exact ? exactBaseline(s.netExact, r.low, r.high)
                         : activity::trapezoidBaseline(s.spectrum, n, r.low, r.high);
        r.gross = activity::toCount(static_cast<float>(gross));
        r.net = activity::roundCount(net);
        ActivityWindow& aw = res.windows[static_cast<std::size_t>(w)];
        aw.roi = kOrder[w];
        aw.label = kLabels[w];
        aw.start = r.low;
        aw.end = r.high;
        aw.gross = r.gross;
        aw.net = r.net;
        aw.netExact = net;
    }
    if (!exact) res.haveBackground = false;
    res.baseline = s.baselineFlag == 1;
    res.sampleRealTime = s.mem[0].header.i32(H::kRealTime);
    res.countingTime = static_cast<float>(res.sampleRealTime) * 0.1f;
    const auto figures = activity::activities(res.windows[kWinCsAll].netExact, res.windows[kWinCsAll].gross,
                                              res.windows[kWinCs134].netExact, res.windows[kWinCs134].gross,
                                              res.windows[kWinK40].netExact, res.windows[kWinK40].gross,
                                              res.countingTime);
    setLabel(s.rois[2], "Cs-All");
    setLabel(s.rois[3], "Cs-134");
    if (!figures) {
        // No counting time: nothing to divide by, so no activities are shown.
        res.valid = false;
        s.resultsFlag = 0;
        out.edit1 = kSampleRealTimeZero;
        return out;
    }
    res.activity = *figures;
    res.valid = true;
    computeScreening(res, s.screeningSettings);
    if (res.haveBackground) {
        GroundsOptions o;
        o.level = s.screeningSettings.level;
        o.backgroundMaxAgeDays = s.screeningSettings.backgroundMaxAgeDays;
        checkGrounds(groundsSpectrum(s.keptSample), groundsSpectrum(s.calicBackground), o, res);
    }
    res.spectrumKey = workingSpectrumKey(s);
    out.computed = true;
    return out;
}

void failComputation(MeasurementState& s, CalicOutcome& out, const char* msg) {
    out.edit1 = msg;
    s.activity.valid = false;
    s.resultsFlag = 0;
}

}  // namespace

void dataCompress(MeasurementState& s) {
    activity::compress(s.spectrum, workingN(s));
    s.workingProcessed = true;
    copyToSelectedMemory(s);
}

void dataSmooth(MeasurementState& s) {
    std::vector<std::int32_t> work(kWorkChannels, 0);
    activity::smooth(s.spectrum, work, workingN(s));
    s.workingProcessed = true;
    copyToSelectedMemory(s);
}

std::string subtractBackgroundMemories(MeasurementState& s) {
    const std::int32_t t1 = s.mem[0].header.i32(H::kRealTime);
    const std::int32_t t2 = s.mem[1].header.i32(H::kRealTime);
    if (t1 <= 0) return kSampleRealTimeZero;
    if (t2 <= 0) return kBackgroundRealTimeZero;
    const float f = *activity::backgroundScale(t1, t2);
    const int n = std::min(workingN(s), kMemChannels);
    activity::subtractBackground(s.mem[0].counts, s.mem[1].counts, s.mem[2].counts, n, f);
    s.mem[1].processed = true;
    s.mem[2].processed = true;
    s.mem[2].header = s.header;
    s.selectedSource = 3;
    return {};
}

void peakFindCopy(MeasurementState& s) {
    std::copy_n(s.spectrum.begin(), 1024, s.mem[1].counts.begin() + 26);
    s.mem[1].processed = true;
}

CalicOutcome bqCalic(MeasurementState& s, const AskFile& askBackground) {
    CalicOutcome out;
    // Step 1. Each run starts from the sample as it was read: memory 1 still as the
    // last run left it means the kept sample is the one to use again.
    s.baselineFlag = 0;
    if (!s.haveKeptSample || !sameSpectrum(s.mem[0], s.calicSample)) {
        s.keptSample = s.mem[0];
        s.haveKeptSample = true;
    }
    const std::string sampleName = s.keptSample.name;

    // Steps 2 and 3: the background into memory 2.
    selectMemory(s, 2);
    if (s.bgFileFlag == 1) {
        if (!rereadBackground(s, out)) {
            out.stopped = true;
            return out;
        }
    } else if (askBackground) {
        if (const auto path = askBackground()) {
            const FileLoadResult r = loadSpectrum(s, *path);
            if (r.opened) {
                out.edit1 = r.edit1;
                out.label1 = r.label1;
                out.label2 = r.label2;
                out.label3 = r.label3;
            }
        }
    }

    // What the figures need before anything is changed: both spectra with the same
    // channel count and real times to scale and divide by.
    s.mem[0] = s.keptSample;
    if (!holdsSpectrum(s.mem[0])) {
        failComputation(s, out, kNoSampleSpectrum);
        return out;
    }
    if (!holdsSpectrum(s.mem[1])) {
        failComputation(s, out, kNoBackgroundSpectrum);
        return out;
    }
    if (memoryChannels(s.mem[0]) != memoryChannels(s.mem[1])) {
        failComputation(s, out, kChannelMismatch);
        return out;
    }
    const std::int32_t t1 = s.mem[0].header.i32(H::kRealTime);
    const std::int32_t t2 = s.mem[1].header.i32(H::kRealTime);
    if (t1 <= 0 || t2 <= 0) {
        failComputation(s, out, t1 <= 0 ? kSampleRealTimeZero : kBackgroundRealTimeZero);
        return out;
    }
    for (int k = 0; k < 2; ++k) {
        if (const int c = negativeChannel(s.mem[static_cast<std::size_t>(k)]); c >= 0) {
            failComputation(s, out, k == 0 ? kSampleBadCounts : kBackgroundBadCounts);
            out.edit1 += " (channel " + std::to_string(c) + ")";
            return out;
        }
    }
    for (int k = 0; k < 2; ++k)
        if (!liveTimeOk(s.mem[static_cast<std::size_t>(k)])) {
            failComputation(s, out, k == 0 ? kSampleLiveTimeBad : kBackgroundLiveTimeBad);
            return out;
        }
    const bool sameFile = !s.keptSample.sha256.empty() && s.keptSample.sha256 == s.mem[1].sha256;
    if (sameFile || sameSpectrum(s.mem[0], s.mem[1])) {
        failComputation(s, out, kBackgroundIsSample);
        return out;
    }
    const std::int32_t sampleChannels = memoryChannels(s.mem[0]);
    clearAboveChannelCount(s.mem[0]);
    clearAboveChannelCount(s.mem[1]);
    s.calicBackground = s.mem[1];
    // The figures are summed on both spectra compressed but not smoothed: the
    // smoothing's rounding adds about 0.2 of a count to every channel of a short,
    // sparse count (a blank read several Bq/kg), and it only moves counts between
    // neighbours otherwise. The smoothed memories are for display.
    const std::vector<double> rawSample = compressedCopy(s.mem[0]);
    const std::vector<double> rawBackground = compressedCopy(s.mem[1]);

    // Step 4: background compressed and smoothed (memory 2).
    loadMemory(s, 2, sampleName);
    dataCompress(s);
    dataSmooth(s);
    // Step 5: sample compressed and smoothed (memory 1).
    loadMemory(s, 1, sampleName);
    dataCompress(s);
    dataSmooth(s);

    // The background under each window before the time scaling.
    ActivityResult& res = s.activity;
    const FixedWindow fixed[3] = {kWindowCsAll, kWindowCs134, kWindowK40};
    for (int w = 0; w < 3; ++w) {
        double sum = 0.0;
        for (int c = fixed[w].start; c <= fixed[w].end; ++c) sum += rawBackground[static_cast<std::size_t>(c)];
        res.windows[static_cast<std::size_t>(w)].background = sum;
        res.windows[static_cast<std::size_t>(w)].start = fixed[w].start;
        res.windows[static_cast<std::size_t>(w)].end = fixed[w].end;
    }
    // The exact net spectrum: the background scaled as a whole, never truncated.
    const double f = static_cast<double>(t1) / static_cast<double>(t2);
    s.netExact.assign(static_cast<std::size_t>(kNetChannels), 0.0);
    s.grossExact = rawSample;
    for (int i = 0; i < kNetChannels; ++i)
        s.netExact[static_cast<std::size_t>(i)] =
            rawSample[static_cast<std::size_t>(i)] - f * rawBackground[static_cast<std::size_t>(i)];
    res.backgroundRealTime = t2;
    res.haveBackground = true;
    res.sampleChannels = sampleChannels;
    res.sampleName = s.keptSample.name;
    res.sampleSha256 = s.keptSample.sha256;
    res.backgroundName = s.mem[1].name;
    res.backgroundSha256 = s.mem[1].sha256;

    // Step 6: the net spectrum into memory 3.
    s.channelCount = kNetChannels;
    s.header.setChannelCount(kNetChannels);
    subtractBackgroundMemories(s);
    // Step 7.
    s.mem[2].header.setChannelCount(kNetChannels);
    // A calibration the sample's header carries holds for the net spectrum's own channels.
    if (s.mem[2].header.hasCalibration()) {
        Calibration c;
        c.gain = s.mem[2].header.f32(H::kCalibCoef1);
        c.offset = s.mem[2].header.f32(H::kCalibCoef2);
        c.channels = sampleChannels;
        const auto [gain, offset] = calibrationFor(c, kNetChannels);
        s.mem[2].header.setF32(H::kCalibCoef1, gain);
        s.mem[2].header.setF32(H::kCalibCoef2, offset);
    }
    loadMemory(s, 3, sampleName);
    s.channelCount = kNetChannels;

    // Step 8: the fixed windows, switched on.
    for (const FixedWindow& f : fixed) {
        s.header.setRoiStart(f.roi, static_cast<std::int16_t>(f.start));
        s.header.setRoiEnd(f.roi, static_cast<std::int16_t>(f.end));
        s.header.setRoiColour(f.roi, static_cast<std::int16_t>(f.colour & 0xFFFF));
        RoiRecord& r = s.rois[static_cast<std::size_t>(f.roi)];
        r.colour = f.colour;
        r.defined = 1;
        r.shown = 1;
    }
    setLabel(s.rois[2], "Cs-13X");
    setLabel(s.rois[3], "Cs-134");
    for (int j = 0; j < kRoiCount; ++j) {
        s.rois[static_cast<std::size_t>(j)].low = s.header.roiStart(j);
        s.rois[static_cast<std::size_t>(j)].high = s.header.roiEnd(j);
    }

    // Steps 9 to 12.
    CalicOutcome sums = sumWindowsAndActivities(s);
    s.calicSample = s.mem[0];
    if (!sums.computed) {
        out.edit1 = sums.edit1;
        return out;
    }
    s.resultsFlag = 1;
    out.computed = true;
    return out;
}

std::uint64_t workingSpectrumKey(const MeasurementState& s) {
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t h = 0xcbf29ce484222325ULL;
    auto mix = [&h](std::uint32_t v) {
        for (int b = 0; b < 4; ++b) {
            h ^= (v >> (8 * b)) & 0xFFu;
            h *= kPrime;
        }
    };
    const int n = workingN(s);
    mix(static_cast<std::uint32_t>(n));
    for (int i = 0; i < n; ++i) mix(static_cast<std::uint32_t>(s.spectrum[static_cast<std::size_t>(i)]));
    return h;
}

bool resultsShown(const MeasurementState& s) {
    return s.resultsFlag != 0 && s.activity.valid && s.activity.spectrumKey == workingSpectrumKey(s);
}

CalicOutcome reCalic(MeasurementState& s) {
    ActivityResult& res = s.activity;
    if (!res.valid || res.spectrumKey != workingSpectrumKey(s)) {
        // Not the spectra of the last "Bq Calic": name the memories it now reads and
        // form no limits (their background sums are unknown).
        res.haveBackground = false;
        res.sampleName = s.mem[0].name;
        res.sampleSha256 = s.mem[0].sha256;
        res.backgroundName = s.mem[1].name;
        res.backgroundSha256 = s.mem[1].sha256;
        res.sampleChannels = memoryChannels(s.mem[0]);
    }
    s.baselineFlag = 0;
    const float x = static_cast<float>(s.rois[2].gross);
    const float y = static_cast<float>(s.rois[2].net);
    // No gross count: no fraction to test, so no baseline.
    if (x > 0.0f && (x - y) / x > 0.35f) s.baselineFlag = 1;
    CalicOutcome out = sumWindowsAndActivities(s);
    if (out.computed) s.resultsFlag = 1;
    return out;
}

}  // namespace xmca
