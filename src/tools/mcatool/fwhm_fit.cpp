// The fwhm and fit commands: "FWHM Calic." and the peak fit of the window, run on
// a spectrum file read as "&Read" reads it.
#include <charconv>
#include <algorithm>
#include <cstdio>
#include <string>
#include <memory>
#include <optional>

#include "analysis/peak_fit.h"
#include "analysis/peak_width.h"
#include "model/measurement_state.h"
#include "model/spectrum_io.h"
#include "tools/mcatool/commands.h"

namespace mcatool {
namespace {

struct PeakArgs {
    std::string file;
    int cursor = 0;
    std::optional<int> lo, hi;
};

std::optional<int> parseInt(const std::string& s) {
    int v = 0;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (first != last && *first == '+') ++first;
    const auto r = std::from_chars(first, last, v);
    if (s.empty() || r.ec != std::errc() || r.ptr != last) return std::nullopt;
    return v;
}

// FILE.dat --cursor M [--lo A] [--hi B], options in any order; nullopt on bad usage.
std::optional<PeakArgs> parsePeakArgs(const Args& args) {
    PeakArgs p;
    bool haveFile = false, haveCursor = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--cursor" || a == "--lo" || a == "--hi") {
            if (i + 1 >= args.size()) return std::nullopt;
            const auto v = parseInt(args[++i]);
            if (!v) return std::nullopt;
            if (a == "--cursor") {
                p.cursor = *v;
                haveCursor = true;
            } else if (a == "--lo") {
                p.lo = *v;
            } else {
                p.hi = *v;
            }
        } else if (!haveFile && !a.starts_with("--")) {
            p.file = a;
            haveFile = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveFile || !haveCursor) return std::nullopt;
    return p;
}

std::string num(double v, const char* f = "%.9g") {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

struct Loaded {
    std::unique_ptr<xmca::MeasurementState> state;
    int lo = 0, hi = 0;
};

// The file read into the program's state; nullptr (message written) on a file error.
Loaded load(const PeakArgs& p, std::ostream& err) {
    Loaded l;
    auto s = std::make_unique<xmca::MeasurementState>();
    const xmca::FileLoadResult r = xmca::loadSpectrum(*s, p.file);
    if (!r.opened) {
        err << "Error ! cannot open " << p.file << '\n';
        return l;
    }
    if (!r.valid) {
        err << "Error ! " << p.file << ": the header's channel count does not match the " << r.channelsRead
            << " channels read\n";
        return l;
    }
    l.lo = p.lo.value_or(0);
    l.hi = p.hi.value_or(s->channelCount - 1);
    l.state = std::move(s);
    return l;
}

// The range and cursor must lie in the spectrum, cursor within lo .. hi; the
// usage error text otherwise (empty when they do).
std::string rangeError(const Loaded& l, int cursor) {
    const int last = l.state->channelCount - 1;
    if (l.lo < 0 || l.hi > last)
        return "--lo and --hi must be channels 0.." + std::to_string(std::max(last, 0)) + " of the file";
    if (l.lo > l.hi) return "--lo must not lie above --hi";
    if (cursor < l.lo || cursor > l.hi)
        return "--cursor must lie within --lo .. --hi (" + std::to_string(l.lo) + ".." + std::to_string(l.hi) + ")";
    return {};
}

constexpr const char* kNoPeak = "Error ! no count above 0 within 5 channels of the cursor\n";

int usage(std::ostream& err, const char* name, const std::string& why = {}) {
    if (!why.empty()) err << "mcatool " << name << ": " << why << '\n';
    err << "usage: mcatool " << name << " FILE.dat --cursor M [--lo A] [--hi B]\n";
    return kExitUsage;
}

constexpr const char* kNoWidth = "Error ! Peak Fit Width: the peak at the cursor has no width within --lo .. --hi\n";

}  // namespace

int runFwhm(const Args& args, std::ostream& out, std::ostream& err) {
    const auto p = parsePeakArgs(args);
    if (!p) return usage(err, "fwhm");
    const Loaded l = load(*p, err);
    if (!l.state) return kExitFileError;
    if (const std::string why = rangeError(l, p->cursor); !why.empty()) return usage(err, "fwhm", why);
    const auto& s = *l.state;
    const xmca::PeakWidth w = xmca::peakWidthAtCursor(s.spectrum, s.channelCount, p->cursor, l.lo, l.hi);
    if (!w.found) {
        err << kNoPeak;
        return kExitFileError;
    }
    if (!(w.fwhm > 0.0f)) {
        err << kNoWidth;
        return kExitFileError;
    }
    out << "{\"peak_channel\": " << w.peak << ", \"centroid\": " << num(w.centroid) << ", \"fwhm\": " << num(w.fwhm)
        << "}\n";
    return out.good() ? kExitOk : kExitFileError;
}

int runFit(const Args& args, std::ostream& out, std::ostream& err) {
    const auto p = parsePeakArgs(args);
    if (!p) return usage(err, "fit");
    const Loaded l = load(*p, err);
    if (!l.state) return kExitFileError;
    if (const std::string why = rangeError(l, p->cursor); !why.empty()) return usage(err, "fit", why);
    const auto& s = *l.state;
    const xmca::PeakFitOutcome o = xmca::fitPeakAtCursor(s.spectrum, s.channelCount, p->cursor, l.lo, l.hi);
    using Status = xmca::PeakFitOutcome::Status;
    if (o.status == Status::NoPeak) {
        err << kNoPeak;
        return kExitFileError;
    }
    if (o.status == Status::NoWidth) {
        err << "Error ! the peak at the cursor has no position above channel 0 or no width\n";
        return kExitFileError;
    }
    const xmca::FitStart& st = o.start;
    out << "{\"centroid\": " << num(st.position) << ", \"width_ch\": " << num(st.widthCh)
        << ", \"width_ev\": " << num(static_cast<double>(st.widthCh) * xmca::kLineE1 / st.position) << ", \"fit\": ";
    const xmca::FitResult& f = o.fit;
    if (f.ok) {
        out << "{\"position\": " << num(f.position, "%.12g") << ", \"fwhm_ch\": " << num(f.fwhm, "%.12g")
            << ", \"fwhm_ev\": " << num(f.fwhmEv(), "%.12g") << ", \"height1\": " << num(f.height1, "%.12g")
            << ", \"height2\": " << num(f.height2, "%.12g") << ", \"chi2_per_dof\": " << num(f.chi2PerDof, "%.12g")
            << "}}\n";
    } else {
        // The start values stand; the refinement is reported as absent.
        out << "null}\n";
        err << "mcatool fit: no refined fit: " << f.failure << '\n';
    }
    return out.good() ? kExitOk : kExitFileError;
}

}  // namespace mcatool
