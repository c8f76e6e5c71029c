// The report command: the printed report of a spectrum file as a one-page PDF.
#include <QGuiApplication>
#include <memory>
#include <optional>
#include <string>

#include "display/file_render.h"
#include "model/measurement_state.h"
#include "model/spectrum_io.h"
#include "model/view_controls.h"
#include "report/report_output.h"
#include "tools/mcatool/commands.h"

namespace mcatool {
namespace {

constexpr const char* kUsage = "usage: mcatool report FILE.dat OUT.pdf [--lo A] [--hi B] [--log] [--vfs I] [--dpi D]";
// The analyser's window copies are 16-bit: no window reaches past this channel.
constexpr int kMaxChannel = 32767;
constexpr int kMinDpi = 50;
constexpr int kMaxDpi = 2400;

struct ReportArgs {
    std::string input, output;
    std::optional<int> lo, hi, vfs, dpi;
    bool log = false;
};

std::optional<ReportArgs> parse(const Args& args, std::string& error) {
    ReportArgs r;
    std::vector<std::string> positional;
    if (!xmca::display::splitViewArgs(args, {{"--lo", &r.lo}, {"--hi", &r.hi}, {"--vfs", &r.vfs}, {"--dpi", &r.dpi}},
                                      r.log, positional, error))
        return std::nullopt;
    if (positional.size() != 2) {
        error = "expected FILE.dat and OUT.pdf";
        return std::nullopt;
    }
    if (r.vfs && (*r.vfs < xmca::view::kMinScaleIndex || *r.vfs > xmca::view::kMaxScaleIndex)) {
        error = "--vfs must be 1..22";
        return std::nullopt;
    }
    if (r.dpi && (*r.dpi < kMinDpi || *r.dpi > kMaxDpi)) {
        error = "--dpi must be " + std::to_string(kMinDpi) + ".." + std::to_string(kMaxDpi);
        return std::nullopt;
    }
    if ((r.lo && (*r.lo < 0 || *r.lo > kMaxChannel)) || (r.hi && (*r.hi < 0 || *r.hi > kMaxChannel))) {
        error = "--lo and --hi must be channels 0.." + std::to_string(kMaxChannel);
        return std::nullopt;
    }
    r.input = positional[0];
    r.output = positional[1];
    return r;
}

}  // namespace

int runReport(const Args& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto a = parse(args, error);
    if (!a) {
        err << "mcatool report: " << error << '\n' << kUsage << '\n';
        return kExitUsage;
    }
    if (refuseOutputIsInput(a->output, {a->input}, err)) return kExitFileError;
    auto s = std::make_unique<xmca::MeasurementState>();
    const xmca::FileLoadResult res = xmca::loadSpectrum(*s, a->input);
    if (!res.opened) {
        err << inputErrorText(a->input, res.input) << '\n';
        return kExitFileError;
    }
    if (!res.valid) {
        err << "Error ! " << a->input << " is not a valid spectrum file (" << res.channelsRead
            << " channels read)\n";
        return kExitFileError;
    }
    // The view as after "&Read": the whole spectrum, linear, full-scale step 2; a
    // window given on the command line is taken as it is.
    const int lo = a->lo.value_or(0);
    const int hi = a->hi.value_or(s->channelCount - 1);
    if (lo > hi) {
        err << "mcatool report: --lo must not lie above --hi\n" << kUsage << '\n';
        return kExitUsage;
    }
    s->acquiring = false;
    s->view.lo = lo;
    s->view.hi = hi;
    s->view.lo16 = static_cast<std::int16_t>(lo);
    s->view.hi16 = static_cast<std::int16_t>(hi);
    s->view.logScale = a->log ? 1 : 0;
    s->view.vfsIndex = a->vfs.value_or(2);

    const auto app = ensureGuiApplication();
    const xmca::report::PdfResult pdf = xmca::report::reportPdf(*s, {}, a->dpi.value_or(xmca::report::kDefaultPdfDpi));
    if (!pdf.ok) {
        err << "Error ! the report could not be drawn\n";
        return kExitFileError;
    }
    if (xmca::report::writePdf(a->output, pdf) != xmca::WriteStatus::Ok) {
        err << "Error ! cannot write " << a->output << '\n';
        return kExitFileError;
    }
    out << "{\"pages\": " << pdf.pages << ", \"page_width_px\": " << pdf.pageWidthPx
        << ", \"page_height_px\": " << pdf.pageHeightPx << ", \"dpi\": " << pdf.dpi << "}\n";
    return kExitOk;
}

}  // namespace mcatool
