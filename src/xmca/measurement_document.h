// The window's measurement: the working and memory spectra, their headers, the
// settings, calibration, ROI table, view and the last activity record. It lives on
// the window's thread. The link's answers, spectrum files and the window's handlers
// change it through here; whoever shows it hears `changed`.
#pragma once

#include <QObject>
#include <QString>

#include "acquisition/link_client.h"
#include "model/measurement_state.h"
#include "model/spectrum_io.h"

class MeasurementDocument : public QObject {
    Q_OBJECT
public:
    // What a change touched (the link's parts, then the document's own).
    enum Part : unsigned {
        Spectrum = xmca::LinkSnapshot::Spectrum,
        Stamp = xmca::LinkSnapshot::Stamp,
        Times = xmca::LinkSnapshot::Times,
        View = xmca::LinkSnapshot::View,
        Scan = xmca::LinkSnapshot::Scan,
        FileRead = 1u << 8,     // a spectrum file was read into the working spectrum or a memory
        FileWritten = 1u << 9,  // the working spectrum was written to a file
    };

    explicit MeasurementDocument(QObject* parent = nullptr) : QObject(parent) {}

    const xmca::MeasurementState& state() const { return state_; }
    // For the window's handlers, which run the core on the state in place.
    xmca::MeasurementState& edit() { return state_; }

    // The link's answer: its changed parts written in.
    void apply(const xmca::LinkSnapshot& snap);

    // A .dat file read as "&Read" reads it (into the selected memory, or the working
    // spectrum). `opened` is false when nothing was read; `statusText` is the status
    // box line the read gives (empty leaves the box as it is).
    struct ReadResult {
        bool opened = false;
        QString statusText;
    };
    ReadResult readSpectrum(const QString& path);
    // Writes the working spectrum as "Write" does; returns why it could not be
    // written, or an empty text when it was.
    QString writeSpectrum(const QString& path);

signals:
    // Before a file is read: the window puts its checked "Mem" button into the state
    // (the memory the file goes into).
    void aboutToRead();
    void changed(unsigned parts);
    // After each read, whether or not a spectrum came (the window shows it).
    void spectrumRead(const MeasurementDocument::ReadResult& result);

private:
    xmca::MeasurementState state_;
};
