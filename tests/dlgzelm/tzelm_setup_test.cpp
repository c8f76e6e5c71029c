#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "dlgzelm/tzelm_setup.h"
#include "ui_tzelm_setup.h"

namespace {

using xmca::ScanSettings;

TEST(TZELMSetUp, FormHasAllControlsWithInertOnesDisabled) {
    ScanSettings rec;
    TZELMSetUp dlg(rec);
    auto* ui = dlg.form();
    EXPECT_EQ(dlg.windowTitle(), "ZELM SetUp");
    EXPECT_EQ(ui->MemSizeGroup->title(), "MCA Memory Size");
    EXPECT_EQ(ui->PreSetGroup->title(), "PreSet Time");
    EXPECT_EQ(ui->MappingGroup->title(), "Elements Mapping");
    EXPECT_EQ(ui->MemSize512->text(), " 512ch x 2 Bank");
    EXPECT_EQ(ui->MemSize1024->text(), "1024ch x 2 Bank");
    EXPECT_EQ(ui->MemSize2048->text(), "2048ch x 2 Bank");
    EXPECT_EQ(ui->ZELMPreSetTime->maxLength(), 8);
    EXPECT_EQ(ui->ScanSkipOption->text(), "Skip Blank[ Ref.ROI # 0 ]");
    EXPECT_EQ(ui->SaveRawData->text(), "Save Spectrum Data");
    EXPECT_EQ(ui->ElementMapON->text(), "X-ray Mapping ON");
    EXPECT_EQ(ui->Edit3->text(), "File Name");
    EXPECT_EQ(ui->XMapSize->text(), "100");
    EXPECT_EQ(ui->YMapSize->text(), "100");
    EXPECT_TRUE(ui->SaveRawData->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{ui->ScanSkipOption, ui->Edit3, ui->XMapSize, ui->YMapSize})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (int i = 1; i <= 8; ++i) {
        auto* box = dlg.findChild<QCheckBox*>(QString("MapROI%1").arg(i));
        ASSERT_NE(box, nullptr) << i;
        EXPECT_EQ(box->text(), QString("ROI #%1").arg(i));
        EXPECT_FALSE(box->isEnabled());
    }
    QStringList labels;
    for (auto* l : dlg.findChildren<QLabel*>()) labels << l->text();
    for (const char* t : {"PreSet Time", "ReFlesh Timer", "[ x 100msec]", "[ Unit : msec]", "Pixs"})
        EXPECT_TRUE(labels.contains(t)) << t;
}

TEST(TZELMSetUp, LoadsTheRecord) {
    ScanSettings rec;  // 2048, 10, 100
    TZELMSetUp dlg(rec);
    EXPECT_TRUE(dlg.form()->MemSize2048->isChecked());
    EXPECT_FALSE(dlg.form()->MemSize1024->isChecked());
    EXPECT_EQ(dlg.form()->ZELMPreSetTime->text(), "10");
    EXPECT_EQ(dlg.form()->DispRefTimer->text(), "100");

    ScanSettings big;
    big.channelCount = 4096;
    TZELMSetUp d2(big);
    EXPECT_EQ(big.channelCount, 2048);
    EXPECT_TRUE(d2.form()->MemSize2048->isChecked());

    ScanSettings odd;
    odd.channelCount = 256;  // no button: the form's 1024 stays
    TZELMSetUp d3(odd);
    EXPECT_TRUE(d3.form()->MemSize1024->isChecked());
}

TEST(TZELMSetUp, OkStoresAndCancelDoesNot) {
    ScanSettings rec;
    {
        TZELMSetUp dlg(rec);
        dlg.form()->MemSize512->setChecked(true);
        dlg.form()->ZELMPreSetTime->setText("25");
        dlg.form()->DispRefTimer->setText("500");
        dlg.OkButtonClick();
        EXPECT_EQ(dlg.result(), TZELMSetUp::mrOk);
        EXPECT_TRUE(dlg.errors().isEmpty());
    }
    EXPECT_EQ(rec.channelCount, 512);
    EXPECT_EQ(rec.presetTime, 25);
    EXPECT_EQ(rec.refreshInterval, 500);
    {
        TZELMSetUp dlg(rec);
        dlg.form()->MemSize1024->setChecked(true);
        dlg.form()->DispRefTimer->setText("50");
        dlg.CancelButtonClick();
        EXPECT_EQ(dlg.result(), TZELMSetUp::mrCancel);
    }
    EXPECT_EQ(rec.channelCount, 512);
    EXPECT_EQ(rec.refreshInterval, 500);
}

TEST(TZELMSetUp, BadNumbersKeepOldValuesAndAreReported) {
    ScanSettings rec;
    TZELMSetUp dlg(rec);
    dlg.form()->ZELMPreSetTime->setText("1.5");
    dlg.form()->DispRefTimer->setText("0");  // a 0 ms poll would never pause
    dlg.form()->MemSize1024->setChecked(true);
    dlg.OkButtonClick();
    EXPECT_EQ(rec.presetTime, 10);
    EXPECT_EQ(rec.refreshInterval, 100);
    EXPECT_EQ(rec.channelCount, 1024);  // the good field is still taken
    EXPECT_EQ(dlg.errors(), QStringList({"Error ! PreSet Time", "Error ! ReFlesh Timer"}));

    ScanSettings neg;
    TZELMSetUp d2(neg);
    d2.form()->ZELMPreSetTime->setText("-3");
    d2.form()->DispRefTimer->setText("abc");
    d2.OkButtonClick();
    EXPECT_EQ(neg.presetTime, 10);
    EXPECT_EQ(neg.refreshInterval, 100);
    EXPECT_EQ(d2.errors().size(), 2);
}

struct RawFile {
    QTemporaryDir dir;
    QString path;
    explicit RawFile(const char* name = "raw.bin") : path(dir.filePath(name)) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("data");
    }
};

// Files this process holds open (the listing itself adds one, the same each time).
int openFiles() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

TEST(TZELMSetUp, SaveRawDataOpensTheChosenFileAndOkHandsItOver) {
    RawFile file;
    ScanSettings rec;
    const int before = openFiles();
    xmca::RawDataFile kept;
    {
        TZELMSetUp dlg(rec);
        dlg.setFileChooser([&](QWidget*) { return file.path; });
        dlg.form()->SaveRawData->click();
        EXPECT_EQ(dlg.form()->Edit3->text(), file.path);
        ASSERT_NE(dlg.rawDataFile(), nullptr);
        char buf[4] = {};
        EXPECT_EQ(std::fread(buf, 1, 4, dlg.rawDataFile()), 4u);  // opened for reading
        EXPECT_EQ(std::string(buf, 4), "data");
        dlg.OkButtonClick();
        kept = dlg.takeRawDataFile();
        EXPECT_EQ(dlg.rawDataFile(), nullptr);
    }
    // Kept after OK, for the run: the dialog going does not close it.
    ASSERT_TRUE(kept);
    EXPECT_EQ(openFiles(), before + 1);
    char buf[4] = {};
    ASSERT_EQ(std::fseek(kept.get(), 0, SEEK_SET), 0);
    EXPECT_EQ(std::fread(buf, 1, 4, kept.get()), 4u);
    EXPECT_EQ(std::string(buf, 4), "data");
    kept.reset();
    EXPECT_EQ(openFiles(), before);
}

TEST(TZELMSetUp, ChooserCancelAndMissingFileHoldNothing) {
    ScanSettings rec;
    TZELMSetUp dlg(rec);
    dlg.setFileChooser([](QWidget*) { return QString(); });
    dlg.SaveRawDataClick();
    EXPECT_EQ(dlg.form()->Edit3->text(), "File Name");
    EXPECT_EQ(dlg.rawDataFile(), nullptr);

    QTemporaryDir dir;
    const QString missing = dir.filePath("none.bin");
    dlg.setFileChooser([&](QWidget*) { return missing; });
    dlg.SaveRawDataClick();
    EXPECT_EQ(dlg.form()->Edit3->text(), missing);
    EXPECT_EQ(dlg.rawDataFile(), nullptr);
    EXPECT_FALSE(dlg.takeRawDataFile());
}

TEST(TZELMSetUp, CancelCloseBoxAndAnUntakenFileAreClosed) {
    RawFile a("a.bin"), b("b.bin");
    for (int how = 0; how < 3; ++how) {
        ScanSettings rec;
        const int before = openFiles();
        {
            TZELMSetUp dlg(rec);
            dlg.setFileChooser([&](QWidget*) { return a.path; });
            dlg.SaveRawDataClick();
            // A second choice replaces the first handle, which is closed.
            dlg.setFileChooser([&](QWidget*) { return b.path; });
            dlg.SaveRawDataClick();
            ASSERT_NE(dlg.rawDataFile(), nullptr);
            EXPECT_EQ(openFiles(), before + 1) << how;
            if (how == 0) dlg.CancelButtonClick();
            else if (how == 1) dlg.reject();
            else dlg.OkButtonClick();  // confirmed, but nobody takes it
            if (how < 2) {
                EXPECT_EQ(dlg.rawDataFile(), nullptr) << how;
                EXPECT_EQ(openFiles(), before) << how;
            }
        }
        EXPECT_EQ(openFiles(), before) << how;
    }
}

TEST(TZELMSetUp, ModalRunWithScriptedOk) {
    ScanSettings rec;
    TZELMSetUp dlg(rec);
    QTimer::singleShot(0, &dlg, [&] {
        dlg.form()->DispRefTimer->setText("250");
        dlg.form()->OkButton->click();
    });
    EXPECT_EQ(dlg.exec(), TZELMSetUp::mrOk);
    EXPECT_EQ(rec.refreshInterval, 250);
}

}  // namespace
