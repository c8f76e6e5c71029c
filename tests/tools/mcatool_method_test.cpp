// mcatool method calibrate and list, and --method on activity and screen, run as
// programs on simulated standards and samples: the JSON contract, the versions in
// the register, the refusals, and the mass range.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "analysis/nuclide_data.h"
#include "files/temp_dir.h"
#include "support/simulated_spectra.h"
#include "tools/tool_run.h"

namespace xmca {
namespace {

using test::quote;
using test::TempDir;

SimulatedAnalyserConfig content(double cs134, double cs137, double k40, std::uint64_t seed) {
    SimulatedAnalyserConfig c;
    c.cs134 = cs134;
    c.cs137 = cs137;
    c.k40 = k40;
    c.seed = seed;
    return c;
}

// Spectra stamped 2026-12-08: a background, Cs-137 and Cs-134 standards (the
// latter certified 2 000 Bq a year before), KCl, and a kombu sample.
struct Lab {
    TempDir dir;
    std::string bg = dir.file("bg.dat"), cs137 = dir.file("cs137.dat"), cs134 = dir.file("cs134.dat"),
                kcl = dir.file("kcl.dat"), kombu = dir.file("kombu.dat");
    std::string config = dir.file("config"), data = dir.file("data"), db = dir.file("reg.sqlite");
    Lab() {
        SimulatedAnalyserConfig b = content(0, 0, 0, 31);
        b.backgroundOnly = true;
        EXPECT_TRUE(test::acquireAndSave(b, 360000, bg));
        EXPECT_TRUE(test::acquireAndSave(content(0, 2000, 0, 32), 36000, cs137));
        EXPECT_TRUE(test::acquireAndSave(content(2000 * nuclide::decayFactor(nuclide::Cs134, 365), 0, 0, 33), 36000,
                                         cs134));
        EXPECT_TRUE(test::acquireAndSave(content(0, 0, 16300, 34), 36000, kcl));
        EXPECT_TRUE(test::acquireAndSave(content(0, 0, 1500, 35), 360000, kombu));
    }
    test::ToolRun run(const std::string& args) const {
        return test::runCommand(dir, "XDG_CONFIG_HOME=" + quote(config) + " XDG_DATA_HOME=" + quote(data) + " " +
                                         quote(test::mcatoolPath()) + " " + args);
    }
    std::string calibrateArgs(const std::string& extra = "") const {
        return "method calibrate --name marinelli --background " + quote(bg) + " --cs137 " + quote(cs137) +
               " --cs137-bq 2000 --cs137-date 2026-12-01 --cs137-u 3 --cs134 " + quote(cs134) +
               " --cs134-bq 2000 --cs134-date 2025-12-08 --k40 " + quote(kcl) + " --k40-bq 16300 --mass-kg 1.0 " +
               "--geometry '1 L Marinelli' --register " + quote(db) + " " + extra;
    }
};

QJsonObject object(const std::string& json) { return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object(); }

TEST(McatoolMethod, CalibratesListsAndScreensWithTheMethod) {
    Lab lab;
    const auto cal = lab.run(lab.calibrateArgs());
    ASSERT_EQ(cal.code, 0) << cal.err;
    const QJsonObject m = object(cal.out)["method"].toObject();
    EXPECT_EQ(m["name"].toString(), "marinelli");
    EXPECT_EQ(m["version"].toInt(), 1);
    EXPECT_DOUBLE_EQ(m["mass_kg"].toDouble(), 1.0);
    ASSERT_EQ(m["mass_range"].toArray().size(), 2);
    EXPECT_DOUBLE_EQ(m["mass_range"].toArray()[0].toDouble(), 0.85);
    EXPECT_DOUBLE_EQ(m["mass_range"].toArray()[1].toDouble(), 1.15);
    EXPECT_FALSE(m["cs134_assumed"].toBool(true));
    const QJsonObject resp = m["response"].toObject();
    for (const char* n : {"Cs-137", "Cs-134", "K-40"})
        for (const char* w : {"Cs-All", "Cs-134", "K-40"}) EXPECT_TRUE(resp[n].toObject()[w].isDouble()) << n << w;
    // Cs-137 in the fixed geometry: 1 / 106.73 counts/s per Bq in Cs-All, within its counting.
    EXPECT_NEAR(resp["Cs-137"].toObject()["Cs-All"].toDouble(), 1.0 / 106.73, 0.0003);
    // Cs-134 gives more counts per Bq in Cs-All than Cs-137 (its 563-605 keV lines and continuum).
    const double ratio = resp["Cs-134"].toObject()["Cs-All"].toDouble() / resp["Cs-137"].toObject()["Cs-All"].toDouble();
    EXPECT_GT(ratio, 1.2);
    EXPECT_LT(ratio, 2.0);
    // K-40's continuum reaches the Cs windows.
    EXPECT_GT(resp["K-40"].toObject()["Cs-All"].toDouble(), 10 * m["response_u"].toObject()["K-40"].toObject()["Cs-All"].toDouble());

    const auto again = lab.run(lab.calibrateArgs("--mass-range 0.9-1.1"));
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(object(again.out)["method"].toObject()["version"].toInt(), 2);
    const auto list = lab.run("method list --register " + quote(lab.db));
    ASSERT_EQ(list.code, 0) << list.err;
    const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(list.out)).array();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0]["version"].toInt(), 2);
    EXPECT_EQ(all[1]["version"].toInt(), 1);
    EXPECT_DOUBLE_EQ(all[0]["mass_range"].toArray()[0].toDouble(), 0.9);

    const auto act = lab.run("activity " + quote(lab.kombu) + " " + quote(lab.bg) + " --method marinelli --mass-kg 1.0 "
                             "--register " + quote(lab.db));
    ASSERT_EQ(act.code, 0) << act.err;
    const QJsonObject a = object(act.out);
    EXPECT_EQ(a["method"].toObject()["name"].toString(), "marinelli");
    EXPECT_EQ(a["method"].toObject()["version"].toInt(), 2);  // the newest
    const QJsonObject cs = a["screening"].toObject()["cs_total"].toObject();
    EXPECT_NEAR(cs["activity"].toDouble(), 0.0, 3 * cs["uncertainty"].toDouble());
    EXPECT_GT(a["factory_cs_all"].toObject()["bq_per_kg"].toDouble(), 15.0);  // the fixed factors' false caesium
    EXPECT_TRUE(a["activity"].toObject()["Cs-All"].toObject()["bq_per_kg"].isDouble());  // the activity keys stay

    const auto factory = lab.run("activity " + quote(lab.kombu) + " " + quote(lab.bg));
    ASSERT_EQ(factory.code, 0) << factory.err;
    EXPECT_EQ(object(factory.out)["method"].toObject()["name"].toString(), "factory");

    const auto sc = lab.run("screen " + quote(lab.kombu) + " " + quote(lab.bg) +
                            " --sample-id 昆布 --mass-kg 1.2 --method marinelli --register " + quote(lab.db));
    ASSERT_EQ(sc.code, 0) << sc.err;
    EXPECT_EQ(object(sc.out)["screening"].toObject()["verdict"].toString(), "No verdict - mass outside the method's range");
    EXPECT_EQ(object(sc.out)["method"].toObject()["version"].toInt(), 2);
    const auto rows = lab.run("register list --register " + quote(lab.db));
    ASSERT_EQ(rows.code, 0) << rows.err;
    const QJsonArray recs = QJsonDocument::fromJson(QByteArray::fromStdString(rows.out)).array();
    ASSERT_EQ(recs.size(), 1);
    EXPECT_EQ(recs[0]["method_name"].toString(), "marinelli");
    EXPECT_EQ(recs[0]["method_version"].toInt(), 2);
    EXPECT_NE(recs[0]["method"].toString().indexOf("method marinelli v2, calibrated"), -1);
    // verify computes it again with that very method and version.
    const auto verify = lab.run("register verify --register " + quote(lab.db));
    EXPECT_EQ(verify.code, 0) << verify.err << verify.out;
    EXPECT_EQ(object(verify.out)["checked"].toInt(), 1);
}

TEST(McatoolMethod, RefusesWhatNoLaboratoryCouldCalibrateFrom) {
    Lab lab;
    struct Case {
        std::string args, message;
    };
    const std::string base = "method calibrate --name m --background " + quote(lab.bg) + " --mass-kg 1 --register " +
                             quote(lab.db) + " --cs137-date 2026-12-01 ";
    const Case refused[] = {
        {base + "--cs137 " + quote(lab.bg) + " --cs137-bq 2000", "Error ! the Cs-137 standard is the background file"},
        {base + "--cs137 " + quote(lab.kcl) + " --cs137-bq 2000", "Error ! the Cs-137 standard holds no significant"},
        {base + "--cs137 " + quote(lab.cs137) + " --cs137-bq 0", "Error ! the Cs-137 standard's activity must be above 0"},
        {base + "--cs137 " + quote(lab.cs137) + " --cs137-bq -5", "Error ! the Cs-137 standard's activity"},
        {"method calibrate --name m --background " + quote(lab.bg) + " --mass-kg 1 --register " + quote(lab.db) +
             " --cs137 " + quote(lab.cs137) + " --cs137-bq 2000 --cs137-date 2026-12-10",
         "Error ! the Cs-137 standard's reference date is after"},
        {base + "--cs137 " + quote(lab.dir.file("none.dat")) + " --cs137-bq 2000", "Error ! cannot open"},
    };
    for (const Case& c : refused) {
        const auto r = lab.run(c.args);
        EXPECT_EQ(r.code, 1) << c.args << "\n" << r.out;
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    for (const std::string& bad :
         {base, base + "--cs137 " + quote(lab.cs137),                                 // no activity
          base + "--cs137 " + quote(lab.cs137) + " --cs137-bq x",                      // not a number
          base + "--cs137 " + quote(lab.cs137) + " --cs137-bq 2000 --cs137-u 150",     // not a percentage
          base + "--cs137 " + quote(lab.cs137) + " --cs137-bq 2000 --k40-bq 10",       // K-40 without its file
          base + "--cs137 " + quote(lab.cs137) + " --cs137-bq 2000 --cs134 " + quote(lab.cs134),  // nor its certificate
          std::string("method frobnicate")}) {
        const auto r = lab.run(bad);
        EXPECT_EQ(r.code, 2) << bad << "\n" << r.err;
    }
    // Nothing refused was recorded.
    const auto list = lab.run("method list --register " + quote(lab.db));
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, "[]\n");
    // A method that is not in the register is no method to screen with.
    const auto act = lab.run("activity " + quote(lab.kombu) + " " + quote(lab.bg) + " --method nowhere --register " +
                             quote(lab.db));
    EXPECT_EQ(act.code, 1);
    EXPECT_EQ(act.err.rfind("Error ! the method nowhere cannot be used", 0), 0u) << act.err;
}

}  // namespace
}  // namespace xmca
