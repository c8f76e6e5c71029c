#include "peak_search.h"

#include <algorithm>
#include <cmath>

namespace xmca::peaks {

namespace {

// keV per channel and the energy of channel 0 at 2048 channels.
constexpr double kGain2048 = 799.0 / 790.0;
constexpr double kOffset2048 = 662.0 - 660.0 * kGain2048;

// Region and side bands in FWHM.
constexpr double kRegion = 0.6;
constexpr double kBandInner = 1.0;
constexpr double kBandOuter = 1.5;

struct Widths {
    int w, g0, g1;
};

Widths widthsFor(double fwhmChannels) {
    Widths x;
    x.w = std::max(1, static_cast<int>(std::lround(kRegion * fwhmChannels)));
    x.g0 = std::max(x.w + 1, static_cast<int>(std::lround(kBandInner * fwhmChannels)));
    x.g1 = std::max(x.g0 + 1, static_cast<int>(std::lround(kBandOuter * fwhmChannels)));
    return x;
}

double phi(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

}  // namespace

NominalScale NominalScale::forChannels(int n) {
    NominalScale s;
    s.keVPerChannel = kGain2048 * 2048.0 / std::max(n, 1);
    s.offsetKeV = kOffset2048;
    return s;
}

NominalScale NominalScale::compressed(int n) {
    const NominalScale raw = forChannels(n);
    NominalScale s;
    s.keVPerChannel = 2.0 * raw.keVPerChannel;
    s.offsetKeV = raw.offsetKeV + 0.5 * raw.keVPerChannel;
    return s;
}

double fwhmKeV(double keV, double fwhm662) { return fwhm662 * std::sqrt(662.0 * std::max(keV, 1.0)); }

double areaFraction() {
    constexpr double k = 2.354820045;  // FWHM in sigma
    const double inRegion = phi(kRegion * k) - phi(-kRegion * k);
    const double band = phi(kBandOuter * k) - phi(kBandInner * k);
    // Each band's mean density times the region's width, both sides averaged.
    const double continuum = band / (kBandOuter - kBandInner) * (2.0 * kRegion);
    return inRegion - continuum;
}

std::vector<Peak> findPeaks(std::span<const double> counts, std::span<const double> variance,
                            const NominalScale& scale, const SearchOptions& options) {
    const int n = static_cast<int>(std::min(counts.size(), variance.size()));
    std::vector<Peak> found;
    if (n < 8 || !(scale.keVPerChannel > 0)) return found;
    // Prefix sums of counts and variances.
    std::vector<double> cs(static_cast<std::size_t>(n) + 1, 0.0), vs(static_cast<std::size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i) {
        const double c = std::isfinite(counts[static_cast<std::size_t>(i)]) ? counts[static_cast<std::size_t>(i)] : 0.0;
        const double v = variance[static_cast<std::size_t>(i)];
        cs[static_cast<std::size_t>(i) + 1] = cs[static_cast<std::size_t>(i)] + c;
        vs[static_cast<std::size_t>(i) + 1] = vs[static_cast<std::size_t>(i)] + (std::isfinite(v) && v > 0 ? v : 0.0);
    }
    auto sum = [](const std::vector<double>& p, int a, int b) {
        return p[static_cast<std::size_t>(b) + 1] - p[static_cast<std::size_t>(a)];
    };

    struct Candidate {
        int c;
        Widths x;
        Peak p;
    };
    std::vector<Candidate> cands;
    std::vector<double> z(static_cast<std::size_t>(n), 0.0);
    std::vector<Candidate> at(static_cast<std::size_t>(n));
    const int first = std::max(0, static_cast<int>(std::floor(scale.channel(options.minKeV))));
    const int last = std::min(n - 1, static_cast<int>(std::ceil(scale.channel(options.maxKeV))));
    for (int c = first; c <= last; ++c) {
        const double e = scale.keV(c);
        if (!(e > 0)) continue;
        const Widths x = widthsFor(fwhmKeV(e, options.fwhm662) / scale.keVPerChannel);
        if (c - x.g1 < 0 || c + x.g1 >= n) continue;
        const int band = x.g1 - x.g0 + 1;
        const double left = sum(cs, c - x.g1, c - x.g0) / band;
        const double right = sum(cs, c + x.g0, c + x.g1) / band;
        const double width = 2.0 * x.w + 1.0;
        const double area = sum(cs, c - x.w, c + x.w) - width * 0.5 * (left + right);
        const double bandFactor = width * 0.5 / band;
        const double var = sum(vs, c - x.w, c + x.w) +
                           bandFactor * bandFactor * (sum(vs, c - x.g1, c - x.g0) + sum(vs, c + x.g0, c + x.g1));
        // Fewer than one count of variance is no counting statistic to stand on.
        if (!(var >= 1.0) || !(area > 0)) continue;
        Peak p;
        p.area = area;
        p.sigma = std::sqrt(var);
        p.significance = area / p.sigma;
        z[static_cast<std::size_t>(c)] = p.significance;
        at[static_cast<std::size_t>(c)] = {c, x, p};
    }
    for (int c = first; c <= last; ++c) {
        const double zc = z[static_cast<std::size_t>(c)];
        if (!(zc >= options.significance)) continue;
        // A local maximum of the significance over the region's half width.
        const int r = at[static_cast<std::size_t>(c)].x.w;
        bool top = true;
        for (int d = std::max(c - r, 0); d <= std::min(c + r, n - 1) && top; ++d)
            if (z[static_cast<std::size_t>(d)] > zc || (z[static_cast<std::size_t>(d)] == zc && d < c)) top = false;
        if (top) cands.push_back(at[static_cast<std::size_t>(c)]);
    }
    std::sort(cands.begin(), cands.end(),
              [](const Candidate& a, const Candidate& b) { return a.p.significance > b.p.significance; });
    for (Candidate& k : cands) {
        // Centroid of the excess over the continuum line in the region, the region
        // centred again on it until it stays.
        const Widths& x = k.x;
        const int band = x.g1 - x.g0 + 1;
        const double span = (x.g0 + x.g1) * 1.0;  // distance between the band centres
        int c = k.c;
        double centroid = c;
        for (int pass = 0; pass < 4; ++pass) {
            const double left = sum(cs, c - x.g1, c - x.g0) / band;
            const double right = sum(cs, c + x.g0, c + x.g1) / band;
            double s = 0, m = 0;
            for (int i = c - x.w; i <= c + x.w; ++i) {
                const double cont = left + (right - left) * ((i - c) + 0.5 * span) / span;
                const double e = std::max(counts[static_cast<std::size_t>(i)] - cont, 0.0);
                s += e;
                m += e * i;
            }
            centroid = s > 0 ? m / s : c;
            const int next = static_cast<int>(std::lround(centroid));
            if (next == c || next - x.g1 < 0 || next + x.g1 >= n) break;
            c = next;
        }
        k.p.channel = centroid;
        k.p.keV = scale.keV(k.p.channel);
        // Centroid spread of a line of sigma s standing z above its continuum.
        k.p.centroidSigmaKeV = 1.5 * fwhmKeV(k.p.keV, options.fwhm662) / 2.354820045 / k.p.significance;
        const double fwhmCh = fwhmKeV(k.p.keV, options.fwhm662) / scale.keVPerChannel;
        const bool apart = std::none_of(found.begin(), found.end(), [&](const Peak& f) {
            return std::fabs(f.channel - k.p.channel) < fwhmCh;
        });
        if (apart) found.push_back(k.p);
    }
    return found;
}

}  // namespace xmca::peaks
