// Daily check-source quality control on plain count arrays: the 662 keV peak of a
// sealed Cs-137 source (centroid, FWHM in % of the centroid, net count rate in a
// window around it against a time-scaled background) with the counting scatter of
// each figure, the statistics of a baseline of runs and its chi-square acceptance,
// and the status of a new run against counting-statistics limits, fixed tolerances
// tied to the Cs analysis window and the run-of-seven trend rule.
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
    // Poisson resamples of the check spectrum that give the counting scatter of the
    // centroid and the FWHM (0: none); the same spectrum always gives the same scatter.
    int resamples = 200;
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
    double grossCounts = 0.0;                  // check spectrum in the window
    double backgroundWindowCounts = 0.0;       // background in the window (its own time)
    double checkSeconds = 0.0, backgroundSeconds = 0.0;
    double netCounts = 0.0;                    // gross less the background scaled to the check's time
    // Counting standard deviation of each figure: centroid and FWHM from the
    // resamples, the net rate from the gross and background counts.
    QcValues countingSd;
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
    // With the runs' counting scatter: its root mean square, the scatter beyond it
    // (sqrt(max(0, sd^2 - counting^2))), and chi-square of the runs about the mean
    // with n - 1 degrees of freedom, each run weighted by its own counting variance.
    double countingSd = 0.0;
    double excessSd = 0.0;
    double chi2 = 0.0;
    double pValue = 1.0;  // chance of a chi-square this large from counting alone
    // The sigma of a run of typical counts against this baseline (the sd without counting figures).
    double sigma = 0.0;
};

struct BaselineStats {
    int n = 0;  // runs the limits were formed from
    MeanSd peakChannel, fwhmPercent, netRateCps;
};

// Mean and sample standard deviation of each quantity over the runs given; with
// countingSd (one per run) also the counting-statistics figures.
BaselineStats baselineStats(std::span<const QcValues> runs, std::span<const QcValues> countingSd = {});

// Upper tail of the chi-square distribution: P(X >= chi2) for dof degrees of freedom.
double chiSquareUpperTail(double chi2, int dof);

// A baseline's scatter agrees with counting statistics at this level when every
// quantity's chi-square has at least this upper-tail probability.
inline constexpr double kBaselineChiSquareLevel = 0.05;

// Rules, once the baseline is accepted: each quantity's sigma is the run's own
// counting scatter combined with the baseline's excess scatter and the
// uncertainty of the baseline mean (sigma^2 = counting^2 + excess^2 + sd^2 / n);
// beyond 2 sigma of the mean: warning; beyond 3 sigma: action. Seven successive
// runs on one side of the mean: warning. Whatever the scatter, action for a peak
// shift of more than 2 %, a net rate change of more than 4 %, a centroid outside
// the middle half of the Cs analysis window, or a line so broad (or so far off)
// that more than 3 % of it falls outside that window.
inline constexpr double kWarningSd = 2.0;
inline constexpr double kActionSd = 3.0;
inline constexpr double kActionPeakShift = 0.02;
inline constexpr double kActionRateChange = 0.04;
inline constexpr int kTrendRuns = 7;
inline constexpr double kActionWindowLoss = 0.03;

// The analysis window that holds the 662 keV line in the activity computation:
// first and last channel (inclusive) of a spectrum of `channels` channels.
struct AnalysisWindow {
    int lo = 0, hi = 0;
    int channels = 1024;
    // A position in channels of an n-channel spectrum in this window's channels, and back
    // (channel k of n spans k .. k + 1 of the n-channel scale).
    double fromChannel(double x, int n) const { return (x + 0.5) * channels / n - 0.5; }
    double toChannel(double x, int n) const { return (x + 0.5) * n / channels - 0.5; }
};

// One rule a run broke (or why a baseline is not accepted yet); the window words it
// in the operator's language, mcatool with reasonText.
struct Reason {
    enum Kind {
        SdFromMean,
        PeakShift,
        RateChange,
        NotANumber,
        Trend,            // value: runs in a row, + above / - below the mean
        OutsideWindow,    // value: the centroid; lo, hi: the middle half of the window
        WindowLoss,       // value: per cent of the line outside the window
        BaselineScatter,  // value: chi-square; lo: degrees of freedom; hi: its upper-tail probability
        NoCountingScatter,  // baseline runs recorded without their counting scatter
    } kind = NotANumber;
    enum Quantity { PeakChannel, FwhmPercent, NetRate } quantity = PeakChannel;
    double value = 0.0;  // sd from the mean (SdFromMean), per cent (PeakShift, RateChange)
    double lo = 0.0, hi = 0.0;
};
// e.g. "peak channel 3.4 sd from the mean", "peak shift 5.0 %".
std::string reasonText(const Reason& r);
// The reasons joined with "; ".
std::string reasonsText(const std::vector<Reason>& reasons);

struct Assessment {
    Status status = Status::Baseline;
    std::vector<Reason> reasons;
};

// Whether a baseline of nRequired runs is complete and agrees with counting
// statistics; reasons (BaselineScatter) say which quantity does not.
bool baselineAccepted(const BaselineStats& b, int nRequired, std::vector<Reason>* reasons = nullptr);

// A run to judge: its figures and their counting scatter (0: unknown).
struct RunFigures {
    QcValues values;
    QcValues countingSd;
    int channels = 2048;  // of its spectrum
};

// Status of a run against a baseline that needs nRequired runs. Until the baseline
// is accepted the run is a baseline run, unless the per-cent or window rules make
// it "action" against the runs so far (it is then not taken into the baseline).
// recent: the judged runs of this baseline before this one, oldest first (for the
// trend rule). Without a window the window rules are not applied.
Assessment assess(const RunFigures& run, const BaselineStats& baseline, int nRequired,
                  std::span<const QcValues> recent = {}, const std::optional<AnalysisWindow>& window = std::nullopt);

// Gaussian fraction of a line at centroid c with the given FWHM (channels) that
// falls outside channels lo..hi (each channel spanning +/- 0.5 about its number).
double fractionOutside(double c, double fwhm, double lo, double hi);

// The QC record of an installation as a control chart shows it.
struct HistoryRun {
    std::int64_t id = 0;
    std::string createdUtc;  // "YYYY-MM-DDTHH:MM:SSZ"
    std::string acquiredUtc; // acquisition start of its spectrum (empty on runs before it was kept)
    QcValues values;         // net rate decay-corrected to its baseline's first run
    std::optional<double> backgroundRateCps;
    Status status = Status::Baseline;
    std::int64_t baselineId = 0;
    std::string reason;      // why it has its status, as recorded (English)
};

struct HistoryBaseline {
    std::int64_t id = 0;
    std::string createdUtc;
    int nRequired = 20;
    BaselineStats stats;  // of its baseline runs so far; limits hold once the baseline is accepted
    bool accepted = false;
};

struct History {
    std::string installation;
    std::vector<HistoryRun> runs;            // oldest first
    std::vector<HistoryBaseline> baselines;  // oldest first
};

}  // namespace xmca::qc
