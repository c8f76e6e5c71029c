// mcatool n42 and import-n42, run as a program: .dat -> N42 -> .dat round trips
// and the refusals (exit 1, "Error !", nothing written).
#include <gtest/gtest.h>

#include <QByteArray>
#include <QXmlStreamReader>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "files/sjis_text.h"
#include "files/spectrum_file.h"
#include "files/temp_dir.h"
#include "tools/tool_run.h"
#include "support/n42_schema.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using H = SpectrumHeader;
using test::TempDir;
using test::ToolRun;
using test::quote;

ToolRun run(const TempDir& dir, const std::string& args) { return test::runTool(dir, args); }


// A .dat file as "&Write" saves it.
void saveDat(const std::string& path, int n, bool calibrated, const std::string& comment, const std::string& id,
             int seed) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = n;
    for (int i = 0; i < n; ++i) s->spectrum[i] = (i * seed) % 9973 + (i == 7 ? 2000000000 : 0);
    s->liveTime = 35871;
    s->realTime = 36000;
    s->presetTimeShown = 36000;
    s->cal = {};
    if (calibrated) {
        s->cal.gain = 0.7321f;
        s->cal.offset = -2.25f;
        s->cal.calibrated = 1;
    }
    s->header.setI16(H::kYear, 2026);
    s->header.setI16(H::kMonth, 12);
    s->header.setI16(H::kDay, 8);
    s->header.setI16(H::kHour, 9);
    s->header.setI16(H::kMinute, 41);
    s->header.setI16(H::kSecond, 2);
    s->header.setText(H::kComment, utf8ToSjis(comment));
    s->header.setText(H::kSampleId, utf8ToSjis(id));
    ASSERT_EQ(saveSpectrum(*s, path), "");
}

TEST(McatoolN42, DatToN42AndBackLeavesTheFileUnchanged) {
    ASSERT_TRUE(std::filesystem::exists(test::mcatoolPath())) << test::mcatoolPath();
    TempDir dir;
    for (const bool calibrated : {true, false}) {
        const std::string a = dir.file("a.dat"), doc = dir.file("a.n42"), b = dir.file("b.dat");
        saveDat(a, 4096, calibrated, "玄米 二本松 No.12", "Ｃｓ検査-0042", 7919);
        ToolRun r = run(dir, "n42 " + quote(a) + " " + quote(doc));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(test::n42SchemaErrors(test::readAll(doc)), "");
        r = run(dir, "import-n42 " + quote(doc) + " " + quote(b));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        // Counts, times, start, calibration and texts: the whole file, byte for byte
        // (the header holds no ROIs here, which N42 does not carry).
        EXPECT_EQ(test::readAll(b), test::readAll(a)) << "calibrated " << calibrated;
        SpectrumHeader h;
        std::vector<std::int32_t> counts(8192);
        ASSERT_TRUE(readSpectrumFile(b, h, counts).valid);
        EXPECT_EQ(sjisToUtf8(h.comment()), "玄米 二本松 No.12");
        EXPECT_EQ(counts[7], 2000000000 + (7 * 7919) % 9973);
    }
}

TEST(McatoolN42, BackgroundMakesASecondMeasurementAndImportTakesTheForeground) {
    TempDir dir;
    const std::string a = dir.file("sample.dat"), bg = dir.file("bg.dat"), doc = dir.file("two.n42"),
                      out = dir.file("out.dat");
    saveDat(a, 2048, true, "sample", "S1", 31);
    saveDat(bg, 2048, true, "background", "BG", 17);
    ASSERT_EQ(run(dir, "n42 " + quote(a) + " " + quote(doc) + " --background " + quote(bg)).code, 0);
    EXPECT_EQ(test::n42SchemaErrors(test::readAll(doc)), "");
    QXmlStreamReader xr(QByteArray::fromStdString(test::readAll(doc)));
    std::vector<QString> classes;
    while (!xr.atEnd())
        if (xr.readNext() == QXmlStreamReader::StartElement && xr.name() == u"MeasurementClassCode")
            classes.push_back(xr.readElementText());
    EXPECT_FALSE(xr.hasError());
    EXPECT_EQ(classes, (std::vector<QString>{"Foreground", "Background"}));
    ASSERT_EQ(run(dir, "import-n42 " + quote(doc) + " " + quote(out)).code, 0);
    EXPECT_EQ(test::readAll(out), test::readAll(a));
}

TEST(McatoolN42, RefusalsExitOneWithErrorAndWriteNothing) {
    TempDir dir;
    const std::string a = dir.file("a.dat"), doc = dir.file("a.n42");
    saveDat(a, 1024, true, "c", "i", 3);
    ASSERT_EQ(run(dir, "n42 " + quote(a) + " " + quote(doc)).code, 0);
    const std::string good = test::readAll(doc);
    std::string quadratic = good;
    quadratic.replace(quadratic.find(" 0</CoefficientValues>"), 2, " 0.001");
    std::string negative = good;
    negative.replace(negative.find("compressionCode=\"None\">") + 24, 1, "-5 ");

    const std::vector<std::pair<std::string, std::string>> bad = {
        {"not xml", "hello"},
        {"truncated", good.substr(0, good.size() - 40)},
        {"negative", negative},
        {"other root", "<Spectrum xmlns=\"http://physics.nist.gov/N42/2011/N42\"/>"},
    };
    const std::string out = dir.file("out.dat");
    for (const auto& [what, text] : bad) {
        test::writeAll(dir.file("bad.n42"), text);
        const ToolRun r = run(dir, "import-n42 " + quote(dir.file("bad.n42")) + " " + quote(out));
        EXPECT_EQ(r.code, 1) << what;
        EXPECT_EQ(r.err.rfind("Error !", 0), 0u) << what << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << what;
    }
    // A calibration with a quadratic term is taken as its best straight line, said on stderr.
    test::writeAll(dir.file("quad.n42"), quadratic);
    ToolRun q = run(dir, "import-n42 " + quote(dir.file("quad.n42")) + " " + quote(dir.file("quad.dat")));
    EXPECT_EQ(q.code, 0) << q.err;
    EXPECT_NE(q.err.find("best straight line"), std::string::npos) << q.err;
    std::filesystem::remove(dir.file("quad.dat"));

    // An existing output stays as it was.
    test::writeAll(out, "keep");
    EXPECT_EQ(run(dir, "import-n42 " + quote(dir.file("bad.n42")) + " " + quote(out)).code, 1);
    EXPECT_EQ(test::readAll(out), "keep");

    // Export side: a file the program would not load, a missing file.
    test::writeAll(dir.file("short.dat"), std::string(1024 + 100, '\0'));
    ToolRun r = run(dir, "n42 " + quote(dir.file("short.dat")) + " " + quote(dir.file("x.n42")));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Error !", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.n42")));
    EXPECT_EQ(run(dir, "n42 " + quote(a) + " " + quote(dir.file("x.n42")) + " --background " +
                           quote(dir.file("missing.dat"))).code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.n42")));
    EXPECT_EQ(run(dir, "import-n42 " + quote(dir.file("missing.n42")) + " " + quote(out)).code, 1);

    // Usage.
    EXPECT_EQ(run(dir, "n42 " + quote(a)).code, 2);
    EXPECT_EQ(run(dir, "n42 " + quote(a) + " " + quote(doc) + " --background").code, 2);
    EXPECT_EQ(run(dir, "import-n42 " + quote(doc)).code, 2);
}

}  // namespace
}  // namespace xmca
