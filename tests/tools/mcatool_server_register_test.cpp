// mcatool on a server register: migrate brings the schema up and copies a local
// register once (a rerun copies nothing), list filters by installation, and screen
// keeps its record in the local queue while the server does not answer.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "files/temp_dir.h"
#include "register/register.h"
#include "support/pg_server.h"
#include "support/simulated_spectra.h"
#include "tools/tool_run.h"

namespace xmca {
namespace {

using test::PgServer;
using test::quote;
using test::TempDir;

QJsonObject object(const std::string& json) { return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object(); }
QJsonArray array(const std::string& json) { return QJsonDocument::fromJson(QByteArray::fromStdString(json)).array(); }

// A local register: det-A's record and its correction, det-B's record, a baseline and two runs.
void fillLocal(const std::string& path) {
    std::string error;
    auto reg = reg::openRegister(path, error);
    ASSERT_TRUE(reg) << error;
    reg::MeasurementRecord a, fix, b;
    a.installation = fix.installation = "det-A";
    b.installation = "det-B";
    a.sampleId = fix.sampleId = "米-1";
    b.sampleId = "茶-2";
    a.csAll.activity = 40.0;
    fix.csAll.activity = 41.0;
    ASSERT_TRUE(reg->appendMeasurement(a, error)) << error;
    ASSERT_TRUE(reg->appendMeasurement(b, error)) << error;
    fix.supersedes = a.id;
    ASSERT_TRUE(reg->appendMeasurement(fix, error)) << error;
    reg::QcBaseline base;
    base.installation = "det-A";
    ASSERT_TRUE(reg->appendQcBaseline(base, error)) << error;
    for (int i = 0; i < 2; ++i) {
        reg::QcRun run;
        run.installation = "det-A";
        run.baselineId = base.id;
        ASSERT_TRUE(reg->appendQcRun(run, error)) << error;
    }
}

TEST(McatoolServerRegister, MigrateCopiesALocalRegisterOnceAndListFiltersByInstallation) {
    XMCA_NEED_PG_SERVER();
    auto& server = PgServer::instance();
    TempDir dir;
    std::string error;
    const std::string db = server.freshDatabase(error);
    ASSERT_FALSE(db.empty()) << error;
    const std::string owner = server.uri(server.ownerRole(), db), app = server.uri(server.appRole(), db);
    const std::string local = dir.file("local.sqlite");
    fillLocal(local);

    // The program's role cannot make the tables; the owner can, once.
    auto r = test::runTool(dir, "register migrate --from " + quote(local) + " --register " + quote(app));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("schema owner"), std::string::npos) << r.err;
    r = test::runTool(dir, "register migrate --register " + quote(owner));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(object(r.out)["schema_version"].toInt(), reg::kSchemaVersion);

    r = test::runTool(dir, "register migrate --from " + quote(local) + " --register " + quote(app));
    ASSERT_EQ(r.code, 0) << r.err;
    QJsonObject o = object(r.out);
    auto n = [&](const char* table, const char* key) { return o[table].toObject()[key].toInt(); };
    EXPECT_EQ(n("measurements", "copied"), 3);
    EXPECT_EQ(n("qc_baselines", "copied"), 1);
    EXPECT_EQ(n("qc_runs", "copied"), 2);
    r = test::runTool(dir, "register migrate --from " + quote(local) + " --register " + quote(app));
    ASSERT_EQ(r.code, 0) << r.err;
    o = object(r.out);
    EXPECT_EQ(n("measurements", "copied"), 0);
    EXPECT_EQ(n("measurements", "already"), 3);
    EXPECT_EQ(n("qc_runs", "already"), 2);

    r = test::runTool(dir, "register list --installation det-A --register " + quote(app));
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonArray rows = array(r.out);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject()["supersedes"].toInt(), rows[1].toObject()["id"].toInt());
    EXPECT_EQ(rows[1].toObject()["sample_id"].toString(), QString("米-1"));
    r = test::runTool(dir, "register list --installation det-C --register " + quote(app));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(array(r.out).isEmpty());

    // Misuse is refused plainly, and no password is taken from the command line.
    r = test::runTool(dir, "register migrate --from " + quote(local) + " --register " + quote(local));
    EXPECT_EQ(r.code, 2);
    r = test::runTool(dir, "register migrate --from " + quote(dir.file("none.sqlite")) + " --register " + quote(app));
    EXPECT_EQ(r.code, 1);
    // An address with a password is a usage mistake, refused before anything is opened.
    r = test::runTool(dir, "register list --register 'postgresql://someone:pw@localhost/" + db + "'");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("~/.pgpass"), std::string::npos) << r.err;
}

TEST(McatoolServerRegister, ScreenKeepsTheRecordWhileTheServerDoesNotAnswer) {
    XMCA_NEED_PG_SERVER();
    auto& server = PgServer::instance();
    TempDir dir;
    std::string error;
    const std::string db = server.freshDatabase(error);
    ASSERT_FALSE(db.empty()) << error;
    const std::string sample = dir.file("s.dat"), bg = dir.file("b.dat");
    SimulatedAnalyserConfig c;
    c.seed = 5;
    c.cs137 = 60;
    ASSERT_TRUE(test::acquireAndSave(c, 18000, sample));
    c.backgroundOnly = true;
    c.seed = 6;
    ASSERT_TRUE(test::acquireAndSave(c, 36000, bg));

    const std::string env = "XDG_CONFIG_HOME=" + quote(dir.file("config")) + " XDG_DATA_HOME=" +
                            quote(dir.file("data")) + " XMCA_REGISTER_QUEUE=" + quote(dir.file("queue.sqlite")) + " ";
    const auto r = test::runCommand(dir, env + quote(test::mcatoolPath()) + " screen " + quote(sample) + " " +
                                             quote(bg) + " --sample-id Q-1 --register " +
                                             quote(server.deadUri(server.appRole(), db)));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(object(r.out)["record"].toObject()["id"].toInt(), 0);
    EXPECT_NE(r.err.find("waits for the register server (1 waiting)"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace xmca
