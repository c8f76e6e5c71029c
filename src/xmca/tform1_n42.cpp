// N42 section of the main window: "Export N42..." writes the spectrum on screen
// as an N42.42-2011 document; "Import N42..." loads a document's foreground
// spectrum as "&Read" loads a .dat file.

#include <algorithm>

#include "files/safe_write.h"
#include "model/spectrum_io.h"
#include "n42/n42_document.h"
#include "file_dialogs.h"
#include "tform1.h"
#include "ui_tform1.h"

using xmca::localPath;

void TForm1::wireN42() {
    connect(ui->ExportN42, &QAction::triggered, this, &TForm1::ExportN42Click);
    connect(ui->ImportN42, &QAction::triggered, this, &TForm1::ImportN42Click);
}

QString TForm1::askN42File(PageDialogs::Kind kind) {
    PageDialogs::FileQuestion q;
    q.kind = kind;
    q.filter = tr("N42 spectrum(*.n42 *.xml)");
    q.suffix = QStringLiteral("n42");
    return dialogs_->chooseFile(q);
}

void TForm1::ExportN42Click() {
    const QString path = askN42File(PageDialogs::Kind::SaveN42);
    if (!path.isEmpty()) exportN42Path(path);
}

void TForm1::exportN42Path(const QString& path) {
    // Never over a spectrum file the program reads from.
    if (std::string refused = xmca::checkOutputTarget(state_, localPath(path), true); !refused.empty()) {
        showStatus(QString::fromStdString(refused));
        return;
    }
    // Only a measured spectrum: a compressed or net one would be read by another
    // program with the wrong channel count and calibration.
    if (std::string refused = xmca::checkMeasuredSpectrum(state_); !refused.empty()) {
        showStatus(QString::fromStdString(refused));
        return;
    }
    // The header as "&Write" would fill it, without changing the working header.
    const xmca::SpectrumHeader kept = state_.header;
    xmca::fillHeaderForWrite(state_);
    xmca::n42::Measurement m;
    m.spectrum.header = state_.header;
    state_.header = kept;
    const int n = std::clamp<int>(state_.channelCount, 0, xmca::kWorkChannels);
    m.spectrum.counts.assign(state_.spectrum.begin(), state_.spectrum.begin() + n);
    if (state_.cal.calibrated == 1) m.spectrum.calibration = xmca::n42::LinearCalibration{state_.cal.gain, state_.cal.offset};
    // Memory 2 holding the background file is a background measurement.
    if (state_.selectedSource == 2 && state_.bgFileFlag == 1) m.kind = xmca::n42::MeasurementClass::Background;

    const xmca::n42::ExportResult doc = xmca::n42::exportN42(std::span(&m, 1));
    if (!doc.ok) {
        showStatus(QString::fromStdString(doc.error));
        return;
    }
    if (xmca::writeWholeFile(localPath(path), doc.document) != xmca::WriteStatus::Ok)
        showStatus(QString::fromLatin1(xmca::kFileWriteError));
}

void TForm1::ImportN42Click() {
    const QString path = askN42File(PageDialogs::Kind::OpenN42);
    if (!path.isEmpty()) importN42Path(path);
}

void TForm1::importN42Path(const QString& path) {
    const xmca::n42::ImportResult r = xmca::n42::importN42File(localPath(path));
    if (!r.opened) return;  // as "&Read": a file that cannot be opened ends silently
    if (!r.ok) {
        showStatus(QString::fromStdString(r.error));
        return;  // nothing loaded, nothing changed
    }
    syncSelectedSource();
    const xmca::FileLoadResult res =
        xmca::loadSpectrumImage(state_, localPath(path), r.spectrum.header, r.spectrum.counts);
    if (!res.edit1.empty()) showStatus(QString::fromStdString(res.edit1));
    else if (!r.notes.empty()) showStatus(QString::fromStdString("N42: " + r.notes.front()));
    updateWindowLabels();
    PaintBox1Paint();
}
