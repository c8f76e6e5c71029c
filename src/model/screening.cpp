#include "screening.h"

#include <cmath>
#include <cstdio>

#include "model/bq_calic.h"
#include "model/method_choice.h"

namespace xmca {

namespace {

std::string fmt(const char* f, double v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

std::string windowLine(const char* label, const limits::WindowLimits& l) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "%-6s %10.1f u(k=1) %8.1f Bq/kg  DT %8.1f  DL %8.1f%s", label, l.activity,
                  l.uncertainty, l.decisionThreshold, l.detectionLimit, l.belowDecisionThreshold ? "  < DL" : "");
    return buf;
}

}  // namespace

std::string figureText(const char* label, const activity::Figure& f) {
    char buf[120];
    std::snprintf(buf, sizeof buf, "%-6s %10.1f sd %8.1f Bq/kg", label, static_cast<double>(f.bqPerKg),
                  static_cast<double>(f.sigma));
    return buf;
}

void computeScreening(ActivityResult& res, const ScreeningSettings& settings) {
    ScreeningResult& sc = res.screening;
    sc = ScreeningResult{};
    sc.level = settings.level;
    sc.lowerLimit = settings.lowerLimit;
    if (!res.valid || !res.haveBackground) return;
    const double tg = res.sampleRealTime * 0.1;
    const double t0 = res.backgroundRealTime * 0.1;
    auto limitsOf = [&](int w, double factor, int row) {
        const ActivityWindow& aw = res.windows[static_cast<std::size_t>(w)];
        return limits::characteristicLimits({static_cast<double>(aw.gross), tg, aw.background, t0, factor,
                                             static_cast<double>(res.activity[static_cast<std::size_t>(row)].bqPerKg)});
    };
    const auto cs = limitsOf(kWinCsAll, limits::kFactorCsAll, kRowCsAll);
    const auto c134 = limitsOf(kWinCs134, limits::kFactorCs134, kRowCs134);
    if (!cs || !c134) return;
    sc.valid = true;
    sc.csTotal = *cs;
    sc.cs134 = *c134;
    updateVerdict(res, settings);
}

void updateVerdict(ActivityResult& res, const ScreeningSettings& settings) {
    ScreeningResult& sc = res.screening;
    sc.level = settings.level;
    sc.lowerLimit = settings.lowerLimit;
    sc.countTimeNeeded.reset();
    if (!sc.valid) return;
    sc.verdict = limits::screeningVerdict(sc.csTotal, sc.level, sc.lowerLimit);
    if (sc.verdict == limits::Verdict::LowerLimitNotMet && sc.withheld.empty()) {
        const double t0 = res.backgroundRealTime * 0.1;
        const double r0 = res.windows[kWinCsAll].background / t0;
        sc.countTimeNeeded = limits::countTimeNeeded(sc.lowerLimit, limits::kFactorCsAll, r0, t0);
    }
}

void withholdVerdict(ActivityResult& res, const std::string& reason, ReasonRank rank) {
    ScreeningResult& sc = res.screening;
    const int r = static_cast<int>(rank);
    if (sc.withheld.empty() || r < sc.withheldRank) {
        sc.withheld = reason.empty() ? std::string("not given") : reason;
        sc.withheldRank = r;
    }
    sc.countTimeNeeded.reset();
}

std::string verdictText(const ActivityResult& res) {
    const ScreeningResult& sc = res.screening;
    if (!sc.withheld.empty()) return std::string(kNoVerdict) + sc.withheld;
    if (!res.valid || !sc.valid) return std::string(kNoVerdict) + "no characteristic limits";
    return limits::verdictText(sc.verdict);
}

TColor verdictColour(const ScreeningResult& sc) {
    return sc.withheld.empty() ? verdictColour(sc.verdict) : 0x00808080;  // grey: no verdict
}

TColor verdictColour(limits::Verdict v) {
    switch (v) {
        case limits::Verdict::BelowLevel: return 0x0000A000;        // green
        case limits::Verdict::AboveLevel: return 0x000000FF;        // red
        case limits::Verdict::LowerLimitNotMet: return 0x000080FF;  // orange
    }
    return 0;
}

std::string countTimeText(const std::optional<double>& seconds) {
    return seconds ? fmt("%.0f s", std::ceil(*seconds)) : std::string("-");
}

std::string methodText(const ActivityResult& res) {
    std::string t = res.baseline ? "Re Calic, trapezoid baseline subtracted" : "Bq Calic, no baseline";
    // A calibrated method (or a decay correction) is named with its version and date.
    if (res.method.name != method::kFactoryName || !res.method.decayCorrectedTo.empty())
        t += "; method " + methodRefText(res.method);
    return t;
}

std::string inputsText(const ActivityResult& res) {
    auto one = [](const std::string& name, const std::string& sha) {
        std::string t = name.empty() ? std::string("(no file)") : name;
        if (!sha.empty()) t += " (SHA-256 " + sha.substr(0, 12) + ")";
        return t;
    };
    return "Sample " + one(res.sampleName, res.sampleSha256) + ", background " +
           one(res.backgroundName, res.backgroundSha256);
}

std::vector<std::string> screeningLines(const ActivityResult& res) {
    if (!res.valid) return {};
    const ScreeningResult& sc = res.screening;
    std::vector<std::string> lines;
    lines.push_back(inputsText(res) + "; method: " + methodText(res));
    if (sc.valid) {
        lines.push_back(windowLine("Cs-All", sc.csTotal));
        lines.push_back(windowLine("Cs-134", sc.cs134));
    } else {
        lines.push_back(figureText(kActivityRowLabels[kRowCsAll], res.activity[kRowCsAll]));
        lines.push_back(figureText(kActivityRowLabels[kRowCs134], res.activity[kRowCs134]));
    }
    lines.push_back(figureText(kActivityRowLabels[kRowCs137], res.activity[kRowCs137]) + "   " +
                    figureText(kActivityRowLabels[kRowK40], res.activity[kRowK40]) +
                    "   (sd: counting standard deviation)");
    if (sc.valid)
        lines.push_back("Lower limit of measurement " + fmt("%.1f", sc.csTotal.lowerLimitOfMeasurement) +
                        " Bq/kg (required " + fmt("%.1f", sc.lowerLimit) + ");  " +
                        (sc.gain.ok ? std::string("Gain check OK") : sc.gain.warning));
    std::string verdict = verdictText(res);
    if (!sc.valid || !sc.withheld.empty())
        ;  // the reason says it all
    else if (sc.verdict == limits::Verdict::LowerLimitNotMet)
        verdict += sc.countTimeNeeded ? " (" + countTimeText(sc.countTimeNeeded) + " needed)"
                                      : " (count the background longer)";
    else
        verdict += " (" + fmt("%.1f", sc.level) + " Bq/kg)";
    lines.push_back(verdict);
    return lines;
}

}  // namespace xmca
