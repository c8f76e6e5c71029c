// mcatool qc from the outside: check-source runs acquired from the simulated
// analyser build a baseline, a 5 % gain drift is "action", a new baseline starts
// over, and the control chart is written as PNG and PDF.
#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "tools/tool_run.h"

namespace xmca {
namespace {

using test::quote;
using test::runTool;
using test::TempDir;
using test::ToolRun;

QJsonObject json(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

struct QcLab {
    TempDir dir;
    // The laboratory settings of the test's own (empty) configuration folder.
    std::optional<std::string> oldConfig = std::getenv("XDG_CONFIG_HOME")
                                               ? std::optional<std::string>(std::getenv("XDG_CONFIG_HOME"))
                                               : std::nullopt;
    bool configured = ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1) == 0;
    ~QcLab() {
        if (oldConfig) ::setenv("XDG_CONFIG_HOME", oldConfig->c_str(), 1);
        else ::unsetenv("XDG_CONFIG_HOME");
    }
    std::string db = dir.file("register.sqlite");
    std::string bg = dir.file("bg.dat");
    int n = 0;

    std::string acquire(const std::string& extra, int seconds) {
        const std::string out = dir.file("run" + std::to_string(++n) + ".dat");
        const ToolRun r = runTool(dir, "acquire --simulate --sim-speed 2000 " + extra +
                                           " --channels 2048 --preset " + std::to_string(seconds) + " -o " + quote(out));
        EXPECT_EQ(r.code, 0) << r.err;
        return out;
    }
    std::string check(double gain = 1.0) {
        return acquire("--cs137 20000 --cs134 0 --k40 0 --sim-gain " + std::to_string(gain), 300);
    }
    ToolRun qc(const std::string& file, const std::string& extra = "") {
        return runTool(dir, "qc " + quote(file) + " --background " + quote(bg) + " --register " + quote(db) + " " +
                                extra);
    }
};

TEST(McatoolQc, BaselineThenGainDriftThenNewBaseline) {
    QcLab lab;
    lab.acquire("--background", 3600);
    // The background file is the bg path: acquire wrote run1.dat.
    std::filesystem::rename(lab.dir.file("run1.dat"), lab.bg);

    // Twenty runs by default, and more while their scatter is not that of counting. The
    // scatter test may refuse a growing baseline for good (its figures scatter a little
    // beyond counting statistics here), so after 40 refused runs the operator starts a
    // new baseline, as the QC page offers; a failure shows the last answer.
    QJsonObject o;
    std::string firstCheck;
    std::string lastOut;
    int runs = 0;
    for (int attempt = 0; !o["baseline"].toObject()["accepted"].toBool(); ++attempt) {
        ASSERT_LT(attempt, 3) << "no baseline was accepted; the last answer: " << lastOut;
        for (int k = 1; k <= 40 && (k <= 20 || !o["baseline"].toObject()["accepted"].toBool()); ++k) {
            const std::string file = lab.check();
            if (++runs == 1) firstCheck = file;
            const ToolRun r = lab.qc(file, attempt > 0 && k == 1 ? "--new-baseline" : "");
            ASSERT_EQ(r.code, 0) << r.err;
            lastOut = r.out;
            o = json(r.out);
            EXPECT_EQ(o["status"].toString(), "baseline");
            EXPECT_EQ(o["id"].toInt(), runs);
            EXPECT_EQ(o["baseline"].toObject()["n"].toInt(), k);
            EXPECT_EQ(o["baseline"].toObject()["n_required"].toInt(), 20);
        }
    }
    const int baselineRuns = o["baseline"].toObject()["n"].toInt();
    // Every key of the record, with the figures of a 662 keV line near channel 660.
    for (const char* key : {"id", "peak_channel", "fwhm_percent", "net_rate_cps", "background_rate_cps", "status",
                            "baseline", "net_rate_corrected_cps", "decay_factor", "net_counts", "counting_sd",
                            "acquired_utc", "detector", "reasons"})
        EXPECT_TRUE(o.contains(key)) << key;
    EXPECT_GT(o["net_counts"].toDouble(), 10000);
    EXPECT_GT(o["counting_sd"].toObject()["peak_channel"].toDouble(), 0);
    EXPECT_NEAR(o["decay_factor"].toDouble(), 1.0, 1e-6);
    // The detector key was bound in the settings at the first run.
    EXPECT_NE(test::readAll(lab.dir.file("config/xmca/laboratory.conf")).find("qc_detector=" + o["detector"].toString().toStdString()),
              std::string::npos);
    EXPECT_NEAR(o["peak_channel"].toDouble(), 660, 4);
    EXPECT_NEAR(o["fwhm_percent"].toDouble(), 7.5, 0.7);
    EXPECT_GT(o["net_rate_cps"].toDouble(), 150);
    EXPECT_GT(o["background_rate_cps"].toDouble(), 1);
    const QJsonObject base = o["baseline"].toObject();
    for (const char* key : {"peak_channel", "fwhm_percent", "net_rate_cps"}) {
        EXPECT_GT(base[key].toObject()["mean"].toDouble(), 0) << key;
        EXPECT_GT(base[key].toObject()["sd"].toDouble(), 0) << key;
    }

    // A run like the others is judged, not collected.
    ToolRun r = lab.qc(lab.check());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(json(r.out)["status"].toString(), "baseline");
    EXPECT_EQ(json(r.out)["baseline"].toObject()["n"].toInt(), baselineRuns);
    for (const char* key : {"counting_sd", "excess_sd", "sigma", "chi2", "p_value"})
        EXPECT_TRUE(json(r.out)["baseline"].toObject()["net_rate_cps"].toObject().contains(key)) << key;

    // The amplifier 5 % off.
    r = lab.qc(lab.check(1.05));
    ASSERT_EQ(r.code, 0) << r.err;
    o = json(r.out);
    EXPECT_EQ(o["status"].toString(), "action");
    EXPECT_NEAR(o["peak_channel"].toDouble() / base["peak_channel"].toObject()["mean"].toDouble(), 1.05, 0.01);
    EXPECT_NE(r.err.find("peak shift"), std::string::npos) << r.err;
    EXPECT_FALSE(o["reasons"].toArray().isEmpty());

    // A baseline run's file submitted again is refused and does not clear the action.
    r = lab.qc(firstCheck);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Error ! this check spectrum is already in the register (QC run 1)", 0), 0u) << r.err;
    // Too short a count is refused with the time that would do.
    r = lab.qc(lab.acquire("--cs137 20000 --cs134 0 --k40 0", 30));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("count the check source for at least"), std::string::npos) << r.err;

    // The next screening gives its figures but no verdict, on screen and in the register.
    const std::string sample = lab.acquire("", 600);
    auto screen = [&](const std::string& id) {
        const ToolRun s = runTool(lab.dir, "screen " + quote(sample) + " " + quote(lab.bg) + " --sample-id " + id +
                                               " --register " + quote(lab.db));
        EXPECT_EQ(s.code, 0) << s.err;
        return json(s.out);
    };
    QJsonObject screened = screen("S1");
    EXPECT_EQ(screened["screening"].toObject()["verdict"].toString(), "No verdict - QC action required");
    EXPECT_GT(screened["activity"].toObject()["Cs-All"].toObject()["bq_per_kg"].toDouble(), 100);
    // Renaming the installation does not escape the lock-out.
    {
        const std::string conf = lab.dir.file("config/xmca/laboratory.conf");
        std::string text = test::readAll(conf);
        text = "installation=another name\n" + text.substr(text.find('\n') + 1);
        std::ofstream(conf, std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(screen("S1b")["screening"].toObject()["verdict"].toString(), "No verdict - QC action required");
    }

    // After recalibration: a new baseline, the run is its first.
    r = lab.qc(lab.check(1.0), "--new-baseline");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json(r.out)["status"].toString(), "baseline");
    EXPECT_EQ(json(r.out)["baseline"].toObject()["n"].toInt(), 1);
    screened = screen("S2");
    EXPECT_EQ(screened["screening"].toObject()["verdict"].toString(), "Above screening level - confirm");
    r = runTool(lab.dir, "register list --register " + quote(lab.db));
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonArray records = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[1].toObject()["screening"].toObject()["verdict"].toString(), "No verdict - QC action required");

    // The chart of every recorded run, as a picture and as a page.
    r = runTool(lab.dir, "qc --chart " + quote(lab.dir.file("chart.png")) + " --register " + quote(lab.db));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json(r.out)["runs"].toInt(), baselineRuns + 3);
    const QImage img(QString::fromStdString(lab.dir.file("chart.png")));
    EXPECT_FALSE(img.isNull());
    r = runTool(lab.dir, "qc --chart " + quote(lab.dir.file("chart.pdf")) + " --register " + quote(lab.db));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test::readAll(lab.dir.file("chart.pdf")).substr(0, 5), "%PDF-");
}

TEST(McatoolQc, BadUsageAndBadFiles) {
    QcLab lab;
    const std::string db = quote(lab.db);
    EXPECT_EQ(runTool(lab.dir, "qc").code, 2);
    EXPECT_EQ(runTool(lab.dir, "qc a.dat b.dat --register " + db).code, 2);
    EXPECT_EQ(runTool(lab.dir, "qc a.dat --chart c.png --register " + db).code, 2);
    EXPECT_EQ(runTool(lab.dir, "qc --chart c.svg --register " + db).code, 2);
    EXPECT_EQ(runTool(lab.dir, "qc --chart c.png --new-baseline --register " + db).code, 2);
    EXPECT_EQ(runTool(lab.dir, "qc a.dat --frobnicate --register " + db).code, 2);

    ToolRun r = runTool(lab.dir, "qc " + quote(lab.dir.file("missing.dat")) + " --register " + db);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Error !", 0), 0u) << r.err;
    // A background spectrum has no check-source line: refused, nothing recorded.
    const std::string bg = lab.acquire("--background", 60);
    r = runTool(lab.dir, "qc " + quote(bg) + " --register " + db);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Error !", 0), 0u) << r.err;
    r = runTool(lab.dir, "qc --chart " + quote(lab.dir.file("c.png")) + " --register " + db);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json(r.out)["runs"].toInt(), 0);
    // The register is never the chart's target.
    EXPECT_EQ(runTool(lab.dir, "qc --chart " + quote(lab.db) + ".png --register " + quote(lab.db + ".png")).code, 1);
    // A register that is not one.
    r = runTool(lab.dir, "qc --chart " + quote(lab.dir.file("d.png")) + " --register " + quote(bg));
    EXPECT_EQ(r.code, 1);
}

}  // namespace
}  // namespace xmca
