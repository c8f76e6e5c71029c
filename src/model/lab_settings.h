// The laboratory's screening settings, shared by the window and mcatool: one
// UTF-8 "key=value" file, $XDG_CONFIG_HOME/xmca/laboratory.conf (else ~/.config).
#pragma once

#include <optional>
#include <string>

namespace xmca {

struct LabSettings {
    std::string laboratoryName;
    std::string laboratoryAddress;
    std::string installation;               // detector / installation name; empty: the host name
    std::optional<double> nominalMassKg;    // unset: no mass correction
    std::string dataFolder;                 // where spectra acquired for screening are saved
    int backgroundMaxAgeDays = 7;           // older backgrounds are warned about
    std::string registerLocation;           // empty: the default register
    std::string operatorName;               // the last operator, offered again
    std::string backgroundFile;             // the background last chosen or counted, offered again
    int qcBaselineRuns = 20;                // check-source runs that form a QC baseline (2 .. 100)
    bool qcRequireDaily = false;            // withhold verdicts until a QC run passed today
    double qcMinNetCounts = 10000;          // fewest net counts of a check-source run
    std::string qcNuclide = "Cs-137";       // the check source's nuclide
    double qcHalfLifeYears = 30.08;         // and its half-life, for the decay correction
    std::string qcDetector;                 // the detector the QC record is kept under (bound once)
    std::string defaultMethod;              // the calibrated method in force; empty: "factory"
    bool decayToSamplingDate = false;       // figures decay-corrected back to the sampling date
};

std::string defaultLabSettingsPath();

// Missing file: defaults. Unknown keys and unreadable values are ignored.
LabSettings loadLabSettings(const std::string& path);
// False when the file could not be written.
bool saveLabSettings(const LabSettings& s, const std::string& path);

// The installation name to record: the setting, else the host name.
std::string installationName(const LabSettings& s);

// The data folder to use: the setting, else $XDG_DATA_HOME/xmca/spectra (or ~/.local/share).
std::string dataFolder(const LabSettings& s);

}  // namespace xmca
