// The GUI application the drawing commands need; no window system is used.
#include <QGuiApplication>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/mcatool/commands.h"

namespace mcatool {

std::unique_ptr<QGuiApplication> ensureGuiApplication() {
    if (QGuiApplication::instance()) return nullptr;
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
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace mcatool
