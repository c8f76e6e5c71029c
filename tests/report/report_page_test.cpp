// The report page, drawn on a recording device: trace rows in both row modes,
// scales, ticks, labels and the header block, at the positions of the page geometry.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <memory>

#include "report/recording_device.h"
#include "report/report_page.h"

namespace xmca::report {
namespace {

using test::RecordedText;
using test::RecordingDevice;

// A 1000 x 1200 page: ML 70, MT 120, AX 850, AL 1020, U 10.
constexpr int kPW = 1000, kPH = 1200;
constexpr int kML = 70, kMT = 120, kAX = 850, kAL = 1020, kU = 10;

struct Drawn {
    std::unique_ptr<RecordingDevice> dev = std::make_unique<RecordingDevice>(kPW, kPH);
    test::RecordingEngine& rec() { return dev->engine(); }
    // Texts as drawn by one call: items split by script or font (Latin, Japanese)
    // under the same transform are joined again.
    std::vector<RecordedText> runs;
    void join() {
        for (const auto& t : rec().texts) {
            if (!runs.empty() && runs.back().transform == t.transform) runs.back().text += t.text;
            else runs.push_back(t);
        }
    }
    const RecordedText* text(const QString& s) {
        for (const auto& t : runs)
            if (t.text == s) return &t;
        return nullptr;
    }
    // x of trace row i (row 0 is the first point, later rows two points each).
    int rowX(std::size_t i) {
        const QPolygon& p = rec().polylines.at(0);
        return i == 0 ? p.at(0).x() : p.at(static_cast<int>(2 * i - 1)).x();
    }
    std::size_t rows() { return (static_cast<std::size_t>(rec().polylines.at(0).size()) + 1) / 2; }
};

std::unique_ptr<Drawn> draw(const MeasurementState& s, ReportOptions o = {}) {
    if (!o.now.isValid()) o.now = QDateTime(QDate(2026, 12, 8), QTime(10, 20, 30));
    auto d = std::make_unique<Drawn>();
    QPainter p(d->dev.get());
    drawReport(p, s, o);
    p.end();
    d->join();
    return d;
}

std::unique_ptr<MeasurementState> emptyState(int channels, int lo, int hi) {
    auto s = std::make_unique<MeasurementState>();
    s->spectrum.fill(0);
    s->channelCount = channels;
    s->view.lo = lo;
    s->view.hi = hi;
    s->view.vfsIndex = 2;  // full scale 250
    return s;
}

TEST(ReportGeometry, ValuesAreTruncatedNotRounded) {
    // A4 at 600 dpi: 0.07 x 4960 = 347.2, 0.1 x 7016 = 701.6, 0.85 x 7016 = 5963.6, 0.01 x 4960 = 49.6.
    const PageGeometry g = PageGeometry::forPage(4960, 7016);
    EXPECT_EQ(g.ml, 347);
    EXPECT_EQ(g.mt, 701);
    EXPECT_EQ(g.ax, 4216);
    EXPECT_EQ(g.al, 5963);
    EXPECT_EQ(g.u, 49);
    // The free area lies right of the banner and inside the page.
    const QRect free = g.freeArea();
    EXPECT_GT(free.left(), g.ml + g.ax + 1.7 * g.u);
    EXPECT_LT(free.right(), g.pw);
    EXPECT_GE(free.width(), 5 * g.u);
}

TEST(ReportTrace, SeveralChannelsPerRowTakeTheLargestAndStayInsideThePlot) {
    auto s = emptyState(2048, 0, 2047);  // 2048 channels over 1020 rows: A = 2
    s->spectrum[101] = 250;               // row 50 holds channels 100 and 101
    s->spectrum[2001] = 100000;           // far above the full scale, row 1000
    s->spectrum[300] = -40;               // a negative count lies on the axis
    auto d = draw(*s);
    ASSERT_EQ(d->rec().polylines.size(), 1u);
    EXPECT_EQ(d->rows(), static_cast<std::size_t>(kAL));
    EXPECT_EQ(d->rec().polylines[0].at(0), QPoint(kML, kMT));
    EXPECT_EQ(d->rowX(49), kML);
    EXPECT_EQ(d->rowX(50), kML + kAX);  // the narrow peak is not lost
    EXPECT_EQ(d->rowX(51), kML);
    EXPECT_EQ(d->rowX(150), kML);
    EXPECT_EQ(d->rowX(1000), kML + kAX);  // held at the plot's edge, not across the header block
    // Each later row runs down one pixel at its offset.
    const QPolygon& p = d->rec().polylines[0];
    EXPECT_EQ(p.at(99), QPoint(kML + kAX, kMT + 50));
    EXPECT_EQ(p.at(100), QPoint(kML + kAX, kMT + 51));

    // Log: a count of 1 lies on the axis in this mode; 100 is two decades of AX / 6.
    s->view.logScale = 1;
    s->spectrum[101] = 1;
    s->spectrum[2001] = 100;
    auto l = draw(*s);
    EXPECT_EQ(l->rowX(50), kML);
    EXPECT_EQ(l->rowX(1000), kML + 2 * (kAX / 6));
}

TEST(ReportTrace, FewerChannelsThanRowsRepeatEachChannelAndStopAtTheChannelCount) {
    auto s = emptyState(256, 0, 254);  // 255 channels over 1020 rows: D = 4
    s->spectrum[10] = 125;             // half the full scale
    auto d = draw(*s);
    EXPECT_EQ(d->rows(), static_cast<std::size_t>(kAL));
    for (int i : {39, 44}) EXPECT_EQ(d->rowX(i), kML) << i;
    for (int i : {40, 41, 42, 43}) EXPECT_EQ(d->rowX(i), kML + kAX / 2) << i;

    // A window running past the last channel: channels 200..255 fill 56 x 4 rows.
    s->view.lo = 200;
    s->view.hi = 454;
    s->spectrum[255] = 1000;  // above the full scale: held at AX
    auto w = draw(*s);
    EXPECT_EQ(w->rows(), 224u);
    EXPECT_EQ(w->rowX(223), kML + kAX);
    EXPECT_EQ(w->rowX(219), kML);

    // A window that starts past the last channel draws no trace at all.
    s->view.lo = 300;
    s->view.hi = 400;
    EXPECT_TRUE(draw(*s)->rec().polylines.empty());
}

TEST(ReportTrace, LogPlacesACountOfOneHalfWayToTwo) {
    auto s = emptyState(256, 0, 254);  // D = 4
    s->view.logScale = 1;
    s->spectrum[1] = 1;
    s->spectrum[2] = 2;
    s->spectrum[3] = 1000;
    auto d = draw(*s);
    const int e = kAX / 6;  // 141: log10(2) x 141 = 42.4
    EXPECT_EQ(d->rowX(0), kML);            // a count of 0 is on the axis
    EXPECT_EQ(d->rowX(4), kML + 21);       // trunc(42.4) / 2
    EXPECT_EQ(d->rowX(8), kML + 42);
    EXPECT_EQ(d->rowX(12), kML + 3 * e);
}

TEST(ReportTrace, PrintsInADarkColour) {
    auto s = emptyState(256, 0, 254);
    s->colours.trace = 0x00FFFFFF;  // the display's white trace
    auto d = draw(*s);
    ASSERT_EQ(d->rec().polylinePens.size(), 1u);
    EXPECT_EQ(d->rec().polylinePens[0].color(), QColor(Qt::black));
    EXPECT_EQ(d->rec().polylinePens[0].width(), 2);
    s->colours.trace = 0x00800000;  // fewer channels than rows: black whatever the setting
    EXPECT_EQ(draw(*s)->rec().polylinePens[0].color(), QColor(Qt::black));
    // Several channels per row use the same rule.
    s->view.hi = 2047;
    s->channelCount = 2048;
    s->colours.trace = 0x0000FFFF;  // yellow: too light for paper
    EXPECT_EQ(draw(*s)->rec().polylinePens[0].color(), QColor(Qt::black));
    s->colours.trace = 0x00800000;  // navy prints as itself
    EXPECT_EQ(draw(*s)->rec().polylinePens[0].color(), QColor(0, 0, 128));
}

TEST(ReportScale, LinearAndLogLabels) {
    auto s = emptyState(2048, 0, 99);  // channel labels 10 .. 90 only
    const int y = kMT - 35;  // trunc(MT - 3.5 U)
    s->view.vfsIndex = 5;    // 2500
    auto d = draw(*s);
    const char* fs2500[] = {"500", "1000", "1500", "2000", "2500"};
    for (int k = 1; k <= 5; ++k) {
        const RecordedText* t = d->text(fs2500[k - 1]);
        ASSERT_NE(t, nullptr) << fs2500[k - 1];
        EXPECT_EQ(t->anchor(), QPoint(kML + kU + k * (kAX / 5), y)) << fs2500[k - 1];
    }
    s->view.vfsIndex = 7;  // 10000
    d = draw(*s);
    for (const char* label : {"2 k", "4 k", "6 k", "8 k", "10 k"}) EXPECT_NE(d->text(label), nullptr) << label;
    EXPECT_EQ(d->text("2000"), nullptr);
    // The largest full scale does not overflow.
    EXPECT_EQ(linearLabel(1000000000, 5), "1000000 k");
    EXPECT_EQ(linearLabel(100, 1), "20");

    s->view.logScale = 1;
    d = draw(*s);
    for (int k = 0; k <= 6; ++k) {
        const RecordedText* t = d->text(QString("10E+0%1").arg(k));
        ASSERT_NE(t, nullptr) << k;
        EXPECT_EQ(t->anchor(), QPoint(kML + kU + k * (kAX / 6), y));
    }
}

TEST(ReportScale, GridFrameAndCountTicks) {
    auto s = emptyState(2048, 0, 2047);
    auto d = draw(*s);
    std::vector<int> green;
    int ticksAbove = 0;
    for (const auto& l : d->rec().lines) {
        if (l.colour == QColor(0, 128, 0) && l.line.x1() == l.line.x2()) {
            EXPECT_EQ(l.line.y1(), kMT);
            EXPECT_EQ(l.line.y2(), kMT + kAL);
            green.push_back(l.line.x1());
        }
        if (l.colour == QColor(Qt::black) && l.line.y2() == kMT && l.line.y1() < kMT) ++ticksAbove;
    }
    EXPECT_EQ(green, (std::vector<int>{71, 241, 411, 581, 751, 921}));  // ML + k x 170 + 1
    EXPECT_EQ(ticksAbove, 5 * 10 + 1);  // five divisions of 1 + 9, and the closing tick
    ASSERT_EQ(d->rec().rects.size(), 1u);
    EXPECT_EQ(d->rec().rects[0], QRect(kML, kMT, kAX - 1, kAL - 1));
}

TEST(ReportScale, ChannelTicksAndLabels) {
    auto s = emptyState(2048, 0, 2047);  // 2048 channels: minor 50, label 250
    s->view.vfsIndex = 7;                 // count labels "2 k" .. "10 k"; none is a channel
    auto d = draw(*s);
    auto leftTicks = [](test::RecordingEngine& rec) {
        std::vector<std::pair<int, int>> ticks;  // y, length
        for (const auto& l : rec.lines)
            if (l.line.y1() == l.line.y2() && l.line.x2() == kML) ticks.push_back({l.line.y1(), kML - l.line.x1()});
        return ticks;
    };
    auto ticks = leftTicks(d->rec());
    ASSERT_EQ(ticks.size(), 2u + 40u);
    EXPECT_EQ(ticks[0], std::make_pair(kMT, kU));
    EXPECT_EQ(ticks[1], std::make_pair(kMT + kAL, kU));
    EXPECT_EQ(ticks[2], std::make_pair(kMT + 24, kU / 2));   // 50 x 1020 / 2048 = 24.9
    EXPECT_EQ(ticks[6], std::make_pair(kMT + 124, kU));      // 250 x 1020 / 2048 = 124.5
    const RecordedText* t = d->text("250");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->anchor(), QPoint(kML - kU, kMT + 124 - 7));
    ASSERT_NE(d->text("0"), nullptr);
    EXPECT_EQ(d->text("0")->anchor(), QPoint(kML, kMT));
    ASSERT_NE(d->text("2047"), nullptr);
    EXPECT_EQ(d->text("2047")->anchor(), QPoint(kML, kMT + kAL - 2 * kU));

    // A window of 200 channels or fewer is marked every 10 channels.
    s->view.lo = 1000;
    s->view.hi = 1099;
    d = draw(*s);
    ticks = leftTicks(d->rec());
    ASSERT_EQ(ticks.size(), 2u + 9u);  // 1010 .. 1090
    for (std::size_t i = 2; i < ticks.size(); ++i) EXPECT_EQ(ticks[i].second, kU);
    EXPECT_EQ(ticks[2].first, kMT + 102);  // 10 x 1020 / 100
    for (const char* label : {"1010", "1050", "1090"}) EXPECT_NE(d->text(label), nullptr) << label;
    EXPECT_EQ(d->text("1100"), nullptr);
}

TEST(ReportText, HeaderBlockTitlesAndBanner) {
    auto s = emptyState(1024, 0, 1023);
    using H = SpectrumHeader;
    s->fileName = "rice 1.dat";
    s->header.setText(H::kComment, "lot 7 \x93\xfa\x96\x7b");  // 日本
    s->header.setText(H::kSampleId, "S-42");
    s->header.setI16(H::kYear, 2026);
    s->header.setI16(H::kMonth, 3);
    s->header.setI16(H::kDay, 14);
    s->header.setI16(H::kHour, 9);
    s->header.setI16(H::kMinute, 5);
    s->header.setI16(H::kSecond, 7);
    s->realTime = 18000;
    s->liveTime = 17995;
    auto d = draw(*s);

    const int x = kML + kAX + 11, y = kMT + 51;  // trunc(ML + AX + 1.1 U), trunc(MT + 0.05 AL)
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 20, 30));
    const struct {
        QString text;
        QPoint at;
    } expected[] = {
        {"Reporting Date: ", {x, y}},
        {"File  Name: ", {910, 936}},  // ML + AX - U x 1, trunc(MT + 0.8 AL)
        {"rice 1.dat", {910, 987}},    // trunc(MT + 0.85 AL)
        {"Data Com.: ", {895, 936}},
        {QString::fromUtf8("lot 7 \xe6\x97\xa5\xe6\x9c\xac"), {895, 987}},
        {"Acq.  Date: ", {880, 936}},
        {"2026 / 3 /14   9 : 5 : 7", {880, 987}},
        {"Real  Time: ", {865, 936}},
        {"  1800.0", {865, 987}},
        {"Live  Time: ", {850, 936}},
        {"  1799.5", {850, 987}},
        {"Sample ID: ", {835, 936}},
        {"S-42", {835, 987}},
        {"E n e r g y  [  C h a n n e l  ]", {kML - 2 * kU, kMT + 408}},
        {"Q R V L [  V e l t r a m o n d  C o . ,]", {kML + kAX + 17, kMT + 408}},
        {"I n t e n s i t y  [  C o u n t s  ]", {kML + 340, kMT - 70}},
    };
    // Date 7 U and time at least 12 U down the line, the time never over the date.
    const QString date = QLocale::system().toString(now.date(), QLocale::ShortFormat).trimmed();
    const RecordedText* dt = d->text(date);
    const RecordedText* tm = d->text("10:20:30");
    ASSERT_NE(dt, nullptr) << date.toStdString();
    ASSERT_NE(tm, nullptr);
    const RecordedText* label = d->text("Reporting Date: ");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(dt->anchor().x(), x);
    EXPECT_GE(dt->anchor().y(), y + 70);
    EXPECT_GE(dt->anchor().y(), y + QFontMetricsF(label->font).horizontalAdvance("Reporting Date: "));
    EXPECT_LE(dt->anchor().y(), y + 70 + kU);
    EXPECT_EQ(tm->anchor().x(), x);
    EXPECT_GE(tm->anchor().y(), y + 120);
    EXPECT_GE(tm->anchor().y(), y + 70 + QFontMetricsF(dt->font).horizontalAdvance(date));

    for (const auto& e : expected) {
        const RecordedText* t = d->text(e.text);
        ASSERT_NE(t, nullptr) << e.text.toStdString();
        EXPECT_EQ(t->anchor(), e.at) << e.text.toStdString();
        // Rotated a quarter turn clockwise: the text runs down the page.
        EXPECT_DOUBLE_EQ(t->transform.m12(), 1.0) << e.text.toStdString();
        EXPECT_DOUBLE_EQ(t->transform.m21(), -1.0) << e.text.toStdString();
        EXPECT_EQ(t->colour, QColor(Qt::black));
        // Small font: a character cell of U; titles and banner 1.5 U.
        const bool big = e.text.contains("[");
        const QFontMetricsF fm(t->font);
        EXPECT_NEAR(fm.ascent() + fm.descent(), big ? 15.0 : 10.0, 1.0) << e.text.toStdString();
    }
}

TEST(ReportText, ResultsBlockIsLegibleAndStaysInItsArea) {
    auto s = emptyState(1024, 0, 1023);
    const PageGeometry g = PageGeometry::forPage(kPW, kPH);
    const QRect area = g.resultsArea();
    // Inside the plot, clear of the header block's labels and of the banner strip.
    EXPECT_GE(area.left(), g.ml);
    EXPECT_LE(area.right(), g.ml + g.ax);
    EXPECT_LT(area.bottom(), static_cast<int>(g.mt + 0.8 * g.al));
    auto inBlock = [&](Drawn& d) {
        std::vector<const RecordedText*> out;
        for (const auto& t : d.runs)
            if (area.contains(t.anchor())) out.push_back(&t);
        return out;
    };
    ReportOptions o;
    o.extra = TextBlock{"Results", {"Cs-All  12.3 Bq/Kg", "Cs-134   1.0 Bq/Kg", "a", "b", "Below screening level"}};
    auto d = draw(*s, o);
    const auto block = inBlock(*d);
    ASSERT_EQ(block.size(), 6u);
    // At least 8.5 pt whatever the number of lines (an A4 sheet is 595.3 pt wide),
    // the lines a full font height and more apart, the title rightmost (uppermost).
    const double minPx = 8.5 * kPW / 595.3;
    for (const auto* t : block) {
        const QFontMetricsF fm(t->font);
        EXPECT_GE(fm.ascent() + fm.descent(), minPx - 1.0) << t->text.toStdString();
    }
    EXPECT_EQ(block[0]->text, "Results");
    for (std::size_t i = 1; i < block.size(); ++i)
        EXPECT_GE(block[i - 1]->anchor().x() - block[i]->anchor().x(), static_cast<int>(minPx)) << i;
    // Drawn on white, so a trace under it does not cross the figures.
    bool white = false;
    for (const auto& r : d->rec().rects) white = white || (r.right() <= area.right() + 1 && r.left() >= area.left() - 1);
    EXPECT_TRUE(white);

    // A line longer than the area goes on in the next column: every word is on the page.
    QString longLine;
    for (int i = 0; i < 40; ++i) longLine += QStringLiteral("word%1 ").arg(i);
    o.extra->lines = {longLine.trimmed()};
    auto wrapped = draw(*s, o);
    QString joined;
    for (const auto* t : inBlock(*wrapped)) {
        joined += t->text + QLatin1Char(' ');
        EXPECT_LE(QFontMetricsF(t->font).horizontalAdvance(t->text), area.height()) << t->text.toStdString();
    }
    EXPECT_GT(inBlock(*wrapped).size(), 2u);
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(joined.contains(QStringLiteral("word%1 ").arg(i))) << i;

    // Far more lines than the area holds: the rest is left out, never drawn outside it.
    o.extra->lines.assign(60, QStringLiteral("x"));
    auto many = draw(*s, o);
    const auto shown = inBlock(*many);
    EXPECT_GE(shown.size(), 10u);
    EXPECT_LT(shown.size(), 61u);
    for (const auto& t : many->runs) {
        if (t.text == "x") {
            EXPECT_TRUE(area.contains(t.anchor()));
        }
    }
}

}  // namespace
}  // namespace xmca::report
