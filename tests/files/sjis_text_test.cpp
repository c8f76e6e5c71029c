// Shift-JIS comment and sample-ID texts.
#include <gtest/gtest.h>

#include "files/sjis_text.h"
#include "files/spectrum_header.h"

namespace xmca {
namespace {

const std::string kNihonSjis = "\x93\xfa\x96\x7b";       // 日本
const std::string kNihonUtf8 = "\xe6\x97\xa5\xe6\x9c\xac";

TEST(SjisText, AsciiStaysByteIdenticalBothWays) {
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) ascii += static_cast<char>(c);
    EXPECT_EQ(sjisToUtf8(ascii), ascii);  // includes '\' and '~'
    EXPECT_EQ(utf8ToSjis(ascii, 200), ascii);
}

TEST(SjisText, JapaneseRoundTrips) {
    EXPECT_EQ(utf8ToSjis(kNihonUtf8), kNihonSjis);
    EXPECT_EQ(sjisToUtf8(kNihonSjis), kNihonUtf8);
    // Half-width katakana (one byte) and a mixed text.
    EXPECT_EQ(sjisToUtf8("\xb1"), "\xef\xbd\xb1");
    const std::string mixed = "Cs-137 " + kNihonUtf8 + " #3";
    EXPECT_EQ(sjisToUtf8(utf8ToSjis(mixed)), mixed);
}

TEST(SjisText, EncodingNeverSplitsACharacterAtTheLimit) {
    const std::string a29(29, 'a'), a30(30, 'a');
    EXPECT_EQ(utf8ToSjis(a29 + kNihonUtf8), a29 + kNihonSjis.substr(0, 2));  // 31 bytes: fits
    EXPECT_EQ(utf8ToSjis(a30 + kNihonUtf8), a30);                             // would be 32: dropped
    EXPECT_EQ(utf8ToSjis(std::string(40, 'z')).size(), 31u);
}

TEST(SjisText, HeaderFieldCutKeepsWholeCharacters) {
    SpectrumHeader h;
    const std::string a30(30, 'a');
    h.setText(SpectrumHeader::kComment, a30 + kNihonSjis);  // 34 bytes offered
    EXPECT_EQ(h.comment(), a30);
    EXPECT_EQ(h.bytes()[SpectrumHeader::kComment + 30], 0);
    h.setText(SpectrumHeader::kSampleId, std::string(29, 'b') + kNihonSjis);
    EXPECT_EQ(h.sampleId(), std::string(29, 'b') + kNihonSjis.substr(0, 2));
    h.setText(SpectrumHeader::kSampleId, std::string(40, 'q'));
    EXPECT_EQ(h.sampleId(), std::string(31, 'q'));
}

TEST(SjisText, UndecodableBytesBecomeReplacementCharacters) {
    const std::string repl = "\xef\xbf\xbd";
    EXPECT_EQ(sjisToUtf8("ab\x93"), "ab" + repl);        // lead byte cut off at the end
    EXPECT_EQ(sjisToUtf8("\xff" "A"), repl + "A");
    EXPECT_EQ(sjisToUtf8("\x81\x05x"), repl + "\x05x");  // bad trail byte resynchronises
    // Unencodable characters and broken UTF-8 become '?'.
    EXPECT_EQ(utf8ToSjis("\xf0\x9f\x98\x80!"), "?!");    // emoji
    EXPECT_EQ(utf8ToSjis("a\xe6\x97"), "a??");          // truncated sequence: each byte
    EXPECT_EQ(utf8ToSjis("\xc0\xaf"), "??");            // over-long form
    EXPECT_EQ(utf8ToSjis(std::string("ab\0cd", 5)), "ab");
}

}  // namespace
}  // namespace xmca
