// mcatool report, run as a program: a one-page A4 PDF with real text whose
// rasterised page shows the frame, grid and trace where the page geometry puts them.
#include <gtest/gtest.h>

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "files/temp_dir.h"
#include "tools/tool_run.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using test::TempDir;
using test::quote;
using ProgramRun = test::ToolRun;

ProgramRun run(const TempDir& dir, const std::string& cmd) { return test::runCommand(dir, cmd); }


ProgramRun report(const TempDir& dir, const std::string& args) { return test::runTool(dir, "report " + args); }

// 1024 channels: nothing below channel 512, 200 counts from there on.
void writeStepSpectrum(const std::string& path) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = 1024;
    for (int i = 0; i < 1024; ++i) s->spectrum[i] = i < 512 ? 0 : 200;
    s->realTime = 6000;
    s->liveTime = 5990;
    s->header.setText(SpectrumHeader::kComment, "step");
    ASSERT_EQ(saveSpectrum(*s, path), "");
}

bool dark(QRgb c) { return qRed(c) < 110 && qGreen(c) < 110 && qBlue(c) < 110; }
bool white(QRgb c) { return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240; }

TEST(McatoolReport, OnePageA4PdfWithRealText) {
    TempDir dir;
    writeStepSpectrum(dir.file("step.dat"));
    const ProgramRun r = report(dir, quote(dir.file("step.dat")) + " " + quote(dir.file("step.pdf")));
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(o["pages"].toInt(), 1);
    EXPECT_EQ(o["dpi"].toInt(), 600);
    // The whole A4 sheet (210 x 297 mm) in pixels at 600 dpi.
    EXPECT_NEAR(o["page_width_px"].toInt(), 210 / 25.4 * 600, 3);
    EXPECT_NEAR(o["page_height_px"].toInt(), 297 / 25.4 * 600, 3);

    const ProgramRun info = run(dir, "pdfinfo " + quote(dir.file("step.pdf")));
    ASSERT_EQ(info.code, 0) << info.err;
    const std::size_t pages = info.out.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info.out;
    EXPECT_EQ(std::atoi(info.out.c_str() + pages + 6), 1) << info.out;
    EXPECT_NE(info.out.find("(A4)"), std::string::npos) << info.out;

    const ProgramRun text = run(dir, "pdftotext " + quote(dir.file("step.pdf")) + " -");
    ASSERT_EQ(text.code, 0) << text.err;
    for (const char* s : {"Reporting", "step.dat", "600.0", "599.0", "250", "1023"})
        EXPECT_NE(text.out.find(s), std::string::npos) << s << "\n" << text.out;
    EXPECT_EQ(text.out.find("10E+0"), std::string::npos);  // linear by default
}

TEST(McatoolReport, RasterisedPageShowsFrameGridAndTrace) {
    TempDir dir;
    writeStepSpectrum(dir.file("step.dat"));
    const ProgramRun r = report(dir, quote(dir.file("step.dat")) + " " + quote(dir.file("step.pdf")) + " --dpi 100");
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    const int pw = o["page_width_px"].toInt(), ph = o["page_height_px"].toInt();
    ASSERT_EQ(o["dpi"].toInt(), 100);

    const ProgramRun png = run(dir, "pdftoppm -png -r 100 -singlefile " + quote(dir.file("step.pdf")) + " " +
                                 quote(dir.file("page")));
    ASSERT_EQ(png.code, 0) << png.err;
    const QImage img(QString::fromStdString(dir.file("page.png")));
    ASSERT_FALSE(img.isNull());
    // One page pixel per PDF pixel.
    ASSERT_NEAR(img.width(), pw, 1);
    ASSERT_NEAR(img.height(), ph, 1);

    const int ml = static_cast<int>(0.07 * pw), mt = static_cast<int>(0.1 * ph);
    const int ax = static_cast<int>(0.85 * pw), al = static_cast<int>(0.85 * ph);
    auto darkNear = [&](int x, int y) {
        for (int dx = -1; dx <= 1; ++dx)
            if (dark(img.pixel(x + dx, y))) return true;
        return false;
    };
    // Frame: left and right edges down the plot, top edge across it.
    for (double f : {0.2, 0.5, 0.7}) {
        const int y = mt + static_cast<int>(f * al);
        EXPECT_TRUE(darkNear(ml, y)) << f;
        EXPECT_TRUE(darkNear(ml + ax - 1, y)) << f;
    }
    EXPECT_TRUE(dark(img.pixel(ml + ax / 3, mt)) || dark(img.pixel(ml + ax / 3, mt + 1)));
    // Green grid line at ML + 2 E + 1 (linear: E = AX / 5).
    const QRgb grid = img.pixel(ml + 2 * (ax / 5) + 1, mt + al / 2);
    EXPECT_GT(qGreen(grid), qRed(grid) + 40);

    // Channels 0..511 (upper half of the plot) lie on the axis; from 512 on, the
    // trace is at 200 of 250 across the plot.
    const int step = ml + 200 * ax / 250;
    const int yUpper = mt + al / 4, yLower = mt + 3 * al / 4 - al / 20;
    EXPECT_TRUE(darkNear(step, yLower));
    EXPECT_FALSE(darkNear(step, yUpper));
    for (int x = ml + ax / 10; x < ml + ax * 3 / 4; ++x) {
        if (x == ml + (ax / 5) + 1 || x == ml + 2 * (ax / 5) + 1 || x == ml + 3 * (ax / 5) + 1) continue;  // grid
        ASSERT_TRUE(white(img.pixel(x, yUpper))) << x;
        ASSERT_TRUE(white(img.pixel(x, yLower))) << x;
    }
    // Text shows in the strip right of the plot (reporting date, banner) and not as
    // empty boxes: the strip holds both dark and white pixels along its length.
    int darkInStrip = 0;
    for (int x = ml + ax + 1; x < pw; ++x)
        for (int y = mt; y < mt + al; ++y) darkInStrip += dark(img.pixel(x, y)) ? 1 : 0;
    EXPECT_GT(darkInStrip, 200);
    // Outside the page content the sheet is white.
    EXPECT_TRUE(white(img.pixel(pw - 2, ph - 2)));
    EXPECT_TRUE(white(img.pixel(2, 2)));
}

TEST(McatoolReport, ErrorsAndUsage) {
    TempDir dir;
    writeStepSpectrum(dir.file("ok.dat"));
    test::writeAll(dir.file("hdr.dat"), std::string(1024, '\0'));
    const std::string ok = quote(dir.file("ok.dat"));
    const std::string out = quote(dir.file("o.pdf"));
    const struct {
        std::string args;
        int code;
    } cases[] = {
        {"", 2},
        {ok, 2},
        {ok + " " + out + " --dpi", 2},
        {ok + " " + out + " --dpi 0", 2},
        {ok + " " + out + " --vfs 23", 2},
        {ok + " " + out + " --lo 600 --hi 500", 2},
        {ok + " " + out + " --lo -1", 2},
        {ok + " " + out + " --bogus", 2},
        {quote(dir.file("missing.dat")) + " " + out, 1},
        {quote(dir.file("hdr.dat")) + " " + out, 1},
        {ok + " " + quote(dir.file("no/such/dir.pdf")), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ProgramRun r = report(dir, c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.out, "");
        if (c.code == 1) EXPECT_TRUE(r.err.starts_with("Error !")) << r.err;
        else EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("o.pdf")));

    // A window past the last channel is taken as given and still makes a page.
    const ProgramRun past = report(dir, ok + " " + out + " --lo 900 --hi 1500 --log --vfs 5");
    EXPECT_EQ(past.code, 0) << past.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("o.pdf")));
}

}  // namespace
}  // namespace xmca
