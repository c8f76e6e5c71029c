// The report section of the main window: "Plot" on a printer and, with no
// printer, into a PDF; "Report as PDF..."; "H.Copy" black on white and back.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>

#include <cstdio>
#include <filesystem>

#include "files/temp_dir.h"
#include "support/scripted_analyser.h"
#include "support/simulated_spectra.h"
#include "ui_tform1.h"
#include "xmca/paint_box.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

struct ReportWindow {
    std::unique_ptr<TForm1> form;
    std::shared_ptr<xmca::test::ScriptedDialogs> dialogs = std::make_shared<xmca::test::ScriptedDialogs>();
    bool& printer = dialogs->printer;          // what the print service reports
    QString& pdfAnswer = dialogs->next;        // the PDF dialog's answer; empty = cancel
    QString& printerFile = dialogs->printerFile;  // the print dialog prints to this PDF file; empty = cancel
    ReportWindow() {
        TForm1::Options o;
        o.dialogs = dialogs;
        form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), o);
    }
    int pdfAsked() const { return dialogs->count(PageDialogs::Kind::SavePdf); }
    int printerAsked() const { return dialogs->printerAsked; }
    Ui::TForm1* ui() { return form->form(); }
};

bool isPdf(const std::string& path) {
    const std::string data = xmca::test::readAll(path);
    return data.starts_with("%PDF-") && data.find("%%EOF") != std::string::npos;
}

TEST(ReportWindow, PlotWithoutAPrinterOffersAPdf) {
    xmca::test::TempDir dir;
    ReportWindow w;
    w.ui()->PlotLpt->click();  // cancelled: nothing written, no message
    EXPECT_EQ(w.pdfAsked(), 1);
    EXPECT_EQ(w.printerAsked(), 0);
    EXPECT_TRUE(dir.entries().empty());

    w.pdfAnswer = QString::fromStdString(dir.file("report.pdf"));
    w.ui()->PlotLpt->click();
    EXPECT_EQ(w.pdfAsked(), 2);
    EXPECT_TRUE(isPdf(dir.file("report.pdf")));

    // A file that cannot be written is reported, not passed over.
    w.ui()->Edit1->setText("Status");
    w.pdfAnswer = QString::fromStdString(dir.file("missing/report.pdf"));
    w.ui()->PlotLpt->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "File Write Error !");
}

TEST(ReportWindow, PlotOnAPrinterUsesThePrintDialog) {
    xmca::test::TempDir dir;
    ReportWindow w;
    w.printer = true;
    w.ui()->PlotLpt->click();  // dialog cancelled
    EXPECT_EQ(w.printerAsked(), 1);
    EXPECT_TRUE(dir.entries().empty());

    w.printerFile = QString::fromStdString(dir.file("printed.pdf"));
    w.ui()->PlotLpt->click();
    EXPECT_EQ(w.printerAsked(), 2);
    EXPECT_EQ(w.pdfAsked(), 0);
    EXPECT_TRUE(isPdf(dir.file("printed.pdf")));
}

TEST(ReportWindow, ReportAsPdfMenuItem) {
    xmca::test::TempDir dir;
    ReportWindow w;
    w.printer = true;  // the menu item writes a PDF whether or not there is a printer
    w.pdfAnswer = QString::fromStdString(dir.file("menu.pdf"));
    w.ui()->ReportPdf1->trigger();
    EXPECT_EQ(w.printerAsked(), 0);
    EXPECT_TRUE(isPdf(dir.file("menu.pdf")));
}

TEST(ReportWindow, HardCopyIsBlackOnWhiteAndRestoresTheDisplay) {
    xmca::test::TempDir dir;
    ReportWindow w;
    w.form->resize(900, 600);
    const xmca::DisplayColours before = w.form->state().colours;
    const PaintBox* box = w.ui()->PaintBox1;
    const QPoint plotPixel(16 + 5, 5 + 40);  // inside the plot, above the ramp's trace
    ASSERT_EQ(box->frame().pixelColor(plotPixel), QColor(Qt::black));

    const QImage copy = w.form->windowCopy();
    const QPoint at = box->mapTo(w.form.get(), QPoint(0, 0)) * copy.devicePixelRatio();
    EXPECT_EQ(copy.pixelColor(at + plotPixel * copy.devicePixelRatio()), QColor(Qt::white));
    // The trace (the start-up ramp) is in black on the copy.
    int black = 0;
    for (int x = 16; x < 16 + 512; ++x)
        for (int y = 5; y < 5 + 312; ++y)
            if (copy.pixelColor(at + QPoint(x, y) * copy.devicePixelRatio()) == QColor(Qt::black)) ++black;
    EXPECT_GT(black, 300);

    // The display is as it was.
    const xmca::DisplayColours& after = w.form->state().colours;
    EXPECT_EQ(after.background, before.background);
    EXPECT_EQ(after.trace, before.trace);
    EXPECT_EQ(after.text, before.text);
    EXPECT_EQ(after.roiLabel, before.roiLabel);
    EXPECT_EQ(after.readout, before.readout);
    EXPECT_EQ(box->frame().pixelColor(plotPixel), QColor(Qt::black));

    // Without a printer the copy goes to a PDF.
    w.pdfAnswer = QString::fromStdString(dir.file("window.pdf"));
    w.ui()->PrintSpec->click();
    EXPECT_TRUE(isPdf(dir.file("window.pdf")));
    EXPECT_EQ(box->frame().pixelColor(plotPixel), QColor(Qt::black));
}

// The page's text as pdftotext extracts it.
std::string pdfText(const std::string& pdf) {
    std::string out;
    if (FILE* f = popen(("pdftotext -raw '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
        pclose(f);
    }
    return out;
}

TEST(ReportWindow, ResultsBlockOnlyWhileTheResultsAreShown) {
    xmca::test::TempDir dir;
    ReportWindow w;
    xmca::SimulatedAnalyserConfig c;
    c.seed = 4;
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 36000, dir.file("s.dat")));
    c.backgroundOnly = true;
    c.seed = 3;
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 36000, dir.file("b.dat")));
    w.dialogs->files = {QString::fromStdString(dir.file("s.dat")), QString::fromStdString(dir.file("b.dat"))};
    w.ui()->ReadSpec->click();
    w.ui()->BGfile->click();

    w.pdfAnswer = QString::fromStdString(dir.file("plain.pdf"));
    w.ui()->ReportPdf1->trigger();
    EXPECT_EQ(pdfText(dir.file("plain.pdf")).find("Results"), std::string::npos);

    w.ui()->BqCalic->click();
    ASSERT_TRUE(w.form->lab().settle());  // the register's QC state read
    ASSERT_EQ(w.form->state().resultsFlag, 1);
    w.pdfAnswer = QString::fromStdString(dir.file("results.pdf"));
    w.ui()->ReportPdf1->trigger();
    const std::string text = pdfText(dir.file("results.pdf"));
    // pdftotext gives the rotated words one per line.
    for (const char* t : {"Results\n(Bq/kg)", "Cs-All", "Cs-134", "Lower\nlimit\nof\nmeasurement", "Above\nscreening",
                          "Gain\ncheck"})
        EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
}

}  // namespace
