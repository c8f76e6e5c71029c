// The render command: the paint-box image of a spectrum file, as a PNG.
#include <QBuffer>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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
    // Drawing needs a GUI application; no window system is used.
    std::unique_ptr<QGuiApplication> app;
    if (!QGuiApplication::instance()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            // A private runtime directory keeps Qt from warning about a missing one.
            const std::string dir = "/tmp/xmca-runtime-" + std::to_string(getuid());
            mkdir(dir.c_str(), 0700);
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
        }
        static int argc = 1;
        static char name[] = "mcatool";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
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
