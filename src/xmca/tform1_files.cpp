// Files section of the main window: spectrum files, text dump, memory spectra and
// the snapshot overlays. The handlers read widgets and dialogs, call the core in
// model/spectrum_io and model/memory_spectra, and show the results.
#include <QFileInfo>

#include "model/memory_spectra.h"
#include "model/spectrum_io.h"
#include "file_dialogs.h"
#include "mem_source.h"
#include "tform1.h"
#include "ui_tform1.h"

using xmca::localPath;

void TForm1::wireFiles() {
    connect(ui->Write1, &QAction::triggered, this, &TForm1::Write1Click);
    connect(ui->Read1, &QAction::triggered, this, &TForm1::Read1Click);
    connect(ui->Write2, &QAction::triggered, this, &TForm1::Write2Click);
    connect(ui->SaveSpec, &QPushButton::clicked, this, &TForm1::SaveSpecClick);
    connect(ui->ReadSpec, &QPushButton::clicked, this, &TForm1::ReadSpecClick);
    connect(ui->BGfile, &QPushButton::clicked, this, &TForm1::BGfileClick);
    connect(ui->McaMem, &QRadioButton::clicked, this, &TForm1::McaMemClick);
    connect(ui->Mem1Spec, &QRadioButton::clicked, this, &TForm1::Mem1SpecClick);
    connect(ui->Mem2Spec, &QRadioButton::clicked, this, &TForm1::Mem2SpecClick);
    connect(ui->Mem3Spec, &QRadioButton::clicked, this, &TForm1::Mem3SpecClick);
    connect(ui->OverLapON, &QPushButton::clicked, this, &TForm1::OverLapONClick);
}

QString TForm1::askFile(PageDialogs::Kind kind) {
    PageDialogs::FileQuestion q;
    q.kind = kind;
    if (kind == PageDialogs::Kind::SaveText) {
        q.filter = tr("Spectrumn(*.txt)");
        q.suffix = QStringLiteral("txt");
    } else {
        q.filter = tr("spectrum(*.dat)");
        q.suffix = QStringLiteral("dat");
    }
    return dialogs_->chooseFile(q);
}

void TForm1::syncSelectedSource() { xmca::ui::syncSelectedSource(*ui, state_); }

// --- .dat files ---

void TForm1::Write1Click() {
    const QString path = askFile(PageDialogs::Kind::SaveSpectrum);
    if (!path.isEmpty()) writeSpectrumPath(path);
}

void TForm1::SaveSpecClick() { Write1Click(); }

void TForm1::writeSpectrumPath(const QString& path) {
    const QString failed = doc_->writeSpectrum(path);
    if (!failed.isEmpty()) showStatus(failed);
    else emit statusMessage(tr("Saved %1").arg(QFileInfo(path).fileName()));
}

void TForm1::Read1Click() {
    const QString path = askFile(PageDialogs::Kind::OpenSpectrum);
    if (!path.isEmpty()) readSpectrumPath(path);
}

void TForm1::readSpectrumPath(const QString& path) { doc_->readSpectrum(path); }

void TForm1::afterRead(const MeasurementDocument::ReadResult& r) {
    if (!r.opened) return;  // only the path and file name changed
    if (!r.statusText.isEmpty()) showStatus(r.statusText);
    updateWindowLabels();
    PaintBox1Paint();
}

void TForm1::ReadSpecClick() {
    ui->Mem1Spec->setChecked(true);
    const QString path = askFile(PageDialogs::Kind::OpenSpectrum);
    const auto r = xmca::readSampleFile(state_, path.isEmpty() ? std::nullopt
                                                               : std::optional<std::string>(localPath(path)));
    if (r.opened) {
        if (!r.edit1.empty()) showStatus(QString::fromStdString(r.edit1));
        updateWindowLabels();
    }
    PaintBox1Paint();
}

void TForm1::BGfileClick() {
    ui->Mem2Spec->setChecked(true);
    const QString path = askFile(PageDialogs::Kind::OpenSpectrum);
    const auto r = xmca::readBackgroundFile(state_, path.isEmpty() ? std::nullopt
                                                                   : std::optional<std::string>(localPath(path)));
    if (r.opened) {
        if (!r.edit1.empty()) showStatus(QString::fromStdString(r.edit1));
        updateWindowLabels();
    }
    PaintBox1Paint();
}

// --- text dump ---

void TForm1::Write2Click() {
    const QString path = askFile(PageDialogs::Kind::SaveText);
    if (!path.isEmpty()) writeTextPath(path);
}

void TForm1::writeTextPath(const QString& path) {
    const std::string msg = xmca::saveTextDump(state_, localPath(path));
    if (!msg.empty()) showStatus(QString::fromStdString(msg));
}

// --- the "Mem" group and "SnapShot" ---

void TForm1::McaMemClick() { session_->showAnalyserMemory(); }

void TForm1::Mem1SpecClick() {
    ui->Mem1Spec->setChecked(true);
    if (!xmca::selectMemory(state_, 1)) showStatus(QString::fromStdString(xmca::emptyMemoryText(1)));
    PaintBox1Paint();
}

void TForm1::Mem2SpecClick() {
    ui->Mem2Spec->setChecked(true);
    if (!xmca::selectMemory(state_, 2)) showStatus(QString::fromStdString(xmca::emptyMemoryText(2)));
    PaintBox1Paint();
}

void TForm1::Mem3SpecClick() {
    ui->Mem3Spec->setChecked(true);
    if (!xmca::selectMemory(state_, 3)) showStatus(QString::fromStdString(xmca::emptyMemoryText(3)));
    PaintBox1Paint();
}

void TForm1::OverLapONClick() {
    syncSelectedSource();
    xmca::toggleSnapshot(state_);
    PaintBox1Paint();
}
