// A laboratory for running mcatool screen and register as programs: a simulated
// 60 Bq/kg Cs-137 sample of 1800 s and a background of 3600 s, each test's own
// settings, data folder and register file, and the JSON the tool prints.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <string>

#include "files/temp_dir.h"
#include "support/simulated_spectra.h"
#include "tools/tool_run.h"

namespace xmca::test {

struct ScreeningLab {
    TempDir dir;
    std::string sample = dir.file("s.dat"), bg = dir.file("b.dat");
    std::string config = dir.file("config"), data = dir.file("data");
    std::string db = dir.file("reg.sqlite");
    bool screenNamesRegister;  // `screen` records into db (else the default register of data)

    // seed: the sample's; the background's is the next one.
    explicit ScreeningLab(std::uint64_t seed, bool namesRegister = false) : screenNamesRegister(namesRegister) {
        SimulatedAnalyserConfig c;
        c.seed = seed;
        c.cs137 = 60;
        EXPECT_TRUE(acquireAndSave(c, 18000, sample));
        c.backgroundOnly = true;
        c.seed = seed + 1;
        EXPECT_TRUE(acquireAndSave(c, 36000, bg));
    }
    ToolRun run(const std::string& args) const {
        return runCommand(dir, "XDG_CONFIG_HOME=" + quote(config) + " XDG_DATA_HOME=" + quote(data) + " " +
                                   quote(mcatoolPath()) + " " + args);
    }
    ToolRun screen(const std::string& extra) const {
        return run("screen " + quote(sample) + " " + quote(bg) +
                   (screenNamesRegister ? " --register " + quote(db) : std::string()) + " " + extra);
    }
};

inline QJsonObject jsonObject(const std::string& json) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}
inline QJsonArray jsonArray(const std::string& json) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).array();
}

}  // namespace xmca::test
