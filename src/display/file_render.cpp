#include "file_render.h"

#include <charconv>
#include <memory>

#include "display/frame_renderer.h"
#include "model/measurement_state.h"
#include "model/spectrum_io.h"

namespace xmca::display {
namespace {

std::optional<int> parseInt(const std::string& s) {
    int v = 0;
    const char* end = s.data() + s.size();
    const auto [p, ec] = std::from_chars(s.data(), end, v);
    if (ec != std::errc() || p != end || s.empty()) return std::nullopt;
    return v;
}

}  // namespace

bool splitViewArgs(const std::vector<std::string>& args, const std::vector<IntOption>& ints, bool& log,
                   std::vector<std::string>& positional, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--log") {
            log = true;
            continue;
        }
        std::optional<int>* slot = nullptr;
        for (const IntOption& o : ints)
            if (a == o.name) slot = o.value;
        if (slot) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            const auto v = parseInt(args[++i]);
            if (!v) {
                error = a + ": not an integer: " + args[i];
                return false;
            }
            *slot = *v;
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        }
        positional.push_back(a);
    }
    return true;
}

std::optional<RenderArgs> parseRenderArgs(const std::vector<std::string>& args, std::string& error) {
    RenderArgs r;
    std::vector<std::string> positional;
    if (!splitViewArgs(args, {{"--lo", &r.lo}, {"--hi", &r.hi}, {"--vfs", &r.vfs}, {"--cursor", &r.cursor}}, r.log,
                       positional, error))
        return std::nullopt;
    if (positional.size() != 2) {
        error = "expected FILE.dat and OUT.png";
        return std::nullopt;
    }
    if (r.vfs && (*r.vfs < view::kMinScaleIndex || *r.vfs > view::kMaxScaleIndex)) {
        error = "--vfs must be 1..22";
        return std::nullopt;
    }
    r.input = positional[0];
    r.output = positional[1];
    return r;
}

RenderOutcome renderSpectrumFile(const RenderArgs& args) {
    RenderOutcome out;
    auto s = std::make_unique<MeasurementState>();
    const FileLoadResult res = loadSpectrum(*s, args.input);
    if (!res.opened) {
        out.exitCode = 1;
        out.message = std::string("Error ! ") + args.input + " " + inputKindText(res.input);
        return out;
    }
    if (!res.valid) {
        out.exitCode = 1;
        out.message = "Error ! " + args.input + " is not a valid spectrum file (" +
                      std::to_string(res.channelsRead) + " channels read)";
        return out;
    }
    const int n = s->channelCount;
    const int lo = args.lo.value_or(0);
    const int hi = args.hi.value_or(n - 1);
    const int cursor = args.cursor.value_or(n / 2);
    if (lo < 0 || hi > n - 1 || lo > hi) {
        out.exitCode = 2;
        out.message = "the window --lo/--hi must lie within 0.." + std::to_string(n - 1) + " with lo <= hi";
        return out;
    }
    if (cursor < 0 || cursor > n - 1) {
        out.exitCode = 2;
        out.message = "--cursor must lie within 0.." + std::to_string(n - 1);
        return out;
    }
    s->acquiring = false;
    s->view.lo = lo;
    s->view.hi = hi;
    s->view.lo16 = static_cast<std::int16_t>(lo);
    s->view.hi16 = static_cast<std::int16_t>(hi);
    s->view.cursor = cursor;
    s->view.logScale = args.log ? 1 : 0;
    s->view.vfsIndex = args.vfs.value_or(2);

    FrameRenderer renderer;
    renderer.redrawStatic(*s);
    out.image = renderer.compose(*s, FrameWriteBack::into(*s)).copy();
    return out;
}

}  // namespace xmca::display
