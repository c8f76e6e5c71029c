#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "support/scripted_analyser.h"
#include "ui_tform1.h"
#include "xmca/tform1.h"

namespace {

struct Window {
    xmca::test::ScriptedAnalyser* dev;
    std::unique_ptr<TForm1> form;
    explicit Window(int devices = 1) {
        auto d = std::make_unique<xmca::test::ScriptedAnalyser>();
        d->devices = devices;
        dev = d.get();
        form = std::make_unique<TForm1>(std::move(d), TForm1::Options{});
    }
    Ui::TForm1* ui() { return form->form(); }
};

TEST(McaPage, ButtonsStayDisabledUntilOpenSucceeds) {
    Window w;
    auto* ui = w.ui();
    for (QPushButton* b : {ui->McaStart, ui->McaStop, ui->McaClear, ui->ZelmStart, ui->ZelmStop, ui->ZelmClear})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    ui->McaOpen->click();
    EXPECT_EQ(ui->Edit2->text(), "1");
    for (QPushButton* b : {ui->McaStart, ui->McaStop, ui->McaClear, ui->ZelmStart, ui->ZelmStop, ui->ZelmClear})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
}

TEST(McaPage, NoDeviceShowsErrorInDevBox) {
    Window w(0);
    w.ui()->McaOpen->click();
    EXPECT_EQ(w.ui()->Edit2->text(), "Error");
    EXPECT_FALSE(w.ui()->McaStart->isEnabled());
    EXPECT_EQ(w.form->link().DeviceCount, 0);
}

TEST(McaPage, StartRunsTimerAndPresetStopHaltsIt) {
    Window w;
    w.ui()->McaOpen->click();
    w.ui()->McaStart->click();
    EXPECT_TRUE(w.form->Timer1->isActive());
    EXPECT_EQ(w.form->Timer1->interval(), 100);
    w.dev->status.realTime = 360000;
    w.form->Timer1Timer();
    EXPECT_FALSE(w.form->Timer1->isActive());
    EXPECT_EQ(w.form->state().realTime, 36000);
}

TEST(McaPage, ClockSyncShowsCommandInStatusBox) {
    Window w;
    w.ui()->McaOpen->click();
    w.form->ClockSYNC1Click();
    const QString shown = w.ui()->Edit1->text();
    EXPECT_TRUE(shown.startsWith("$t")) << shown.toStdString();
    EXPECT_EQ(shown.size(), 13);
    ASSERT_FALSE(w.dev->log.empty());
    EXPECT_EQ(QString::fromStdString(w.dev->log.back()), shown);
}

}  // namespace
