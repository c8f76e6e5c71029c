#include "tzelm_setup.h"

#include <QFile>
#include <QFileDialog>
#include <cstdio>

#include "model/settings_io.h"
#include "ui_tzelm_setup.h"

TZELMSetUp::TZELMSetUp(xmca::ScanSettings& settings, QWidget* parent)
    : QDialog(parent), ui(new Ui::TZELMSetUp), s_(settings) {
    ui->setupUi(this);
    chooser_ = [](QWidget* owner) { return QFileDialog::getOpenFileName(owner); };
    connect(ui->OkButton, &QPushButton::clicked, this, &TZELMSetUp::OkButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TZELMSetUp::CancelButtonClick);
    connect(ui->SaveRawData, &QCheckBox::clicked, this, &TZELMSetUp::SaveRawDataClick);
    connect(ui->ScanSkipOption, &QCheckBox::clicked, this, &TZELMSetUp::ScanSkipOptionClick);
    connect(ui->ZELMPreSetTime, &QLineEdit::textChanged, this, &TZELMSetUp::ZELMPreSetTimeChange);
    connect(ui->DispRefTimer, &QLineEdit::textChanged, this, &TZELMSetUp::DispRefTimerChange);
    FormCreate();
}

TZELMSetUp::~TZELMSetUp() { delete ui; }

void TZELMSetUp::FormCreate() {
    if (s_.channelCount > 2048) s_.channelCount = 2048;
    switch (s_.channelCount) {
        case 512: ui->MemSize512->setChecked(true); break;
        case 1024: ui->MemSize1024->setChecked(true); break;
        case 2048: ui->MemSize2048->setChecked(true); break;
        default: break;  // the form's own choice stays
    }
    ui->ZELMPreSetTime->setText(QString::number(s_.presetTime));
    ui->DispRefTimer->setText(QString::number(s_.refreshInterval));
}

void TZELMSetUp::FormClose() {}

void TZELMSetUp::OkButtonClick() {
    errors_.clear();
    if (ui->MemSize512->isChecked()) s_.channelCount = 512;
    else if (ui->MemSize1024->isChecked()) s_.channelCount = 1024;
    else if (ui->MemSize2048->isChecked()) s_.channelCount = 2048;

    // The analyser takes no negative preset, and a poll interval under 1 ms would
    // keep the user-interface thread polling without a pause.
    const auto preset = xmca::settings::parseInt(ui->ZELMPreSetTime->text().toStdString());
    if (preset && *preset >= 0) s_.presetTime = *preset;
    else errors_ << QStringLiteral("Error ! PreSet Time");
    const auto refresh = xmca::settings::parseInt(ui->DispRefTimer->text().toStdString());
    if (refresh && *refresh >= 1) s_.refreshInterval = *refresh;
    else errors_ << QStringLiteral("Error ! ReFlesh Timer");
    done(mrOk);
}

void TZELMSetUp::CancelButtonClick() { done(mrCancel); }

void TZELMSetUp::done(int result) {
    if (result != mrOk) rawFile_.reset();
    FormClose();
    QDialog::done(result);
}

void TZELMSetUp::SaveRawDataClick() {
    const QString name = chooser_ ? chooser_(this) : QString();
    if (name.isEmpty()) return;
    ui->Edit3->setText(name);
    // A second choice replaces the first; the earlier handle is not left open.
    rawFile_.reset();
    rawFile_.reset(std::fopen(QFile::encodeName(name).constData(), "rb"));
}

void TZELMSetUp::ScanSkipOptionClick() {}

void TZELMSetUp::ZELMPreSetTimeChange() { (void)xmca::settings::parseInt(ui->ZELMPreSetTime->text().toStdString()); }

void TZELMSetUp::DispRefTimerChange() { (void)xmca::settings::parseInt(ui->DispRefTimer->text().toStdString()); }
