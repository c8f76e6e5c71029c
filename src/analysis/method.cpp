#include "analysis/method.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/char_limits.h"

namespace xmca::method {

namespace {

constexpr double kFactorCsAll = 106.73;
constexpr double kFactorCs134 = 160.12;
constexpr double kFactorK40 = 1900.0;

// Where each nuclide's own peak stands, in compressed channels, and the window it is judged in.
struct OwnPeak {
    int window;
    double channel;
};
constexpr OwnPeak kOwnPeak[3] = {{kCsAllWindow, 330.0}, {kCs134Window, 396.0}, {kK40Window, 725.0}};
constexpr double kPeakTolerance = 12.0;  // compressed channels (about 24 keV)

// Row r as a combination of the nuclides (Cs-All = Cs-134 + Cs-137).
constexpr double kRowCoefficients[kRowCount][3] = {{1, 1, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}};

Eigen::Matrix3d toEigen(const Matrix3& m) {
    Eigen::Matrix3d e;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) e(i, j) = m[i][j];
    return e;
}

// The fixed factors' columns (cps per Bq/kg) for one nuclide.
std::array<double, 3> fixedColumn(Nuclide n) {
    switch (n) {
        case Nuclide::Cs137: return {1.0 / kFactorCsAll, 0.0, 0.0};
        case Nuclide::Cs134: return {1.0 / kFactorCsAll, 1.0 / kFactorCs134, 1.0 / kFactorK40};
        default: return {0.0, 0.0, 1.0 / kFactorK40};
    }
}

struct Rates {
    Eigen::Vector3d net, variance, background;
};

std::optional<Rates> netRates(const CountedSpectrum& s, const CountedSpectrum& b) {
    if (!(s.timeS > 0) || !(b.timeS > 0) || !std::isfinite(s.timeS) || !std::isfinite(b.timeS)) return std::nullopt;
    Rates r;
    for (int w = 0; w < 3; ++w) {
        const double g = std::max(s.sums[w], 0.0), bg = std::max(b.sums[w], 0.0);
        r.net(w) = g / s.timeS - bg / b.timeS;
        r.variance(w) = g / (s.timeS * s.timeS) + bg / (b.timeS * b.timeS);
        r.background(w) = bg / b.timeS;
    }
    return r;
}

// The limits of one row from the solved activities (see evaluate).
Limits rowLimits(int row, const Response& resp, const Eigen::Matrix3d& R, const Eigen::Matrix3d& Rinv,
                 const Eigen::Vector3d& a, const Rates& rates, double ts, double tb, double m, double k,
                 const std::array<double, 3>& scale) {
    double c[3];
    for (int n = 0; n < 3; ++n) c[n] = kRowCoefficients[row][n] * scale[n];
    Eigen::RowVector3d cv(c[0], c[1], c[2]);
    const Eigen::RowVector3d g = cv * Rinv / m;  // d y / d r_w
    Limits l;
    l.value = cv.dot(a) / m;

    auto responseVar = [&](int n) {  // sum_w g_w^2 uc^2(R_wn)
        double v = 0;
        for (int w = 0; w < 3; ++w) v += g(w) * g(w) * resp.countingU[w][n] * resp.countingU[w][n];
        return v;
    };
    double var = 0;
    for (int w = 0; w < 3; ++w) var += g(w) * g(w) * rates.variance(w);
    for (int n = 0; n < 3; ++n) {
        const double own = c[n] * a(n) / m;
        var += a(n) * a(n) * responseVar(n) + own * own * resp.activityRelU[n] * resp.activityRelU[n];
    }
    l.u = std::sqrt(std::max(var, 0.0));

    // Under the hypothesis that the row's true value is y~, its nuclides hold y~ m
    // Bq shared as measured (all on the first of them when the share cannot be
    // told), the others stay as solved.
    double shareSum = 0;
    bool sharesOk = true;
    for (int n = 0; n < 3; ++n)
        if (c[n] != 0) {
            sharesOk = sharesOk && a(n) >= 0;
            shareSum += c[n] * a(n);
        }
    double rho[3] = {0, 0, 0};
    for (int n = 0; n < 3; ++n) {
        if (c[n] == 0) continue;
        if (sharesOk && shareSum > 0) rho[n] = c[n] * a(n) / shareSum;
    }
    if (!(sharesOk && shareSum > 0))
        for (int n = 0; n < 3; ++n)
            if (c[n] != 0) {
                rho[n] = 1;
                break;
            }

    double u0 = 0, q = 0, rel2 = 0;
    for (int w = 0; w < 3; ++w) {
        double others = rates.background(w), per = 0;
        for (int n = 0; n < 3; ++n) {
            if (c[n] == 0) others += R(w, n) * a(n);
            else per += R(w, n) * rho[n] * m / c[n];  // gross rate per unit y~
        }
        u0 += g(w) * g(w) * (std::max(others, 0.0) / ts + rates.background(w) / tb);
        q += g(w) * g(w) * per / ts;
    }
    for (int n = 0; n < 3; ++n) {
        if (c[n] == 0) u0 += a(n) * a(n) * responseVar(n);
        else
            rel2 += rho[n] * rho[n] *
                    (m * m / (c[n] * c[n]) * responseVar(n) + resp.activityRelU[n] * resp.activityRelU[n]);
    }
    l.relU = std::sqrt(rel2);
    const double ystar = k * std::sqrt(std::max(u0, 0.0));
    l.decisionThreshold = ystar;
    const double dd = 1.0 - k * k * rel2;
    if (dd > 0) l.detectionLimit = (2.0 * ystar + k * k * q) / dd;
    const double dl = 1.0 - 9.0 * rel2;
    if (dl > 0) l.lowerLimitOfMeasurement = (9.0 * q + std::sqrt(81.0 * q * q + 36.0 * dl * u0)) / (2.0 * dl);
    l.belowDecisionThreshold = l.value < ystar;
    return l;
}

}  // namespace

const char* windowName(int w) {
    switch (w) {
        case kCsAllWindow: return "Cs-All";
        case kCs134Window: return "Cs-134";
        case kK40Window: return "K-40";
    }
    return "";
}

double Response::u(int w, int n) const {
    const double c = countingU[w][n], a = value[w][n] * activityRelU[n];
    return std::sqrt(c * c + a * a);
}

bool Method::massAccepted(double massKg) const {
    if (!(massHiKg > 0)) return true;
    return massKg >= massLoKg && massKg <= massHiKg;
}

Method factoryMethod(double nominalMassKg) {
    Method m;
    m.name = kFactoryName;
    m.version = 1;
    m.geometry = "the fixed geometry of the conversion factors";
    m.nominalMassKg = nominalMassKg > 0 ? nominalMassKg : 0;
    const double perBq = nominalMassKg > 0 ? nominalMassKg : 1.0;
    for (int n = 0; n < 3; ++n) {
        const auto col = fixedColumn(static_cast<Nuclide>(n));
        for (int w = 0; w < 3; ++w) m.response.value[w][n] = col[w] / perBq;
    }
    return m;
}

std::array<double, 3> windowSums(std::span<const std::int32_t> counts, int channels) {
    const int n = std::clamp(channels, 0, static_cast<int>(std::min<std::size_t>(counts.size(), 1 << 20)));
    std::array<double, 3> out{};
    for (int w = 0; w < 3; ++w)
        for (int c = 2 * kWindowRanges[w].lo; c <= 2 * kWindowRanges[w].hi + 1 && c < n; ++c)
            out[w] += static_cast<double>(counts[static_cast<std::size_t>(c)]);
    return out;
}

bool hasPeakOf(Nuclide nuc, std::span<const std::int32_t> counts, std::span<const std::int32_t> background,
               int channels, double f) {
    const int n = std::clamp(channels, 0, static_cast<int>(std::min(counts.size(), background.size())));
    if (n < 2 || !(f > 0) || !std::isfinite(f)) return false;
    const OwnPeak own = kOwnPeak[static_cast<int>(nuc) % 3];
    const WindowRange win = kWindowRanges[own.window];
    // Net spectrum compressed 2:1, rounded to counts for the centroid search.
    std::vector<std::int32_t> net(static_cast<std::size_t>(n / 2), 0);
    double sum = 0, var = 0;
    for (int j = 0; j < n / 2; ++j) {
        const double g = counts[2 * j] + static_cast<double>(counts[2 * j + 1]);
        const double b = background[2 * j] + static_cast<double>(background[2 * j + 1]);
        const double v = g - f * b;
        net[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(std::clamp(std::round(v), -2e9, 2e9));
        if (j >= win.lo && j <= win.hi) {
            sum += v;
            var += std::max(g, 0.0) + f * f * std::max(b, 0.0);
        }
    }
    if (!(sum > 3.0 * std::sqrt(var)) || !(sum > 0)) return false;
    const auto centroid = limits::peakCentroid(net, static_cast<int>(net.size()), win.lo, win.hi);
    return centroid && std::fabs(*centroid - own.channel) <= kPeakTolerance;
}

std::string calibrationErrorText(CalibrationError e, const std::string& nuc) {
    switch (e) {
        case CalibrationError::None: return "";
        case CalibrationError::NoCs137Standard: return "a Cs-137 standard is needed";
        case CalibrationError::DuplicateStandard: return "two " + nuc + " standards given";
        case CalibrationError::ActivityNotPositive: return "the " + nuc + " standard's activity must be above 0 Bq";
        case CalibrationError::NoReferenceDate: return "the " + nuc + " standard needs its reference date";
        case CalibrationError::NoSpectrumDate: return "the " + nuc + " standard's spectrum has no start date";
        case CalibrationError::ReferenceAfterSpectrum:
            return "the " + nuc + " standard's reference date is after its spectrum was measured";
        case CalibrationError::NoSignificantPeak: return "the " + nuc + " standard holds no significant " + nuc + " peak";
        case CalibrationError::BadCountingTime: return "the " + nuc + " standard or the background has no counting time";
        case CalibrationError::SingularResponse: return "the standards' responses cannot be solved for three nuclides";
    }
    return "";
}

CalibrationOutcome calibrate(const CountedSpectrum& background, std::vector<StandardInput> standards) {
    CalibrationOutcome out;
    auto fail = [&](CalibrationError e, Nuclide n) {
        out.error = e;
        out.errorNuclide = nuclide::data(n).name;
        return out;
    };
    bool seen[3] = {false, false, false};
    for (const StandardInput& s : standards) {
        const int n = static_cast<int>(s.standard.nuclide);
        if (seen[n]) return fail(CalibrationError::DuplicateStandard, s.standard.nuclide);
        seen[n] = true;
    }
    if (!seen[Nuclide::Cs137]) return fail(CalibrationError::NoCs137Standard, Nuclide::Cs137);

    for (StandardInput& s : standards) {
        Standard& st = s.standard;
        const int n = static_cast<int>(st.nuclide);
        if (!(st.certifiedBq > 0) || !std::isfinite(st.certifiedBq))
            return fail(CalibrationError::ActivityNotPositive, st.nuclide);
        double decay = 1.0;
        if (nuclide::data(st.nuclide).halfLifeYears) {
            const auto ref = nuclide::dayNumber(st.referenceDate);
            if (!ref) return fail(CalibrationError::NoReferenceDate, st.nuclide);
            if (!s.measuredDay) return fail(CalibrationError::NoSpectrumDate, st.nuclide);
            // The reference date is a day: it may be the day the spectrum was started.
            if (static_cast<double>(*ref) >= std::floor(*s.measuredDay) + 1.0)
                return fail(CalibrationError::ReferenceAfterSpectrum, st.nuclide);
            decay = nuclide::decayFactor(st.nuclide, std::max(*s.measuredDay - static_cast<double>(*ref), 0.0));
        }
        st.decayFactor = decay;
        const auto rates = netRates(s.spectrum, background);
        if (!rates) return fail(CalibrationError::BadCountingTime, st.nuclide);
        const double f = s.spectrum.timeS / background.timeS;
        if (!hasPeakOf(st.nuclide, s.counts, s.backgroundCounts, s.channels, f))
            return fail(CalibrationError::NoSignificantPeak, st.nuclide);
        const double activity = st.certifiedBq * decay;
        for (int w = 0; w < 3; ++w) {
            out.response.value[w][n] = rates->net(w) / activity;
            out.response.countingU[w][n] = std::sqrt(rates->variance(w)) / activity;
        }
        out.response.activityRelU[n] = std::max(st.relU, 0.0);
        out.standards.push_back(st);
    }
    // A nuclide without its standard: the fixed factors' column scaled by the
    // measured Cs-137 efficiency (its Cs-All response against the fixed one).
    const double scale = out.response.value[kCsAllWindow][Nuclide::Cs137] * kFactorCsAll;
    const double scaleRelU = out.response.value[kCsAllWindow][Nuclide::Cs137] > 0
                                 ? out.response.countingU[kCsAllWindow][Nuclide::Cs137] /
                                       out.response.value[kCsAllWindow][Nuclide::Cs137]
                                 : 0.0;
    for (Nuclide n : {Nuclide::Cs134, Nuclide::K40}) {
        if (seen[n]) continue;
        const auto col = fixedColumn(n);
        for (int w = 0; w < 3; ++w) {
            out.response.value[w][n] = col[w] * scale;
            out.response.countingU[w][n] = col[w] * scale * scaleRelU;
        }
        out.response.activityRelU[n] = out.response.activityRelU[Nuclide::Cs137];
        (n == Nuclide::Cs134 ? out.cs134Assumed : out.k40Assumed) = true;
    }
    const Eigen::FullPivLU<Eigen::Matrix3d> lu(toEigen(out.response.value));
    if (!lu.isInvertible()) return fail(CalibrationError::SingularResponse, Nuclide::Cs137);
    return out;
}

Evaluation evaluate(const Response& resp, const CountedSpectrum& sample, const CountedSpectrum& background,
                    double massKg, double k, const std::array<double, 3>& scale) {
    Evaluation ev;
    const auto rates = netRates(sample, background);
    if (!rates || !(massKg > 0) || !std::isfinite(massKg)) return ev;
    const Eigen::Matrix3d R = toEigen(resp.value);
    const Eigen::FullPivLU<Eigen::Matrix3d> lu(R);
    if (!lu.isInvertible()) return ev;
    const Eigen::Matrix3d Rinv = lu.inverse();
    // Three windows, three activities: the weighted least-squares solution is the
    // exact one, a = R^-1 r, with covariance R^-1 V R^-T.
    const Eigen::Vector3d a = Rinv * rates->net;
    const Eigen::Matrix3d cov = Rinv * rates->variance.asDiagonal() * Rinv.transpose();
    for (int i = 0; i < 3; ++i) {
        ev.activityBq[i] = a(i);
        for (int j = 0; j < 3; ++j) ev.covarianceBq[i][j] = cov(i, j);
    }
    for (int row = 0; row < kRowCount; ++row)
        ev.rows[row] = rowLimits(row, resp, R, Rinv, a, *rates, sample.timeS, background.timeS, massKg, k, scale);
    ev.massKg = massKg;
    ev.ok = true;
    return ev;
}

std::optional<double> countTimeNeeded(const Response& r, const CountedSpectrum& sample,
                                      const CountedSpectrum& background, double massKg, double limit,
                                      const std::array<double, 3>& scale) {
    if (!(limit > 0) || !(sample.timeS > 0)) return std::nullopt;
    // The same rates counted for t seconds.
    auto lowerLimitAt = [&](double t) -> std::optional<double> {
        CountedSpectrum s = sample;
        for (double& v : s.sums) v = v / sample.timeS * t;
        s.timeS = t;
        const Evaluation ev = evaluate(r, s, background, massKg, 1.645, scale);
        if (!ev.ok) return std::nullopt;
        return ev.rows[kRowCsAll].lowerLimitOfMeasurement;
    };
    constexpr double kLongest = 1e7;  // about four months
    const auto atLongest = lowerLimitAt(kLongest);
    if (!atLongest || *atLongest > limit) return std::nullopt;
    double lo = 1.0, hi = kLongest;
    for (int i = 0; i < 80 && hi - lo > 0.5; ++i) {
        const double mid = std::sqrt(lo * hi) > lo + 0.5 ? std::sqrt(lo * hi) : (lo + hi) / 2;
        const auto l = lowerLimitAt(mid);
        if (l && *l <= limit) hi = mid;
        else lo = mid;
    }
    return hi;
}

}  // namespace xmca::method
