// The register record of a screening: the operator's sample data beside the result
// record's figures, limits, method and verdict, and back out again for reports.
#pragma once

#include <optional>
#include <cstdint>
#include <string>
#include <vector>

#include "model/lab_settings.h"
#include "model/screening_run.h"
#include "register/register.h"

namespace xmca {

// What the operator enters about a sample.
struct SampleData {
    std::string sampleId;
    std::string product;
    std::string origin;
    std::string operatorName;
    std::string samplingDate;  // "YYYY-MM-DD" or empty
    std::optional<double> massKg;
};

// The verdict as the register, mcatool and the printed page say it.
std::string recordVerdict(const ActivityResult& res);

// The record to append (id, uid and created time are left to the register).
reg::MeasurementRecord measurementRecord(const ScreeningOutcome& outcome, const std::string& samplePath,
                                         const std::string& backgroundPath, const SampleData& sample,
                                         const ScreeningOptions& options, const std::string& installation,
                                         const std::string& programVersion);

// The program version recorded with every result.
const char* programVersion();

// The QC state a verdict was formed on: the lock-out reason (empty: a verdict may
// be given) and the installation's latest QC run, if any.
struct QcStanding {
    std::string reason;
    std::optional<std::int64_t> runId;
    std::string status;  // that run's status ("" with no run)
};
// The standing for the laboratory's installation (reason kQcUnknown when the register cannot be read).
QcStanding qcStanding(reg::Register* r, const LabSettings& lab);
void setQcStanding(reg::MeasurementRecord& r, const QcStanding& qc);

// Why a record may not be appended as it is: a correction without its reason.
// Empty when it may.
std::string correctionProblem(const reg::MeasurementRecord& r);

// What a correction changed against the record it corrects, by name: the inputs the
// operator entered or chose ("operator", "mass", "sample spectrum", ...) and the
// figures as printed ("Cs-All", ..., "verdict"). Empty lists: nothing changed.
std::vector<std::string> changedInputs(const reg::MeasurementRecord& original, const reg::MeasurementRecord& now);
std::vector<std::string> changedFigures(const reg::MeasurementRecord& original, const reg::MeasurementRecord& now);

}  // namespace xmca
