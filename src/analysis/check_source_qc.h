// Daily check-source quality control on plain count arrays: the 662 keV peak of a
// sealed Cs-137 source (centroid, FWHM in % of the centroid, net count rate in a
// window around it against a time-scaled background), the control limits of a
// baseline of accepted runs, and the status of a new run against them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace xmca::qc {

// A spectrum with the seconds it was counted for (live time where known).
struct CountedSpectrum {
    std::span<const std::int32_t> counts;
    int channels = 0;
    double seconds = 0.0;
};

// Where the 662 keV line is looked for: the nominal channel (662 keV near channel
// 660 at 2048 channels, scaled with the channel count) +/- searchFraction of it.
struct PeakSearch {
    std::optional<double> expectedChannel;  // default: the nominal channel
    double searchFraction = 0.20;
    double windowFwhms = 1.5;  // the rate window: centroid +/- this many FWHM
};

// Fewest counts in the rate window for a usable run: their counting scatter (about
// 3 %) must stay below the 4 % rate rule.
inline constexpr double kMinPeakCounts = 1000.0;

// Nominal channel of 662 keV at a channel count.
double nominalChannel662(int channels);

// The three quantities a control chart follows.
struct QcValues {
    double peakChannel = 0.0;  // centroid of the 662 keV peak
    double fwhmPercent = 0.0;  // FWHM in % of the centroid
    double netRateCps = 0.0;   // window rate less the time-scaled background's
};

struct QcMeasurement {
    bool ok = false;
    std::string error;  // why no figures could be formed (English, for mcatool and the window)
    QcValues values;
    double fwhmChannels = 0.0;
    int windowLo = 0, windowHi = 0;            // the rate window (channels, inclusive)
    double grossRateCps = 0.0;                 // check spectrum in the window
    std::optional<double> backgroundRateCps;   // total count rate of the background
    std::optional<double> backgroundWindowCps; // background in the rate window
};

// Figures of a check-source spectrum. Centroid and FWHM are taken on the check
// spectrum summed over a few neighbouring channels (so counting noise does not
// move the half-maximum crossings), the rate on the raw counts. Without a
// background the net rate is the window's gross rate and backgroundRateCps is
// empty.
QcMeasurement measureCheckSource(const CountedSpectrum& check, const std::optional<CountedSpectrum>& background,
                                 const PeakSearch& search = {});

enum class Status { Baseline, Ok, Warning, Action };
// "baseline", "ok", "warning", "action" (the register's and JSON's words).
const char* statusName(Status s);
std::optional<Status> statusFromName(const std::string& name);

struct MeanSd {
    double mean = 0.0;
    double sd = 0.0;  // sample standard deviation (n - 1); 0 for fewer than two runs
};

struct BaselineStats {
    int n = 0;  // runs the limits were formed from
    MeanSd peakChannel, fwhmPercent, netRateCps;
};

// Mean and sample standard deviation of each quantity over the runs given.
BaselineStats baselineStats(std::span<const QcValues> runs);

// Rules: beyond 2 sd of the baseline mean: warning; beyond 3 sd, a peak shift
// of more than 2 % or a net rate change of more than 4 % from the mean: action.
// A quantity whose sd is 0 (identical baseline runs) is judged by the per-cent
// rules alone.
inline constexpr double kWarningSd = 2.0;
inline constexpr double kActionSd = 3.0;
inline constexpr double kActionPeakShift = 0.02;
inline constexpr double kActionRateChange = 0.04;

// One rule a run broke; the window words it in the operator's language, mcatool
// with reasonText.
struct Reason {
    enum Kind { SdFromMean, PeakShift, RateChange, NotANumber } kind = NotANumber;
    enum Quantity { PeakChannel, FwhmPercent, NetRate } quantity = PeakChannel;
    double value = 0.0;  // sd from the mean (SdFromMean), per cent (PeakShift, RateChange)
};
// e.g. "peak channel 3.4 sd from the mean", "peak shift 5.0 %".
std::string reasonText(const Reason& r);

struct Assessment {
    Status status = Status::Baseline;
    std::vector<Reason> reasons;
};

// Status of a run against a baseline that needs nRequired runs. While the
// baseline has fewer, the run is a baseline run unless the per-cent rules against
// the runs so far make it "action" (it is then not accepted into the baseline).
Assessment assess(const QcValues& v, const BaselineStats& baseline, int nRequired);

// The QC record of an installation as a control chart shows it.
struct HistoryRun {
    std::int64_t id = 0;
    std::string createdUtc;  // "YYYY-MM-DDTHH:MM:SSZ"
    QcValues values;
    std::optional<double> backgroundRateCps;
    Status status = Status::Baseline;
    std::int64_t baselineId = 0;
};

struct HistoryBaseline {
    std::int64_t id = 0;
    std::string createdUtc;
    int nRequired = 10;
    BaselineStats stats;  // of its baseline runs so far; limits hold once stats.n reaches nRequired
};

struct History {
    std::string installation;
    std::vector<HistoryRun> runs;            // oldest first
    std::vector<HistoryBaseline> baselines;  // oldest first
};

}  // namespace xmca::qc
