// The .dat reader and writer: layout, block rule, validation and bad files.
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "files/spectrum_file.h"
#include "files/temp_dir.h"

namespace xmca {
namespace {

using test::TempDir;

SpectrumHeader headerFor(int n) {
    SpectrumHeader h;
    h.setChannelCount(static_cast<std::int16_t>(n));
    h.setI32(SpectrumHeader::kLiveTime, 35987);
    h.setI32(SpectrumHeader::kRealTime, 36000);
    return h;
}

std::vector<std::int32_t> rampCounts(int n) {
    std::vector<std::int32_t> c(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) c[i] = i * 7919 - 100000;  // negatives too
    return c;
}

class SpectrumFileRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(SpectrumFileRoundTrip, WritesExactLayoutAndReadsBackValid) {
    const int n = GetParam();
    TempDir dir;
    const auto counts = rampCounts(n);
    SpectrumHeader h = headerFor(n);
    h.setI32(SpectrumHeader::kCopySize - 4, 0x11223344);  // the extra word stays in memory
    ASSERT_EQ(writeSpectrumFile(dir.file("s.dat"), h, counts), WriteStatus::Ok);

    const std::string bytes = test::readAll(dir.file("s.dat"));
    ASSERT_EQ(bytes.size(), 1024u + 4u * n);
    // Channel count at 54 and channel 1 as int32 little-endian right after the header.
    EXPECT_EQ(static_cast<unsigned char>(bytes[54]) | static_cast<unsigned char>(bytes[55]) << 8, n);
    const std::uint32_t c1 = static_cast<unsigned char>(bytes[1028]) | static_cast<unsigned char>(bytes[1029]) << 8 |
                             static_cast<unsigned char>(bytes[1030]) << 16 |
                             static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1031])) << 24;
    EXPECT_EQ(static_cast<std::int32_t>(c1), counts[1]);

    SpectrumHeader back;
    back.setI32(SpectrumHeader::kCopySize - 4, 77);
    std::vector<std::int32_t> room(kMaxFileChannels + 1, -1);
    const auto r = readSpectrumFile(dir.file("s.dat"), back, room);
    EXPECT_TRUE(r.opened);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.channelsRead, n);
    EXPECT_TRUE(std::equal(counts.begin(), counts.end(), room.begin()));
    EXPECT_EQ(room[n], -1);  // nothing past the file's channels is touched
    EXPECT_EQ(back.i32(SpectrumHeader::kLiveTime), 35987);
    EXPECT_EQ(back.i32(SpectrumHeader::kCopySize - 4), 77);  // only 1024 bytes come from a file
}

INSTANTIATE_TEST_SUITE_P(Sizes, SpectrumFileRoundTrip, ::testing::Values(512, 1024, 2048, 4096, 8192));

TEST(SpectrumFileRead, BlockRuleDecidesChannelsRead) {
    TempDir dir;
    struct Case {
        int headerCount;
        int bodyChannels;
        int expectRead;
        bool expectValid;
    };
    const Case cases[] = {
        {256, 256, 0, false},      // a 256-channel file never validates
        {1000, 1000, 512, false},  // not a multiple of 512: the short block is not counted
        {8192, 9000, 8192, true},  // over-long: read stops at 16 blocks
        {4096, 9000, 8192, false},
        {-4096, 4096, 4096, false},  // sign-extended count never matches
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headerCount);
        const auto counts = rampCounts(c.bodyChannels);
        ASSERT_EQ(writeSpectrumFile(dir.file("b.dat"), headerFor(c.headerCount), counts), WriteStatus::Ok);
        SpectrumHeader h;
        std::vector<std::int32_t> room(kMaxFileChannels, 0);
        const auto r = readSpectrumFile(dir.file("b.dat"), h, room);
        EXPECT_EQ(r.channelsRead, c.expectRead);
        EXPECT_EQ(r.valid, c.expectValid);
        EXPECT_EQ(r.wordsRead, std::min(c.bodyChannels, kMaxFileChannels));
    }
}

TEST(SpectrumFileRead, BadFilesNeverOverrunTheRoom) {
    TempDir dir;
    std::mt19937 rng(42);
    std::string garbage(1024 + 4 * 5000 + 3, '\0');
    for (auto& ch : garbage) ch = static_cast<char>(rng());

    struct Case {
        const char* name;
        std::string data;
        bool headerComplete;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"half header", std::string(500, 'x'), false},
        {"header only, count 0", std::string(1024, '\0'), true},
        {"garbage", garbage, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeAll(dir.file("bad.dat"), c.data);
        SpectrumHeader h;
        // A room of 4096 with a guard after it: the reader must stop at the room.
        std::vector<std::int32_t> buf(4096 + 16, 12345);
        const auto r = readSpectrumFile(dir.file("bad.dat"), h, std::span(buf.data(), 4096));
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.headerComplete, c.headerComplete);
        EXPECT_FALSE(r.valid);
        EXPECT_LE(r.channelsRead, 4096);
        for (int i = 4096; i < 4096 + 16; ++i) EXPECT_EQ(buf[i], 12345);
    }
    SpectrumHeader h;
    std::vector<std::int32_t> room(kMaxFileChannels);
    EXPECT_FALSE(readSpectrumFile(dir.file("missing.dat"), h, room).opened);
    EXPECT_FALSE(readSpectrumFile(dir.path().string(), h, room).valid);  // a directory
}

TEST(SpectrumFileRead, ShortHeaderOverwritesOnlyTheBytesPresent) {
    TempDir dir;
    test::writeAll(dir.file("short.dat"), std::string(60, '\x01'));
    SpectrumHeader h;
    h.setI32(SpectrumHeader::kLiveTime, 99);
    std::vector<std::int32_t> room(kMaxFileChannels);
    const auto r = readSpectrumFile(dir.file("short.dat"), h, room);
    EXPECT_FALSE(r.headerComplete);
    EXPECT_EQ(h.channelCount(), 0x0101);
    EXPECT_EQ(h.i32(SpectrumHeader::kLiveTime), 99);
}

TEST(BareName, TakesThePartAfterTheLastSeparator) {
    EXPECT_EQ(bareName("/data/soil/a1.dat"), "a1.dat");
    EXPECT_EQ(bareName("C:\\mca\\rice.dat"), "rice.dat");
    EXPECT_EQ(bareName("mixed\\dir/x.dat"), "x.dat");
    EXPECT_EQ(bareName("mixed/dir\\y.dat"), "y.dat");
    EXPECT_EQ(bareName("plain.dat"), "plain.dat");
    EXPECT_EQ(bareName("/dir/"), "");
    const std::string longName(300, 'n');
    EXPECT_EQ(bareName("/" + std::string(400, 'd') + "/" + longName), longName);
}

}  // namespace
}  // namespace xmca
