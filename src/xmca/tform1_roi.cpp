// ROI section of the main window: the ROI table page.
#include <QColor>

#include "model/roi_table.h"
#include "tform1.h"
#include "ui_tform1.h"
#include "xmca1/sjis_label.h"

namespace {

// The colour box's standard colours, as 0x00BBGGRR values.
struct NamedColour {
    const char* name;
    xmca::TColor value;
};
constexpr NamedColour kColours[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080}, {"Green", 0x008000},   {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080}, {"Teal", 0x808000},    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},    {"Lime", 0x00FF00},    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},   {"White", 0xFFFFFF},
};

QColor toQColor(xmca::TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

void TForm1::wireRoi() {
    for (const auto& c : kColours) {
        QPixmap swatch(12, 12);
        swatch.fill(toQColor(c.value));
        ui->ROIColor->addItem(QIcon(swatch), c.name, QVariant::fromValue<uint>(c.value));
    }
    ui->ROIColor->setCurrentIndex(ui->ROIColor->findData(QVariant::fromValue<uint>(0xFF0000)));
    connect(ui->ROINoSelect, &QComboBox::currentIndexChanged, this, &TForm1::ROINoSelectChange);
    connect(ui->ROIOnCheck, &QCheckBox::clicked, this, &TForm1::ROIOnCheckClick);
    connect(ui->ROILowCh, &QCheckBox::clicked, this, &TForm1::ROILowChClick);
    connect(ui->ROIHighCh, &QCheckBox::clicked, this, &TForm1::ROIHighChClick);
    connect(ui->EditROILow, &QLineEdit::textEdited, this, &TForm1::EditROILowChange);
    connect(ui->EditROIHigh, &QLineEdit::textEdited, this, &TForm1::EditROIHighChange);
}

void TForm1::ROINoSelectChange() {
    const int idx = ui->ROINoSelect->currentIndex();
    if (idx < 0) return;
    const xmca::RoiEditors ed = xmca::selectRoi(state_, idx);
    const bool defined = state_.rois[idx].defined != 0;
    if (!defined) ui->ROIOnCheck->setChecked(false);
    else ui->ROIOnCheck->setChecked(ed.on);
    ui->EditROILow->setText(QString::fromStdString(ed.low));
    ui->EditROIHigh->setText(QString::fromStdString(ed.high));
    ui->Element->setText(xmca::decodeLabel(ed.element));
    int c = ui->ROIColor->findData(QVariant::fromValue<uint>(ed.colour));
    if (c < 0) {
        // A colour read from a file that is not one of the standard ones.
        QPixmap swatch(12, 12);
        swatch.fill(toQColor(ed.colour));
        ui->ROIColor->addItem(QIcon(swatch), QString("0x%1").arg(ed.colour, 6, 16, QChar('0')),
                              QVariant::fromValue<uint>(ed.colour));
        c = ui->ROIColor->count() - 1;
    }
    ui->ROIColor->setCurrentIndex(c);
}

void TForm1::ROIOnCheckClick() {
    const int idx = ui->ROINoSelect->currentIndex();
    if (idx < 0) {
        showStatus("Error ! ROI # Unknown");
        return;
    }
    xmca::RoiEditors ed;
    ed.low = ui->EditROILow->text().toStdString();
    ed.high = ui->EditROIHigh->text().toStdString();
    // Shift-JIS, as the comment and sample ID; a two-byte character that would not
    // fit whole in the 7 bytes is left out.
    ed.element = xmca::encodeLabel(ui->Element->text(), 7);
    ed.colour = ui->ROIColor->currentData().toUInt();
    const std::string msg = xmca::storeRoi(state_, idx, ui->ROIOnCheck->isChecked(), ed);
    if (!msg.empty()) showStatus(QString::fromStdString(msg));
    PaintBox1Paint();
}

void TForm1::ROILowChClick() {
    ui->EditROILow->setText(QString::number(state_.view.cursor));
    ui->ROILowCh->setChecked(false);
}

void TForm1::ROIHighChClick() {
    ui->EditROIHigh->setText(QString::number(state_.view.cursor));
    ui->ROIHighCh->setChecked(false);
}

void TForm1::EditROILowChange() {
    if (!xmca::parseInteger(ui->EditROILow->text().toStdString())) showStatus("Error ! ROI LowCh");
}

void TForm1::EditROIHighChange() {
    if (!xmca::parseInteger(ui->EditROIHigh->text().toStdString())) showStatus("Error ! ROI HighCh");
}
