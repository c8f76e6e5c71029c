// The files section of the main window, driven through its buttons with the file
// dialog bypassed.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>

#include "files/temp_dir.h"
#include "support/scripted_analyser.h"
#include "ui_tform1.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

struct FilesWindow {
    std::unique_ptr<TForm1> form;
    std::shared_ptr<xmca::test::ScriptedDialogs> dialogs = std::make_shared<xmca::test::ScriptedDialogs>();
    QString& next = dialogs->next;  // what the "dialog" answers; empty = cancel
    std::vector<PageDialogs::FileQuestion>& asked = dialogs->asked;
    FilesWindow() {
        TForm1::Options o;
        o.dialogs = dialogs;
        form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), o);
    }
    Ui::TForm1* ui() { return form->form(); }
    xmca::MeasurementState& s() { return form->state(); }
};

TEST(FilesWindow, SaveThenReadSpecFillsMemoryOneAndTheLabels) {
    xmca::test::TempDir dir;
    FilesWindow w;
    w.s().channelCount = 1024;
    for (int i = 0; i < 1024; ++i) w.s().spectrum[i] = 3 * i;
    w.next = QString::fromStdString(dir.file("a.dat"));
    w.ui()->SaveSpec->click();
    ASSERT_EQ(std::filesystem::file_size(dir.file("a.dat")), 1024u + 4096u);
    EXPECT_EQ(w.asked.back().kind, PageDialogs::Kind::SaveSpectrum);

    w.s().spectrum[5] = -1;
    w.ui()->ReadSpec->click();
    EXPECT_TRUE(w.ui()->Mem1Spec->isChecked());
    EXPECT_EQ(w.s().mem[0].counts[1023], 3069);
    EXPECT_EQ(w.s().mem[0].name, "a.dat");
    EXPECT_EQ(w.s().spectrum[5], 15);
    EXPECT_EQ(w.ui()->Label1->text(), "0ch");
    EXPECT_EQ(w.ui()->Label2->text(), "1023ch");
    EXPECT_EQ(w.ui()->Label3->text(), "512");
    EXPECT_EQ(w.s().samplePath, dir.file("a.dat"));
}

TEST(FilesWindow, CancelledDialogsChangeNothing) {
    FilesWindow w;
    w.ui()->Edit1->setText("Status");
    w.ui()->Write1->trigger();
    w.ui()->Write2->trigger();
    w.ui()->Read1->trigger();
    EXPECT_EQ(w.asked.size(), 3u);
    EXPECT_EQ(w.asked[1].kind, PageDialogs::Kind::SaveText);
    EXPECT_EQ(w.s().path, "");
    EXPECT_EQ(w.ui()->Edit1->text(), "Status");
}

TEST(FilesWindow, FailuresShowInEdit1) {
    xmca::test::TempDir dir;
    FilesWindow w;
    w.next = "/dev/full";
    w.ui()->SaveSpec->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "File Write Error !");
    w.ui()->Edit1->clear();
    w.ui()->Write2->trigger();
    EXPECT_EQ(w.ui()->Edit1->text(), "File Write Error !");

    w.s().channelCount = 256;
    w.next = QString::fromStdString(dir.file("s256.dat"));
    w.ui()->SaveSpec->click();
    w.ui()->Read1->trigger();
    EXPECT_EQ(w.ui()->Edit1->text(), "0");
}

TEST(FilesWindow, MemoryButtonsBackgroundAndSnapshot) {
    xmca::test::TempDir dir;
    FilesWindow w;
    w.s().channelCount = 512;
    for (int i = 0; i < 512; ++i) w.s().spectrum[i] = 1000 - i;
    w.next = QString::fromStdString(dir.file("bg.dat"));
    w.ui()->SaveSpec->click();
    w.ui()->BGfile->click();
    EXPECT_TRUE(w.ui()->Mem2Spec->isChecked());
    EXPECT_EQ(w.s().bgFileFlag, 1);
    EXPECT_EQ(w.s().mem[1].counts[0], 1000);

    w.ui()->Mem1Spec->click();  // memory 1 still holds its start-up ramp
    EXPECT_EQ(w.s().selectedSource, 1);
    w.ui()->Mem2Spec->click();
    EXPECT_EQ(w.s().spectrum[10], 990);
    EXPECT_EQ(w.s().fileName, "bg.dat");

    w.ui()->OverLapON->click();
    EXPECT_EQ(w.s().overlays[2].on, 1);
    w.ui()->OverLapON->click();
    EXPECT_EQ(w.s().overlays[2].on, 0);

    w.ui()->McaMem->click();  // link closed: header and name change, counts stay
    EXPECT_EQ(w.s().selectedSource, 0);
    EXPECT_EQ(w.s().fileName, "");
    EXPECT_EQ(w.s().spectrum[10], 990);
    EXPECT_EQ(w.s().header, w.s().liveHeader);
}

TEST(FilesWindow, EmptyMemoryIsRefusedAndASaveStaysConsistent) {
    xmca::test::TempDir dir;
    FilesWindow w;
    w.s().channelCount = 512;
    for (int i = 0; i < 512; ++i) w.s().spectrum[i] = 7 * i;
    w.s().realTime = 1234;
    w.s().header.setChannelCount(512);
    const xmca::SpectrumHeader before = w.s().header;

    w.ui()->Mem3Spec->click();  // never loaded
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Mem3 Empty");
    EXPECT_TRUE(w.ui()->Mem3Spec->isChecked());
    EXPECT_EQ(w.s().selectedSource, 3);
    EXPECT_EQ(w.s().header, before);
    EXPECT_EQ(w.s().channelCount, 512);
    EXPECT_EQ(w.s().realTime, 1234);
    EXPECT_EQ(w.s().spectrum[100], 700);

    // A save now writes the counts on screen under their own header.
    w.next = QString::fromStdString(dir.file("kept.dat"));
    w.ui()->SaveSpec->click();
    ASSERT_EQ(std::filesystem::file_size(dir.file("kept.dat")), 1024u + 4u * 512u);
    // Read back with Mem3 still checked: the file now fills memory 3.
    w.ui()->Read1->trigger();
    EXPECT_EQ(w.s().mem[2].header.channelCount(), 512);
    EXPECT_EQ(w.s().mem[2].header.i32(xmca::SpectrumHeader::kRealTime), 1234);
    EXPECT_EQ(w.s().mem[2].counts[100], 700);
    w.ui()->Edit1->clear();
    w.ui()->McaMem->click();
    w.ui()->Mem3Spec->click();  // loaded now: selected without complaint
    EXPECT_EQ(w.ui()->Edit1->text(), "");
    EXPECT_EQ(w.s().fileName, "kept.dat");
    EXPECT_EQ(w.s().spectrum[100], 700);
}

TEST(FilesWindow, RejectedBackgroundLeavesMemoryTwoEmpty) {
    xmca::test::TempDir dir;
    FilesWindow w;
    // A file whose header count does not match its body is not stored.
    w.s().channelCount = 512;
    w.next = QString::fromStdString(dir.file("short.dat"));
    w.ui()->SaveSpec->click();
    std::filesystem::resize_file(dir.file("short.dat"), 1024 + 4 * 300);
    w.ui()->BGfile->click();
    EXPECT_EQ(w.s().bgFileFlag, 0);
    EXPECT_EQ(w.s().mem[1].header.channelCount(), 0);
    w.ui()->McaMem->click();
    w.ui()->Edit1->clear();
    w.ui()->Mem2Spec->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Mem2 Empty");
    // Memory 1 likewise until a sample is read.
    w.ui()->Mem1Spec->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Mem1 Empty");
}

}  // namespace
