// The detector model behind the simulated analyser: the response of a CsI(Tl)-like
// scintillator to each group of gamma lines (photopeaks with an energy-dependent
// resolution, Compton continua, backscatter), as expected counts per channel.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace xmca::sim {

// Line groups; the sample groups are per unit efficiency and unit activity (Bq/kg),
// each line weighted by its emission probability and the crystal's relative
// efficiency at its energy; the background group is in counts per second.
enum Group { Cs137, Cs134Low, Cs134Mid, Cs134Sum, K40Sample, Background, kGroupCount };

struct Line {
    double keV;
    double area;      // relative peak area (emission probability, or cps for background)
    bool continuum;   // brings a Compton continuum and backscatter
};

// Energy of a channel centre: 662 keV near channel 660 and 1461 keV near 1450 at
// 2048 channels, proportionally finer or coarser at other channel counts.
double energyOfChannel(double channel, int channels);
double channelOfEnergy(double keV, int channels);
double sigmaAt(double keV, double fwhm662);

class Shapes {
public:
    Shapes(double fwhm662, bool sampleK40Continuum);
    // Expected counts per second per channel of one group.
    const std::vector<double>& group(Group g, int channels) const;
    static std::shared_ptr<const Shapes> get(double fwhm662, bool sampleK40Continuum);

private:
    struct GroupData {
        std::vector<Line> peaks;        // Gaussian photopeaks (and backscatter bumps)
        std::vector<double> cumulative; // cumulative broadened continuum on a fine grid
    };
    std::vector<double> compute(Group g, int channels) const;

    double fwhm_;
    std::array<GroupData, kGroupCount> data_;
    mutable std::mutex mutex_;
    mutable std::map<int, std::array<std::vector<double>, kGroupCount>> cache_;
};

}  // namespace xmca::sim
