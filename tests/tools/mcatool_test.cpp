// mcatool info and dump, run as a program against files written by the program's code.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "files/spectrum_file.h"
#include "files/temp_dir.h"
#include "tools/tool_run.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using H = SpectrumHeader;
using test::TempDir;
using test::ToolRun;
using test::quote;
using test::runTool;

std::unique_ptr<MeasurementState> sampleState() {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = 1024;
    for (int i = 0; i < 1024; ++i) s->spectrum[i] = i % 17;
    s->liveTime = 17995;
    s->realTime = 18000;
    s->presetTimeShown = 36000;
    s->cal.gain = 1.25f;
    s->cal.offset = -4.5f;
    s->cal.calibrated = 1;
    s->rois[2].low = 272;
    s->rois[2].high = 354;
    s->rois[2].colour = 0x00808000;
    s->header.setI16(H::kYear, 2026);
    s->header.setI16(H::kMonth, 12);
    s->header.setI16(H::kDay, 8);
    s->header.setI16(H::kHour, 6);
    s->header.setI16(H::kMinute, 3);
    s->header.setI16(H::kSecond, 9);
    s->header.setText(H::kComment, "say \"hi\"\\\t\x01");
    s->header.setText(H::kSampleId, "\x93\xfa\x96\x7b-7");  // 日本-7
    return s;
}

TEST(McatoolInfo, PrintsOneJsonObjectWithTheFileContents) {
    ASSERT_TRUE(std::filesystem::exists(test::mcatoolPath())) << test::mcatoolPath();
    TempDir dir;
    auto s = sampleState();
    ASSERT_EQ(saveSpectrum(*s, dir.file("rice 1.dat")), "");
    const ToolRun r = runTool(dir, "info " + quote(dir.file("rice 1.dat")));
    ASSERT_EQ(r.code, 0) << r.err;
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &perr);
    ASSERT_EQ(perr.error, QJsonParseError::NoError) << r.out;
    const QJsonObject o = doc.object();
    EXPECT_EQ(o["file"].toString(), "rice 1.dat");
    EXPECT_EQ(o["channels"].toInt(), 1024);
    EXPECT_EQ(o["channels_read"].toInt(), 1024);
    EXPECT_TRUE(o["valid"].toBool());
    EXPECT_TRUE(o["calibrated"].toBool());
    EXPECT_DOUBLE_EQ(o["gain"].toDouble(), 1.25);
    EXPECT_DOUBLE_EQ(o["offset"].toDouble(), -4.5);
    EXPECT_EQ(o["start"].toString(), "2026-12-08 06:03:09");
    EXPECT_DOUBLE_EQ(o["preset_s"].toDouble(), 3600.0);
    EXPECT_DOUBLE_EQ(o["live_s"].toDouble(), 1799.5);
    EXPECT_DOUBLE_EQ(o["real_s"].toDouble(), 1800.0);
    EXPECT_EQ(o["comment"].toString(), QString::fromUtf8("say \"hi\"\\\t\x01"));
    EXPECT_EQ(o["sample_id"].toString(), QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac-7"));
    std::int64_t total = 0;
    for (int i = 0; i < 1024; ++i) total += i % 17;
    EXPECT_EQ(o["total_counts"].toInteger(), total);
    const QJsonArray rois = o["rois"].toArray();
    ASSERT_EQ(rois.size(), 16);
    EXPECT_EQ(rois[2].toObject()["index"].toInt(), 2);
    EXPECT_EQ(rois[2].toObject()["start"].toInt(), 272);
    EXPECT_EQ(rois[2].toObject()["end"].toInt(), 354);
    EXPECT_EQ(rois[2].toObject()["colour"].toInt(), static_cast<std::int16_t>(0x8000));
    EXPECT_EQ(r.out.back(), '\n');
}

TEST(McatoolInfo, UncalibratedAndInvalidFiles) {
    TempDir dir;
    auto s = sampleState();
    s->cal.calibrated = 0;
    s->channelCount = 256;
    ASSERT_EQ(saveSpectrum(*s, dir.file("s256.dat")), "");
    const ToolRun r = runTool(dir, "info " + quote(dir.file("s256.dat")));
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(o["channels"].toInt(), 256);
    EXPECT_EQ(o["channels_read"].toInt(), 0);
    EXPECT_FALSE(o["valid"].toBool());
    EXPECT_FALSE(o["calibrated"].toBool());
    EXPECT_TRUE(o["gain"].isNull());
    EXPECT_TRUE(o["offset"].isNull());
    EXPECT_EQ(o["total_counts"].toInteger(), 0);
}

TEST(McatoolDump, MatchesTheInProcessDumpByteForByte) {
    TempDir dir;
    auto s = sampleState();
    ASSERT_EQ(saveSpectrum(*s, dir.file("in.dat")), "");
    const ToolRun r = runTool(dir, "dump " + quote(dir.file("in.dat")) + " " + quote(dir.file("out.txt")));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");

    auto loaded = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*loaded, dir.file("in.dat")).valid);
    const std::string expected = textDump(*loaded, "out.txt");
    EXPECT_EQ(test::readAll(dir.file("out.txt")), expected);
    EXPECT_NE(expected.find("Data File Name, out.txt\n"), std::string::npos);
    EXPECT_NE(expected.find("Mca Ch Size, 1024\n"), std::string::npos);
}

TEST(Mcatool, HelpPrintsTheUsageAndSucceeds) {
    TempDir dir;
    for (const char* h : {"--help", "-h", "help"}) {
        const ToolRun r = runTool(dir, h);
        EXPECT_EQ(r.code, 0) << h;
        EXPECT_NE(r.out.find("mcatool acquire"), std::string::npos) << h << ": " << r.out;
        EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << h << ": " << r.err;
    }
}

TEST(Mcatool, ErrorsAndUsage) {
    TempDir dir;
    test::writeAll(dir.file("empty.dat"), "");
    test::writeAll(dir.file("hdr.dat"), std::string(1024, '\0'));
    struct Case {
        std::string args;
        int code;
    };
    const Case cases[] = {
        {"", 2},
        {"bogus", 2},
        {"info", 2},
        {"info a b", 2},
        {"dump " + quote(dir.file("hdr.dat")), 2},
        {"info " + quote(dir.file("missing.dat")), 1},
        {"info " + quote(dir.file("empty.dat")), 1},
        {"dump " + quote(dir.file("missing.dat")) + " " + quote(dir.file("o.txt")), 1},
        {"dump " + quote(dir.file("hdr.dat")) + " " + quote(dir.file("o.txt")), 1},  // does not validate
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun r = runTool(dir, c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.out, "");
        if (c.code == 1) {
            EXPECT_TRUE(r.err.starts_with("Error !")) << r.err;
        } else {
            EXPECT_FALSE(r.err.empty());
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("o.txt")));

    // A dump that cannot be written.
    auto s = sampleState();
    ASSERT_EQ(saveSpectrum(*s, dir.file("ok.dat")), "");
    const ToolRun r = runTool(dir, "dump " + quote(dir.file("ok.dat")) + " /dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.starts_with("Error !")) << r.err;
}

}  // namespace
}  // namespace xmca
