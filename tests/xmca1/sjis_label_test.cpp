#include <gtest/gtest.h>

#include <string>

#include "xmca1/sjis_label.h"

namespace {

using xmca::decodeLabel;
using xmca::encodeLabel;

TEST(SjisLabel, AsciiIsByteIdenticalBothWays) {
    std::string all;
    for (int c = 0x20; c < 0x7F; ++c) all += static_cast<char>(c);
    const QString shown = decodeLabel(all);
    ASSERT_EQ(shown.size(), all.size());
    for (int i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i].unicode(), 0x20 + i);  // 0x5C stays '\', 0x7E '~'
    EXPECT_EQ(encodeLabel(QString::fromLatin1(all.data(), static_cast<qsizetype>(all.size())), 200), all);
}

TEST(SjisLabel, JapaneseTextRoundTrips) {
    const QString text = QString::fromUtf8("\xE5\x9C\x9F\xE5\xA3\x8C No.3 \xEF\xBD\xB1");  // 土壌 No.3 ｱ
    const std::string raw = encodeLabel(text);
    EXPECT_EQ(raw, std::string("\x93\x79\x8F\xEB No.3 \xB1"));
    EXPECT_EQ(decodeLabel(raw), text);
}

TEST(SjisLabel, CutAt31BytesNeverSplitsACharacter) {
    // 30 ASCII bytes then a two-byte character: it does not fit and is dropped whole.
    const QString text = QString(30, QChar('a')) + QString::fromUtf8("\xE6\x97\xA5");  // 日
    const std::string raw = encodeLabel(text);
    EXPECT_EQ(raw, std::string(30, 'a'));
    // Sixteen two-byte characters: fifteen fit (30 bytes).
    QString kanji;
    for (int i = 0; i < 16; ++i) kanji += QString::fromUtf8("\xE6\x97\xA5");
    const std::string k = encodeLabel(kanji);
    EXPECT_EQ(k.size(), 30u);
    EXPECT_EQ(decodeLabel(k), kanji.left(15));
    // Plain ASCII is cut at exactly 31.
    EXPECT_EQ(encodeLabel(QString(40, QChar('x'))).size(), 31u);
}

TEST(SjisLabel, UnencodableCharactersBecomeQuestionMarks) {
    // The euro sign and an emoji (a surrogate pair) have no Shift-JIS form; each is one '?',
    // never a stray lead byte.
    const std::string raw = encodeLabel(QString::fromUtf8("A\xE2\x82\xAC" "B\xF0\x9F\x98\x80" "C"));
    EXPECT_EQ(raw, "A?B?C");
    // A lone surrogate, too.
    QString lone = "x";
    lone += QChar(0xD800);
    EXPECT_EQ(encodeLabel(lone), "x?");
}

TEST(SjisLabel, TextEndsAtNul) {
    QString t = "ab";
    t += QChar(0);
    t += "cd";
    EXPECT_EQ(encodeLabel(t), "ab");
    EXPECT_EQ(decodeLabel(std::string("ab\0cd", 5)), "ab");
}

TEST(SjisLabel, BrokenBytesDecodeToReplacement) {
    // A lead byte at the very end is replaced, not silently dropped.
    const QString s = decodeLabel(std::string("ab\x93"));
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s.left(2), "ab");
    EXPECT_EQ(s[2], QChar(QChar::ReplacementCharacter));
}

}  // namespace
