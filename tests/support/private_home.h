// Gives a test process its own configuration and data folders, so that no test reads
// or writes the operator's real laboratory settings, register or spectra, and test
// binaries running side by side do not share a register. Tests that need particular
// folders still set XDG_CONFIG_HOME / XDG_DATA_HOME themselves.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace test {

class PrivateHome {
public:
    PrivateHome() {
        char tmpl[] = "/tmp/xmca-test-home-XXXXXX";
        if (!::mkdtemp(tmpl)) return;
        root_ = tmpl;
        const std::string config = root_ + "/config", data = root_ + "/data";
        std::filesystem::create_directories(config);
        std::filesystem::create_directories(data);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    ~PrivateHome() {
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

private:
    std::string root_;
};

}  // namespace test
