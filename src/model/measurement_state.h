// The measurement state of one run: working spectrum and header, the live-acquisition
// header, the three memories, settings, times, calibration, ROI table, view state,
// overlays and analysis flags. A plain struct owned by the main window and passed by
// reference to the core; the core never reads a widget.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "files/spectrum_header.h"
#include "model/activity_result.h"

namespace xmca {

constexpr int kWorkChannels = 8192;    // working spectrum room (files up to 16 x 512)
constexpr int kDeviceChannels = 4096;  // largest analyser spectrum
constexpr int kMemChannels = 4096;     // each memory spectrum
constexpr int kRoiCount = 16;
constexpr int kRoiShown = 10;          // ROI records drawn and summed on the plot
constexpr int kOverlayCount = 4;
constexpr int kMaxColumns = 4096;      // per-column trace arrays

// Colours are 0x00BBGGRR values.
using TColor = std::uint32_t;

// The record the MCA setup dialog edits. The dialog reads its controls back into it
// on every close (Cancel too); the main window applies it to the working values of
// MeasurementState only after OK, so the two may differ.
struct AcquisitionSettings {
    std::int32_t channelCount = 2048;  // chosen; sent to the analyser at OK
    std::int32_t presetTime = 36000;   // the preset real time a run stops at, 0.1 s units
    std::int32_t lld = 0;              // SPC_LLD as entered (never sent to the analyser)
    float deadTimePerEvent = 1.8f;    // microseconds
    std::string label1;               // comment, raw (Shift-JIS) bytes, at most 31
    std::string label2;               // sample ID, raw bytes, at most 31
};

struct ScanSettings {
    std::int32_t channelCount = 2048;  // 512, 1024 or 2048 ("x 2 Bank")
    std::int32_t presetTime = 10;      // per pass, 100 ms units
    std::int32_t refreshInterval = 100;  // poll-timer interval, ms
    std::array<std::int32_t, 16> reserved{};
    // The raw-data file of "Save Spectrum Data" is no part of the record: the setup
    // dialog holds it, and the main window keeps it after OK.
};

struct RoiRecord {
    std::int32_t defined = 0;
    std::int32_t shown = 0;
    std::array<char, 8> label{};  // zero-terminated, at most 7 bytes of Shift-JIS text
    std::int32_t low = 0;
    std::int32_t high = 0;
    TColor colour = 0;
    std::int32_t gross = 0;  // written by the renderer
    std::int32_t net = 0;    // written by the renderer
};

struct Calibration {
    float lowCh = 0, highCh = 0, lowEng = 0, highEng = 0;
    std::string unit = "keV";
    float gain = 0;    // energy per channel
    float offset = 0;  // energy at channel 0
    std::int32_t calibrated = 0;
    std::int32_t channels = 0;  // channel count of the spectrum it was made on (0: not known)
};

// The calibration as it holds for a spectrum of n channels made from the one it was
// made on by summing neighbours (the net spectrum is the sample compressed 2:1):
// each channel spans `channels / n` of the old ones. Unchanged when n is that count,
// unknown, or no whole fraction of it.
std::pair<float, float> calibrationFor(const Calibration& c, std::int32_t n);

struct ViewState {
    std::int32_t lo = 0;
    std::int32_t hi = 2047;
    std::int16_t lo16 = 0;     // window as last sent to or read from the analyser
    std::int16_t hi16 = 2047;
    std::int32_t cursor = 1024;
    std::int32_t vfsIndex = 2;  // 1..22 into the full-scale table
    std::int32_t logScale = 0;
    std::int32_t autoScale = 0;
    std::int32_t scrollPos = 0;
    float snapCentroid = 0.0f;
};

struct MemorySpectrum {
    std::array<std::int32_t, kMemChannels> counts{};
    SpectrumHeader header;
    std::string name;    // bare file name it was loaded from
    std::string sha256;  // SHA-256 (hex) of that file's contents; empty when not from a file
    bool processed = false;  // holds a computation's output (compressed, smoothed, scaled, net)
};

struct Overlay {
    std::int32_t on = 0;
    std::array<std::int32_t, kMaxColumns> top{};
    std::array<std::int32_t, kMaxColumns> bottom{};
};

// Colours of the plot (set at start-up; dark instrument display).
struct DisplayColours {
    TColor background = 0x00000000;
    TColor text = 0x00FFFFFF;
    TColor trace = 0x00FFFFFF;
    TColor readout = 0x00FFFF00;  // cyan
    TColor roiLabel = 0x00FFFFFF;
};

struct MeasurementState {
    MeasurementState();

    // Spectra. The working spectrum is also the buffer the analyser reads fill.
    std::array<std::int32_t, kWorkChannels> spectrum{};
    SpectrumHeader header;          // working header
    SpectrumHeader liveHeader;      // header of the analyser spectrum
    SpectrumHeader headerTemplate;  // copied into the live header at each start
    std::array<MemorySpectrum, 3> mem;
    int selectedSource = 0;         // 0 = analyser, 1..3 = memory k (the "Mem" group)
    bool workingProcessed = false;  // the working spectrum is a computation's output, no measurement

    // N, the working channel count: how much of the working spectrum is shown, saved
    // and analysed. Set at the MCA setup's OK (from settings.channelCount), by an
    // acknowledged scan-map setup and by every spectrum read from a file or a memory;
    // the analyser's own count is AnalyserLink::ChannelCount.
    std::int32_t channelCount = 2048;

    // Times and rates.
    // The preset of the spectrum on screen (0.1 s): drawn, and written into its header
    // and files. Set at the MCA setup's OK and for a labelled run, and taken from each
    // header read in; settings.presetTime is the one the next run stops at.
    std::int32_t presetTimeShown = 36000;
    std::int32_t realTime = 0;        // 0.1 s
    std::int32_t liveTime = 0;        // 0.1 s
    std::int32_t deadTimePermille = 0;  // 0.1 % units
    float countRate = 0.0f;           // kcps
    float totalCounts = 0.0f;         // counts (shown / 1000 as kcts)
    std::int32_t maxCount = 0;
    float prevRealSec = 0, curRealSec = 0, prevTotal = 0, curTotal = 0;
    bool acquiring = false;           // MCA acquisition running (for "* ACQ *")

    AcquisitionSettings settings;
    ScanSettings scan;
    std::int32_t scanCounter = 0;
    std::int32_t scanFlag = 0;
    // The working LLD: channels 0 .. workingLld - 1 of each spectrum file read are
    // zeroed. Takes settings.lld at the MCA setup's OK only.
    std::int32_t workingLld = 0;

    Calibration cal;
    std::array<RoiRecord, kRoiCount> rois;
    int selectedRoi = -1;
    std::int32_t roiWorkFlag = 0;     // working flag cleared at each start

    ViewState view;
    std::array<Overlay, kOverlayCount> overlays;
    // Per-column trace arrays of the last frame.
    std::array<std::int32_t, kMaxColumns> traceTop{};
    std::array<std::int32_t, kMaxColumns> traceBottom{};

    DisplayColours colours;
    std::string statusText;  // shown at top left when idle
    std::string sourceName = "MCA";

    // Files.
    std::string path;      // full path last chosen in a dialog
    std::string fileName;  // the bare name after the last separator
    std::string samplePath;
    std::string bgPath;
    std::string sourcePath;  // the file the working spectrum was last read from
    std::int32_t bgFileFlag = 0;

    // Analysis.
    std::int32_t baselineFlag = 0;
    std::int32_t resultsFlag = 0;   // activity box shown

    // Activity computation: the result record of the last "Bq Calic" / "Re Calic",
    // the sample as read (each "Bq Calic" starts from it) and memory 1 as the last
    // "Bq Calic" left it (to tell whether a new sample has been read since).
    ActivityResult activity;
    MemorySpectrum keptSample;
    MemorySpectrum calicSample;
    // The background as "Bq Calic" read it (before compression), the sample
    // compressed unsmoothed, and the exact net spectrum (that sample less f x the
    // background compressed likewise, 1024 channels): the figures, the grounds of
    // the verdict and "Re Calic" work on these; memory 3 is their integer picture.
    MemorySpectrum calicBackground;
    std::vector<double> grossExact;
    std::vector<double> netExact;
    bool haveKeptSample = false;
    ScreeningSettings screeningSettings;
};

// Labels a run before its start: the preset it counts to (shown and written with
// the spectrum), and the sample ID and comment (raw header bytes, cut to the field)
// its header and file carry.
void labelRun(MeasurementState& s, std::int32_t presetTenths, const std::string& sampleIdRaw,
              const std::string& commentRaw);

}  // namespace xmca
