// Report section of the main window: "Plot" prints the one-page spectrum report,
// "Report as PDF..." writes it to a PDF file, "H.Copy" prints the window drawn
// black on white. With no printer on the machine both print commands offer a
// PDF file instead, so they never end without a result.
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

#include "model/bq_calic.h"
#include "model/screening.h"
#include "model/spectrum_io.h"
#include "report/report_output.h"
#include "file_dialogs.h"
#include "tform1.h"
#include "window_language.h"
#include "ui_tform1.h"

using xmca::localPath;

namespace {

constexpr const char* kPrintError = "Error ! Print";

// The page's results block: the screening figures of the computation whose results
// the plot shows, none otherwise (they would not belong to the spectrum printed).
xmca::report::ReportOptions reportOptions(const xmca::MeasurementState& s) {
    xmca::report::ReportOptions o;
    if (!xmca::resultsShown(s)) return o;
    const std::vector<std::string> lines = xmca::screeningLines(s.activity);
    if (lines.empty()) return o;
    xmca::report::TextBlock block;
    block.title = QCoreApplication::translate("TForm1", "Results (Bq/kg)");
    for (const std::string& l : lines) block.lines.push_back(xmca::ui::statusText(l));
    o.extra = std::move(block);
    return o;
}

}  // namespace

void TForm1::wireReport() {
    connect(ui->PlotLpt, &QPushButton::clicked, this, &TForm1::PlotLptClick);
    connect(ui->PrintSpec, &QPushButton::clicked, this, &TForm1::PrintSpecClick);
    connect(ui->ReportPdf1, &QAction::triggered, this, &TForm1::ReportPdf1Click);
}

QString TForm1::askReportPdf() {
    const QString name = QFile::decodeName(QByteArray::fromStdString(state_.fileName));
    PageDialogs::FileQuestion q;
    q.kind = PageDialogs::Kind::SavePdf;
    q.title = tr("Report as PDF");
    q.filter = QStringLiteral("PDF(*.pdf)");
    q.suffix = QStringLiteral("pdf");
    q.suggested = name.isEmpty() ? QString() : QFileInfo(name).completeBaseName() + ".pdf";
    return dialogs_->chooseFile(q);
}

void TForm1::deliverPage(const std::function<bool(QPagedPaintDevice&)>& print,
                         const std::function<xmca::report::PdfResult()>& pdf) {
    const bool printer = dialogs_->hasPrinter();
    if (printer) {
        QPrinter device(QPrinter::HighResolution);
        device.setPageOrientation(QPageLayout::Portrait);
        if (!dialogs_->choosePrinter(device)) return;  // cancelled
        if (!print(device)) showStatus(kPrintError);
        return;
    }
    const QString path = askReportPdf();
    if (path.isEmpty()) return;  // cancelled
    if (std::string refused = xmca::checkOutputTarget(state_, localPath(path), true); !refused.empty()) {
        showStatus(QString::fromStdString(refused));
        return;
    }
    if (xmca::report::writePdf(localPath(path), pdf()) != xmca::WriteStatus::Ok) showStatus(xmca::kFileWriteError);
}

void TForm1::PlotLptClick() {
    const xmca::report::ReportOptions options = reportOptions(state_);
    deliverPage([this, &options](QPagedPaintDevice& d) { return xmca::report::printReport(d, state_, options); },
                [this, &options] { return xmca::report::reportPdf(state_, options); });
}

void TForm1::ReportPdf1Click() {
    const QString path = askReportPdf();
    if (path.isEmpty()) return;
    if (std::string refused = xmca::checkOutputTarget(state_, localPath(path), true); !refused.empty()) {
        showStatus(QString::fromStdString(refused));
        return;
    }
    if (xmca::report::writePdf(localPath(path), xmca::report::reportPdf(state_, reportOptions(state_))) !=
        xmca::WriteStatus::Ok)
        showStatus(xmca::kFileWriteError);
}

QImage TForm1::windowCopy() {
    // The plot black on white for paper, then the display exactly as it was.
    const xmca::DisplayColours saved = state_.colours;
    state_.colours.background = 0x00FFFFFF;
    state_.colours.text = 0;
    state_.colours.trace = 0;
    state_.colours.roiLabel = 0;
    state_.colours.readout = 0;  // the cyan read-outs would hardly show on paper
    PaintBox1Paint();
    const QImage img = grab().toImage();
    state_.colours = saved;
    PaintBox1Paint();
    return img;
}

void TForm1::PrintSpecClick() {
    const QImage img = windowCopy();
    deliverPage([&img](QPagedPaintDevice& d) { return xmca::report::printImage(d, img); },
                [&img] { return xmca::report::imagePdf(img); });
}
