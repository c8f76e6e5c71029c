// The about box names the version the build was made from, the one --version prints.
#include <gtest/gtest.h>

#include <QLabel>

#include "helpabout/tmca_about.h"

TEST(AboutBox, ShowsTheBuildVersion) {
    TMcaAbout about;
    const auto* label = about.findChild<QLabel*>("Version");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Version " XMCA_VERSION));
}
