// The daily check-source QC kept in the register: a check spectrum file (and a
// background file) measured, judged against the installation's current baseline
// and recorded; new baselines; the control-chart history; and the lock-out that
// withholds screening verdicts while QC calls for action. The window's QC page,
// its Screening page and `mcatool qc` / `mcatool screen` all go through here.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/check_source_qc.h"
#include "model/lab_settings.h"
#include "register/register.h"

namespace xmca {

struct QcSettings {
    int baselineRuns = 10;        // N: runs that form a baseline's control limits
    bool requireDailyQc = false;  // withhold verdicts until a QC run passed today
};

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
};

// Reads the check spectrum (and the background when backgroundPath is not empty)
// and measures the 662 keV peak. Times are the live times (the real times when a
// file has none).
QcFileMeasurement measureCheckFiles(const std::string& checkPath, const std::string& backgroundPath);

struct QcRecordOutcome {
    reg::QcRun run;              // as recorded (id filled)
    qc::Assessment assessment;   // status and the rules it broke
    qc::BaselineStats baseline;  // of the baseline's runs so far (this one included while it is a baseline run)
    std::int64_t baselineId = 0;
    int nRequired = 10;
};

// Starts a new baseline for the installation (the old ones stay in the register).
bool startQcBaseline(reg::Register& r, const std::string& installation, int nRequired, const std::string& note,
                     reg::QcBaseline& out, std::string& error);

// Judges the measurement against the installation's latest baseline (one is
// started first when there is none or newBaseline is set) and appends the run
// with this program's version.
bool recordQcRun(reg::Register& r, const QcFileMeasurement& m, const std::string& installation,
                 const std::string& operatorName, const QcSettings& settings,
                 bool newBaseline, QcRecordOutcome& out, std::string& error);

// The installation's runs and baselines, oldest first, for the control chart.
bool loadQcHistory(reg::Register& r, const std::string& installation, qc::History& out, std::string& error);

// Why verdicts are withheld now: kQcActionRequired while the installation's
// latest run is "action" and no baseline was started after it; kNoQcToday when
// the daily rule is set and no run of today (local date) passed; empty when a
// verdict may be given. todayLocal: "YYYY-MM-DD", empty for the current day.
bool qcLockoutReason(reg::Register& r, const std::string& installation, const QcSettings& settings,
                     std::string& reason, std::string& error, const std::string& todayLocal = "");

// The lock-out as the screening callers ask for it: the reason for the laboratory's
// installation and settings, kQcUnknown when the register cannot be read (a verdict
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
