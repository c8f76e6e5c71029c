// GoogleTest entry point for tests that need a QApplication. Test discovery runs
// the binary with no display, so the offscreen platform is chosen when none is set.
#include <gtest/gtest.h>

#include <QApplication>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        // Qt wants a private runtime directory; make one rather than warn on every run.
        const std::string dir = "/tmp/xmca-test-runtime-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        chmod(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    // The windows read the laboratory settings and open the default register: in a
    // scratch folder of this run, never the user's own (nor one another run changed).
    char scratch[] = "/tmp/xmca-test-home-XXXXXX";
    const bool isolated = mkdtemp(scratch) != nullptr;
    if (isolated) {
        setenv("XDG_DATA_HOME", (std::string(scratch) + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (std::string(scratch) + "/config").c_str(), 1);
    }
    int rc = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    if (isolated) std::filesystem::remove_all(scratch, ignored);
    return rc;
}
