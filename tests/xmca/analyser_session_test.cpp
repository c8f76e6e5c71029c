// The analyser session and the measurement document without the main window: whose
// run ended (tickets), a start that fails leaving no ticket behind, and spectrum
// files read and written with their failures returned.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <memory>
#include <vector>

#include "device/simulated_analyser.h"
#include "files/temp_dir.h"
#include "xmca/analyser_session.h"
#include "xmca/measurement_document.h"

namespace {

struct Session {
    std::shared_ptr<xmca::ManualClock> clock = std::make_shared<xmca::ManualClock>();
    xmca::SimulatedAnalyser* sim = nullptr;
    MeasurementDocument doc;
    std::unique_ptr<AnalyserSession> session;
    std::vector<std::pair<int, bool>> finished;  // runFinished, in order

    Session() {
        xmca::SimulatedAnalyserConfig cfg;
        cfg.cs137 = 5000;
        auto s = std::make_unique<xmca::SimulatedAnalyser>(cfg, clock);
        sim = s.get();
        auto worker = std::make_unique<LinkWorker>(std::make_unique<xmca::LinkClient>(std::move(s)),
                                                   LinkWorker::Mode::Inline);
        session = std::make_unique<AnalyserSession>(std::move(worker), doc, AnalyserSession::Options{sim, {0, 50, 0}});
        QObject::connect(session.get(), &AnalyserSession::runFinished,
                         [this](int ticket, bool atPreset) { finished.emplace_back(ticket, atPreset); });
    }
    // A page's run of `seconds`; the failure text it heard (empty: counting).
    std::pair<int, QString> pageRun(int seconds) {
        QString failure = QStringLiteral("not answered");
        const int ticket = session->startRun({seconds * 10, true, "S-1", "rice"}, {},
                                             [&](const QString& f) { failure = f; });
        return {ticket, failure};
    }
    void runOut(int seconds) {
        for (int i = 0; i < seconds * 2 + 40 && session->timer()->isActive(); ++i) {
            clock->advance(0.5);
            session->tick();
        }
    }
};

TEST(AnalyserSession, EachRunsEndNamesItsTicketAndTheOperatorsIsZero) {
    Session s;
    const auto [first, failed] = s.pageRun(10);
    ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
    EXPECT_NE(first, 0);
    EXPECT_TRUE(s.session->isOpen());
    s.runOut(10);
    ASSERT_EQ(s.finished.size(), 1u);
    EXPECT_EQ(s.finished[0], std::make_pair(first, true));
    // The run's header and the document say what was counted.
    EXPECT_EQ(s.doc.state().presetTimeShown, 100);
    EXPECT_GT(s.doc.state().totalCounts, 0.0f);

    // The operator's own run, stopped by hand: ticket 0, not the page's.
    s.session->clear();
    s.session->start();
    ASSERT_TRUE(s.session->timer()->isActive());
    s.clock->advance(1.0);
    s.session->tick();
    s.session->stop();
    ASSERT_EQ(s.finished.size(), 2u);
    EXPECT_EQ(s.finished[1], std::make_pair(0, false));

    // A second page run has a ticket of its own; stopping it names it.
    const auto [second, failed2] = s.pageRun(10);
    ASSERT_TRUE(failed2.isEmpty());
    EXPECT_NE(second, first);
    EXPECT_NE(second, 0);
    s.session->stop();
    ASSERT_EQ(s.finished.size(), 3u);
    EXPECT_EQ(s.finished[2], std::make_pair(second, false));
}

TEST(AnalyserSession, ARunThatCannotStartLeavesNoTicketBehind) {
    Session s;
    s.sim->failCall(xmca::DriverCall::OpenEx, xmca::FT_IO_ERROR, -1);
    const auto [ticket, failed] = s.pageRun(10);
    EXPECT_NE(ticket, 0);
    EXPECT_EQ(failed, QStringLiteral("The analyser could not be opened."));
    EXPECT_FALSE(s.session->timer()->isActive());

    // Once the analyser answers, the operator's run is the operator's.
    s.sim->clearFaults();
    s.session->open();
    ASSERT_TRUE(s.session->isOpen());
    bool accepted = false;
    s.session->setPresetTenths(50, [&](bool ok) { accepted = ok; });
    ASSERT_TRUE(accepted);
    s.session->start();
    s.runOut(5);
    ASSERT_EQ(s.finished.size(), 1u);
    EXPECT_EQ(s.finished[0], std::make_pair(0, true));

}

TEST(MeasurementDocument, WritesAndReadsBackAndReturnsWhyNot) {
    xmca::test::TempDir dir;
    Session s;
    ASSERT_TRUE(s.pageRun(10).second.isEmpty());
    s.runOut(10);
    const std::vector<std::int32_t> counted(s.doc.state().spectrum.begin(), s.doc.state().spectrum.begin() + 2048);

    std::vector<unsigned> parts;
    QObject::connect(&s.doc, &MeasurementDocument::changed, [&](unsigned p) { parts.push_back(p); });
    const QString path = QString::fromStdString(dir.file("run.dat"));
    EXPECT_TRUE(s.doc.writeSpectrum(path).isEmpty());
    ASSERT_TRUE(QFileInfo(path).isFile());
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_TRUE(parts[0] & MeasurementDocument::FileWritten);

    // Into a folder that is not there: refused with the reason, nothing written.
    const QString nowhere = QString::fromStdString(dir.file("no/such/folder/run.dat"));
    EXPECT_FALSE(s.doc.writeSpectrum(nowhere).isEmpty());
    EXPECT_FALSE(QFileInfo(nowhere).exists());
    EXPECT_EQ(parts.size(), 1u);

    // Read back into a fresh document: the same counts, announced as a file read.
    MeasurementDocument other;
    std::vector<MeasurementDocument::ReadResult> reads;
    QObject::connect(&other, &MeasurementDocument::spectrumRead,
                     [&](const MeasurementDocument::ReadResult& r) { reads.push_back(r); });
    EXPECT_TRUE(other.readSpectrum(path).opened);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_TRUE(std::equal(counted.begin(), counted.end(), other.state().spectrum.begin()));
    EXPECT_FALSE(other.readSpectrum(QString::fromStdString(dir.file("missing.dat"))).opened);
    EXPECT_EQ(reads.size(), 2u);
}

TEST(AnalyserSession, ARunAfterAFileReadIsShownAndSavedWithItsOwnPreset) {
    xmca::test::TempDir dir;
    Session s;
    ASSERT_TRUE(s.pageRun(10).second.isEmpty());
    s.runOut(10);
    const QString tenSeconds = QString::fromStdString(dir.file("ten.dat"));
    ASSERT_TRUE(s.doc.writeSpectrum(tenSeconds).isEmpty());

    // Set up for 5 s, then read the 10 s file: the screen shows the file's preset.
    xmca::labelRun(s.doc.edit(), 50, "", "");
    bool accepted = false;
    s.session->setPresetTenths(50, [&](bool ok) { accepted = ok; });
    ASSERT_TRUE(accepted);
    ASSERT_TRUE(s.doc.readSpectrum(tenSeconds).opened);
    EXPECT_EQ(s.doc.state().presetTimeShown, 100);

    // The operator's run counts 5 s, and its file says so.
    s.session->showAnalyserMemory();
    s.session->clear();
    s.session->start();
    EXPECT_EQ(s.doc.state().presetTimeShown, 50);
    s.runOut(5);
    ASSERT_EQ(s.finished.size(), 2u);
    EXPECT_EQ(s.finished[1], std::make_pair(0, true));
    const QString fiveSeconds = QString::fromStdString(dir.file("five.dat"));
    ASSERT_TRUE(s.doc.writeSpectrum(fiveSeconds).isEmpty());
    MeasurementDocument back;
    ASSERT_TRUE(back.readSpectrum(fiveSeconds).opened);
    EXPECT_EQ(back.state().presetTimeShown, 50);
    EXPECT_EQ(back.state().header.i32(xmca::SpectrumHeader::kPresetTime), 50);
}

}  // namespace
