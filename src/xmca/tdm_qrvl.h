// TDmQRVL: the program's data module. It carries a second pair of file dialogs
// (reference-standard and data files) and the 16 slot images and records that the
// reference-standard editor keeps; no measurement operation uses them.
#pragma once

#include <QFileDialog>
#include <QImage>
#include <QObject>
#include <QString>
#include <array>
#include <memory>

class TDmQRVL : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 16;
    struct SlotRecord {
        QString title = QStringLiteral(" [ New File  ]");
    };

    explicit TDmQRVL(QObject* parent = nullptr);

    QFileDialog* OpenDialog1() { return open_.get(); }
    QFileDialog* SaveDialog1() { return save_.get(); }
    const std::array<QImage, kSlots>& images() const { return images_; }
    const std::array<SlotRecord, kSlots>& records() const { return records_; }

private:
    std::unique_ptr<QFileDialog> open_;
    std::unique_ptr<QFileDialog> save_;
    std::array<QImage, kSlots> images_;
    std::array<SlotRecord, kSlots> records_;
};
