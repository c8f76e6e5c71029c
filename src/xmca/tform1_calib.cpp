// Calibration section of the main window, the "Eng.Calib" page: two-point energy
// calibration from the LowCh/HiCh/LoEng/HiEng boxes, the reference channels taken
// from the cursor ("L_Ch.", "H_Ch."), "FWHM Calic." and the peak fit with its
// fitted curve over the spectrum.
#include <QAbstractSlider>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "analysis/energy_calibration.h"
#include "analysis/peak_fit.h"
#include "analysis/peak_width.h"
#include "display/fit_curve.h"
#include "paint_box.h"
#include "tform1.h"
#include "ui_tform1.h"
#include "up_down.h"

namespace {

constexpr const char* kNoPeakMessage = "Error ! No Peak at Cursor";
constexpr const char* kNoWidthMessage = "Error ! Peak Fit Width";

int validChannels(const xmca::MeasurementState& s) { return std::clamp(s.channelCount, 0, xmca::kWorkChannels); }

std::string text(const QLineEdit* e) { return e->text().toStdString(); }

}  // namespace

void TForm1::wireCalib() {
    connect(ui->LengCh, &QCheckBox::clicked, this, &TForm1::LengChClick);
    connect(ui->HengCh, &QCheckBox::clicked, this, &TForm1::HengChClick);
    connect(ui->LowCh, &QLineEdit::textChanged, this, &TForm1::LowChChange);
    connect(ui->HiCh, &QLineEdit::textChanged, this, &TForm1::HiChChange);
    connect(ui->EngCalib, &QPushButton::clicked, this, &TForm1::EngCalibClick);
    connect(ui->FWHM, &QPushButton::clicked, this, &TForm1::FWHMClick);
    connect(ui->MnKaFit, &QPushButton::clicked, this, &TForm1::MnKaFitClick);

    // Any view command ends the display of the fitted curve.
    for (QPushButton* b : {ui->LogDisp, ui->AutoVfs, ui->Expand, ui->Compres, ui->SnapPeak})
        connect(b, &QPushButton::clicked, this, &TForm1::hideFitCurve);
    connect(ui->UpDown1, &UpDown::clicked, this, &TForm1::hideFitCurve);
    connect(ui->ScrollBar1, &QAbstractSlider::actionTriggered, this, &TForm1::hideFitCurve);
    connect(ui->PaintBox1, &PaintBox::mouseDown, this, [this](Qt::MouseButton button, int, int) {
        if (button == Qt::LeftButton) hideFitCurve();
    });
}

void TForm1::hideFitCurve() {
    if (!fitCurveShown_) return;
    fitCurveShown_ = false;
    PaintBox1Paint();
}

const QImage& TForm1::withFitCurve(const QImage& frame) {
    if (!fitCurveShown_) return frame;
    fitFrame_ = frame.copy();
    const xmca::FitResult f = fitCurve_;
    xmca::display::drawFitCurve(fitFrame_, state_, f.first, f.last, [f](double x) { return f.at(x); });
    return fitFrame_;
}

void TForm1::LengChClick() {
    ui->LowCh->setText(QString::fromStdString(xmca::referenceChannelText(state_.view.snapCentroid, state_.view.cursor)));
    ui->LengCh->setChecked(false);
}

void TForm1::HengChClick() {
    ui->HiCh->setText(QString::fromStdString(xmca::referenceChannelText(state_.view.snapCentroid, state_.view.cursor)));
    ui->HengCh->setChecked(false);
}

void TForm1::LowChChange() {
    const std::string msg = xmca::lowChEditMessage(text(ui->LowCh));
    if (!msg.empty()) showStatus(QString::fromStdString(msg));
}

void TForm1::HiChChange() {
    const std::string msg = xmca::highChEditMessage(text(ui->HiCh));
    if (!msg.empty()) showStatus(QString::fromStdString(msg));
}

void TForm1::EngCalibClick() {
    const xmca::CalibrationOutcome r =
        xmca::twoPointCalibration({text(ui->LowCh), text(ui->HiCh), text(ui->LoEng), text(ui->HiEng)});
    if (!r.ok) {
        showStatus(QString::fromStdString(r.message));  // the calibration in force stays
        return;
    }
    xmca::Calibration& c = state_.cal;
    c.lowCh = r.lowCh;
    c.highCh = r.highCh;
    c.lowEng = r.lowEng;
    c.highEng = r.highEng;
    c.unit = text(ui->ChKev);
    c.gain = r.gain;
    c.offset = r.offset;
    c.calibrated = 1;
    c.channels = state_.channelCount;
    showCursorEnergy();
    PaintBox1Paint();
}

void TForm1::FWHMClick() {
    const auto& v = state_.view;
    const xmca::PeakWidth r = xmca::peakWidthAtCursor(state_.spectrum, validChannels(state_), v.cursor, v.lo, v.hi);
    if (!r.found) {
        showStatus(kNoPeakMessage);
        return;
    }
    if (!(r.fwhm > 0.0f)) {
        showStatus(kNoWidthMessage);
        return;
    }
    showStatus(tr("Peak %1 Ch.").arg(QString::asprintf("%8.2f", static_cast<double>(r.centroid))));
    ui->FwhmVal->setText(QString::asprintf("%8.2f ch", static_cast<double>(r.fwhm)));
}

void TForm1::MnKaFitClick() {
    // With the activity box on screen the command only takes it away (at the next
    // repaint).
    if (state_.resultsFlag) {
        state_.resultsFlag = 0;
        showActivityResults();  // the page lets them go with the box
        return;
    }
    const auto& v = state_.view;
    const xmca::PeakFitOutcome o = xmca::fitPeakAtCursor(state_.spectrum, validChannels(state_), v.cursor, v.lo, v.hi);
    using Status = xmca::PeakFitOutcome::Status;
    if (o.status == Status::NoPeak) {
        showStatus(kNoPeakMessage);
        return;
    }
    if (o.status == Status::NoWidth) {
        showStatus(kNoWidthMessage);
        return;
    }
    showStatus(QString::asprintf("%8.2f Ch.", static_cast<double>(o.start.position)));
    state_.view.snapCentroid = o.start.position;
    ui->MnKaEng->setText(QString::asprintf("%8.2f eV", static_cast<double>(o.start.widthEv)));
    if (!o.fit.ok) {
        ui->MnKaFitResult->setText(tr("No fit: %1").arg(QString::fromStdString(o.fit.failure)));
        hideFitCurve();
        return;
    }
    ui->MnKaFitResult->setText(
        tr("Fit FWHM %1 eV  chi2/dof %2")
            .arg(QString::asprintf("%.1f", o.fit.fwhmEv()), QString::asprintf("%.2f", o.fit.chi2PerDof)));
    fitCurve_ = o.fit;
    fitCurveShown_ = true;
    PaintBox1Paint();
}
