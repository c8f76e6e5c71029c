// The activity results as the operator meets them in the window: shown on the
// activity page, the plot and the report together or not at all, only beside
// the spectrum they were computed on, with the method and a withheld verdict
// named; and no N42 export of a processed memory.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <filesystem>

#include "files/sha256.h"
#include "files/temp_dir.h"
#include "model/bq_calic.h"
#include "model/spectrum_io.h"
#include "support/scripted_analyser.h"
#include "support/simulated_spectra.h"
#include "ui_tform1.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

using xmca::test::TempDir;

struct VerdictWindow {
    std::unique_ptr<TForm1> form;
    TempDir dir;
    std::shared_ptr<xmca::test::ScriptedDialogs> dialogs = std::make_shared<xmca::test::ScriptedDialogs>();
    QString& next = dialogs->next;  // every dialog's answer; no printer
    VerdictWindow() {
        TForm1::Options o;
        o.dialogs = dialogs;
        form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), o);
    }
    Ui::TForm1* ui() { return form->form(); }
    xmca::MeasurementState& s() { return form->state(); }
    void read(QPushButton* button, const std::string& path) {
        next = QString::fromStdString(path);
        button->click();
    }
    // The report's words as pdftotext gives them, one space between each.
    std::string report(const std::string& name) {
        next = QString::fromStdString(dir.file(name));
        ui()->ReportPdf1->trigger();
        std::string out;
        if (FILE* f = popen(("pdftotext -raw '" + dir.file(name) + "' - 2>/dev/null").c_str(), "r")) {
            char buf[4096];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
            pclose(f);
        }
        for (char& c : out)
            if (c == '\n') c = ' ';
        return out;
    }
    std::string acquired(const std::string& name, bool background, double cs137 = 200.0, int channels = 2048) {
        xmca::SimulatedAnalyserConfig c;
        c.backgroundOnly = background;
        c.cs134 = cs137 == 200.0 ? 100.0 : 0.0;
        c.cs137 = cs137;
        c.seed = background ? 3 : 4;
        const std::string p = dir.file(name);
        EXPECT_TRUE(xmca::test::acquireAndSave(c, 36000, p, channels));
        return p;
    }
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(VerdictWindow, ResultsStayWithTheSpectrumTheyWereComputedOn) {
    VerdictWindow w;
    const std::string sample = w.acquired("s.dat", false);
    w.read(w.ui()->ReadSpec, sample);
    w.read(w.ui()->BGfile, w.acquired("b.dat", true));
    w.ui()->BqCalic->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    const xmca::ActivityResult& res = w.s().activity;
    EXPECT_EQ(res.sampleName, "s.dat");
    EXPECT_EQ(res.backgroundName, "b.dat");
    EXPECT_EQ(res.sampleSha256, xmca::sha256OfFile(sample).value());
    EXPECT_EQ(res.backgroundSha256.size(), 64u);
    const std::string shown = w.report("shown.pdf");
    EXPECT_TRUE(has(shown, "Sample s.dat (SHA-256 " + res.sampleSha256.substr(0, 12) + ")")) << shown;
    EXPECT_TRUE(has(shown, "Above screening level")) << shown;
    // Cs-All and Cs-134 with u, Cs-137 and K-40 with their counting sd.
    EXPECT_TRUE(has(shown, "u(k=1)")) << shown;
    EXPECT_TRUE(has(shown, "Cs-137")) << shown;
    EXPECT_TRUE(has(shown, "K-40")) << shown;
    EXPECT_TRUE(has(shown, "Bq Calic, no baseline")) << shown;
    EXPECT_TRUE(w.ui()->ScreenResult->text().contains("u(k=1)"));
    EXPECT_TRUE(w.ui()->ScreenResult->text().contains("Sample: s.dat"));

    // Another spectrum on screen: no results beside it, on paper or on the page.
    w.read(w.ui()->ReadSpec, w.acquired("big.dat", false, 2000.0));
    EXPECT_EQ(w.s().fileName, "big.dat");
    const std::string other = w.report("other.pdf");
    EXPECT_TRUE(has(other, "big.dat")) << other;
    EXPECT_FALSE(has(other, "Results")) << other;
    EXPECT_FALSE(has(other, "screening")) << other;
    EXPECT_TRUE(w.ui()->ScreenVerdict->text().isEmpty());
    EXPECT_FALSE(xmca::resultsShown(w.s()));

    // Back on the net spectrum the results belong to: shown again.
    w.ui()->Mem3Spec->click();
    EXPECT_TRUE(xmca::resultsShown(w.s()));
    EXPECT_EQ(w.ui()->ScreenVerdict->text(), "Above screening level - confirm");
}

TEST(VerdictWindow, ReCalicBaselineIsNamedAndWithholdsTheVerdict) {
    VerdictWindow w;
    // A weak sample: the background under Cs-All is well over 35 % of its gross.
    w.read(w.ui()->ReadSpec, w.acquired("weak.dat", false, 10.0));
    w.read(w.ui()->BGfile, w.acquired("b.dat", true));
    w.ui()->BqCalic->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    ASSERT_TRUE(w.s().activity.screening.valid);
    EXPECT_TRUE(w.s().activity.screening.withheld.empty()) << w.s().activity.screening.withheld;
    const double dt = w.s().activity.screening.csTotal.decisionThreshold;
    w.ui()->ExpertMode->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    ASSERT_EQ(w.s().baselineFlag, 1);
    const xmca::ActivityResult& res = w.s().activity;
    EXPECT_TRUE(res.baseline);
    // The limits are formed with the figure shown, and the verdict is withheld.
    EXPECT_EQ(res.screening.csTotal.activity, res.activity[xmca::kRowCsAll].bqPerKg);
    EXPECT_EQ(res.screening.csTotal.decisionThreshold, dt);
    EXPECT_EQ(w.ui()->ScreenVerdict->text(), "No verdict - Re Calic baseline subtracted");
    EXPECT_TRUE(w.ui()->ScreenResult->text().contains("Method: Re Calic, baseline subtracted"));
    const std::string paper = w.report("recalic.pdf");
    EXPECT_TRUE(has(paper, "No verdict - Re Calic baseline subtracted")) << paper;
    EXPECT_TRUE(has(paper, "Re Calic, trapezoid baseline subtracted")) << paper;
}

TEST(VerdictWindow, AFitTakesTheResultsFromPageBoxAndPaperAlike) {
    VerdictWindow w;
    w.read(w.ui()->ReadSpec, w.acquired("s.dat", false));
    w.read(w.ui()->BGfile, w.acquired("b.dat", true));
    w.ui()->BqCalic->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    ASSERT_FALSE(w.ui()->ScreenVerdict->text().isEmpty());
    w.ui()->MnKaFit->click();
    EXPECT_FALSE(xmca::resultsShown(w.s()));
    EXPECT_TRUE(w.ui()->ScreenVerdict->text().isEmpty());
    EXPECT_TRUE(w.ui()->ScreenResult->text().isEmpty());
    EXPECT_FALSE(has(w.report("fit.pdf"), "Results"));

    // "Re Calic" after the fit draws its figures again, everywhere.
    w.ui()->ExpertMode->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    EXPECT_TRUE(xmca::resultsShown(w.s()));
    EXPECT_EQ(w.ui()->ScreenVerdict->text(), "Above screening level - confirm");
    EXPECT_TRUE(has(w.report("again.pdf"), "Above screening level"));
}

TEST(VerdictWindow, ChannelCountAndDeadSampleWithholdOnThePage) {
    VerdictWindow w;
    w.read(w.ui()->ReadSpec, w.acquired("s1024.dat", false, 200.0, 1024));
    w.read(w.ui()->BGfile, w.acquired("b1024.dat", true, 200.0, 1024));
    w.ui()->BqCalic->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    EXPECT_EQ(w.ui()->ScreenVerdict->text(), "No verdict - windows need 2048 channels");
    EXPECT_TRUE(has(w.report("n1024.pdf"), "No verdict - windows need 2048 channels"));
}

TEST(VerdictWindow, N42ExportRefusesAProcessedMemory) {
    VerdictWindow w;
    w.read(w.ui()->ReadSpec, w.acquired("s.dat", false));
    w.read(w.ui()->BGfile, w.acquired("b.dat", true));
    // Memory 1 as read: a measured spectrum, exported.
    w.ui()->Mem1Spec->click();
    w.next = QString::fromStdString(w.dir.file("raw.n42"));
    w.ui()->ExportN42->trigger();
    EXPECT_TRUE(std::filesystem::exists(w.dir.file("raw.n42")));

    w.ui()->BqCalic->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    for (QRadioButton* mem : {w.ui()->Mem1Spec, w.ui()->Mem2Spec, w.ui()->Mem3Spec}) {
        mem->click();
        const std::string out = w.dir.file(mem->objectName().toStdString() + ".n42");
        w.next = QString::fromStdString(out);
        w.ui()->Edit1->clear();
        w.ui()->ExportN42->trigger();
        EXPECT_FALSE(std::filesystem::exists(out)) << out;
        EXPECT_EQ(w.ui()->Edit1->text(), xmca::kProcessedSpectrum);
    }
    // The file as read again is a measurement once more.
    w.read(w.ui()->ReadSpec, w.dir.file("s.dat"));
    w.next = QString::fromStdString(w.dir.file("again.n42"));
    w.ui()->ExportN42->trigger();
    EXPECT_TRUE(std::filesystem::exists(w.dir.file("again.n42")));
}

}  // namespace
