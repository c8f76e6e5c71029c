// The Methods dialog on a real register: calibrating from simulated standards and a
// background, the versions and response shown, refusals in its message line, and
// the method in force set for the Screening page.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "analysis/nuclide_data.h"
#include "files/temp_dir.h"
#include "model/lab_settings.h"
#include "register/register.h"
#include "support/scripted_dialogs.h"
#include "support/simulated_spectra.h"
#include "xmca/history_model.h"
#include "xmca/lab_context.h"
#include "xmca/method_dialog.h"

namespace {

using xmca::test::TempDir;

struct Bench {
    TempDir dir;
    std::string config = dir.file("config");
    std::string db = dir.file("register.sqlite");
    std::string bg = dir.file("bg.dat"), cs137 = dir.file("cs137.dat");
    std::optional<std::string> oldConfig;
    std::unique_ptr<LabContext> lab;
    xmca::test::ScriptedDialogs dialogs;
    Bench() {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfig = old;
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        lab = std::make_unique<LabContext>(xmca::defaultLabSettingsPath());
        lab->setRegisterLocation(QString::fromStdString(db));
        xmca::SimulatedAnalyserConfig b;
        b.backgroundOnly = true;
        b.seed = 41;
        EXPECT_TRUE(xmca::test::acquireAndSave(b, 360000, bg));
        xmca::SimulatedAnalyserConfig s;
        s.cs134 = s.k40 = 0;
        s.cs137 = 2000;
        s.seed = 42;
        EXPECT_TRUE(xmca::test::acquireAndSave(s, 36000, cs137));
    }
    ~Bench() {
        lab.reset();
        if (oldConfig) setenv("XDG_CONFIG_HOME", oldConfig->c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
    }
};

// Clicks and waits for the register's answers.
void click(Bench& bench, MethodDialog& d, const char* name) {
    auto* b = d.findChild<QPushButton*>(name);
    ASSERT_TRUE(b) << name;
    b->click();
    ASSERT_TRUE(bench.lab->settle());
}

TEST(MethodDialog, CalibratesRecordsAndSetsTheMethodInForce) {
    Bench b;
    MethodDialog d(nullptr, *b.lab, b.dialogs);
    ASSERT_TRUE(b.lab->settle());
    EXPECT_EQ(d.methodTable()->rowCount(), 0);
    EXPECT_EQ(d.findChild<QLabel*>("MethodInForce")->text(), "In force: the fixed factors (factory)");

    d.nameField()->setText("U8");
    d.massField()->setText("0.1");
    d.backgroundField()->setText(QString::fromStdString(b.bg));
    auto& f = d.standardFields(xmca::nuclide::Cs137);
    f.file->setText(QString::fromStdString(b.bg));  // the background as its own standard
    f.bq->setText("2000");
    f.date->setText("2026-12-01");
    click(b, d, "CalibrateMethod");
    EXPECT_EQ(d.messageLabel()->text(), "Error ! the Cs-137 standard is the background file");
    EXPECT_EQ(d.methodTable()->rowCount(), 0);

    f.file->setText(QString::fromStdString(b.cs137));
    f.u->setText("3");
    click(b, d, "CalibrateMethod");
    EXPECT_TRUE(d.messageLabel()->text().startsWith("Recorded U8 version 1.")) << d.messageLabel()->text().toStdString();
    EXPECT_TRUE(d.messageLabel()->text().contains("Cs-134 response assumed"));
    click(b, d, "CalibrateMethod");
    ASSERT_EQ(d.methodTable()->rowCount(), 2);
    EXPECT_EQ(d.methodTable()->item(0, 1)->text(), "2");  // newest first
    EXPECT_EQ(d.methodTable()->item(0, 4)->text(), "0.085 - 0.115");
    EXPECT_EQ(d.methodTable()->item(0, 5)->text(), "assumed");
    // The response of the chosen version: Cs-137 in Cs-All near 1 / 106.73 counts/s per Bq.
    const QString cell = d.responseTable()->item(0, 0)->text();
    EXPECT_NEAR(cell.section(' ', 0, 0).toDouble(), 1.0 / 106.73, 0.0003) << cell.toStdString();

    click(b, d, "SetDefaultMethod");
    EXPECT_EQ(b.lab->settings().defaultMethod, "U8");
    EXPECT_EQ(xmca::loadLabSettings(xmca::defaultLabSettingsPath()).defaultMethod, "U8");
    EXPECT_EQ(d.findChild<QLabel*>("MethodInForce")->text(), "In force: U8 (its newest version)");
    click(b, d, "UseFactory");
    EXPECT_EQ(b.lab->settings().defaultMethod, "");
    EXPECT_EQ(xmca::loadLabSettings(xmca::defaultLabSettingsPath()).defaultMethod, "");
}

TEST(MethodDialog, RefusesAFormWithoutWhatACalibrationNeeds) {
    Bench b;
    MethodDialog d(nullptr, *b.lab, b.dialogs);
    ASSERT_TRUE(b.lab->settle());
    d.nameField()->setText("factory");
    click(b, d, "CalibrateMethod");
    EXPECT_EQ(d.messageLabel()->text(), "Name the method (not \"factory\").");
    d.nameField()->setText("m");
    click(b, d, "CalibrateMethod");
    EXPECT_EQ(d.messageLabel()->text(), "Enter the nominal mass in kg.");
    d.massField()->setText("1");
    d.findChild<QLineEdit*>("MethodMassRange")->setText("1.2-1.5");
    click(b, d, "CalibrateMethod");
    EXPECT_EQ(d.messageLabel()->text(), "The mass range must read LO-HI and hold the nominal mass.");
    d.findChild<QLineEdit*>("MethodMassRange")->clear();
    d.backgroundField()->setText(QString::fromStdString(b.bg));
    click(b, d, "CalibrateMethod");  // no standard at all
    EXPECT_EQ(d.messageLabel()->text(), "Error ! a Cs-137 standard is needed");
    auto& f = d.standardFields(xmca::nuclide::Cs137);
    f.file->setText(QString::fromStdString(b.cs137));
    f.bq->setText("lots");
    click(b, d, "CalibrateMethod");
    EXPECT_EQ(d.messageLabel()->text(), "Enter the Cs-137 standard's certified Bq and its u in %.");
    EXPECT_EQ(d.methodTable()->rowCount(), 0);
}

TEST(HistoryModel, NamesTheMethodAndVersionOfEachRecord) {
    TempDir dir;
    std::string error;
    std::shared_ptr<xmca::reg::Register> reg = xmca::reg::openRegister(dir.file("r.sqlite"), error);
    ASSERT_TRUE(reg) << error;
    xmca::reg::MeasurementRecord old, calibrated;
    old.sampleId = "before methods";
    calibrated.sampleId = "kombu";
    calibrated.methodName = "marinelli";
    calibrated.methodVersion = 2;
    ASSERT_TRUE(reg->appendMeasurement(old, error) && reg->appendMeasurement(calibrated, error)) << error;
    HistoryModel m;
    HistoryModel::FirstPage page = HistoryModel::readFirstPage(*reg, {});
    ASSERT_TRUE(page.ok) << page.error;
    m.reset({}, page.total, std::move(page.rows));
    EXPECT_EQ(m.headerData(HistoryModel::ColMethod, Qt::Horizontal, Qt::DisplayRole).toString(), "Method");
    EXPECT_EQ(m.data(m.index(0, HistoryModel::ColMethod), Qt::DisplayRole).toString(), "marinelli v2");
    EXPECT_EQ(m.data(m.index(1, HistoryModel::ColMethod), Qt::DisplayRole).toString(), "");
}

}  // namespace
