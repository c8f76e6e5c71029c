#include "txmca1_setup.h"

#include "model/settings_io.h"
#include "sjis_label.h"
#include "ui_txmca1_setup.h"

namespace {

std::string utf8(const QString& s) { return s.toStdString(); }

}  // namespace

TXMCA1SetUp::TXMCA1SetUp(xmca::AcquisitionSettings& settings, QWidget* parent)
    : QDialog(parent), ui(new Ui::TXMCA1SetUp), s_(settings) {
    ui->setupUi(this);
    connect(ui->OkButton, &QPushButton::clicked, this, &TXMCA1SetUp::OkButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TXMCA1SetUp::CancelButtonClick);
    connect(ui->PresetRT, &QLineEdit::textChanged, this, &TXMCA1SetUp::PresetRTChange);
    connect(ui->DeadTime, &QLineEdit::textChanged, this, &TXMCA1SetUp::DeadTimeChange);
    connect(ui->SPCLLD, &QLineEdit::textChanged, this, &TXMCA1SetUp::SPCLLDChange);
    FormOpen();
}

TXMCA1SetUp::~TXMCA1SetUp() { delete ui; }

void TXMCA1SetUp::FormOpen() {
    if (s_.channelCount > 4096) s_.channelCount = 4096;
    if (s_.presetTime < 1) s_.presetTime = 100;  // 10.0 s

    switch (s_.channelCount) {
        case 256: ui->m256ch->setChecked(true); break;
        case 512: ui->m512ch->setChecked(true); break;
        case 1024: ui->m1024ch->setChecked(true); break;
        case 2048: ui->m2048ch->setChecked(true); break;
        case 4096: ui->m4096ch->setChecked(true); break;
        default: break;  // the form's own choice stays
    }
    shownPreset_ = QString::fromStdString(xmca::settings::presetSecondsText(s_.presetTime));
    shownDeadTime_ = QString::fromStdString(xmca::settings::deadTimeText(s_.deadTimePerEvent));
    shownLld_ = QString::number(s_.lld);
    shownLabel1_ = xmca::decodeLabel(s_.label1);
    shownLabel2_ = xmca::decodeLabel(s_.label2);
    ui->PresetRT->setText(shownPreset_);
    ui->DeadTime->setText(shownDeadTime_);
    ui->SPCLLD->setText(shownLld_);
    ui->SpcLabel1->setText(shownLabel1_);
    ui->SpcLabel2->setText(shownLabel2_);
}

void TXMCA1SetUp::readBack() {
    errors_.clear();
    presetAccepted_ = true;

    if (ui->m256ch->isChecked()) s_.channelCount = 256;
    else if (ui->m512ch->isChecked()) s_.channelCount = 512;
    else if (ui->m1024ch->isChecked()) s_.channelCount = 1024;
    else if (ui->m2048ch->isChecked()) s_.channelCount = 2048;
    else if (ui->m4096ch->isChecked()) s_.channelCount = 4096;

    const QString lldText = ui->SPCLLD->text();
    if (lldText != shownLld_) {
        if (const auto v = xmca::settings::parseInt(utf8(lldText))) s_.lld = *v;
        else errors_ << QStringLiteral("Error ! SPC_LLD");
    }

    const QString presetText = ui->PresetRT->text();
    if (presetText != shownPreset_) {
        if (const auto v = xmca::settings::presetTenthsFromSeconds(utf8(presetText))) {
            s_.presetTime = *v;
        } else {
            errors_ << QStringLiteral("Error ! Preset Time");
            presetAccepted_ = false;
        }
    }

    const QString deadText = ui->DeadTime->text();
    if (deadText != shownDeadTime_) {
        if (const auto v = xmca::settings::deadTimeFromText(utf8(deadText))) s_.deadTimePerEvent = *v;
        else errors_ << QStringLiteral("Error ! Dead Time per Event");
    }

    if (ui->SpcLabel1->text() != shownLabel1_) s_.label1 = xmca::encodeLabel(ui->SpcLabel1->text());
    if (ui->SpcLabel2->text() != shownLabel2_) s_.label2 = xmca::encodeLabel(ui->SpcLabel2->text());
}

void TXMCA1SetUp::FormClose() { readBack(); }

void TXMCA1SetUp::OkButtonClick() {
    readBack();
    done(mrOk);
}

void TXMCA1SetUp::CancelButtonClick() { done(mrCancel); }

void TXMCA1SetUp::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TXMCA1SetUp::PresetRTChange() { (void)xmca::settings::parseReal(utf8(ui->PresetRT->text())); }

void TXMCA1SetUp::DeadTimeChange() { (void)xmca::settings::parseReal(utf8(ui->DeadTime->text())); }

void TXMCA1SetUp::SPCLLDChange() { (void)xmca::settings::parseInt(utf8(ui->SPCLLD->text())); }
