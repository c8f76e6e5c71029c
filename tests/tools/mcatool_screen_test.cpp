// mcatool screen and register, run as programs on simulated spectra: the figures
// are `activity`'s, the record lands in the register and comes back out through
// list, export and verify; mass correction, refusals and a damaged register.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>

#include "files/temp_dir.h"
#include "support/simulated_spectra.h"
#include "tools/screening_lab.h"
#include "tools/tool_run.h"

namespace xmca {
namespace {

using test::quote;
using test::TempDir;

struct Lab : test::ScreeningLab {
    Lab() : ScreeningLab(21) {}
};

QJsonObject object(const std::string& json) { return test::jsonObject(json); }
QJsonArray array(const std::string& json) { return test::jsonArray(json); }

TEST(McatoolScreen, RecordsActivityFiguresAndListsThemBack) {
    Lab lab;
    const auto act = lab.run("activity " + quote(lab.sample) + " " + quote(lab.bg));
    ASSERT_EQ(act.code, 0) << act.err;
    const auto r = lab.screen("--sample-id 米-0412 --product 玄米 --origin 福島県 --operator 山田 "
                              "--sampling-date 2026-04-12 --register " + quote(lab.db));
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = object(r.out);
    // activity's JSON, key for key, plus the record.
    QJsonObject withoutRecord = o;
    withoutRecord.remove("record");
    EXPECT_EQ(withoutRecord, object(act.out));
    EXPECT_EQ(o["record"]["id"].toInt(), 1);
    EXPECT_EQ(o["record"]["register"].toString().toStdString(), lab.db);

    const auto second = lab.screen("--sample-id other --register " + quote(lab.db));
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(object(second.out)["record"].toObject()["id"].toInt(), 2);

    const auto list = lab.run("register list --register " + quote(lab.db));
    ASSERT_EQ(list.code, 0) << list.err;
    const QJsonArray rows = array(list.out);
    ASSERT_EQ(rows.size(), 2);
    const QJsonObject rec = rows[1].toObject();  // newest first
    EXPECT_EQ(rec["id"].toInt(), 1);
    EXPECT_EQ(rec["sample_id"].toString(), QString("米-0412"));
    EXPECT_EQ(rec["product"].toString(), QString("玄米"));
    EXPECT_EQ(rec["origin"].toString(), QString("福島県"));
    EXPECT_EQ(rec["operator"].toString(), QString("山田"));
    EXPECT_EQ(rec["sampling_date"].toString(), "2026-04-12");
    EXPECT_EQ(rec["sample_file"].toString().toStdString(), lab.sample);
    EXPECT_EQ(rec["sample_sha256"].toString().size(), 64);
    EXPECT_EQ(rec["uid"].toString().size(), 36);
    EXPECT_EQ(rec["sample_real_time_s"].toDouble(), 1800.0);
    EXPECT_EQ(rec["method"].toString(), "Bq Calic, no baseline");
    const QJsonObject sc = rec["screening"].toObject();
    const QJsonObject actSc = object(act.out)["screening"].toObject();
    for (const char* key : {"activity", "uncertainty", "decision_threshold", "detection_limit"}) {
        EXPECT_EQ(sc["cs_total"][key].toDouble(), actSc["cs_total"][key].toDouble()) << key;
        EXPECT_EQ(sc["cs134"][key].toDouble(), actSc["cs134"][key].toDouble()) << key;
    }
    EXPECT_EQ(sc["verdict"].toString(), actSc["verdict"].toString());
    EXPECT_EQ(sc["level"].toDouble(), 50.0);
    EXPECT_EQ(sc["lower_limit"].toDouble(), 25.0);
    EXPECT_TRUE(sc["cs137"]["decision_threshold"].isNull());

    const auto byId = lab.run("register list --sample-id 米-0412 --register " + quote(lab.db));
    ASSERT_EQ(byId.code, 0);
    EXPECT_EQ(array(byId.out).size(), 1);
    const auto future = lab.run("register list --since 2999-01-01 --register " + quote(lab.db));
    ASSERT_EQ(future.code, 0);
    EXPECT_EQ(array(future.out).size(), 0);
}

TEST(McatoolScreen, DefaultRegisterExportAndVerify) {
    Lab lab;
    ASSERT_EQ(lab.screen("--sample-id 白菜 --product 野菜").code, 0);
    const std::string defaultDb = lab.data + "/xmca/register.sqlite";
    EXPECT_TRUE(std::filesystem::exists(defaultDb));

    const std::string csv = lab.dir.file("out.csv");
    const auto ex = lab.run("register export --csv " + quote(csv));
    ASSERT_EQ(ex.code, 0) << ex.err;
    const std::string text = test::readAll(csv);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(text.substr(3, 7), "id,uid,");
    EXPECT_NE(text.find(",白菜,野菜,"), std::string::npos);
    EXPECT_NE(text.find("\r\n"), std::string::npos);

    auto v = lab.run("register verify");
    EXPECT_EQ(v.code, 0) << v.err << v.out;
    EXPECT_EQ(object(v.out)["checked"].toInt(), 1);

    // The sample file replaced by other counts: its hash and figures no longer match.
    std::filesystem::copy_file(lab.bg, lab.sample, std::filesystem::copy_options::overwrite_existing);
    v = lab.run("register verify");
    EXPECT_EQ(v.code, 1);
    const QJsonArray diff = object(v.out)["differing"].toArray();
    ASSERT_EQ(diff.size(), 1);
    EXPECT_EQ(diff[0]["id"].toInt(), 1);
    EXPECT_TRUE(diff[0]["problems"].toArray().contains("sample file hash changed")) << v.out;
    EXPECT_NE(v.err.find("Record 1"), std::string::npos);

    // A record whose files are gone is not counted as differing.
    std::filesystem::remove(lab.sample);
    v = lab.run("register verify");
    EXPECT_EQ(v.code, 0) << v.out;
    EXPECT_EQ(object(v.out)["files_missing"].toArray().size(), 1);
}

TEST(McatoolScreen, NominalMassScalesFiguresAndTheRecordSaysSo) {
    Lab lab;
    const auto plain = lab.screen("--sample-id a --mass-kg 0.5 --register " + quote(lab.db));
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_FALSE(object(plain.out).contains("mass_correction"));  // no nominal mass set: no correction

    std::filesystem::create_directories(lab.config + "/xmca");
    test::writeAll(lab.config + "/xmca/laboratory.conf", "nominal_mass_kg=1\n");
    const auto scaled = lab.screen("--sample-id a --mass-kg 0.5 --register " + quote(lab.db));
    ASSERT_EQ(scaled.code, 0) << scaled.err;
    const QJsonObject p = object(plain.out), s = object(scaled.out);
    EXPECT_DOUBLE_EQ(s["mass_correction"]["factor"].toDouble(), 2.0);
    const double a0 = p["screening"]["cs_total"]["activity"].toDouble();
    const double a1 = s["screening"]["cs_total"]["activity"].toDouble();
    EXPECT_NEAR(a1, 2 * a0, 0.02);
    EXPECT_NEAR(s["screening"]["cs_total"]["detection_limit"].toDouble(),
                2 * p["screening"]["cs_total"]["detection_limit"].toDouble(), 0.02);
    EXPECT_NEAR(s["activity"]["K-40"]["bq_per_kg"].toDouble(), 2 * p["activity"]["K-40"]["bq_per_kg"].toDouble(),
                0.2);

    const QJsonArray rows = array(lab.run("register list --register " + quote(lab.db)).out);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]["nominal_mass_kg"].toDouble(), 1.0);
    EXPECT_EQ(rows[0]["mass_kg"].toDouble(), 0.5);
    EXPECT_TRUE(rows[1]["nominal_mass_kg"].isNull());
    // Verify computes the scaled record again with the same correction.
    EXPECT_EQ(lab.run("register verify --register " + quote(lab.db)).code, 0);
}

TEST(McatoolScreen, RefusesBadUsageAndKeepsFiguresWhenTheRegisterFails) {
    Lab lab;
    EXPECT_EQ(lab.screen("").code, 2);  // no sample ID
    EXPECT_EQ(lab.screen("--sample-id a --mass-kg -1").code, 2);
    EXPECT_EQ(lab.screen("--sample-id a --sampling-date 2026-13-01").code, 2);
    EXPECT_EQ(lab.screen("--sample-id a --register").code, 2);
    EXPECT_EQ(lab.run("register").code, 2);
    EXPECT_EQ(lab.run("register drop").code, 2);
    EXPECT_EQ(lab.run("register export").code, 2);
    EXPECT_EQ(lab.run("register list --since yesterday").code, 2);
    EXPECT_EQ(lab.run("screen " + quote(lab.dir.file("none.dat")) + " " + quote(lab.bg) + " --sample-id a").code, 1);

    // A damaged register: figures printed, no record, the file untouched.
    const std::string junk(4096, 'z');
    test::writeAll(lab.db, junk);
    const auto r = lab.screen("--sample-id a --register " + quote(lab.db));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Error !", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    const QJsonObject o = object(r.out);
    EXPECT_TRUE(o["record"].isNull());
    EXPECT_TRUE(o["screening"].isObject());
    EXPECT_EQ(test::readAll(lab.db), junk);
    EXPECT_EQ(lab.run("register list --register " + quote(lab.db)).code, 1);
}

}  // namespace
}  // namespace xmca
