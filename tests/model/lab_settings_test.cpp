// Laboratory settings file and the mass factor.
#include <gtest/gtest.h>

#include <cmath>

#include "files/temp_dir.h"
#include "model/lab_settings.h"
#include "model/screening_run.h"

namespace xmca {
namespace {

TEST(LabSettings, RoundTripDefaultsAndBadValues) {
    test::TempDir dir;
    const std::string path = dir.file("sub/laboratory.conf");
    const LabSettings none = loadLabSettings(path);  // no file: defaults
    EXPECT_FALSE(none.nominalMassKg);
    EXPECT_EQ(none.backgroundMaxAgeDays, 7);

    LabSettings s;
    s.laboratoryName = "福島県農業総合センター";
    s.laboratoryAddress = "郡山市\nback\\slash";
    s.installation = "det-2";
    s.nominalMassKg = 1.5;
    s.dataFolder = "/data/spectra";
    s.backgroundMaxAgeDays = 3;
    s.registerLocation = "/srv/reg.sqlite";
    s.operatorName = "山田";
    s.backgroundFile = "/data/spectra/20260411-180005-背景=夜.dat";
    ASSERT_TRUE(saveLabSettings(s, path));
    const LabSettings back = loadLabSettings(path);
    EXPECT_EQ(back.laboratoryName, s.laboratoryName);
    EXPECT_EQ(back.laboratoryAddress, s.laboratoryAddress);
    EXPECT_EQ(back.installation, "det-2");
    EXPECT_EQ(back.nominalMassKg, 1.5);
    EXPECT_EQ(back.dataFolder, "/data/spectra");
    EXPECT_EQ(back.backgroundMaxAgeDays, 3);
    EXPECT_EQ(back.registerLocation, "/srv/reg.sqlite");
    EXPECT_EQ(back.operatorName, "山田");
    EXPECT_EQ(back.backgroundFile, s.backgroundFile);
    EXPECT_EQ(installationName(back), "det-2");
    EXPECT_FALSE(installationName({}).empty());  // the host name

    test::writeAll(path, "nominal_mass_kg=-2\r\nbackground_max_age_days=x\r\nunknown=1\r\nno equals sign\r\n");
    const LabSettings bad = loadLabSettings(path);
    EXPECT_FALSE(bad.nominalMassKg);
    EXPECT_EQ(bad.backgroundMaxAgeDays, 7);
}

TEST(LabSettings, MassFactorOnlyForTwoPositiveMasses) {
    EXPECT_DOUBLE_EQ(*massFactor(1.0, 0.8), 1.25);
    EXPECT_FALSE(massFactor(std::nullopt, 0.8));
    EXPECT_FALSE(massFactor(1.0, std::nullopt));
    EXPECT_FALSE(massFactor(1.0, 0.0));
    EXPECT_FALSE(massFactor(-1.0, 0.5));
    EXPECT_FALSE(massFactor(1.0, std::nan("")));
    EXPECT_FALSE(massFactor(1.0, INFINITY));
}

}  // namespace
}  // namespace xmca
