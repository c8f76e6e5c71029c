// Significant peaks of a spectrum at the detector's resolution: the net area of
// a region +/- 0.6 FWHM around each channel over a linear continuum taken from two
// side bands (1.0 to 1.5 FWHM out), against its counting standard deviation.
// Double precision; the spectrum may be a net spectrum (negative channels allowed)
// with its own per-channel variance.
#pragma once

#include <span>
#include <vector>

namespace xmca::peaks {

// Relative FWHM at 662 keV of the scintillator; the FWHM grows as sqrt(E).
inline constexpr double kFwhm662 = 0.075;
// Net area over the continuum, in standard deviations, that makes a peak.
inline constexpr double kSignificance = 5.0;

// The energy scale the fixed analysis windows were set for: 662 keV near channel
// 660 and 1461 keV near 1450 at 2048 channels, finer or coarser with the count.
struct NominalScale {
    double keVPerChannel = 0;
    double offsetKeV = 0;
    double keV(double channel) const { return keVPerChannel * channel + offsetKeV; }
    double channel(double keV) const { return (keV - offsetKeV) / keVPerChannel; }
    // A spectrum of n channels as acquired.
    static NominalScale forChannels(int n);
    // A spectrum of n channels compressed 2:1 (channel j holds 2j and 2j + 1).
    static NominalScale compressed(int n);
};

// FWHM in keV at energy e.
double fwhmKeV(double keV, double fwhm662 = kFwhm662);

struct Peak {
    double channel = 0;       // centroid of the excess over the continuum
    double keV = 0;           // the centroid on the nominal scale
    double area = 0;          // net counts in the +/- 0.6 FWHM region over the continuum
    double sigma = 0;         // its counting standard deviation
    double significance = 0;  // area / sigma
    double centroidSigmaKeV = 0;  // the centroid's counting spread (about)
};

struct SearchOptions {
    double fwhm662 = kFwhm662;
    double significance = kSignificance;
    double minKeV = 0;      // centres looked at (their side bands must fit in the spectrum)
    double maxKeV = 1e9;
};

// The significant peaks, most significant first; two peaks stand at least one
// FWHM apart. variance[i] is the counting variance of counts[i] (negative reads 0).
std::vector<Peak> findPeaks(std::span<const double> counts, std::span<const double> variance,
                            const NominalScale& scale, const SearchOptions& options = {});

// Fraction of a Gaussian line's area that the search's area holds (the region less
// the tails its side bands take for continuum).
double areaFraction();

}  // namespace xmca::peaks
