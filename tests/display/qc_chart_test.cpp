// The check-source control chart: status colours and limit lines show up where
// the record has them, and the PDF is written.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QFile>
#include <QFileInfo>

#include "display/qc_chart.h"

namespace xmca::display {
namespace {

qc::History history(int baselineRuns, int nRequired, std::vector<qc::Status> after) {
    qc::History h;
    h.installation = "lab-1";
    std::vector<qc::QcValues> base;
    int day = 1;
    for (int i = 0; i < baselineRuns; ++i) {
        qc::HistoryRun r;
        r.id = day;
        r.createdUtc = "2026-11-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "T00:30:00Z";
        r.values = {660.0 + (i % 3 - 1) * 0.8, 7.5 + (i % 2) * 0.05, 100.0 + (i % 4 - 1.5) * 0.6};
        r.baselineId = 1;
        base.push_back(r.values);
        h.runs.push_back(r);
        ++day;
    }
    h.baselines.push_back({1, "2026-11-01T00:00:00Z", nRequired, qc::baselineStats(base)});
    for (qc::Status s : after) {
        qc::HistoryRun r;
        r.createdUtc = "2026-11-" + std::to_string(10 + day) + "T00:30:00Z";
        r.values = {660.2, 7.52, 100.1};  // the same place whatever the status: only colours differ
        r.status = s;
        r.baselineId = 1;
        h.runs.push_back(r);
        ++day;
    }
    return h;
}

int pixelsOf(const QImage& img, unsigned rgb) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xffffff) == rgb;
    return n;
}

TEST(QcChart, LimitsAndStatusColoursFollowTheRecord) {
    const unsigned red = statusRgb(qc::Status::Action), orange = statusRgb(qc::Status::Warning);
    const unsigned green = statusRgb(qc::Status::Ok), blue = statusRgb(qc::Status::Baseline);

    // A baseline still being collected: its points, no limit lines.
    const QImage collecting = renderQcChart(history(6, 10, {}));
    EXPECT_GT(pixelsOf(collecting, blue), 100);
    EXPECT_EQ(pixelsOf(collecting, green), pixelsOf(renderQcChart(history(0, 10, {})), green));

    // Complete: mean, 2 sd and 3 sd lines; then an ok run and an action run.
    const QImage complete = renderQcChart(history(10, 10, {}));
    const QImage withRuns = renderQcChart(history(10, 10, {qc::Status::Ok, qc::Status::Action}));
    const QImage okRuns = renderQcChart(history(10, 10, {qc::Status::Ok, qc::Status::Ok}));
    EXPECT_GT(pixelsOf(complete, red), pixelsOf(collecting, red) + 300);
    EXPECT_GT(pixelsOf(complete, orange), pixelsOf(collecting, orange) + 300);
    EXPECT_GT(pixelsOf(okRuns, green), pixelsOf(withRuns, green) + 30);
    EXPECT_GT(pixelsOf(withRuns, red), pixelsOf(okRuns, red) + 30);

    // Text is drawn with a real font (no boxes): the title has ink in its line.
    int ink = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 200; ++x) ink += qGray(withRuns.pixel(x, y)) < 128;
    EXPECT_GT(ink, 50);
}

TEST(QcChart, PdfPage) {
    QTemporaryDir dir;
    QFile file(dir.filePath("chart.pdf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(writeQcChartPdf(history(10, 10, {qc::Status::Warning}), &file));
    file.close();
    EXPECT_GT(QFileInfo(file).size(), 1000);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
    file.close();
    // A device not open for writing is refused.
    EXPECT_FALSE(writeQcChartPdf(history(1, 10, {}), &file));
    EXPECT_FALSE(writeQcChartPdf(history(1, 10, {}), nullptr));
}

}  // namespace
}  // namespace xmca::display
