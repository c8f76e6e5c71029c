// The main window on the real roads to the analyser: libftdi1 with nothing
// attached, and a serial port served by the simulated analyser.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "device/libftdi_driver.h"
#include "device/pty_analyser.h"
#include "device/serial_driver.h"
#include "ui_tform1.h"
#include "xmca/tform1.h"

namespace {

TEST(RoadsWindow, LibftdiWithNothingAttachedShowsError) {
    TForm1 form(std::make_unique<xmca::LibftdiDriver>(), TForm1::Options{});
    form.form()->McaOpen->click();
    EXPECT_EQ(form.form()->Edit2->text(), "Error");
    EXPECT_FALSE(form.form()->McaStart->isEnabled());
    EXPECT_EQ(form.link().DeviceCount, 0);
}

TEST(RoadsWindow, SerialPortOpensAndAcquiresThroughTheWindowHandlers) {
    xmca::test::PtyAnalyser pty;
    TForm1 form(std::make_unique<xmca::SerialDriver>(pty.path()), TForm1::Options{});
    auto* ui = form.form();
    ui->McaOpen->click();
    EXPECT_EQ(ui->Edit2->text(), "1");
    ASSERT_TRUE(ui->McaStart->isEnabled());
    ui->McaStart->click();
    EXPECT_EQ(form.link().AcquisitionRunning, 1);
    pty.with([](xmca::SimulatedAnalyser&, xmca::ManualClock& c) {
        c.advance(10.0);
        return 0;
    });
    form.Timer1Timer();
    EXPECT_EQ(form.state().realTime, 100);
    std::int64_t total = 0;
    for (int i = 0; i < 2048; ++i) total += form.state().spectrum[static_cast<std::size_t>(i)];
    EXPECT_GT(total, 0);
    ui->McaStop->click();
    EXPECT_EQ(form.link().AcquisitionRunning, 0);
}

}  // namespace
