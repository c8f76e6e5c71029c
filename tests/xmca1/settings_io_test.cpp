#include <gtest/gtest.h>

#include <clocale>
#include <limits>

#include "model/settings_io.h"

namespace {

using namespace xmca::settings;

TEST(SettingsIo, RealNumbersConvertOnlyWhole) {
    EXPECT_DOUBLE_EQ(*parseReal("1000.0"), 1000.0);
    EXPECT_DOUBLE_EQ(*parseReal("   1000.0"), 1000.0);  // "%9.1f" pads with blanks
    EXPECT_DOUBLE_EQ(*parseReal("+2.5 "), 2.5);
    EXPECT_DOUBLE_EQ(*parseReal("-0.5"), -0.5);
    EXPECT_DOUBLE_EQ(*parseReal("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(*parseReal(".5"), 0.5);
    for (const char* bad : {"", "   ", "abc", "10s", "1,5", "1.2.3", "inf", "nan", "-inf", "+-1", "1e999", "0x10"})
        EXPECT_FALSE(parseReal(bad).has_value()) << bad;
}

TEST(SettingsIo, IntegersStayInInt32) {
    EXPECT_EQ(*parseInt("100"), 100);
    EXPECT_EQ(*parseInt(" -7 "), -7);
    EXPECT_EQ(*parseInt("+2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(*parseInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
    for (const char* bad : {"", "2147483648", "-2147483649", "1.0", "12a", "1e2", "99999999999999999999"})
        EXPECT_FALSE(parseInt(bad).has_value()) << bad;
}

TEST(SettingsIo, PresetSecondsToTenths) {
    EXPECT_EQ(*presetTenthsFromSeconds("1000.0"), 10000);
    EXPECT_EQ(*presetTenthsFromSeconds("100.0"), 1000);
    EXPECT_EQ(*presetTenthsFromSeconds("3600"), 36000);
    // 0.3 * 10 is 2.9999999999999996 in binary; the 0.001 keeps it at 3.
    EXPECT_EQ(*presetTenthsFromSeconds("0.3"), 3);
    EXPECT_EQ(*presetTenthsFromSeconds("0.05"), 0);  // truncated, not rounded
    EXPECT_EQ(*presetTenthsFromSeconds("0"), 0);
    EXPECT_FALSE(presetTenthsFromSeconds("-1").has_value());
    EXPECT_FALSE(presetTenthsFromSeconds("1e9").has_value());  // 1e10 tenths overflow int32
    EXPECT_FALSE(presetTenthsFromSeconds("ten").has_value());
}

TEST(SettingsIo, DeadTimeMustBeANonNegativeFloat) {
    EXPECT_FLOAT_EQ(*deadTimeFromText("1.8"), 1.8f);
    EXPECT_FLOAT_EQ(*deadTimeFromText("0"), 0.0f);
    EXPECT_FALSE(deadTimeFromText("-1.2").has_value());
    EXPECT_FALSE(deadTimeFromText("1e300").has_value());
    // A physical range: up to 100 us per event.
    EXPECT_FALSE(deadTimeFromText("1e30").has_value());
    EXPECT_FALSE(deadTimeFromText("100.5").has_value());
    EXPECT_FLOAT_EQ(*deadTimeFromText("100"), 100.0f);
    EXPECT_FALSE(deadTimeFromText("x").has_value());
}

TEST(SettingsIo, FormattingIsFixedWidthAndRoundTrips) {
    EXPECT_EQ(presetSecondsText(10000), "   1000.0");
    EXPECT_EQ(presetSecondsText(100), "     10.0");
    EXPECT_EQ(presetSecondsText(36000), "   3600.0");
    EXPECT_EQ(deadTimeText(1.8f), "      1.8");
    EXPECT_EQ(formatFixed(2.25, 2, 0), "2.25");
    EXPECT_EQ(formatFixed(123456789.0, 1, 9), "123456789.0");  // wider than the field: not cut
    for (std::int32_t t : {1, 9, 100, 12345, 36000, 999999, std::numeric_limits<std::int32_t>::max()})
        EXPECT_EQ(*presetTenthsFromSeconds(presetSecondsText(t)), t) << t;
}

TEST(SettingsIo, IndependentOfTheCLocale) {
    // A Qt program runs under the operator's locale; a decimal-comma locale must not
    // change what is shown or accepted.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no decimal-comma locale installed";
    EXPECT_EQ(presetSecondsText(10000), "   1000.0");
    EXPECT_DOUBLE_EQ(*parseReal("1.5"), 1.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
