#include "tdm_qrvl.h"

TDmQRVL::TDmQRVL(QObject* parent) : QObject(parent) {
    setObjectName("Qrvllib");
    open_ = std::make_unique<QFileDialog>();
    open_->setObjectName("OpenDialog1");
    open_->setAcceptMode(QFileDialog::AcceptOpen);
    open_->setDefaultSuffix("dat");
    open_->setNameFilters({"Std Reference(*.ref)", "MCA Data(*.dat)"});
    save_ = std::make_unique<QFileDialog>();
    save_->setObjectName("SaveDialog1");
    save_->setAcceptMode(QFileDialog::AcceptSave);
    for (auto& img : images_) {
        img = QImage(512, 512, QImage::Format_RGB32);
        img.fill(Qt::white);
    }
}
