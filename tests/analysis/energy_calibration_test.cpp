#include "analysis/energy_calibration.h"

#include <gtest/gtest.h>

#include <limits>

using xmca::CalibrationTexts;
using xmca::parseCalibrationNumber;
using xmca::twoPointCalibration;

TEST(EnergyCalibration, TwoPointsGiveGainAndOffsetInFloats) {
    const auto r = twoPointCalibration({"100", "200", "662", "1332"});
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.gain, 6.7f);
    EXPECT_EQ(r.offset, -8.0f);
    EXPECT_EQ(r.lowCh, 100.0f);
    EXPECT_EQ(r.highEng, 1332.0f);
    EXPECT_DOUBLE_EQ(xmca::channelEnergy(150, r.gain, r.offset), 150.0 * 6.7f - 8.0);

    // The box text of a snapped peak ("%8.2f", leading blanks) parses; the
    // reference channels may come in either order.
    const auto s = twoPointCalibration({"  661.40", "1450.25", "1461", "661.66"});
    ASSERT_TRUE(s.ok);
    const float gain = (661.66f - 1461.0f) / (1450.25f - 661.40f);
    EXPECT_EQ(s.gain, gain);
    EXPECT_EQ(s.offset, 661.66f - gain * 1450.25f);
}

TEST(EnergyCalibration, MessagesComeInBoxOrder) {
    EXPECT_EQ(twoPointCalibration({"x", "y", "z", "w"}).message, "Error ! Energy Calib LowCh");
    EXPECT_EQ(twoPointCalibration({"1", "y", "z", "w"}).message, "Error ! Energy Calib HighCh");
    EXPECT_EQ(twoPointCalibration({"1", "2", "", "w"}).message, "Error ! Energy Calib LowEng");
    EXPECT_EQ(twoPointCalibration({"1", "2", "3", "4keV"}).message, "Error ! Energy Calib HighEng");
    EXPECT_FALSE(twoPointCalibration({"1", "2", "3", "4keV"}).ok);
}

TEST(EnergyCalibration, DegenerateAndNonFiniteInputsAreRefused) {
    const auto same = twoPointCalibration({"300", "300.0", "662", "1461"});
    EXPECT_FALSE(same.ok);
    EXPECT_EQ(same.message, xmca::kCalibSameChError);
    // Channels that differ as text but not as floats are still the same channel.
    EXPECT_FALSE(twoPointCalibration({"16777216", "16777217", "662", "1461"}).ok);

    EXPECT_EQ(twoPointCalibration({"inf", "2", "3", "4"}).message, xmca::kCalibLowChError);
    EXPECT_EQ(twoPointCalibration({"1", "nan", "3", "4"}).message, xmca::kCalibHighChError);
    EXPECT_EQ(twoPointCalibration({"1", "2", "1e39", "4"}).message, xmca::kCalibLowEngError);
    // Finite inputs whose gain overflows, and equal energies (gain 0).
    EXPECT_EQ(twoPointCalibration({"0", "1e-30", "-3e38", "3e38"}).message, xmca::kCalibGainError);
    EXPECT_EQ(twoPointCalibration({"100", "200", "662", "662"}).message, xmca::kCalibGainError);
}

TEST(EnergyCalibration, NumberParsing) {
    EXPECT_EQ(parseCalibrationNumber(" 101.40 "), 101.4f);
    EXPECT_EQ(parseCalibrationNumber("+5"), 5.0f);
    EXPECT_EQ(parseCalibrationNumber("-1.5e2"), -150.0f);
    EXPECT_FALSE(parseCalibrationNumber(""));
    EXPECT_FALSE(parseCalibrationNumber("   "));
    EXPECT_FALSE(parseCalibrationNumber("1,5"));
    EXPECT_FALSE(parseCalibrationNumber("12 3"));
    EXPECT_FALSE(parseCalibrationNumber("0x10"));
    EXPECT_FALSE(parseCalibrationNumber("+-1"));
    EXPECT_EQ(xmca::lowChEditMessage("abc"), "Error ! EngCalib LowCh");
    EXPECT_EQ(xmca::highChEditMessage("abc"), "Error ! EngCalib HiCh");
    EXPECT_EQ(xmca::lowChEditMessage(" 12.5"), "");
}

TEST(EnergyCalibration, ReferenceChannelFromCursor) {
    EXPECT_EQ(xmca::referenceChannelText(101.4f, 101), "  101.40");
    EXPECT_EQ(xmca::referenceChannelText(101.4f, 102), "102");
    EXPECT_EQ(xmca::referenceChannelText(101.5f, 102), "  101.50");  // rounds up to 102
    EXPECT_EQ(xmca::referenceChannelText(0.0f, 0), "    0.00");
    EXPECT_EQ(xmca::referenceChannelText(std::numeric_limits<float>::quiet_NaN(), 7), "7");
}
