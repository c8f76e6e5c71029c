#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui_txmca1_setup.h"
#include "xmca1/txmca1_setup.h"

namespace {

using xmca::AcquisitionSettings;

TEST(TXMCA1SetUp, FormCarriesTheCaptionsAndStartTexts) {
    AcquisitionSettings rec;
    TXMCA1SetUp dlg(rec);
    auto* ui = dlg.form();
    EXPECT_EQ(dlg.windowTitle(), "XMCA1 SetUp");
    EXPECT_EQ(ui->McaMemory->title(), "McaMemory");
    EXPECT_EQ(ui->m256ch->text(), "256  ch");
    EXPECT_EQ(ui->m512ch->text(), "512  ch");
    EXPECT_EQ(ui->m1024ch->text(), "1024 ch");
    EXPECT_EQ(ui->m2048ch->text(), "2048 ch");
    EXPECT_EQ(ui->m4096ch->text(), "4096 ch");
    EXPECT_EQ(ui->OkButton->text(), "Ok");
    EXPECT_EQ(ui->CancelButton->text(), "Cancel");
    QStringList labels;
    for (auto* l : dlg.findChildren<QLabel*>()) labels << l->text();
    for (const char* t : {"Preset Time", "sec", "Dead Time per Event", "usec", "McaData ", "Comment", "Sample",
                          "ID. Code", "SPC_LLD"})
        EXPECT_TRUE(labels.contains(t)) << t;
}

TEST(TXMCA1SetUp, LoadsTheRecord) {
    AcquisitionSettings rec;  // 2048 ch, 3600.0 s, lld 0, 1.8 us
    rec.channelCount = 512;
    rec.lld = 42;
    rec.label1 = "Soil A";
    rec.label2 = "\x93\x79";  // 土
    TXMCA1SetUp dlg(rec);
    auto* ui = dlg.form();
    EXPECT_TRUE(ui->m512ch->isChecked());
    EXPECT_FALSE(ui->m2048ch->isChecked());
    EXPECT_EQ(ui->PresetRT->text(), "   3600.0");
    EXPECT_EQ(ui->DeadTime->text(), "      1.8");
    EXPECT_EQ(ui->SPCLLD->text(), "42");
    EXPECT_EQ(ui->SpcLabel1->text(), "Soil A");
    EXPECT_EQ(ui->SpcLabel2->text(), QString::fromUtf8("\xE5\x9C\x9F"));
}

TEST(TXMCA1SetUp, LoadBoundsTheRecord) {
    AcquisitionSettings rec;
    rec.presetTime = 0;  // a stored preset of 0 opens as 10.0 s
    rec.channelCount = 8192;
    {
        TXMCA1SetUp dlg(rec);
        EXPECT_EQ(dlg.form()->PresetRT->text(), "     10.0");
        EXPECT_TRUE(dlg.form()->m4096ch->isChecked());
    }
    EXPECT_EQ(rec.presetTime, 100);
    EXPECT_EQ(rec.channelCount, 4096);

    // A count with no button leaves the form's 2048 checked; reading back then gives 2048.
    AcquisitionSettings odd;
    odd.channelCount = 300;
    TXMCA1SetUp dlg(odd);
    EXPECT_TRUE(dlg.form()->m2048ch->isChecked());
    dlg.OkButtonClick();
    EXPECT_EQ(odd.channelCount, 2048);
}

TEST(TXMCA1SetUp, OkReadsEditedValuesBack) {
    AcquisitionSettings rec;
    TXMCA1SetUp dlg(rec);
    auto* ui = dlg.form();
    ui->m1024ch->setChecked(true);
    ui->PresetRT->setText("100.0");
    ui->DeadTime->setText("1.25");
    ui->SPCLLD->setText(" 37");
    ui->SpcLabel1->setText(QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC rice"));  // 日本 rice
    ui->SpcLabel2->setText("ID-7");
    dlg.OkButtonClick();
    EXPECT_EQ(dlg.result(), TXMCA1SetUp::mrOk);
    EXPECT_EQ(rec.channelCount, 1024);
    EXPECT_EQ(rec.presetTime, 1000);
    EXPECT_FLOAT_EQ(rec.deadTimePerEvent, 1.25f);
    EXPECT_EQ(rec.lld, 37);
    EXPECT_EQ(rec.label1, std::string("\x93\xfa\x96\x7b rice"));
    EXPECT_EQ(rec.label2, "ID-7");
    EXPECT_TRUE(dlg.errors().isEmpty());
}

TEST(TXMCA1SetUp, EveryChannelButtonMapsToItsCount) {
    const std::pair<QRadioButton* Ui::TXMCA1SetUp::*, int> cases[] = {
        {&Ui::TXMCA1SetUp::m256ch, 256},   {&Ui::TXMCA1SetUp::m512ch, 512},   {&Ui::TXMCA1SetUp::m1024ch, 1024},
        {&Ui::TXMCA1SetUp::m2048ch, 2048}, {&Ui::TXMCA1SetUp::m4096ch, 4096},
    };
    for (const auto& [button, count] : cases) {
        AcquisitionSettings rec;
        TXMCA1SetUp dlg(rec);
        (dlg.form()->*button)->setChecked(true);
        dlg.OkButtonClick();
        EXPECT_EQ(rec.channelCount, count);
        // And it loads back onto the same button.
        TXMCA1SetUp again(rec);
        EXPECT_TRUE((again.form()->*button)->isChecked()) << count;
    }
}

TEST(TXMCA1SetUp, CancelStillReadsBack) {
    AcquisitionSettings rec;
    TXMCA1SetUp dlg(rec);
    dlg.form()->m512ch->setChecked(true);
    dlg.form()->PresetRT->setText("250.5");
    dlg.form()->SPCLLD->setText("12");
    dlg.CancelButtonClick();
    EXPECT_EQ(dlg.result(), TXMCA1SetUp::mrCancel);
    EXPECT_EQ(rec.channelCount, 512);
    EXPECT_EQ(rec.presetTime, 2505);
    EXPECT_EQ(rec.lld, 12);
}

TEST(TXMCA1SetUp, CloseBoxAndEscapeReadBackToo) {
    AcquisitionSettings rec;
    TXMCA1SetUp dlg(rec);
    dlg.form()->SPCLLD->setText("9");
    dlg.reject();
    EXPECT_EQ(rec.lld, 9);
    EXPECT_NE(dlg.result(), TXMCA1SetUp::mrOk);
}

TEST(TXMCA1SetUp, FieldsThatDoNotConvertKeepTheirValueAndAreReported) {
    AcquisitionSettings rec;
    rec.presetTime = 5000;
    rec.lld = 3;
    TXMCA1SetUp dlg(rec);
    dlg.form()->PresetRT->setText("12o.0");
    dlg.form()->DeadTime->setText("");
    dlg.form()->SPCLLD->setText("1.5");
    dlg.OkButtonClick();
    EXPECT_EQ(rec.presetTime, 5000);
    EXPECT_FLOAT_EQ(rec.deadTimePerEvent, 1.8f);
    EXPECT_EQ(rec.lld, 3);
    EXPECT_FALSE(dlg.presetAccepted());
    EXPECT_EQ(dlg.errors(),
              QStringList({"Error ! SPC_LLD", "Error ! Preset Time", "Error ! Dead Time per Event"}));
    // Read back twice (OK, then the close itself): still reported once each.
    EXPECT_EQ(dlg.errors().size(), 3);
}

TEST(TXMCA1SetUp, NegativeOrOverlongPresetIsRefused) {
    for (const char* text : {"-5.0", "300000000"}) {
        AcquisitionSettings rec;
        TXMCA1SetUp dlg(rec);
        dlg.form()->PresetRT->setText(text);
        dlg.OkButtonClick();
        EXPECT_EQ(rec.presetTime, 36000) << text;
        EXPECT_EQ(dlg.errors(), QStringList({"Error ! Preset Time"})) << text;
    }
}

TEST(TXMCA1SetUp, UntouchedFieldsKeepExactValues) {
    // The one-decimal display must not round a stored dead time, and a label whose
    // bytes do not decode must not be rewritten, when the operator changes nothing.
    AcquisitionSettings rec;
    rec.deadTimePerEvent = 1.25f;
    rec.label1 = std::string("ab\x85\x40\xFF");  // not valid Shift-JIS
    const std::string raw = rec.label1;
    TXMCA1SetUp dlg(rec);
    dlg.form()->SPCLLD->setText("5");
    dlg.OkButtonClick();
    EXPECT_FLOAT_EQ(rec.deadTimePerEvent, 1.25f);
    EXPECT_EQ(rec.label1, raw);
    EXPECT_EQ(rec.lld, 5);
    EXPECT_TRUE(dlg.errors().isEmpty());
}

TEST(TXMCA1SetUp, TypingChecksNeverThrowOrChangeTheRecord) {
    AcquisitionSettings rec;
    TXMCA1SetUp dlg(rec);
    for (const char* t : {"", "-", "1e", "1e99999", "abc", "12.", "\xE6\x97\xA5"}) {
        dlg.form()->PresetRT->setText(QString::fromUtf8(t));
        dlg.form()->DeadTime->setText(QString::fromUtf8(t));
        dlg.form()->SPCLLD->setText(QString::fromUtf8(t));
    }
    EXPECT_EQ(rec.presetTime, 36000);
    EXPECT_EQ(rec.lld, 0);
}

TEST(TXMCA1SetUp, ModalRunEndsWithOkResult) {
    AcquisitionSettings rec;
    TXMCA1SetUp dlg(rec);
    QTimer::singleShot(0, &dlg, [&] {
        dlg.form()->PresetRT->setText("100.0");
        dlg.form()->OkButton->click();
    });
    EXPECT_EQ(dlg.exec(), TXMCA1SetUp::mrOk);
    EXPECT_EQ(rec.presetTime, 1000);
}

}  // namespace
