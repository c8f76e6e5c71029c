// Setup section of the main window: the MCA setup dialog and the scan-map page.
#include <algorithm>

#include "display/frame_renderer.h"
#include "dlgzelm/tzelm_setup.h"
#include "model/view_controls.h"
#include "tform1.h"
#include "window_language.h"
#include "ui_tform1.h"
#include "xmca1/txmca1_setup.h"

namespace {

// The dialogs' messages side by side in the status box, each in the window's language.
QString joinStatus(const QStringList& messages) {
    QStringList shown;
    for (const QString& m : messages) shown << xmca::ui::statusText(m);
    return shown.join("  ");
}

}  // namespace

void TForm1::wireSetup() {
    connect(ui->Button10, &QPushButton::clicked, this, &TForm1::Button10Click);
    connect(ui->Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(ui->ZelmStart, &QPushButton::clicked, this, &TForm1::ZelmStartClick);
    connect(ui->ZelmStop, &QPushButton::clicked, this, &TForm1::ZelmStopClick);
    connect(ui->ZelmClear, &QPushButton::clicked, this, &TForm1::ZelmClearClick);
}

void TForm1::Button10Click() {
    auto& s = state_;
    auto& rec = s.settings;
    // The window's label lines are those of the header template.
    rec.label1 = s.headerTemplate.comment();
    rec.label2 = s.headerTemplate.sampleId();

    int result = 0;
    QStringList messages;
    {
        TXMCA1SetUp dlg(rec, this);
        result = dlg.exec();
        messages = dlg.errors();
    }
    if (result != TXMCA1SetUp::mrOk) {
        // The record keeps the edited numbers; the window keeps its label lines.
        rec.label1 = s.headerTemplate.comment();
        rec.label2 = s.headerTemplate.sampleId();
        if (!messages.isEmpty()) showStatus(joinStatus(messages));
        return;
    }

    QString shown;
    if (link_->DeviceOpen == 1) {
        // A preset that did not convert kept its old value; that value is sent all
        // the same, so the analyser stops the run at the preset the window shows
        // (it may still hold another one, e.g. the scan-map pass preset).
        shown = QString::fromStdString(xmca::AnalyserLink::presetCommand(rec.presetTime));
        if (!link_->SetPresetTime(0, rec.presetTime)) messages << QStringLiteral("Error ! SetPresetTime");
        if (link_->SetChannelCount(0, rec.channelCount)) {
            link_->ChannelCount = rec.channelCount;
        } else if (xmca::AnalyserLink::channelCountCommand(rec.channelCount).empty()) {
            // Nothing was sent: the analyser has no command for this count.
            messages << QStringLiteral("Error ! SetChannelCount %1 ch: no analyser command").arg(rec.channelCount);
        } else {
            messages << QStringLiteral("Error ! SetChannelCount");
        }
    }
    // The preset shown is the one the run stops at, with or without a device.
    s.presetTime = rec.presetTime;
    s.lld = rec.lld;
    s.channelCount = rec.channelCount;
    // The link keeps the count the analyser acknowledged; the next read shows it.
    s.headerTemplate.setChannelCount(static_cast<std::int16_t>(rec.channelCount));
    s.headerTemplate.setI32(xmca::SpectrumHeader::kPresetTime, rec.presetTime);
    s.headerTemplate.setText(xmca::SpectrumHeader::kComment, rec.label1);
    s.headerTemplate.setText(xmca::SpectrumHeader::kSampleId, rec.label2);
    // The record holds what the template holds (the template never splits a character).
    rec.label1 = s.headerTemplate.comment();
    rec.label2 = s.headerTemplate.sampleId();

    if (!messages.isEmpty()) showStatus(joinStatus(messages));
    else if (!shown.isEmpty()) showStatus(shown);
    PaintBox1Paint();
}

void TForm1::Button7Click() {
    auto& s = state_;
    // The scan memory holds at most 2048 channels per bank.
    if (s.channelCount > 2048) {
        s.scan.channelCount = 2048;
        s.channelCount = 2048;
    }

    int result = 0;
    QStringList messages;
    {
        TZELMSetUp dlg(s.scan, this);
        result = dlg.exec();
        messages = dlg.errors();
    }
    if (result != TZELMSetUp::mrOk) return;

    // Sent whether or not a device is open; without one it simply fails.
    const QString shown = QString::fromStdString(xmca::AnalyserLink::presetCommand(s.scan.presetTime));
    link_->SetPresetTime(0, s.scan.presetTime);
    if (link_->SetChannelCount(0, s.scan.channelCount)) {
        s.channelCount = s.scan.channelCount;
        link_->ChannelCount = s.scan.channelCount;
    }
    cycle_->timer.intervalMs = std::max(1, s.scan.refreshInterval);
    applyTimer();

    showStatus(messages.isEmpty() ? shown : joinStatus(messages));
    PaintBox1Paint();
}

void TForm1::ZelmStartClick() {
    const std::string shown = cycle_->startScan();
    if (!shown.empty()) showStatus(QString::fromStdString(shown));
    applyTimer();
    ui->Edit4->setText(QString::number(state_.scanCounter));
    updateWindowLabels();
    PaintBox1Paint();
}

void TForm1::ZelmStopClick() {
    cycle_->abortScan();
    applyTimer();
}

void TForm1::ZelmClearClick() {
    cycle_->clearScan();
    ui->Edit4->setText(QString::number(state_.scanCounter));
    PaintBox1Paint();
}

void TForm1::drawScanFrame() {
    ui->Edit4->setText(QString::number(state_.scanCounter));
    // Over the background bitmap and between the scale strips, as an MCA frame.
    ui->PaintBox1->setFrame(viewRenderer_->composeScan(state_, link_->Status));
}
