#include "peak_fit.h"

#include <algorithm>
#include <cmath>
#include <unsupported/Eigen/NonLinearOptimization>
#include <vector>

namespace xmca {
namespace {

constexpr double kRatio = kLineE2 / kLineE1;  // second line position / first
constexpr int kParams = 5;                     // x0, w, h1, h2, background
constexpr int kMinHalfWindow = 4;

std::int64_t countAt(std::span<const std::int32_t> counts, std::int64_t valid, std::int64_t k) {
    return (k >= 0 && k < valid) ? counts[static_cast<std::size_t>(k)] : 0;
}

// Weighted residuals (model - y) / sqrt(max(y, 1)) and their Jacobian.
struct Residuals {
    using Scalar = double;
    std::vector<double> x, y, invSigma;
    mutable int evaluations = 0;

    int values() const { return static_cast<int>(x.size()); }
    int inputs() const { return kParams; }

    // p = (x0, w, u1, u2, background); a line's height is u squared, so neither
    // line can turn negative. Two lines closer than their width are nearly the
    // same function; heights of opposite sign would then cancel into any shape.
    int operator()(const Eigen::VectorXd& p, Eigen::VectorXd& f) const {
        ++evaluations;
        const double a = kGaussExponent, x0 = p[0], w2 = p[1] * p[1];
        const double h1 = p[2] * p[2], h2 = p[3] * p[3];
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double d1 = x[i] - x0, d2 = x[i] - kRatio * x0;
            const double m = h1 * std::exp(-a * d1 * d1 / w2) + h2 * std::exp(-a * d2 * d2 / w2) + p[4];
            f[static_cast<Eigen::Index>(i)] = (m - y[i]) * invSigma[i];
        }
        return 0;
    }

    int df(const Eigen::VectorXd& p, Eigen::MatrixXd& j) const {
        const double a = kGaussExponent, x0 = p[0], w = p[1], w2 = w * w, w3 = w2 * w;
        const double h1 = p[2] * p[2], h2 = p[3] * p[3];
        for (std::size_t i = 0; i < x.size(); ++i) {
            const auto r = static_cast<Eigen::Index>(i);
            const double d1 = x[i] - x0, d2 = x[i] - kRatio * x0;
            const double g1 = std::exp(-a * d1 * d1 / w2), g2 = std::exp(-a * d2 * d2 / w2);
            const double s = invSigma[i];
            j(r, 0) = s * (h1 * g1 * 2.0 * a * d1 / w2 + h2 * g2 * 2.0 * a * d2 * kRatio / w2);
            j(r, 1) = s * (h1 * g1 * 2.0 * a * d1 * d1 / w3 + h2 * g2 * 2.0 * a * d2 * d2 / w3);
            j(r, 2) = s * 2.0 * p[2] * g1;
            j(r, 3) = s * 2.0 * p[3] * g2;
            j(r, 4) = s;
        }
        return 0;
    }
};

FitResult failed(const char* why) {
    FitResult r;
    r.failure = why;
    return r;
}

}  // namespace

double FitResult::at(double x) const {
    const double a = kGaussExponent, w2 = fwhm * fwhm;
    const double d1 = x - position, d2 = x - kRatio * position;
    return height1 * std::exp(-a * d1 * d1 / w2) + height2 * std::exp(-a * d2 * d2 / w2) + background;
}

bool fitStartValues(const PeakWidth& peak, std::span<const std::int32_t> counts, int channels, FitStart& out) {
    if (!peak.found) return false;
    FitStart s;
    s.position = peak.centroid;
    s.widthCh = peak.crossingDistance();
    if (!(s.position > 0.0f) || !(s.widthCh > 0.0f) || !std::isfinite(s.widthCh)) return false;
    // Wider than the spectrum is no peak (and its window would not fit an int).
    if (s.widthCh > static_cast<float>(std::max(channels, 1))) return false;
    s.scale = static_cast<float>(kLineE1) / s.position;
    s.widthEv = s.widthCh * s.scale;
    s.secondLine = static_cast<float>(kLineE2) / s.scale;

    s.halfWindow = static_cast<int>(1.5f * s.widthCh);
    const std::int64_t centre = static_cast<std::int64_t>(s.position);
    s.first = static_cast<int>(centre - s.halfWindow);
    s.last = static_cast<int>(centre + s.halfWindow - 1);
    const std::int64_t valid = std::min<std::int64_t>(std::max(0, channels), static_cast<std::int64_t>(counts.size()));
    for (std::int64_t c = std::max<std::int64_t>(s.first, 0); c <= std::min<std::int64_t>(s.last, valid - 1); ++c)
        s.area += countAt(counts, valid, c);
    const float area1 = static_cast<float>(s.area) * 2.0f / 3.0f;
    const float area2 = static_cast<float>(s.area) / 3.0f;
    s.height1 = area1 * kAreaToHeight / s.widthCh;
    s.height2 = area2 * kAreaToHeight / s.widthCh;
    out = s;
    return true;
}

FitResult refineFit(std::span<const std::int32_t> counts, int channels, const FitStart& start) {
    const std::int64_t valid = std::min<std::int64_t>(std::max(0, channels), static_cast<std::int64_t>(counts.size()));
    Residuals res;
    // The start window, widened below to hold the second line as well and to at
    // least 4 channels either side; only channels of the spectrum are
    // measurements, so it is cut to them.
    const std::int64_t k = std::max(start.halfWindow, kMinHalfWindow);
    const std::int64_t first = static_cast<std::int64_t>(start.secondLine) - k;
    const std::int64_t last = static_cast<std::int64_t>(start.position) + k - 1;
    const std::int64_t a = std::max<std::int64_t>(first, 0);
    const std::int64_t b = std::min<std::int64_t>(last, valid - 1);
    for (std::int64_t c = a; c <= b; ++c) {
        const double y = static_cast<double>(countAt(counts, valid, c));
        res.x.push_back(static_cast<double>(c));
        res.y.push_back(y);
        res.invSigma.push_back(1.0 / std::sqrt(std::max(y, 1.0)));
    }
    const int n = static_cast<int>(res.x.size());
    if (n <= kParams) return failed("too few channels in the fit window");

    // The background starts at the lower of the mean counts of the three channels
    // at either end of the window (0 when that is negative); the lines at the
    // start values.
    const int m = std::min(3, n / 2);
    double lowEnd = 0.0, highEnd = 0.0;
    for (int i = 0; i < m; ++i) {
        lowEnd += res.y[static_cast<std::size_t>(i)] / m;
        highEnd += res.y[static_cast<std::size_t>(n - 1 - i)] / m;
    }
    Eigen::VectorXd p(kParams);
    p << start.position, start.widthCh, std::sqrt(std::max(start.height1, 0.0f)),
        std::sqrt(std::max(start.height2, 0.0f)), std::max(0.0, std::min(lowEnd, highEnd));
    Eigen::LevenbergMarquardt<Residuals> lm(res);
    lm.parameters.maxfev = 2000;
    const auto status = lm.minimize(p);

    using namespace Eigen::LevenbergMarquardtSpace;
    if (status == ImproperInputParameters || status == TooManyFunctionEvaluation || status == UserAsked)
        return failed("the minimiser did not converge");

    FitResult r;
    r.position = p[0];
    r.fwhm = std::abs(p[1]);  // the model holds w squared only
    r.height1 = p[2] * p[2];
    r.height2 = p[3] * p[3];
    r.background = p[4];
    r.points = n;
    r.first = static_cast<int>(a);
    r.last = static_cast<int>(b);
    r.evaluations = res.evaluations;
    if (!p.allFinite() || !(r.fwhm > 0.0) || !(r.position > 0.0))
        return failed("the fit gave no finite peak");
    // A line that wandered out of the window fitted something else.
    if (r.position < static_cast<double>(a) || r.position > static_cast<double>(b))
        return failed("the fitted position left the fit window");
    Eigen::VectorXd f(n);
    res(p, f);
    r.chi2PerDof = f.squaredNorm() / static_cast<double>(n - kParams);
    r.ok = std::isfinite(r.chi2PerDof);
    if (!r.ok) r.failure = "the fit gave no finite chi-square";
    return r;
}

PeakFitOutcome fitPeakAtCursor(std::span<const std::int32_t> counts, int channels, int cursor, int lo, int hi) {
    PeakFitOutcome o;
    o.peak = peakWidthAtCursor(counts, channels, cursor, lo, hi);
    if (!o.peak.found) return o;
    if (!fitStartValues(o.peak, counts, channels, o.start)) {
        o.status = PeakFitOutcome::Status::NoWidth;
        return o;
    }
    o.status = PeakFitOutcome::Status::Started;
    o.fit = refineFit(counts, channels, o.start);
    return o;
}

}  // namespace xmca
