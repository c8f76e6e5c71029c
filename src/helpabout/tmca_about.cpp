#include "tmca_about.h"

#include "ui_tmca_about.h"

TMcaAbout::TMcaAbout(QWidget* parent) : QDialog(parent), ui(new Ui::TMcaAbout) {
    ui->setupUi(this);
    ui->Version->setText(tr("Version %1").arg(QStringLiteral(XMCA_VERSION)));
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TMcaAbout::~TMcaAbout() { delete ui; }
