// Calibrating a method from spectrum files, and the methods in the register: each
// calibration a new version of its name, the method in force for a screening (the
// one named, else the laboratory's default, else "factory").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/method.h"
#include "model/lab_settings.h"
#include "register/register.h"

namespace xmca {

struct StandardFile {
    nuclide::Nuclide nuclide = nuclide::Nuclide::Cs137;
    std::string path;
    double certifiedBq = 0;
    std::string referenceDate;  // "YYYY-MM-DD"; not needed for K-40
    double relU = 0;            // relative standard uncertainty (0.03 = 3 %)
};

struct CalibrationRequest {
    std::string name;
    std::string geometry;
    double nominalMassKg = 0;
    std::optional<double> massLoKg, massHiKg;  // unset: nominal +/- 15 %
    std::string backgroundPath;
    std::vector<StandardFile> standards;
};

struct FileCalibration {
    std::optional<method::Method> method;  // version 0 until the register gives it one
    std::string error;                     // "Error ! ..." when none
};

// Reads the background and the standards as the window reads spectra and forms the
// method. Refused: a standard that is the background file (by path or content), a
// file that is no spectrum, a channel count other than the background's, and what
// the calibration itself refuses.
FileCalibration calibrateFromFiles(const CalibrationRequest& request);

// Appends the method as the next version of its name; sets its version.
bool recordMethod(reg::Register& r, method::Method& m, const std::string& installation, std::string& error);
// Every method version in the register, newest first (unreadable ones are skipped).
bool listMethods(reg::Register& r, std::vector<method::Method>& out, std::string& error);

// One version of a method (the factory method for "factory"); nullopt and error when absent.
std::optional<method::Method> methodVersion(reg::Register* r, const LabSettings& lab, const std::string& name,
                                            int version, std::string& error);
// The same from method records already read (any names).
std::optional<method::Method> methodVersion(const std::vector<reg::MethodRecord>& records, const LabSettings& lab,
                                            const std::string& name, int version, std::string& error);

// The method in force: `name` when given, else the laboratory's default, else the
// factory method (with the laboratory's nominal mass). A name other than "factory"
// is looked up in the register (its newest version); nullopt and error when absent.
std::optional<method::Method> methodInForce(reg::Register* r, const LabSettings& lab, const std::string& name,
                                            std::string& error);

}  // namespace xmca
