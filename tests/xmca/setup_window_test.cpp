#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>

#include "device/simulated_analyser.h"
#include "display/frame_renderer.h"
#include "dlgzelm/tzelm_setup.h"
#include "support/scripted_analyser.h"
#include "ui_tform1.h"
#include "ui_tzelm_setup.h"
#include "ui_txmca1_setup.h"
#include "xmca/tform1.h"
#include "xmca1/txmca1_setup.h"

namespace {

using xmca::SpectrumHeader;

// Runs `act` on the dialog of type D once its modal loop is up. A dialog that the
// action leaves open is closed after a while so that a faulty test fails, not hangs.
template <class D>
void whenModal(QWidget* owner, std::function<void(D&)> act) {
    QTimer::singleShot(0, owner, [owner, act] {
        if (D* d = owner->findChild<D*>()) act(*d);
    });
    QTimer::singleShot(3000, owner, [owner] {
        if (D* d = owner->findChild<D*>(); d && d->isVisible()) d->done(0);
    });
}

struct Window {
    xmca::test::ScriptedAnalyser* dev;
    std::unique_ptr<TForm1> form;
    explicit Window(bool open = true) {
        auto d = std::make_unique<xmca::test::ScriptedAnalyser>();
        dev = d.get();
        form = std::make_unique<TForm1>(std::move(d), TForm1::Options{});
        if (open) {
            ui()->McaOpen->click();
            dev->log.clear();
        }
    }
    Ui::TForm1* ui() { return form->form(); }
    xmca::MeasurementState& s() { return form->state(); }
    bool sent(const std::string& prefix) const {
        for (const auto& c : dev->log)
            if (c.rfind(prefix, 0) == 0) return true;
        return false;
    }

    // "SetUp" on the MCA page, with edits made in the dialog and OK or Cancel.
    void mcaSetUp(std::function<void(Ui::TXMCA1SetUp*)> edit, bool ok = true) {
        whenModal<TXMCA1SetUp>(form.get(), [edit, ok](TXMCA1SetUp& d) {
            if (edit) edit(d.form());
            (ok ? d.form()->OkButton : d.form()->CancelButton)->click();
        });
        form->Button10Click();
    }
    void scanSetUp(std::function<void(Ui::TZELMSetUp*)> edit, bool ok = true) {
        whenModal<TZELMSetUp>(form.get(), [edit, ok](TZELMSetUp& d) {
            if (edit) edit(d.form());
            (ok ? d.form()->OkButton : d.form()->CancelButton)->click();
        });
        form->Button7Click();
    }
};

TEST(SetupWindow, ButtonsAreWired) {
    Window w;
    bool opened = false;
    whenModal<TXMCA1SetUp>(w.form.get(), [&](TXMCA1SetUp& d) {
        opened = true;
        d.form()->CancelButton->click();
    });
    w.ui()->Button10->click();
    EXPECT_TRUE(opened);
    opened = false;
    whenModal<TZELMSetUp>(w.form.get(), [&](TZELMSetUp& d) {
        opened = true;
        d.form()->CancelButton->click();
    });
    w.ui()->Button7->click();
    EXPECT_TRUE(opened);
    w.ui()->ZelmStart->click();
    EXPECT_TRUE(w.sent("$X;"));
    w.ui()->ZelmStop->click();
    EXPECT_TRUE(w.sent("$S;"));
    w.ui()->ZelmClear->click();
    EXPECT_TRUE(w.sent("$CX;"));
}

TEST(SetupWindow, PresetAndChannelCountGoToTheAnalyser) {
    Window w;
    w.mcaSetUp([](Ui::TXMCA1SetUp* u) {
        u->PresetRT->setText("100.0");
        u->m512ch->setChecked(true);
    });
    EXPECT_EQ(w.dev->log, (std::vector<std::string>{"$P1000;", "$M4;"}));
    EXPECT_EQ(w.ui()->Edit1->text(), "$P1000;");
    EXPECT_EQ(w.s().presetTimeShown, 1000);  // shown preset
    EXPECT_EQ(w.s().settings.presetTime, 1000);
    EXPECT_EQ(w.s().channelCount, 512);
    EXPECT_EQ(w.form->link().ChannelCount, 512);
    EXPECT_EQ(w.s().headerTemplate.channelCount(), 512);
    EXPECT_EQ(w.s().headerTemplate.i32(SpectrumHeader::kPresetTime), 1000);

    // A tick at 512 channels reads 4 blocks.
    w.dev->log.clear();
    w.ui()->McaStart->click();
    w.dev->log.clear();
    w.form->Timer1Timer();
    EXPECT_EQ(w.dev->count("$R1;"), 1);
    EXPECT_EQ(w.dev->count("$R4;"), 1);
    EXPECT_EQ(w.dev->count("$R5;"), 0);
    EXPECT_EQ(w.dev->count("$R0;"), 1);
}

TEST(SetupWindow, WithoutADeviceOnlyTheProgramChanges) {
    Window w(false);
    w.mcaSetUp([](Ui::TXMCA1SetUp* u) {
        u->PresetRT->setText("60.0");
        u->m1024ch->setChecked(true);
        u->SPCLLD->setText("25");
    });
    EXPECT_TRUE(w.dev->log.empty());
    EXPECT_EQ(w.s().channelCount, 1024);
    EXPECT_EQ(w.form->link().ChannelCount, 2048);  // no analyser acknowledged it
    EXPECT_EQ(w.s().settings.presetTime, 600);
    EXPECT_EQ(w.s().presetTimeShown, 600);
    EXPECT_EQ(w.s().workingLld, 25);
    EXPECT_EQ(w.s().headerTemplate.channelCount(), 1024);
    EXPECT_EQ(w.s().headerTemplate.i32(SpectrumHeader::kPresetTime), 600);
}

TEST(SetupWindow, StoredPresetOfZeroOpensAsTenSeconds) {
    Window w;
    w.s().settings.presetTime = 0;
    QString shown;
    w.mcaSetUp([&](Ui::TXMCA1SetUp* u) { shown = u->PresetRT->text(); });
    EXPECT_EQ(shown.trimmed(), "10.0");
    EXPECT_EQ(w.s().settings.presetTime, 100);
    EXPECT_EQ(w.dev->log.front(), "$P100;");
}

TEST(SetupWindow, CancelKeepsEditedNumbersButSendsNothing) {
    Window w;
    w.mcaSetUp(
        [](Ui::TXMCA1SetUp* u) {
            u->PresetRT->setText("120.0");
            u->m4096ch->setChecked(true);
            u->SPCLLD->setText("30");
            u->SpcLabel1->setText("cancelled");
        },
        false);
    EXPECT_TRUE(w.dev->log.empty());
    EXPECT_EQ(w.s().settings.presetTime, 1200);  // the record was read back
    EXPECT_EQ(w.s().settings.channelCount, 4096);
    EXPECT_EQ(w.s().channelCount, 2048);         // the program's own value is untouched
    EXPECT_EQ(w.s().presetTimeShown, 36000);
    EXPECT_EQ(w.s().settings.lld, 30);
    EXPECT_EQ(w.s().workingLld, 0);  // files read go on uncut
    EXPECT_EQ(w.s().headerTemplate.i32(SpectrumHeader::kPresetTime), 36000);
    EXPECT_EQ(w.s().headerTemplate.comment(), "");
    EXPECT_EQ(w.s().settings.label1, "");  // the window's label lines stay
    // Opening again shows the edited numbers.
    QString preset;
    bool m4096 = false;
    w.mcaSetUp(
        [&](Ui::TXMCA1SetUp* u) {
            preset = u->PresetRT->text();
            m4096 = u->m4096ch->isChecked();
        },
        false);
    EXPECT_EQ(preset.trimmed(), "120.0");
    EXPECT_TRUE(m4096);
}

TEST(SetupWindow, LabelLinesGoIntoTheHeaderTemplate) {
    Window w;
    const QString comment = QString::fromUtf8("\xE5\x9C\x9F\xE5\xA3\x8C sample");  // 土壌 sample
    w.mcaSetUp([&](Ui::TXMCA1SetUp* u) {
        u->SpcLabel1->setText(comment);
        u->SpcLabel2->setText("ID-0042");
    });
    const auto& b = w.s().headerTemplate.bytes();
    const std::string raw = "\x93\x79\x8F\xEB sample";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[774]), raw.size()), raw);
    EXPECT_EQ(b[774 + raw.size()], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[806]), 7), "ID-0042");
    EXPECT_EQ(w.s().settings.label1, raw);
    EXPECT_EQ(w.s().settings.label2, "ID-0042");
    // The next SetUp shows them again.
    QString shown;
    w.mcaSetUp([&](Ui::TXMCA1SetUp* u) { shown = u->SpcLabel1->text(); }, false);
    EXPECT_EQ(shown, comment);
}

TEST(SetupWindow, PresetThatDoesNotConvertIsReportedAndTheKeptValueSent) {
    Window w;
    // The scan-map setup leaves its pass preset in the analyser.
    w.scanSetUp([](Ui::TZELMSetUp* u) { u->ZELMPreSetTime->setText("20"); });
    ASSERT_TRUE(w.sent("$P20;"));
    w.dev->log.clear();
    w.mcaSetUp([](Ui::TXMCA1SetUp* u) {
        u->PresetRT->setText("1OO.0");
        u->m1024ch->setChecked(true);
    });
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Preset Time");
    // The kept 3600.0 s goes to the analyser, so the run stops where the window says.
    EXPECT_EQ(w.dev->log, (std::vector<std::string>{"$P36000;", "$M8;"}));
    EXPECT_EQ(w.s().settings.presetTime, 36000);
    EXPECT_EQ(w.s().presetTimeShown, 36000);
    EXPECT_EQ(w.s().channelCount, 1024);
}

TEST(SetupWindow, AfterAScanSetUpAnMcaRunStopsAtTheShownPresetEvenWithABadField) {
    auto clock = std::make_shared<xmca::ManualClock>();
    auto sim = std::make_unique<xmca::SimulatedAnalyser>(xmca::SimulatedAnalyserConfig{}, clock);
    xmca::SimulatedAnalyser* dev = sim.get();
    TForm1 form(std::move(sim), TForm1::Options{true, {}});
    form.form()->McaOpen->click();
    ASSERT_EQ(form.link().DeviceOpen, 1);
    whenModal<TZELMSetUp>(&form, [](TZELMSetUp& d) {
        d.form()->ZELMPreSetTime->setText("10");  // one-second passes
        d.form()->OkButton->click();
    });
    form.Button7Click();
    ASSERT_EQ(dev->presetTenths(), 10);
    whenModal<TXMCA1SetUp>(&form, [](TXMCA1SetUp& d) {
        d.form()->PresetRT->setText("60,0");  // does not convert: 3600.0 s is kept
        d.form()->OkButton->click();
    });
    form.Button10Click();
    EXPECT_EQ(form.form()->Edit1->text(), "Error ! Preset Time");
    EXPECT_EQ(dev->presetTenths(), 36000);
    // Five seconds into the run both the analyser and the window are still running.
    form.McaStartClick();
    for (int tick = 0; tick < 10; ++tick) {
        clock->advance(0.5);
        form.Timer1Timer();
    }
    EXPECT_TRUE(dev->running());
    EXPECT_EQ(form.link().AcquisitionRunning, 1);
    EXPECT_EQ(form.state().presetTimeShown, 36000);
    EXPECT_GE(form.state().realTime, 45);
}

TEST(SetupWindow, TwoFiftySixChannelsAreNotPretendedSet) {
    Window w;
    w.mcaSetUp([](Ui::TXMCA1SetUp* u) { u->m256ch->setChecked(true); });
    EXPECT_FALSE(w.sent("$M"));
    EXPECT_TRUE(w.sent("$P"));
    EXPECT_TRUE(w.ui()->Edit1->text().startsWith("Error ! SetChannelCount 256 ch")) << w.ui()->Edit1->text().toStdString();
    EXPECT_EQ(w.s().channelCount, 256);  // the program's own count follows the dialog
}

TEST(SetupWindow, RejectedChannelCountIsReported) {
    Window w;
    w.dev->ack = "?";
    w.mcaSetUp([](Ui::TXMCA1SetUp* u) { u->m1024ch->setChecked(true); });
    EXPECT_TRUE(w.sent("$M8;"));
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! SetPresetTime  Error ! SetChannelCount");
    EXPECT_EQ(w.s().channelCount, 1024);
    // The analyser still holds 2048: a run reads and shows those.
    EXPECT_EQ(w.form->link().ChannelCount, 2048);
    w.dev->ack = "!";
    w.ui()->McaStart->click();
    w.dev->log.clear();
    w.form->Timer1Timer();
    EXPECT_EQ(w.dev->count("$R16;"), 1);
    EXPECT_EQ(w.dev->count("$R9;"), 1);
    EXPECT_EQ(w.s().channelCount, 2048);
}

TEST(SetupWindow, ScanSetUpDrops4096To2048EvenWhenCancelled) {
    Window w;
    w.mcaSetUp([](Ui::TXMCA1SetUp* u) { u->m4096ch->setChecked(true); });
    ASSERT_EQ(w.s().channelCount, 4096);
    w.dev->log.clear();
    bool shows2048 = false;
    w.scanSetUp([&](Ui::TZELMSetUp* u) { shows2048 = u->MemSize2048->isChecked(); }, false);
    EXPECT_TRUE(shows2048);
    EXPECT_EQ(w.s().channelCount, 2048);
    EXPECT_EQ(w.s().scan.channelCount, 2048);
    EXPECT_EQ(w.form->link().ChannelCount, 4096);  // nothing sent: the analyser keeps 4096
    EXPECT_TRUE(w.dev->log.empty());
}

TEST(SetupWindow, ScanSetUpOkSendsAndSetsTheRefresh) {
    Window w;
    w.scanSetUp([](Ui::TZELMSetUp* u) {
        u->MemSize1024->setChecked(true);
        u->ZELMPreSetTime->setText("20");
        u->DispRefTimer->setText("500");
    });
    EXPECT_EQ(w.dev->log, (std::vector<std::string>{"$P20;", "$M8;"}));
    EXPECT_EQ(w.s().channelCount, 1024);
    EXPECT_EQ(w.form->Timer1->interval(), 500);
    EXPECT_EQ(w.ui()->Edit1->text(), "$P20;");
    // Start then polls at that interval.
    w.ui()->ZelmStart->click();
    EXPECT_TRUE(w.form->Timer1->isActive());
    EXPECT_EQ(w.form->Timer1->interval(), 500);
}

TEST(SetupWindow, ScanSetUpBadFieldIsReported) {
    Window w;
    w.scanSetUp([](Ui::TZELMSetUp* u) { u->DispRefTimer->setText("fast"); });
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! ReFlesh Timer");
    EXPECT_EQ(w.s().scan.refreshInterval, 100);
    EXPECT_EQ(w.form->Timer1->interval(), 100);
}

TEST(SetupWindow, ScanSetUpWithoutADeviceChangesNothingOnTheLink) {
    Window w(false);
    w.scanSetUp([](Ui::TZELMSetUp* u) { u->MemSize512->setChecked(true); });
    EXPECT_TRUE(w.dev->log.empty());
    EXPECT_EQ(w.s().scan.channelCount, 512);
    EXPECT_EQ(w.s().channelCount, 2048);  // not acknowledged: stays
}

TEST(SetupWindow, AbortWhileIdleSendsNothing) {
    Window w;
    w.ui()->ZelmStop->click();
    EXPECT_TRUE(w.dev->log.empty());
    w.ui()->ZelmStart->click();
    w.dev->log.clear();
    w.ui()->ZelmStop->click();
    EXPECT_EQ(w.dev->log, (std::vector<std::string>{"$S;"}));
    EXPECT_FALSE(w.form->Timer1->isActive());
    w.ui()->ZelmStop->click();  // stopped now: nothing more
    EXPECT_EQ(w.dev->log.size(), 1u);
}

TEST(SetupWindow, ScanTickCountsPassesAndClearShowsZero) {
    Window w;
    w.ui()->ZelmStart->click();
    EXPECT_EQ(w.ui()->Edit4->text(), "0");
    w.dev->status.scanDone = 1;
    w.form->Timer1Timer();
    w.form->Timer1Timer();
    w.dev->status.scanDone = 0;
    w.form->Timer1Timer();
    EXPECT_EQ(w.s().scanCounter, 2);
    EXPECT_EQ(w.ui()->Edit4->text(), "2");
    w.ui()->ZelmClear->click();
    EXPECT_TRUE(w.sent("$CX;"));
    EXPECT_EQ(w.ui()->Edit4->text(), "0");
}

TEST(SetupWindow, ScanTickDrawsTheAnalyserTraceIntoThePaintBox) {
    Window w;
    w.ui()->ZelmStart->click();
    w.dev->status.trace.fill(128);
    w.dev->status.displayLowCh = 0;
    w.dev->status.displayHighCh = 2047;
    w.dev->status.cursorCh = 0;
    w.dev->status.vfsIndex = 2;  // linear
    w.form->Timer1Timer();
    const QImage& f = w.ui()->PaintBox1->frame();
    ASSERT_GE(f.width(), 16 + 512);
    // Plot at (16, 5): the trace row y = 156 is green.
    EXPECT_EQ(f.pixel(16 + 300, 5 + 156), qRgb(0, 255, 0));
    EXPECT_NE(f.pixel(16 + 300, 5 + 150), qRgb(0, 255, 0));
    // Over the background bitmap: the linear grid (rows 311 - 62 k) and the white
    // static labels ("sec.PT"/"sec.RT" at x = 180, "kcps"/"kcts" at x = 380).
    for (int k = 1; k < 5; ++k) EXPECT_EQ(f.pixel(16 + 480, 5 + 311 - 62 * k), qRgb(128, 0, 0)) << k;
    auto whiteIn = [&](int x0, int y0, int w, int h) {
        int n = 0;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) n += f.pixel(16 + x, 5 + y) == qRgb(255, 255, 255);
        return n;
    };
    EXPECT_GT(whiteIn(180, 4, 40, 26), 20);
    EXPECT_GT(whiteIn(380, 5, 30, 26), 20);
}

TEST(SetupWindow, ScanFrameStripsFollowTheAnalyserView) {
    Window w;
    w.ui()->ZelmStart->click();
    w.dev->status.trace.fill(0);
    w.dev->status.displayLowCh = 1024;
    w.dev->status.displayHighCh = 2047;
    w.dev->status.cursorCh = 1500;
    w.dev->status.vfsIndex = 0;  // log
    w.form->Timer1Timer();
    const QImage f = w.ui()->PaintBox1->frame().convertToFormat(QImage::Format_RGB32);
    // The strips the MCA frame would show for the same view.
    xmca::display::FrameRenderer ref;
    ref.drawLogStrip();
    ref.drawChannelStrip(1024, 2047);
    EXPECT_EQ(f.copy(0, 0, 16, 317), ref.leftStrip());
    EXPECT_EQ(f.copy(16, 317, 512, 19), ref.bottomStrip());
    // The log grid (rows 311 - 52 k) stands in the plot.
    for (int k = 1; k < 6; ++k) EXPECT_EQ(f.pixel(16 + 480, 5 + 311 - 52 * k), qRgb(128, 0, 0)) << k;

    // Back in MCA mode the plot is drawn from the clean background again.
    w.ui()->ZelmStop->click();
    w.form->McaStartClick();
    w.form->Timer1Timer();
    const QImage& m = w.ui()->PaintBox1->frame();
    int green = 0;
    for (int x = 0; x < 512; ++x) green += m.pixel(16 + x, 5 + 311) == qRgb(0, 255, 0);
    EXPECT_EQ(green, 0);
}

TEST(SetupWindow, PassCountingOnTheSimulatedAnalyser) {
    auto clock = std::make_shared<xmca::ManualClock>();
    auto sim = std::make_unique<xmca::SimulatedAnalyser>(xmca::SimulatedAnalyserConfig{}, clock);
    xmca::SimulatedAnalyser* dev = sim.get();
    TForm1 form(std::move(sim), TForm1::Options{true, {}});
    form.form()->McaOpen->click();
    ASSERT_EQ(form.link().DeviceOpen, 1);
    // One-second passes (preset 10 x 100 ms) at 1024 channels.
    whenModal<TZELMSetUp>(&form, [](TZELMSetUp& d) {
        d.form()->MemSize1024->setChecked(true);
        d.form()->ZELMPreSetTime->setText("10");
        d.form()->OkButton->click();
    });
    form.Button7Click();
    ASSERT_EQ(dev->channelCount(), 1024);
    form.ZelmStartClick();
    ASSERT_TRUE(dev->scanning());
    for (int tick = 0; tick < 7; ++tick) {
        clock->advance(0.5);
        form.Timer1Timer();
    }
    EXPECT_EQ(dev->scanPasses(), 3);
    EXPECT_EQ(form.state().scanCounter, 3);
    EXPECT_EQ(form.form()->Edit4->text(), "3");
    EXPECT_TRUE(form.Timer1->isActive());
    // Counts per pass-second after a pass: total / preset * 0.01.
    const float total = form.link().TotalCounts;
    EXPECT_GT(total, 0.0f);
    clock->advance(0.5);
    form.Timer1Timer();  // completes pass 4
    EXPECT_EQ(form.state().scanCounter, 4);
    EXPECT_FLOAT_EQ(form.state().totalCounts, form.link().TotalCounts / 10 * 0.01f);
    form.ZelmClearClick();
    EXPECT_EQ(dev->scanPasses(), 0);
    EXPECT_EQ(form.form()->Edit4->text(), "0");
}

}  // namespace
