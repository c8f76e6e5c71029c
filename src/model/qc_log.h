// The daily check-source QC kept in the register: a check spectrum file (and a
// background file) measured, judged against the installation's current baseline
// and recorded; new baselines; the control-chart history; and the lock-out that
// withholds screening verdicts while QC calls for action. The window's QC page,
// its Screening page and `mcatool qc` / `mcatool screen` all go through here.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "analysis/check_source_qc.h"
#include "model/lab_settings.h"
#include "register/register.h"

namespace xmca {

struct QcSettings {
    int baselineRuns = 20;        // N: runs that form a baseline's control limits
    bool requireDailyQc = false;  // withhold verdicts until a QC run passed today
    double minNetCounts = 10000;  // fewer net counts in the 662 keV window: the run is refused
    std::string nuclide = "Cs-137";
    double halfLifeYears = 30.08;  // of the check source, for the decay correction of its rate
};

// Half-life in years of a check-source nuclide this program knows (nullopt otherwise).
std::optional<double> knownHalfLifeYears(const std::string& nuclide);

// What the QC record is kept under: the detector, not the installation name typed
// in the settings. Once bound (the first QC use on this computer) the key stays,
// whatever the installation is renamed to; until then it is the installation name.
std::string qcDetector(const LabSettings& lab);
// The key in force: lab's own, else the one bound in the settings file at path (a
// page holding settings read before the binding), else the installation name.
std::string qcDetectorInForce(const LabSettings& lab, const std::string& path);
// Saves settings edited elsewhere (the Screening page's) with the QC keys as they
// are in the file: the QC page and mcatool own them, and a copy read earlier must
// not undo a detector binding or a QC setting.
bool saveLabSettingsKeepingQc(LabSettings& lab, const std::string& path);
// Binds the detector key when it is not yet bound and saves the settings at path;
// false when they could not be saved (the key is then still set in lab).
bool bindQcDetector(LabSettings& lab, const std::string& path);

// The QC settings of the laboratory settings.
QcSettings qcSettings(const LabSettings& lab);

// The reasons a lock-out withholds a verdict with (contract: "No verdict - <reason>").
inline constexpr const char* kQcActionRequired = "QC action required";
inline constexpr const char* kNoQcToday = "no QC passed today";

struct QcFileMeasurement {
    bool ok = false;
    std::string error;  // "Error ! ..." when no figures were formed
    qc::QcMeasurement figures;
    std::string checkFile, checkSha256;
    std::string backgroundFile, backgroundSha256;  // empty without a background
    int channels = 0;
    std::string acquiredUtc;  // the check spectrum's acquisition start (empty when it has none)
};

// Reads the check spectrum (and the background when backgroundPath is not empty)
// and measures the 662 keV peak. Times are the live times (the real times when a
// file has none).
QcFileMeasurement measureCheckFiles(const std::string& checkPath, const std::string& backgroundPath);

struct QcRecordOutcome {
    reg::QcRun run;              // as recorded (id filled)
    qc::Assessment assessment;   // status and the rules it broke (or why the baseline is not accepted)
    qc::BaselineStats baseline;  // of the baseline's runs so far (this one included while it is a baseline run)
    bool baselineAccepted = false;
    std::int64_t baselineId = 0;
    int nRequired = 20;
    double netRateCorrectedCps = 0;  // the net rate decay-corrected to the baseline's first run
    double decayFactor = 1;          // that correction
};

// Starts a new baseline for the installation (the old ones stay in the register).
bool startQcBaseline(reg::Register& r, const std::string& installation, int nRequired, const std::string& note,
                     reg::QcBaseline& out, std::string& error);

// Judges the measurement against the detector's latest baseline (one is started
// first when there is none or newBaseline is set) and appends the run with this
// program's version. Refused, and nothing recorded, when the check spectrum is
// already in the register (by its SHA-256), has no acquisition start, is dated in
// the future or before the detector's latest run, or has fewer net counts than
// the settings ask for (the error then says the counting time that would reach
// them). now: the current time (0: the clock's).
bool recordQcRun(reg::Register& r, const QcFileMeasurement& m, const std::string& installation,
                 const std::string& operatorName, const QcSettings& settings,
                 bool newBaseline, QcRecordOutcome& out, std::string& error, std::time_t now = 0);

// A register time "YYYY-MM-DDTHH:MM:SSZ" as seconds since the epoch (nullopt when unreadable).
std::optional<std::time_t> parseUtc(const std::string& utc);

// The detector's runs and baselines, oldest first, for the control chart; net rates
// decay-corrected to each baseline's first run.
bool loadQcHistory(reg::Register& r, const std::string& installation, qc::History& out, std::string& error,
                   double halfLifeYears = 30.08);

// Why verdicts are withheld now: kQcActionRequired while the detector's latest
// run is "action" and no baseline was started after it; kNoQcToday when the daily
// rule is set and no check spectrum acquired today (local date) passed; empty when
// a verdict may be given. todayLocal: "YYYY-MM-DD", empty for the current day.
bool qcLockoutReason(reg::Register& r, const std::string& installation, const QcSettings& settings,
                     std::string& reason, std::string& error, const std::string& todayLocal = "");

// The lock-out as the screening callers ask for it: the reason for the laboratory's
// detector and settings, kQcUnknown when the register cannot be read (a verdict
// is not given on a QC state nobody could check), empty when a verdict may be given.
inline constexpr const char* kQcUnknown = "QC state could not be read";
std::string qcLockoutReason(reg::Register* r, const LabSettings& lab);

// Whether the QC state at a past moment (a register time) called for withholding
// a verdict for reason (kQcActionRequired or kNoQcToday): judged on the runs and
// baselines recorded up to then, as the lock-out judged it at that moment.
bool qcCalledFor(reg::Register& r, const std::string& installation, const std::string& reason,
                 const std::string& atUtc, bool& calledFor, std::string& error);

// A register time "YYYY-MM-DDTHH:MM:SSZ" as the local date "YYYY-MM-DD" (empty when unreadable).
std::string localDateOf(const std::string& createdUtc);

}  // namespace xmca
