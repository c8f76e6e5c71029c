#include "measurement_document.h"

#include "file_dialogs.h"

void MeasurementDocument::apply(const xmca::LinkSnapshot& snap) {
    snap.applyTo(state_);
    if (snap.changed) emit changed(snap.changed);
}

MeasurementDocument::ReadResult MeasurementDocument::readSpectrum(const QString& path) {
    emit aboutToRead();
    const xmca::FileLoadResult r = xmca::loadSpectrum(state_, xmca::localPath(path));
    ReadResult out;
    out.opened = r.opened;
    out.statusText = QString::fromStdString(r.edit1);
    if (r.opened) emit changed(FileRead | Spectrum | Stamp | Times);
    emit spectrumRead(out);
    return out;
}

QString MeasurementDocument::writeSpectrum(const QString& path) {
    const std::string msg = xmca::saveSpectrum(state_, xmca::localPath(path));
    if (!msg.empty()) return QString::fromStdString(msg);
    emit changed(FileWritten);
    return {};
}
