#include "simulated_physics.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace xmca::sim {
namespace {

constexpr double kElectronKeV = 510.999;
constexpr double kGain2048 = 799.0 / 790.0;       // keV per channel at 2048 channels
constexpr double kOffset = 662.0 - 660.0 * kGain2048;
constexpr double kGridStep = 0.5;                 // keV, fine grid of the continua
constexpr double kGridTop = 2800.0;
constexpr double kSourceStep = 2.0;               // keV, source bins of the continua

double phi(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

// Full-energy detection efficiency relative to 662 keV: a crystal in a close
// geometry loses efficiency roughly as E^-1.1 above a few hundred keV (this also
// makes the 1461 keV line come out at the fixed K-40 factor).
constexpr double kEfficiencyExponent = 1.1;
double relativeEfficiency(double keV) { return std::pow(661.657 / keV, kEfficiencyExponent); }

// Peak-to-total ratio of the crystal: falls with energy.
double peakToTotal(double keV) { return std::min(0.9, 0.35 * std::pow(662.0 / keV, 0.6)); }

// Sample lines: emission probability times the relative efficiency at the line.
std::vector<Line> sampleLines(std::vector<Line> lines) {
    for (Line& l : lines) l.area *= relativeEfficiency(l.keV);
    return lines;
}

std::vector<Line> linesOf(Group g, bool k40Continuum) {
    switch (g) {
        case Cs137: return sampleLines({{661.657, 0.851, true}});
        case Cs134Low: return sampleLines({{563.25, 0.083, true}, {569.33, 0.154, true}, {604.72, 0.976, true}});
        case Cs134Mid: return sampleLines({{795.86, 0.855, true}, {801.95, 0.087, true}});
        // The 1365 keV line and the 605+796 keV coincidence sum peak.
        case Cs134Sum: return sampleLines({{1365.19, 0.030, true}, {1400.58, 0.050, true}});
        case K40Sample: return sampleLines({{1460.82, 0.107, k40Continuum}});
        case Background:
            return {
                {74.97, 0.25, false},  {84.9, 0.07, false},    // lead X-rays from the shield
                {295.2, 0.02, true},   {351.9, 0.04, true},    // Pb-214
                {583.2, 0.01, true},   {2614.5, 0.015, true},  // Tl-208
                {609.3, 0.05, true},   {1120.3, 0.015, true},  {1764.5, 0.016, true},  // Bi-214
                {911.2, 0.02, true},                           // Ac-228
                {1460.82, 0.12, true},                         // K-40 of the surroundings
            };
        default: return {};
    }
}

// Klein-Nishina energy-transfer shape at electron energy t for a gamma of e0.
double kleinNishina(double t, double e0) {
    const double a = e0 / kElectronKeV;
    const double s = t / e0;
    if (s >= 1.0) return 0.0;
    return 2.0 + s * s / (a * a * (1 - s) * (1 - s)) + s / (1 - s) * (s - 2.0 / a);
}

}  // namespace

double energyOfChannel(double channel, int channels) { return kGain2048 * 2048.0 / channels * channel + kOffset; }

double channelOfEnergy(double keV, int channels) { return (keV - kOffset) / (kGain2048 * 2048.0 / channels); }

double sigmaAt(double keV, double fwhm662) {
    const double e = std::max(keV, 1.0);
    return fwhm662 * std::sqrt(662.0 * e) / 2.354820045;
}

Shapes::Shapes(double fwhm662, bool sampleK40Continuum) : fwhm_(fwhm662) {
    const int cells = static_cast<int>(kGridTop / kGridStep);
    for (int g = 0; g < kGroupCount; ++g) {
        GroupData& d = data_[g];
        std::vector<double> source(static_cast<std::size_t>(kGridTop / kSourceStep), 0.0);
        for (const Line& line : linesOf(static_cast<Group>(g), sampleK40Continuum)) {
            d.peaks.push_back({line.keV, line.area, false});
            if (!line.continuum) continue;
            const double a = line.keV / kElectronKeV;
            const double edge = line.keV * 2 * a / (1 + 2 * a);
            const double contArea = line.area * (1.0 / peakToTotal(line.keV) - 1.0);
            // Single-scatter continuum up to the Compton edge, a little multiple
            // scattering between edge and peak, and the backscatter bump.
            std::vector<double> shape(source.size(), 0.0);
            double sum = 0;
            for (std::size_t j = 0; j < shape.size(); ++j) {
                const double t = (static_cast<double>(j) + 0.5) * kSourceStep;
                if (t < edge) shape[j] = kleinNishina(t, line.keV);
                sum += shape[j];
            }
            for (std::size_t j = 0; j < shape.size() && sum > 0; ++j) source[j] += shape[j] / sum * contArea * 0.92;
            const double valley = contArea * 0.08;
            const double width = line.keV - edge;
            for (std::size_t j = 0; j < source.size(); ++j) {
                const double t = (static_cast<double>(j) + 0.5) * kSourceStep;
                if (t >= edge && t < line.keV) source[j] += valley * kSourceStep / width;
            }
            d.peaks.push_back({line.keV / (1 + 2 * a), line.area * 0.05, false});
        }
        if (g == Background) {
            // Scattered and cosmic continuum, falling with energy, about 2.5 cps.
            double sum = 0;
            std::vector<double> shape(source.size(), 0.0);
            for (std::size_t j = 0; j < shape.size(); ++j) {
                const double t = (static_cast<double>(j) + 0.5) * kSourceStep;
                shape[j] = t < 20 ? 0.0 : std::exp(-t / 250.0) + 0.01;
                sum += shape[j];
            }
            for (std::size_t j = 0; j < shape.size(); ++j) source[j] += shape[j] / sum * 2.5;
        }
        // Broaden the continuum with the resolution onto the fine grid.
        std::vector<double> fine(static_cast<std::size_t>(cells), 0.0);
        for (std::size_t j = 0; j < source.size(); ++j) {
            if (source[j] <= 0) continue;
            const double e = (static_cast<double>(j) + 0.5) * kSourceStep;
            const double sg = sigmaAt(e, fwhm662);
            const int m0 = std::max(0, static_cast<int>((e - 6 * sg) / kGridStep));
            const int m1 = std::min(cells, static_cast<int>((e + 6 * sg) / kGridStep) + 1);
            double prev = phi((m0 * kGridStep - e) / sg);
            for (int m = m0; m < m1; ++m) {
                const double next = phi(((m + 1) * kGridStep - e) / sg);
                fine[static_cast<std::size_t>(m)] += source[j] * (next - prev);
                prev = next;
            }
        }
        d.cumulative.assign(static_cast<std::size_t>(cells) + 1, 0.0);
        for (int m = 0; m < cells; ++m) d.cumulative[m + 1] = d.cumulative[m] + fine[static_cast<std::size_t>(m)];
    }
}

std::vector<double> Shapes::compute(Group g, int channels) const {
    const GroupData& d = data_[g];
    std::vector<double> out(static_cast<std::size_t>(channels), 0.0);
    auto cumAt = [&](double e) {
        if (e <= 0) return 0.0;
        const double x = e / kGridStep;
        const auto i = static_cast<std::size_t>(x);
        if (i + 1 >= d.cumulative.size()) return d.cumulative.back();
        const double f = x - static_cast<double>(i);
        return d.cumulative[i] * (1 - f) + d.cumulative[i + 1] * f;
    };
    for (int k = 0; k < channels; ++k) {
        const double lo = energyOfChannel(k - 0.5, channels);
        const double hi = energyOfChannel(k + 0.5, channels);
        out[static_cast<std::size_t>(k)] = std::max(0.0, cumAt(hi) - cumAt(lo));
    }
    for (const Line& p : d.peaks) {
        const double sg = sigmaAt(p.keV, fwhm_);
        const int k0 = std::max(0, static_cast<int>(channelOfEnergy(p.keV - 7 * sg, channels)));
        const int k1 = std::min(channels - 1, static_cast<int>(channelOfEnergy(p.keV + 7 * sg, channels)) + 1);
        for (int k = k0; k <= k1; ++k) {
            const double lo = energyOfChannel(k - 0.5, channels);
            const double hi = energyOfChannel(k + 0.5, channels);
            out[static_cast<std::size_t>(k)] += p.area * (phi((hi - p.keV) / sg) - phi((lo - p.keV) / sg));
        }
    }
    // Discriminator threshold near 20 keV.
    for (int k = 0; k < channels; ++k) {
        const double e = energyOfChannel(k, channels);
        out[static_cast<std::size_t>(k)] *= 1.0 / (1.0 + std::exp(-(e - 20.0) / 3.0));
    }
    return out;
}

const std::vector<double>& Shapes::group(Group g, int channels) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cache_.find(channels);
    if (it == cache_.end()) {
        std::array<std::vector<double>, kGroupCount> all;
        for (int i = 0; i < kGroupCount; ++i) all[i] = compute(static_cast<Group>(i), channels);
        it = cache_.emplace(channels, std::move(all)).first;
    }
    return it->second[g];
}

std::shared_ptr<const Shapes> Shapes::get(double fwhm662, bool sampleK40Continuum) {
    static std::mutex m;
    static std::map<std::tuple<double, bool>, std::shared_ptr<const Shapes>> shared;
    std::lock_guard<std::mutex> lock(m);
    auto& slot = shared[{fwhm662, sampleK40Continuum}];
    if (!slot) slot = std::make_shared<Shapes>(fwhm662, sampleK40Continuum);
    return slot;
}

}  // namespace xmca::sim
