// The register record of a screening: the operator's sample data beside the result
// record's figures, limits, method and verdict, and back out again for reports.
#pragma once

#include <optional>
#include <string>

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

// "Bq Calic" or "Re Calic with baseline".
std::string methodText(const ActivityResult& res);

// The verdict as the register, mcatool and the printed page say it.
std::string recordVerdict(const ActivityResult& res);

// The record to append (id, uid and created time are left to the register).
reg::MeasurementRecord measurementRecord(const ScreeningOutcome& outcome, const std::string& samplePath,
                                         const std::string& backgroundPath, const SampleData& sample,
                                         const ScreeningOptions& options, const std::string& installation,
                                         const std::string& programVersion);

// The program version recorded with every result.
const char* programVersion();

}  // namespace xmca
