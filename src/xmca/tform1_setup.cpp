// Setup section of the main window: the MCA setup dialog and the scan-map page.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

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
    if (outstanding(Key::Setup)) return;  // the last setup's commands are still going out
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

    // Sent only to an open analyser; the values go with the request.
    const bool sending = linkFig().deviceOpen == 1;
    const std::int32_t preset = rec.presetTime, channels = rec.channelCount;
    // The preset shown is the one the run stops at, with or without a device.
    s.presetTimeShown = rec.presetTime;
    s.workingLld = rec.lld;
    s.channelCount = rec.channelCount;
    // The link keeps the count the analyser acknowledged; the next read shows it.
    s.headerTemplate.setChannelCount(static_cast<std::int16_t>(rec.channelCount));
    s.headerTemplate.setI32(xmca::SpectrumHeader::kPresetTime, rec.presetTime);
    s.headerTemplate.setText(xmca::SpectrumHeader::kComment, rec.label1);
    s.headerTemplate.setText(xmca::SpectrumHeader::kSampleId, rec.label2);
    // The record holds what the template holds (the template never splits a character).
    rec.label1 = s.headerTemplate.comment();
    rec.label2 = s.headerTemplate.sampleId();

    if (!sending) {
        if (!messages.isEmpty()) showStatus(joinStatus(messages));
        PaintBox1Paint();
        return;
    }
    // A preset that did not convert kept its old value; that value is sent all the
    // same, so the analyser stops the run at the preset the window shows (it may
    // still hold another one, e.g. the scan-map pass preset). The messages come
    // with the analyser's answers.
    const QString shown = QString::fromStdString(xmca::AnalyserLink::presetCommand(preset));
    auto linkErrors = std::make_shared<std::vector<std::string>>();
    linkRequest(
        Key::Setup,
        [preset, channels, linkErrors](xmca::LinkClient& c) {
            xmca::AnalyserLink& link = c.link();
            if (!link.SetPresetTime(0, preset)) linkErrors->push_back("Error ! SetPresetTime");
            if (link.SetChannelCount(0, channels)) {
                link.ChannelCount = channels;
            } else if (xmca::AnalyserLink::channelCountCommand(channels).empty()) {
                // Nothing was sent: the analyser has no command for this count.
                linkErrors->push_back("Error ! SetChannelCount " + std::to_string(channels) +
                                      " ch: no analyser command");
            } else {
                linkErrors->push_back("Error ! SetChannelCount");
            }
        },
        [this, messages, shown, linkErrors] {
            QStringList all = messages;
            for (const std::string& e : *linkErrors) all << QString::fromStdString(e);
            if (!all.isEmpty()) showStatus(joinStatus(all));
            else showStatus(shown);
            PaintBox1Paint();
        });
}

void TForm1::Button7Click() {
    if (outstanding(Key::ScanSetup)) return;
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
        if (result == TZELMSetUp::mrOk)
            if (auto f = dlg.takeRawDataFile()) rawDataFile_ = std::move(f);
    }
    if (result != TZELMSetUp::mrOk) return;

    // Sent whether or not a device is open; without one it simply fails.
    const QString shown = QString::fromStdString(xmca::AnalyserLink::presetCommand(s.scan.presetTime));
    const xmca::ScanSettings scan = s.scan;
    auto counted = std::make_shared<bool>(false);
    linkRequest(Key::ScanSetup,
                [scan, counted](xmca::LinkClient& c) {
                    xmca::AnalyserLink& link = c.link();
                    link.SetPresetTime(0, scan.presetTime);
                    if (link.SetChannelCount(0, scan.channelCount)) {
                        link.ChannelCount = scan.channelCount;
                        *counted = true;
                    }
                    c.cycle().timer.intervalMs = std::max(1, scan.refreshInterval);
                },
                [this, counted, scan, shown, messages] {
                    if (*counted) state_.channelCount = scan.channelCount;
                    applyTimer();
                    showStatus(messages.isEmpty() ? shown : joinStatus(messages));
                    PaintBox1Paint();
                });
}

void TForm1::ZelmStartClick() {
    auto shown = std::make_shared<std::string>();
    linkRequest(Key::ScanStart, [shown](xmca::LinkClient& c) {
                    *shown = c.cycle().startScan();
                    c.publish(xmca::LinkSnapshot::Scan | xmca::LinkSnapshot::Times);
                },
                [this, shown] {
                    if (!shown->empty()) showStatus(QString::fromStdString(*shown));
                    applyTimer();
                    ui->Edit4->setText(QString::number(state_.scanCounter));
                    updateWindowLabels();
                    PaintBox1Paint();
                });
}

void TForm1::ZelmStopClick() {
    linkRequest(Key::ScanStop, [](xmca::LinkClient& c) {
        c.cycle().abortScan();
        c.publish(xmca::LinkSnapshot::Times);
    }, [this] { applyTimer(); });
}

void TForm1::ZelmClearClick() {
    linkRequest(Key::ScanClear, [](xmca::LinkClient& c) {
                    c.publish(xmca::LinkSnapshot::Scan);
                    if (c.cycle().clearScan()) c.publish(xmca::LinkSnapshot::Spectrum);
                },
                [this] {
                    ui->Edit4->setText(QString::number(state_.scanCounter));
                    PaintBox1Paint();
                });
}

void TForm1::drawScanFrame() {
    ui->Edit4->setText(QString::number(state_.scanCounter));
    // Over the background bitmap and between the scale strips, as an MCA frame.
    ui->PaintBox1->setFrame(viewRenderer_->composeScan(state_, linkFig().status));
}
