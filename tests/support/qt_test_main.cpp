// GoogleTest entry point for tests that need a QApplication. Test discovery runs
// the binary with no display, so the offscreen platform is chosen when none is set.
#include <gtest/gtest.h>

#include <QApplication>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "private_home.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        // Qt wants a private runtime directory; make one rather than warn on every run.
        const std::string dir = "/tmp/xmca-test-runtime-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        chmod(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    test::PrivateHome home;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
