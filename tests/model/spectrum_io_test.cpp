// Spectrum files applied to the measurement state: round trips, calibration
// marker, LLD, validation fall-back, memories, labels and failed writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "files/spectrum_file.h"
#include "files/temp_dir.h"
#include "model/memory_spectra.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using H = SpectrumHeader;
using test::TempDir;

std::unique_ptr<MeasurementState> measuredState(int n) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = n;
    for (int i = 0; i < n; ++i) s->spectrum[i] = (i * 37) % 1001 + (i == 5 ? -7 : 0);
    s->liveTime = 35912;
    s->realTime = 36000;
    s->presetTimeShown = 36000;
    s->cal.gain = 0.7321f;
    s->cal.offset = -3.25f;
    s->cal.calibrated = 1;
    for (int j = 0; j < kRoiCount; ++j) {
        s->rois[j].low = 10 * j;
        s->rois[j].high = 10 * j + 5;
        s->rois[j].colour = 0x000100 * j + 0x12;
    }
    s->header.setText(H::kComment, "soil A");
    s->header.setI16(H::kYear, 2026);
    return s;
}

TEST(SpectrumIo, SaveAndLoadRoundTripsEverySize) {
    TempDir dir;
    for (const int n : {512, 1024, 2048, 4096}) {
        SCOPED_TRACE(n);
        auto out = measuredState(n);
        out->settings.presetTime = 600;  // the next run's preset is not the spectrum's
        const std::string p = dir.file("r" + std::to_string(n) + ".dat");
        ASSERT_EQ(saveSpectrum(*out, p), "");
        EXPECT_EQ(std::filesystem::file_size(p), 1024u + 4u * n);  // 17408 bytes at 4096

        auto in = std::make_unique<MeasurementState>();
        const FileLoadResult r = loadSpectrum(*in, p);
        ASSERT_TRUE(r.valid);
        EXPECT_EQ(r.edit1, "");
        EXPECT_EQ(in->channelCount, n);
        EXPECT_TRUE(std::equal(out->spectrum.begin(), out->spectrum.begin() + n, in->spectrum.begin()));
        EXPECT_EQ(in->liveTime, 35912);
        EXPECT_EQ(in->realTime, 36000);
        EXPECT_EQ(in->presetTimeShown, 36000);
        EXPECT_EQ(in->settings.presetTime, AcquisitionSettings{}.presetTime);  // reading sets no run preset
        EXPECT_EQ(in->cal.calibrated, 1);
        EXPECT_EQ(in->cal.gain, 0.7321f);
        EXPECT_EQ(in->cal.offset, -3.25f);
        for (int j = 0; j < kRoiCount; ++j) {
            EXPECT_EQ(in->rois[j].low, out->rois[j].low);
            EXPECT_EQ(in->rois[j].high, out->rois[j].high);
            EXPECT_EQ(in->rois[j].colour, out->rois[j].colour);
        }
        EXPECT_EQ(in->header.comment(), "soil A");
        // View: full range with the cursor in the middle, and the label texts.
        EXPECT_EQ(in->view.lo, 0);
        EXPECT_EQ(in->view.hi, n - 1);
        EXPECT_EQ(in->view.cursor, n / 2);
        EXPECT_EQ(r.label1, "0ch");
        EXPECT_EQ(r.label2, std::to_string(n - 1) + "ch");
        EXPECT_EQ(r.label3, std::to_string(n / 2));
        EXPECT_EQ(in->fileName, "r" + std::to_string(n) + ".dat");
    }
}

TEST(SpectrumIo, HeaderFilledAtWriteTime) {
    TempDir dir;
    auto s = measuredState(1024);
    s->rois[3].colour = 0x00808000;  // teal: only the low 16 bits are stored
    s->rois[4].low = 70000;
    s->header.setF32(H::kCalibCoef2, 123.5f);
    s->cal.calibrated = 0;
    ASSERT_EQ(saveSpectrum(*s, dir.file("u.dat")), "");
    H h;
    std::vector<std::int32_t> room(kMaxFileChannels);
    ASSERT_TRUE(readSpectrumFile(dir.file("u.dat"), h, room).valid);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.bytes().data()), 21),
              std::string("Veltramond Co., Ltd.\0", 21));
    // Uncalibrated: 1.0 at 64, 0.0 at 68, 72 as held.
    EXPECT_EQ(h.f32(H::kCalibMarker), 1.0f);
    EXPECT_EQ(h.f32(H::kCalibCoef1), 0.0f);
    EXPECT_EQ(h.f32(H::kCalibCoef2), 123.5f);
    EXPECT_EQ(h.roiColour(3), static_cast<std::int16_t>(0x8000));
    EXPECT_EQ(h.roiStart(4), static_cast<std::int16_t>(70000 & 0xFFFF));
    EXPECT_EQ(h.i32(H::kLiveTime), 35912);
    EXPECT_EQ(h.i32(H::kPresetTime), 36000);

    // Reading it back sign-extends the colour the way the program holds it.
    auto in = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*in, dir.file("u.dat")).valid);
    EXPECT_EQ(in->rois[3].colour, 0xFFFF8000u);

    s->cal.calibrated = 1;
    ASSERT_EQ(saveSpectrum(*s, dir.file("c.dat")), "");
    ASSERT_TRUE(readSpectrumFile(dir.file("c.dat"), h, room).valid);
    EXPECT_EQ(h.f32(H::kCalibMarker), 0.0f);
    EXPECT_EQ(h.f32(H::kCalibCoef1), 0.7321f);
    EXPECT_EQ(h.f32(H::kCalibCoef2), -3.25f);
}

TEST(SpectrumIo, CalibrationMarkerRules) {
    TempDir dir;
    auto uncal = measuredState(512);
    uncal->cal.calibrated = 0;
    ASSERT_EQ(saveSpectrum(*uncal, dir.file("uncal.dat")), "");

    // A 1.0 marker leaves the calibration in force.
    auto s = std::make_unique<MeasurementState>();
    s->cal.gain = 2.0f;
    s->cal.offset = 1.0f;
    s->cal.calibrated = 1;
    ASSERT_TRUE(loadSpectrum(*s, dir.file("uncal.dat")).valid);
    EXPECT_EQ(s->cal.calibrated, 1);
    EXPECT_EQ(s->cal.gain, 2.0f);
    EXPECT_EQ(s->cal.offset, 1.0f);

    // A zero-filled header's 0.0 marker with zero coefficients is no calibration.
    H zero;
    EXPECT_FALSE(headerCalibration(zero).has_value());
    H nan;
    nan.setF32(H::kCalibMarker, 0.0f);
    nan.setF32(H::kCalibCoef1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(headerCalibration(nan).has_value());
    H good;
    good.setF32(H::kCalibCoef1, 1.5f);
    good.setF32(H::kCalibCoef2, -2.0f);
    ASSERT_TRUE(headerCalibration(good).has_value());
    EXPECT_EQ(headerCalibration(good)->first, 1.5f);
    EXPECT_EQ(headerCalibration(good)->second, -2.0f);
}

TEST(SpectrumIo, LldChannelsComeBackZeroAndAHugeLldIsBounded) {
    TempDir dir;
    auto out = measuredState(512);
    for (int i = 0; i < 512; ++i) out->spectrum[i] = 1000 + i;
    ASSERT_EQ(saveSpectrum(*out, dir.file("l.dat")), "");
    auto s = std::make_unique<MeasurementState>();
    s->workingLld = 10;
    s->settings.lld = 100;  // entered in the setup but not confirmed: no cut
    ASSERT_TRUE(loadSpectrum(*s, dir.file("l.dat")).valid);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s->spectrum[i], 0);
    EXPECT_EQ(s->spectrum[10], 1010);

    s->workingLld = 1 << 30;
    ASSERT_TRUE(loadSpectrum(*s, dir.file("l.dat")).valid);
    EXPECT_TRUE(std::all_of(s->spectrum.begin(), s->spectrum.end(), [](int v) { return v == 0; }));
}

TEST(SpectrumIo, MismatchShowsChannelsReadAndFallsBackToTheLiveHeader) {
    TempDir dir;
    auto small = measuredState(256);
    ASSERT_EQ(saveSpectrum(*small, dir.file("s256.dat")), "");
    test::writeAll(dir.file("empty.dat"), "");
    test::writeAll(dir.file("hdr.dat"), std::string(1024, '\0'));
    test::writeAll(dir.file("junk.dat"), std::string(1024 + 2048 + 100, '\xA5'));

    for (const auto& [name, expect] : {std::pair{"s256.dat", "0"}, {"empty.dat", "0"}, {"hdr.dat", "0"},
                                       {"junk.dat", "512"}}) {
        SCOPED_TRACE(name);
        auto s = std::make_unique<MeasurementState>();
        s->liveHeader.setChannelCount(2048);
        s->liveHeader.setI32(H::kRealTime, 4242);
        s->selectedSource = 1;
        const auto memBefore = s->mem[0].counts;
        const FileLoadResult r = loadSpectrum(*s, dir.file(name));
        EXPECT_TRUE(r.opened);
        EXPECT_FALSE(r.valid);
        EXPECT_EQ(r.edit1, expect);
        EXPECT_EQ(r.label1, "");
        EXPECT_EQ(s->header, s->liveHeader);
        EXPECT_EQ(s->channelCount, 2048);  // N unchanged
        EXPECT_EQ(s->realTime, 0);         // times untouched
        EXPECT_EQ(s->mem[0].counts, memBefore);
        EXPECT_EQ(r.memoryStored, 0);
    }
    // A file that cannot be opened changes only the path and file name.
    auto s = std::make_unique<MeasurementState>();
    const H before = s->header;
    const FileLoadResult r = loadSpectrum(*s, dir.file("absent.dat"));
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.edit1, "");
    EXPECT_EQ(s->fileName, "absent.dat");
    EXPECT_EQ(s->header, before);
}

TEST(SpectrumIo, LoadIntoTheCheckedMemoryThenSelectItGivesTheFileBack) {
    TempDir dir;
    auto out = measuredState(2048);
    out->header.setI32(H::kCopySize - 4, 0x5A5A5A5A);
    ASSERT_EQ(saveSpectrum(*out, dir.file("mem.dat")), "");

    auto s = std::make_unique<MeasurementState>();
    s->selectedSource = 2;
    s->header.setI32(H::kCopySize - 4, 31337);  // the extra word travels with copies
    const FileLoadResult r = loadSpectrum(*s, dir.file("mem.dat"));
    ASSERT_TRUE(r.valid);
    EXPECT_EQ(r.memoryStored, 2);
    EXPECT_EQ(s->mem[1].name, "mem.dat");
    EXPECT_EQ(s->mem[1].header, s->header);
    EXPECT_EQ(s->mem[1].header.i32(H::kCopySize - 4), 31337);
    EXPECT_EQ(s->mem[0].counts[100], 100);  // other memories keep their ramp

    // Wipe the working state, then select memory 2.
    std::fill(s->spectrum.begin(), s->spectrum.end(), 0);
    s->liveTime = s->realTime = s->presetTimeShown = 0;
    s->cal = Calibration{};
    s->rois = {};
    s->channelCount = 512;
    s->fileName.clear();
    EXPECT_TRUE(selectMemory(*s, 2));
    EXPECT_EQ(s->channelCount, 2048);
    EXPECT_TRUE(std::equal(out->spectrum.begin(), out->spectrum.begin() + 2048, s->spectrum.begin()));
    EXPECT_EQ(s->liveTime, 35912);
    EXPECT_EQ(s->presetTimeShown, 36000);
    EXPECT_EQ(s->cal.calibrated, 1);
    EXPECT_EQ(s->cal.gain, 0.7321f);
    EXPECT_EQ(s->rois[7].high, 75);
    EXPECT_EQ(s->fileName, "mem.dat");
    EXPECT_EQ(s->selectedSource, 2);
}

TEST(SpectrumIo, FileLargerThanAMemoryIsRefusedForTheMemoryOnly) {
    TempDir dir;
    H h;
    h.setChannelCount(8192);
    std::vector<std::int32_t> counts(8192);
    for (int i = 0; i < 8192; ++i) counts[i] = i + 1;
    ASSERT_EQ(writeSpectrumFile(dir.file("big.dat"), h, counts), WriteStatus::Ok);

    auto s = std::make_unique<MeasurementState>();
    s->selectedSource = 3;
    const auto memBefore = s->mem[2].counts;
    const FileLoadResult r = loadSpectrum(*s, dir.file("big.dat"));
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.edit1, kMemoryTooSmall);
    EXPECT_EQ(r.memoryStored, 0);
    EXPECT_EQ(s->mem[2].counts, memBefore);
    EXPECT_EQ(s->mem[2].name, "");
    EXPECT_EQ(s->channelCount, 8192);  // the working spectrum keeps its 8192 room
    EXPECT_EQ(s->spectrum[8191], 8192);
    EXPECT_EQ(r.label2, "8191ch");
}

TEST(SpectrumIo, FailedSavesReportFileWriteErrorAndKeepThePreviousFile) {
    TempDir dir;
    auto s = measuredState(4096);
    EXPECT_EQ(saveSpectrum(*s, "/dev/full"), kFileWriteError);
    EXPECT_EQ(saveTextDump(*s, "/dev/full"), kFileWriteError);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    EXPECT_EQ(saveSpectrum(*s, dir.file("none/x.dat")), kFileWriteError);
    EXPECT_EQ(s->fileName, "x.dat");  // the name is remembered all the same
    // A directory that takes no new files (root ignores permissions; /proc never does).
    EXPECT_EQ(saveSpectrum(*s, "/proc/xmca-test.dat"), kFileWriteError);
}

TEST(SpectrumIo, LongPathsAreHandledWhole) {
    TempDir dir;
    std::filesystem::path deep = dir.path();
    for (int i = 0; i < 3; ++i) deep /= std::string(120, static_cast<char>('a' + i));
    std::filesystem::create_directories(deep);
    const std::string name = std::string(200, 'z') + ".dat";
    const std::string p = (deep / name).string();
    ASSERT_GT(p.size(), 255u);
    auto s = measuredState(1024);
    ASSERT_EQ(saveSpectrum(*s, p), "");
    EXPECT_EQ(s->path, p);
    EXPECT_EQ(s->fileName, name);
    auto in = std::make_unique<MeasurementState>();
    in->selectedSource = 1;
    ASSERT_TRUE(loadSpectrum(*in, p).valid);
    EXPECT_EQ(in->mem[0].name, name);
}

TEST(SpectrumIo, TextDumpUsesTheWorkingTimesAndTheDumpFileName) {
    TempDir dir;
    auto s = measuredState(512);
    s->liveTime = 1234;
    s->realTime = 1300;
    const std::string p = dir.file("out dump.txt");
    ASSERT_EQ(saveTextDump(*s, p), "");
    const std::string text = test::readAll(p);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11 + 512);
    EXPECT_NE(text.find("Data File Name, out dump.txt\n"), std::string::npos);
    EXPECT_NE(text.find("Live Time,    123.4\nReal Time,    130.0\n"), std::string::npos);
    EXPECT_EQ(s->header.i32(H::kLiveTime), 1234);  // header updated first
    EXPECT_EQ(text, textDump(*s, "out dump.txt"));
}

TEST(SpectrumIo, SampleAndBackgroundReads) {
    TempDir dir;
    auto out = measuredState(1024);
    ASSERT_EQ(saveSpectrum(*out, dir.file("sample.dat")), "");
    ASSERT_EQ(saveSpectrum(*out, dir.file("bg.dat")), "");

    auto s = std::make_unique<MeasurementState>();
    s->roiWorkFlag = 1;
    s->rois[1].shown = s->rois[2].shown = s->rois[3].shown = 1;
    s->rois[1].defined = s->rois[3].defined = 1;
    FileLoadResult r = readSampleFile(*s, dir.file("sample.dat"));
    EXPECT_EQ(r.memoryStored, 1);
    EXPECT_EQ(s->roiWorkFlag, 0);
    EXPECT_EQ(s->rois[1].shown, 0);
    EXPECT_EQ(s->rois[2].shown, 0);
    EXPECT_EQ(s->rois[3].shown, 1);
    EXPECT_EQ(s->rois[1].defined, 0);
    EXPECT_EQ(s->rois[3].defined, 1);
    EXPECT_EQ(s->samplePath, dir.file("sample.dat"));

    // Cancelled: memory 2 is selected, the background flag stays clear.
    r = readBackgroundFile(*s, std::nullopt);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(s->selectedSource, 2);
    EXPECT_EQ(s->bgFileFlag, 0);
    // A file that does not validate does not become the background either.
    test::writeAll(dir.file("bad.dat"), "short");
    readBackgroundFile(*s, dir.file("bad.dat"));
    EXPECT_EQ(s->bgFileFlag, 0);
    r = readBackgroundFile(*s, dir.file("bg.dat"));
    EXPECT_EQ(r.memoryStored, 2);
    EXPECT_EQ(s->bgFileFlag, 1);
    EXPECT_EQ(s->bgPath, dir.file("bg.dat"));
    EXPECT_EQ(s->mem[1].name, "bg.dat");
}

}  // namespace
}  // namespace xmca

namespace xmca {
namespace {

// The net spectrum is the sample compressed 2:1: written with the sample's calibration
// every energy read from the file would be half what it is.
TEST(SpectrumIo, CompressedSpectrumIsWrittenWithTheCalibrationOfItsOwnChannels) {
    TempDir dir;
    auto s = measuredState(1024);
    s->cal.gain = 1.0f;  // keV per channel of the 2048-channel sample
    s->cal.offset = 0.5f;
    s->cal.channels = 2048;
    // A line at raw channels 661..662 (661.5 .. 662.5 keV) lands in net channel 330 or 331.
    const std::string path = dir.file("net.dat");
    ASSERT_EQ(saveSpectrum(*s, path), "");
    auto back = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*back, path).valid);
    ASSERT_EQ(back->cal.calibrated, 1);
    EXPECT_FLOAT_EQ(back->cal.gain, 2.0f);
    EXPECT_FLOAT_EQ(back->cal.offset, 1.0f);
    // Net channel 330 holds raw 660 and 661: its energy is their middle.
    EXPECT_FLOAT_EQ(back->cal.gain * 330 + back->cal.offset, 0.5f * ((660 + 0.5f) + (661 + 0.5f)));
    EXPECT_EQ(back->cal.channels, 1024);
    // Written again at its own channel count, the file keeps what it holds.
    ASSERT_EQ(saveSpectrum(*back, path), "");
    auto again = std::make_unique<MeasurementState>();
    ASSERT_TRUE(loadSpectrum(*again, path).valid);
    EXPECT_FLOAT_EQ(again->cal.gain, 2.0f);
    // A calibration of unknown origin, or on a spectrum of its own count, is written as it is.
    auto plain = measuredState(1024);
    EXPECT_EQ(calibrationFor(plain->cal, 1024), std::make_pair(plain->cal.gain, plain->cal.offset));
    plain->cal.channels = 1024;
    EXPECT_EQ(calibrationFor(plain->cal, 512).first, plain->cal.gain * 2);
    EXPECT_EQ(calibrationFor(plain->cal, 2048).first, plain->cal.gain);  // never spread over more channels
    plain->cal.channels = 1000;
    EXPECT_EQ(calibrationFor(plain->cal, 300).first, plain->cal.gain);  // no whole fraction
}

}  // namespace
}  // namespace xmca
