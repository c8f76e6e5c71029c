// The qc command: a check-source spectrum measured, judged against the
// installation's baseline and recorded in the register, printed as JSON; or the
// control chart of the register's QC runs as a PNG or PDF.
#include <unistd.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QString>
#include <charconv>
#include <cmath>

#include "display/qc_chart.h"
#include "model/qc_log.h"
#include "register/register.h"
#include "tools/mcatool/commands.h"
#include "tools/mcatool/register_json.h"

namespace mcatool {
namespace {

constexpr const char* kUsage =
    "usage: mcatool qc CHECK.dat [--background BG.dat] [--register DB] [--new-baseline]\n"
    "       mcatool qc --chart OUT.png|OUT.pdf [--register DB]\n";

// Shortest round-trip text of a number, whatever the locale; null when not finite.
std::string number(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string meanSd(const xmca::qc::MeanSd& m) {
    return "{\"mean\": " + number(m.mean) + ", \"sd\": " + number(m.sd) + ", \"counting_sd\": " +
           number(m.countingSd) + ", \"excess_sd\": " + number(m.excessSd) + ", \"sigma\": " + number(m.sigma) +
           ", \"chi2\": " + number(m.chi2) + ", \"p_value\": " + number(m.pValue) + "}";
}

std::string reasonsJson(const std::vector<xmca::qc::Reason>& reasons) {
    std::string s = "[";
    for (const auto& r : reasons) s += (s.size() > 1 ? ", " : "") + jsonString(xmca::qc::reasonText(r));
    return s + "]";
}

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    std::string end = s.substr(s.size() - tail.size());
    for (auto& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == tail;
}

}  // namespace

int runQc(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    bool badRegister = false;
    const std::string registerPath = registerLocation(args, badRegister);
    if (badRegister) {
        err << kUsage;
        return kExitUsage;
    }
    std::string check, background, chart;
    bool newBaseline = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--background" && hasValue) background = args[++i];
        else if (a == "--chart" && hasValue) chart = args[++i];
        else if (a == "--new-baseline") newBaseline = true;
        else if (a.rfind("--", 0) == 0 || !check.empty()) {
            err << kUsage;
            return kExitUsage;
        } else check = a;
    }
    const bool drawing = !chart.empty();
    if (drawing == !check.empty() || (drawing && (newBaseline || !background.empty())) ||
        (drawing && !endsWith(chart, ".png") && !endsWith(chart, ".pdf"))) {
        err << kUsage;
        return kExitUsage;
    }
    std::string error;
    const auto reg = xmca::reg::openRegister(registerPath, error);
    if (!reg) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    // Checked once the register exists (opening creates a new one).
    if (drawing && refuseOutputIsInput(chart, {registerPath}, err)) return kExitFileError;
    xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    // The record belongs to the detector: bound once, it stays whatever the installation is renamed to.
    if (!drawing && !xmca::bindQcDetector(lab, xmca::defaultLabSettingsPath()))
        err << "qc: the detector key could not be saved in " << xmca::defaultLabSettingsPath() << '\n';
    const std::string installation = xmca::qcDetector(lab);
    const xmca::QcSettings settings = xmca::qcSettings(lab);

    if (drawing) {
        xmca::qc::History history;
        if (!xmca::loadQcHistory(*reg, installation, history, error, settings.halfLifeYears)) {
            err << "Error ! " << error << '\n';
            return kExitFileError;
        }
        auto app = ensureGuiApplication();
        // Drawn into memory, then written through the safe replace.
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const bool drawn = endsWith(chart, ".pdf") ? xmca::display::writeQcChartPdf(history, &buffer)
                                                   : xmca::display::renderQcChart(history).save(&buffer, "PNG");
        if (!drawn) {
            err << "Error ! cannot draw the chart\n";
            return kExitFileError;
        }
        if (!writeOutputFile(chart, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), err))
            return kExitFileError;
        out << "{\"chart\": " << jsonString(chart) << ", \"runs\": " << history.runs.size() << "}\n";
        return out.good() ? kExitOk : kExitFileError;
    }

    if (refuseOutputIsInput(registerPath, {check}, err) ||
        (!background.empty() && refuseOutputIsInput(registerPath, {background}, err)))
        return kExitFileError;
    const xmca::QcFileMeasurement m = xmca::measureCheckFiles(check, background);
    if (!m.ok) {
        err << m.error << '\n';
        return kExitFileError;
    }
    xmca::QcRecordOutcome rec;
    if (!xmca::recordQcRun(*reg, m, installation, lab.operatorName, settings, newBaseline, rec, error)) {
        err << "Error ! " << error << '\n';
        return kExitFileError;
    }
    for (const auto& why : rec.assessment.reasons) err << "qc: " << xmca::qc::reasonText(why) << '\n';
    out << "{\"id\": " << rec.run.id << ", \"peak_channel\": " << number(m.figures.values.peakChannel)
        << ", \"fwhm_percent\": " << number(m.figures.values.fwhmPercent)
        << ", \"net_rate_cps\": " << number(m.figures.values.netRateCps) << ", \"background_rate_cps\": "
        << (m.figures.backgroundRateCps ? number(*m.figures.backgroundRateCps) : "null") << ", \"status\": "
        << jsonString(rec.run.status) << ", \"baseline\": {\"n\": " << rec.baseline.n
        << ", \"peak_channel\": " << meanSd(rec.baseline.peakChannel)
        << ", \"fwhm_percent\": " << meanSd(rec.baseline.fwhmPercent)
        << ", \"net_rate_cps\": " << meanSd(rec.baseline.netRateCps)
        << ", \"n_required\": " << rec.nRequired << ", \"accepted\": " << (rec.baselineAccepted ? "true" : "false")
        << "}, \"net_rate_corrected_cps\": " << number(rec.netRateCorrectedCps)
        << ", \"decay_factor\": " << number(rec.decayFactor) << ", \"net_counts\": " << number(m.figures.netCounts)
        << ", \"counting_sd\": {\"peak_channel\": " << number(m.figures.countingSd.peakChannel)
        << ", \"fwhm_percent\": " << number(m.figures.countingSd.fwhmPercent)
        << ", \"net_rate_cps\": " << number(m.figures.countingSd.netRateCps) << "}, \"acquired_utc\": "
        << jsonString(rec.run.acquiredUtc) << ", \"detector\": " << jsonString(installation)
        << ", \"reasons\": " << reasonsJson(rec.assessment.reasons) << "}\n";
    return out.good() ? kExitOk : kExitFileError;
}

}  // namespace mcatool
