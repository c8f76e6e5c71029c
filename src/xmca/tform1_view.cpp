// View section of the main window: the paint handler, the scale strips and the
// view controls (LOG, Auto, UpDown1, Expand, Compres, ScrollBar1, clicks in the
// plot, Snap Peak). With an acquisition running on an open analyser the view
// commands are forwarded to it and act only on its "!"; otherwise they change the
// view here.
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <algorithm>

#include "analysis/snap_peak.h"
#include "display/frame_renderer.h"
#include "model/spectrum_io.h"
#include "model/view_controls.h"
#include "paint_box.h"
#include "tform1.h"
#include "ui_tform1.h"
#include "up_down.h"

namespace {

using xmca::display::FrameRenderer;

// Channels the view logic may use: the working channel count, within the room.
int channelsOf(const xmca::MeasurementState& s) { return std::clamp(s.channelCount, 0, xmca::kWorkChannels); }

}  // namespace

void TForm1::wireView() {
    viewRenderer_ = std::make_unique<FrameRenderer>();
    connect(ui->LogDisp, &QPushButton::clicked, this, &TForm1::LogDispClick);
    connect(ui->AutoVfs, &QPushButton::clicked, this, &TForm1::AutoVfsClick);
    connect(ui->UpDown1, &UpDown::clicked, this, &TForm1::UpDown1Click);
    connect(ui->Expand, &QPushButton::clicked, this, &TForm1::ExpandClick);
    connect(ui->Compres, &QPushButton::clicked, this, &TForm1::CompresClick);
    connect(ui->SnapPeak, &QPushButton::clicked, this, &TForm1::SnapPeakClick);
    connect(ui->ScrollBar1, &QAbstractSlider::actionTriggered, this, &TForm1::ScrollBar1Scroll);
    connect(ui->PaintBox1, &PaintBox::mouseDown, this, &TForm1::PaintBox1MouseDown);
    connect(ui->PaintBox1, &PaintBox::paintRequested, this, &TForm1::PaintBox1Paint);
    // The static parts of the display at start: linear scale, grid, channel strip.
    redrawChannelScale(false);
    redrawLinearScale(true);
}

void TForm1::PaintBox1Paint() {
    FrameRenderer& r = *viewRenderer_;
    const QImage& frame = r.compose(state_, xmca::display::FrameWriteBack::into(state_));
    ui->PaintBox1->setFrame(withFitCurve(frame));
    ui->Label7->setText(QString::number(FrameRenderer::cursorCount(state_)));
    showActivityResults();  // the page follows the plot's box: results shown on both or neither
}

// --- scale redraws ---

void TForm1::showPreview() { ui->PaintBox1->setFrame(viewRenderer_->preview(state_)); }

void TForm1::redrawLogScale(bool withBackground) {
    FrameRenderer& r = *viewRenderer_;
    state_.view.logScale = 1;
    r.drawChannelStrip(state_.view.lo, state_.view.hi);
    r.drawLogStrip();
    if (withBackground) r.drawBackground(true, state_.colours);
    showPreview();
}

void TForm1::redrawLinearScale(bool withBackground) {
    FrameRenderer& r = *viewRenderer_;
    state_.view.logScale = 0;
    r.drawChannelStrip(state_.view.lo, state_.view.hi);
    r.drawLinearStrip();
    if (withBackground) r.drawBackground(false, state_.colours);
    showPreview();
}

void TForm1::redrawChannelScale(bool fromAnalyser) {
    if (fromAnalyser) takeWindowFromAnalyser();
    viewRenderer_->drawChannelStrip(state_.view.lo, state_.view.hi);
    showPreview();
}

// --- forwarding ---

bool TForm1::viewForwarded() const { return linkFig().deviceOpen && linkFig().acquisitionRunning; }

void TForm1::forwardView(const std::string& command, std::function<void()> acknowledged, bool readWindow) {
    // 0: not acknowledged; 1: acknowledged; 2: and the status record read after it.
    auto result = std::make_shared<int>(0);
    linkRequest(
        Key::None,
        [command, readWindow, result](xmca::LinkClient& c) {
            if (c.link().SendCommand(0, command) != 1) return;
            *result = readWindow && c.link().ReadStatus(0) ? 2 : 1;
        },
        [this, result, acknowledged = std::move(acknowledged)] {
            if (*result == 0) return;
            windowRead_ = *result == 2;
            if (acknowledged) acknowledged();
            windowRead_ = false;
        });
}

void TForm1::takeWindowFromAnalyser() {
    if (!windowRead_) return;
    const xmca::DeviceStatus& st = linkFig().status;
    // The record comes from outside: a window past the spectrum room is bounded.
    const int last = std::max(0, channelsOf(state_) - 1);
    const int lo = std::clamp<int>(st.displayLowCh, 0, last);
    const int hi = std::clamp<int>(st.displayHighCh, lo, last);
    state_.view.lo = lo;
    state_.view.hi = hi;
    state_.view.lo16 = static_cast<std::int16_t>(lo);
    state_.view.hi16 = static_cast<std::int16_t>(hi);
}

// --- handlers ---

void TForm1::LogDispClick() {
    const auto draw = [this] {
        redrawLogScale(true);
        PaintBox1Paint();
    };
    if (viewForwarded()) return forwardView("$O;", draw);
    draw();
}

void TForm1::AutoVfsClick() {
    auto& v = state_.view;
    if (viewForwarded()) {
        const int idx = xmca::view::autoScaleIndex(state_.maxCount);
        const std::string cmd = std::string("$V") + static_cast<char>('0' + idx) + ";";
        showStatus(QString::fromStdString(cmd));
        forwardView(cmd, [this, idx] {
            state_.view.vfsIndex = idx;
            state_.view.autoScale = 1;
            redrawLinearScale(true);
            PaintBox1Paint();
        });
        return;
    }
    const int max = xmca::view::windowMaximum(state_.spectrum, channelsOf(state_), v.lo, v.hi);
    v.vfsIndex = xmca::view::autoScaleIndex(max);
    v.autoScale = 1;
    redrawLinearScale(true);
    PaintBox1Paint();
}

void TForm1::UpDown1Click(int button) {
    if (button != UpDown::btNext && button != UpDown::btPrev) return;
    const auto step = [this, button] {
        xmca::view::stepScale(state_.view, button == UpDown::btNext ? xmca::view::btNext : xmca::view::btPrev);
        redrawLinearScale(false);
        PaintBox1Paint();
    };
    if (viewForwarded()) return forwardView(button == UpDown::btNext ? "$V;" : "$v;", step);
    step();
}

void TForm1::afterLocalZoom() {
    xmca::view::afterZoom(state_.view);
    updateWindowLabels();
    redrawChannelScale(false);
    if (state_.view.logScale)
        redrawLogScale(true);
    else
        redrawLinearScale(true);
    PaintBox1Paint();
}

void TForm1::ExpandClick() {
    if (viewForwarded()) {
        forwardView(
            "$E;",
            [this] {
                redrawChannelScale(true);
                updateWindowLabels();
                PaintBox1Paint();
            },
            true);
        return;
    }
    xmca::view::expand(state_.view, channelsOf(state_));
    afterLocalZoom();
}

void TForm1::CompresClick() {
    if (viewForwarded()) {
        forwardView(
            "$e;",
            [this] {
                redrawChannelScale(true);
                updateWindowLabels();
                PaintBox1Paint();
            },
            true);
        return;
    }
    xmca::view::compress(state_.view, channelsOf(state_));
    afterLocalZoom();
}

void TForm1::ScrollBar1Scroll(int action) {
    using xmca::view::ScrollCode;
    const ScrollCode code = action == QAbstractSlider::SliderSingleStepSub   ? ScrollCode::LineLeft
                            : action == QAbstractSlider::SliderSingleStepAdd ? ScrollCode::LineRight
                                                                             : ScrollCode::Other;
    QScrollBar* bar = ui->ScrollBar1;
    if (viewForwarded()) {
        const char* cmd = code == ScrollCode::LineLeft ? "$l;" : code == ScrollCode::LineRight ? "$r;" : "$ ;";
        const int pos = bar->sliderPosition();
        forwardView(cmd, [this, pos] { state_.view.scrollPos = pos; });
        return;
    }
    if (code == ScrollCode::Other) {
        state_.view.scrollPos = bar->sliderPosition();
    } else {
        xmca::view::scroll(state_.view, code, channelsOf(state_));
        state_.view.scrollPos = std::clamp(state_.view.scrollPos, bar->minimum(), bar->maximum());
        bar->setSliderPosition(state_.view.scrollPos);
    }
    showStatus(QString::number(state_.view.scrollPos));
    updateWindowLabels();
    redrawChannelScale(false);
    PaintBox1Paint();
}

void TForm1::sendCursor(int channel) {
    linkRequest(Key::None, [channel](xmca::LinkClient& c) { c.link().SetCursorChannel(0, channel); }, {});
}

void TForm1::showCursorEnergy() {
    if (!state_.cal.calibrated) return;
    const double e = static_cast<double>(state_.view.cursor) * state_.cal.gain + state_.cal.offset;
    ui->Label8->setText(QString::fromStdString(xmca::energyLabel(e)));
    ui->Label9->setText(QString::fromStdString(state_.cal.unit));
}

void TForm1::PaintBox1MouseDown(Qt::MouseButton button, int x, int /*y*/) {
    if (button != Qt::LeftButton) return;
    auto& v = state_.view;
    // While the analyser is connected its own window (the 16-bit copies) is in force.
    const bool open = linkFig().deviceOpen != 0;
    const int lo = open ? v.lo16 : v.lo;
    const int hi = open ? v.hi16 : v.hi;
    // A click left of the plot gives a channel below lo; it is kept inside the spectrum.
    const int ch = xmca::view::clampChannel(xmca::view::channelAtX(lo, hi, x), channelsOf(state_));

    const int idx = ui->ROINoSelect->currentIndex();
    if (ui->PageControl1->currentWidget() == ui->RoiPage && idx >= 0 && idx < xmca::kRoiCount) {
        if (ui->ROILowCh->isChecked()) {
            state_.rois[idx].low = ch;
            ui->EditROILow->setText(QString::number(ch));
        }
        if (ui->ROIHighCh->isChecked()) {
            state_.rois[idx].high = ch;
            ui->EditROIHigh->setText(QString::number(ch));
        }
    }
    v.cursor = ch;
    if (open) sendCursor(ch);
    ui->Label3->setText(QString::number(ch));
    showCursorEnergy();
    PaintBox1Paint();
}

void TForm1::SnapPeakClick() {
    const xmca::SnapPeakResult r = xmca::snapPeak(state_.spectrum, channelsOf(state_), state_.view.cursor);
    if (!r.found) return;  // nothing above 0 near the cursor: it stays where it is
    state_.view.snapCentroid = static_cast<float>(r.centroid);
    showStatus(QString::asprintf("%8.2f", r.centroid));
    state_.view.cursor = r.cursor;
    ui->Label3->setText(QString::number(r.cursor));
    showCursorEnergy();  // the energy label follows the moved cursor
    if (linkFig().deviceOpen) sendCursor(r.cursor);
    PaintBox1Paint();
}
