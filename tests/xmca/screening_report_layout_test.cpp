// The screening report's layout in both languages: every text fits the box it was
// given (nothing clipped or elided into its neighbour), no two texts overlap, and
// what a reviewer signs is all on the page.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>

#include "report/screening_report.h"
#include "xmca/window_language.h"

namespace {

using xmca::report::PlacedText;

xmca::report::ScreeningReportData fullRecord() {
    xmca::report::ScreeningReportData d;
    d.laboratoryName = QStringLiteral("福島県農業総合センター 放射能検査室");
    d.laboratoryAddress = QStringLiteral("郡山市日和田町高倉字下中道116\nTel. 024-958-1700");
    auto& r = d.record;
    r.id = 5;
    r.uid = "0c6a1f2e-2d8b-4f5e-9a61-1b7c3e4d5f60";
    r.createdUtc = "2026-04-12T01:05:00Z";
    r.installation = "NaI-1 (検査室 2)";
    r.operatorName = "山田 太郎";
    r.sampleId = "rice-0412-玄米-A01";
    r.product = "玄米 (コシヒカリ) 令和8年産";
    r.origin = "福島県会津若松市";
    r.massKg = 0.8;
    r.samplingDate = "2026-04-10";
    r.sampleFile = "/home/lab/.local/share/xmca/spectra/20260412-093015-rice-0412-玄米-A01.dat";
    r.sampleSha256 = std::string(64, 'a');
    r.backgroundFile = "/home/lab/.local/share/xmca/spectra/20260411-180005-background.dat";
    r.backgroundSha256 = std::string(64, 'b');
    r.sampleRealTimeS = 1800.0;
    r.sampleLiveTimeS = 1799.9;
    r.backgroundRealTimeS = 36000.0;
    r.backgroundLiveTimeS = 35991.2;
    r.csAll = {123.4, 12.3, 8.1, 17.2};
    r.cs134 = {45.6, 6.5, 5.0, 11.0};
    r.cs137 = {77.8, 9.9, std::nullopt, std::nullopt};
    r.k40 = {1234.5, 98.7, std::nullopt, std::nullopt};
    r.lowerLimit = 25.0;
    r.achievedLowerLimit = 17.2;
    r.screeningLevel = 50.0;
    r.method = "Bq Calic, no baseline";
    r.gainOk = true;
    r.verdict = "Above screening level - confirm";
    r.programVersion = "0.1.0";
    r.supersedes = 2;
    r.correctionReason = "作業者名の入力誤り (山田 → 佐藤) と質量の記入漏れ";
    r.simulated = true;
    r.qcStatus = "pass";
    r.qcRunId = 41;
    r.measurementStart = "2026-04-12T09:30:15+09:00";
    r.measurementEnd = "2026-04-12T10:00:15+09:00";
    r.backgroundStart = "2026-04-11T18:00:05+09:00";
    d.reprint = true;
    d.printedAt = QStringLiteral("2026-04-13T08:15:00+09:00");
    d.supersededBy = {9};
    d.changedInputs = {QStringLiteral("operator"), QStringLiteral("mass")};
    d.changedFigures = {QStringLiteral("Cs-All"), QStringLiteral("verdict")};
    d.counts.resize(2048);
    for (int c = 0; c < 2048; ++c)
        d.counts[static_cast<std::size_t>(c)] =
            static_cast<std::int32_t>(3000.0 * std::exp(-c / 300.0) + 800 * std::exp(-0.5 * std::pow((c - 660) / 22.0, 2)));
    d.gain = 1.0;
    d.offset = 0.0;
    return d;
}

// The page at 150 dpi on an A4 image; what was placed on it, in page pixels.
std::vector<PlacedText> layOut(const xmca::report::ScreeningReportData& d) {
    QImage page(1240, 1754, QImage::Format_RGB32);
    page.setDotsPerMeterX(5906);
    page.setDotsPerMeterY(5906);
    page.fill(Qt::white);
    std::vector<PlacedText> placed;
    QPainter p(&page);
    xmca::report::drawScreeningReport(p, d, &placed);
    p.end();
    return placed;
}

QRect inked(const PlacedText& t) {
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(5906);
    probe.setDotsPerMeterY(5906);
    const QFontMetrics fm(t.font, &probe);
    return fm.boundingRect(t.box, t.flags, t.text);
}

void checkLayout(const std::vector<PlacedText>& placed, const char* language) {
    ASSERT_GT(placed.size(), 60u) << language;
    const QRect sheet(0, 0, 1240, 1754);
    std::vector<QRect> onPage;
    for (const auto& t : placed) {
        const QRect need = inked(t);
        // Measured against its own column: nothing spills into the next one or below.
        EXPECT_LE(need.width(), t.box.width() + 1) << language << ": \"" << t.text.toStdString() << "\" needs "
                                                   << need.width() << " px of " << t.box.width();
        EXPECT_LE(need.height(), t.box.height() + 1)
            << language << ": \"" << t.text.toStdString() << "\" needs " << need.height() << " px of "
            << t.box.height();
        const QRect mapped = t.transform.mapRect(need);
        EXPECT_TRUE(sheet.contains(mapped)) << language << ": \"" << t.text.toStdString() << "\" leaves the sheet";
        onPage.push_back(mapped.adjusted(1, 1, -1, -1));
    }
    for (std::size_t i = 0; i < onPage.size(); ++i)
        for (std::size_t j = i + 1; j < onPage.size(); ++j)
            EXPECT_FALSE(onPage[i].intersects(onPage[j]))
                << language << ": \"" << placed[i].text.toStdString() << "\" runs into \""
                << placed[j].text.toStdString() << "\"";
}

// With XMCA_KEEP_REPORT_DIR set, the page is also kept as a PDF there to be looked at.
void keep(const xmca::report::ScreeningReportData& d, const char* name) {
    const char* dir = std::getenv("XMCA_KEEP_REPORT_DIR");
    if (!dir) return;
    const auto pdf = xmca::report::screeningReportPdf(d, 150);
    ASSERT_TRUE(pdf.ok);
    ASSERT_EQ(xmca::report::writePdf(std::string(dir) + "/" + name, pdf), xmca::WriteStatus::Ok);
}

bool has(const std::vector<PlacedText>& placed, const QString& part) {
    for (const auto& t : placed)
        if (t.text.contains(part)) return true;
    return false;
}

class ReportLayout : public ::testing::Test {
protected:
    void TearDown() override { xmca::ui::installLanguage("en"); }
};

TEST_F(ReportLayout, EveryTextFitsItsColumnInEnglishAndJapanese) {
    ASSERT_TRUE(xmca::ui::installLanguage("en"));
    const auto en = layOut(fullRecord());
    checkLayout(en, "en");
    keep(fullRecord(), "report-en.pdf");
    for (const char* t : {"SIMULATED - NOT A MEASUREMENT", "REPRINT", "CORRECTION: replaces record 2",
                          "SUPERSEDED by record 9", "Count started", "2026-04-12T09:30:15+09:00",
                          "2026-04-12T10:00:15+09:00", "Recorded", "u (k = 1)", "Lower limit of measurement",
                          "17.2 Bq/kg reached", "QC run 41", "Background SHA-256", "Reviewer", "Operator (",
                          "page 1 of 1", "Energy (keV)", "Cs-134", "K-40", "applied", "Times are local"})
        EXPECT_TRUE(has(en, QString::fromUtf8(t))) << t;

    ASSERT_TRUE(xmca::ui::installLanguage("ja"));
    const auto ja = layOut(fullRecord());
    checkLayout(ja, "ja");
    keep(fullRecord(), "report-ja.pdf");
    for (const char* t : {"SIMULATED - NOT A MEASUREMENT", "再印刷", "訂正", "1 / 1", "2026-04-12T09:30:15+09:00",
                          "バックグラウンド", "署名"})
        EXPECT_TRUE(has(ja, QString::fromUtf8(t))) << t;
}

// A plain first record: no marks it does not deserve, and the mass it did not use said so.
TEST_F(ReportLayout, PlainRecordCarriesNoMarksAndSaysTheMassWasNotUsed) {
    ASSERT_TRUE(xmca::ui::installLanguage("en"));
    auto d = fullRecord();
    d.record.simulated = false;
    d.record.supersedes.reset();
    d.reprint = false;
    d.supersededBy.clear();
    d.record.qcRunId.reset();
    const auto placed = layOut(d);
    checkLayout(placed, "en");
    for (const char* t : {"SIMULATED", "REPRINT", "CORRECTION", "SUPERSEDED"})
        EXPECT_FALSE(has(placed, QString::fromLatin1(t))) << t;
    EXPECT_TRUE(has(placed, QStringLiteral("not applied: no nominal mass is set")));
    EXPECT_TRUE(has(placed, QStringLiteral("no QC run recorded")));
    d.record.nominalMassKg = 1.0;
    EXPECT_TRUE(has(layOut(d), QStringLiteral("applied: figures scaled by nominal 1.000 kg / actual 0.800 kg")));
}

}  // namespace
