// The text dump, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "files/spectrum_file.h"

namespace xmca {
namespace {

using H = SpectrumHeader;

TEST(TextDump, SmallSpectrumExactBytes) {
    H h;
    h.setI16(H::kYear, 2026);
    h.setI16(H::kMonth, 3);
    h.setI16(H::kDay, 11);
    h.setI16(H::kHour, 9);
    h.setI16(H::kMinute, 5);
    h.setI16(H::kSecond, 0);
    h.setI32(H::kLiveTime, 35987);
    h.setI32(H::kRealTime, 36000);
    h.setText(H::kComment, "Rice 2kg");
    h.setText(H::kSampleId, "\x93\xfa\x96\x7b");  // Shift-JIS bytes go out raw
    const std::vector<std::int32_t> counts = {0, 12, -3, 12345678};
    const std::string expected =
        "*** Veltramond Co., MCA Binary Data to ASCII Data Dump ***\n"
        "\n"
        "Data File Name, rice.txt\n"
        "Data Comment, Rice 2kg\n"
        "Sample ID, \x93\xfa\x96\x7b\n"
        "Acq. Date, 2026/ 3/11,  9: 5: 0\n"
        "Live Time,   3598.7\n"
        "Real Time,   3600.0\n"
        "Mca Ch Size,    4\n"
        "\n"
        "ch  ,  data\n"
        "   0,       0\n"
        "   1,      12\n"
        "   2,      -3\n"
        "   3,12345678\n";
    EXPECT_EQ(formatTextDump(h, counts, "rice.txt"), expected);
}

TEST(TextDump, ElevenHeaderLinesThenOneLinePerChannel) {
    for (const int n : {256, 4096, 8192}) {
        std::vector<std::int32_t> counts(static_cast<std::size_t>(n), 5);
        const std::string text = formatTextDump(H{}, counts, "x.txt");
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11 + n);
        char size[64], last[32];
        std::snprintf(size, sizeof size, "Mca Ch Size, %4d\n\nch  ,  data\n", n);
        EXPECT_NE(text.find(size), std::string::npos);
        std::snprintf(last, sizeof last, "%4d,%8d\n", n - 1, 5);
        EXPECT_TRUE(text.ends_with(last));
    }
}

TEST(TextDump, LongNamesAndFullTextFieldsAreBounded) {
    H h;
    // A comment field with no terminating zero stops at its 32 bytes.
    std::fill_n(h.bytes().begin() + H::kComment, 32, std::uint8_t{'c'});
    h.setText(H::kSampleId, "ID");
    const std::string name(600, 'f');
    const std::string text = formatTextDump(h, {}, name);
    EXPECT_NE(text.find("Data File Name, " + name + "\n"), std::string::npos);
    EXPECT_NE(text.find("Data Comment, " + std::string(32, 'c') + "\nSample ID, ID\n"), std::string::npos);
}

}  // namespace
}  // namespace xmca
