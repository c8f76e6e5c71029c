#include "display/file_render.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <vector>

#include "display/frame_renderer.h"
#include "files/spectrum_file.h"

using namespace xmca;
using namespace xmca::display;

namespace {

std::string writeFile(const QTemporaryDir& dir, const char* name, int headerChannels, std::vector<std::int32_t> counts) {
    SpectrumHeader h;
    h.setChannelCount(static_cast<std::int16_t>(headerChannels));
    h.setF32(SpectrumHeader::kCalibMarker, 1.0f);
    const std::string path = dir.filePath(name).toStdString();
    const std::string bytes = encodeSpectrumFile(h, counts);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

RenderArgs args(const std::string& in) {
    RenderArgs a;
    a.input = in;
    a.output = "unused.png";
    return a;
}

}  // namespace

TEST(FileRender, ArgumentParsing) {
    std::string err;
    auto a = parseRenderArgs({"a.dat", "b.png", "--lo", "10", "--hi", "500", "--log", "--vfs", "7", "--cursor", "20"}, err);
    ASSERT_TRUE(a) << err;
    EXPECT_EQ(a->input, "a.dat");
    EXPECT_EQ(a->output, "b.png");
    EXPECT_EQ(*a->lo, 10);
    EXPECT_EQ(*a->hi, 500);
    EXPECT_EQ(*a->vfs, 7);
    EXPECT_EQ(*a->cursor, 20);
    EXPECT_TRUE(a->log);
    a = parseRenderArgs({"a.dat", "b.png"}, err);
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->lo || a->hi || a->vfs || a->cursor || a->log);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"a.dat"}, {"a.dat", "b.png", "c"}, {"a.dat", "b.png", "--lo"},
          {"a.dat", "b.png", "--lo", "1x"}, {"a.dat", "b.png", "--vfs", "23"}, {"a.dat", "b.png", "--vfs", "0"},
          {"a.dat", "b.png", "--zoom", "2"}, {"a.dat", "b.png", "--cursor", ""}}) {
        err.clear();
        EXPECT_FALSE(parseRenderArgs(bad, err)) << bad.size();
        EXPECT_FALSE(err.empty());
    }
}

TEST(FileRender, DefaultViewIsWholeSpectrumLinearStepTwo) {
    QTemporaryDir dir;
    std::vector<std::int32_t> c(1024, 0);
    c[500] = 125;  // 2 channels per column: column 250, y 156
    const auto path = writeFile(dir, "s.dat", 1024, c);
    const RenderOutcome r = renderSpectrumFile(args(path));
    ASSERT_EQ(r.exitCode, 0) << r.message;
    ASSERT_EQ(r.image.size(), QSize(528, 336));
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(r.image.pixel(16 + 250, 5 + 156), white);
    EXPECT_NE(r.image.pixel(16 + 250, 5 + 150), white);
    // Cursor at N/2 = 512: column 256, mark up to 25 pixels above the empty bottom.
    EXPECT_EQ(r.image.pixel(16 + 256, 5 + 311 - 20), toQColor(FrameRenderer::kCursor).rgb());
}

TEST(FileRender, ChosenViewIsApplied) {
    QTemporaryDir dir;
    std::vector<std::int32_t> c(2048, 0);
    c[1010] = 1000;
    const auto path = writeFile(dir, "s.dat", 2048, c);
    RenderArgs a = args(path);
    a.lo = 1000;
    a.hi = 1127;  // 4 pixels per channel
    a.log = true;
    a.cursor = 1100;
    const RenderOutcome r = renderSpectrumFile(a);
    ASSERT_EQ(r.exitCode, 0) << r.message;
    // log10(1000) * 52 = 156: channel 1010 at columns 40..43, y 156.
    EXPECT_EQ(r.image.pixel(16 + 42, 5 + 156), qRgb(255, 255, 255));
    a.log = false;
    a.vfs = 8;  // 25000: 1000 counts -> 12 pixels high
    const RenderOutcome lin = renderSpectrumFile(a);
    ASSERT_EQ(lin.exitCode, 0);
    EXPECT_EQ(lin.image.pixel(16 + 42, 5 + 312 - 12), qRgb(255, 255, 255));
    EXPECT_NE(lin.image, r.image);
}

TEST(FileRender, BadFilesAndWindows) {
    QTemporaryDir dir;
    RenderOutcome r = renderSpectrumFile(args(dir.filePath("missing.dat").toStdString()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.message.rfind("Error !", 0), 0u) << r.message;
    // Header claims 2048 channels but only 512 follow.
    const auto shortFile = writeFile(dir, "short.dat", 2048, std::vector<std::int32_t>(512, 1));
    r = renderSpectrumFile(args(shortFile));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.message.rfind("Error !", 0), 0u);
    EXPECT_TRUE(r.image.isNull());

    const auto good = writeFile(dir, "good.dat", 512, std::vector<std::int32_t>(512, 1));
    RenderArgs a = args(good);
    a.lo = 100;
    a.hi = 50;
    EXPECT_EQ(renderSpectrumFile(a).exitCode, 2);
    a.lo = 0;
    a.hi = 512;  // past the last channel
    EXPECT_EQ(renderSpectrumFile(a).exitCode, 2);
    a.hi.reset();
    a.cursor = -1;
    EXPECT_EQ(renderSpectrumFile(a).exitCode, 2);
    a.cursor = 511;
    EXPECT_EQ(renderSpectrumFile(a).exitCode, 0);
}
