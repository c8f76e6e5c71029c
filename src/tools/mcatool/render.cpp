// The render command: the paint-box image of a spectrum file, as a PNG.
#include <QBuffer>
#include <QGuiApplication>
#include <memory>
#include <string>

#include "display/file_render.h"
#include "tools/mcatool/commands.h"

namespace mcatool {

int runRender(const Args& args, std::ostream&, std::ostream& err) {
    std::string error;
    const auto parsed = xmca::display::parseRenderArgs(args, error);
    if (!parsed) {
        err << "mcatool render: " << error << '\n'
            << "usage: mcatool render FILE.dat OUT.png [--lo A] [--hi B] [--log] [--vfs I] [--cursor C]\n";
        return kExitUsage;
    }
    if (refuseOutputIsInput(parsed->output, {parsed->input}, err)) return kExitFileError;
    const auto app = ensureGuiApplication();  // drawing needs one; no window system is used
    const xmca::display::RenderOutcome r = xmca::display::renderSpectrumFile(*parsed);
    if (r.exitCode == kExitUsage) {
        err << "mcatool render: " << r.message << '\n';
        return kExitUsage;
    }
    if (r.exitCode != kExitOk) {
        err << r.message << '\n';
        return kExitFileError;
    }
    // Encoded in memory, then written through the safe replace: a full disk or a
    // write-protected file never leaves a truncated picture in place of a good one.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!r.image.save(&buffer, "PNG")) {
        err << "Error ! cannot encode the image\n";
        return kExitFileError;
    }
    if (!writeOutputFile(parsed->output, std::string_view(png.constData(), static_cast<std::size_t>(png.size())), err))
        return kExitFileError;
    return kExitOk;
}

}  // namespace mcatool
