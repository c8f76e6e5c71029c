// TXMCA1SetUp ("XMCA1 SetUp"): the modal MCA setup dialog. It edits an
// AcquisitionSettings record: loads it into the controls on creation and reads
// the controls back into it on every close (so Cancel, too, leaves the edited
// values in the record; only the caller's follow-up differs).
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "model/measurement_state.h"

namespace Ui {
class TXMCA1SetUp;
}

class TXMCA1SetUp : public QDialog {
    Q_OBJECT
public:
    // Modal results of the two buttons.
    enum ModalResult { mrOk = 1, mrCancel = 2 };

    explicit TXMCA1SetUp(xmca::AcquisitionSettings& settings, QWidget* parent = nullptr);
    ~TXMCA1SetUp() override;

    Ui::TXMCA1SetUp* form() { return ui; }

    // "Error ! <field label>" for each number field whose text did not convert at
    // the last read-back; those fields kept their old value.
    const QStringList& errors() const { return errors_; }
    // False when the preset field did not convert: nothing may be sent for it.
    bool presetAccepted() const { return presetAccepted_; }

public slots:
    void FormOpen();
    void FormClose();
    void OkButtonClick();
    void CancelButtonClick();
    // Edit checks while typing: try to convert, ignore a failure.
    void PresetRTChange();
    void DeadTimeChange();
    void SPCLLDChange();

public:
    // Every way of closing (Ok, Cancel, Escape, the window's close box) ends here.
    void done(int result) override;

private:
    void readBack();

    Ui::TXMCA1SetUp* ui;
    xmca::AcquisitionSettings& s_;
    QStringList errors_;
    bool presetAccepted_ = true;
    // The texts as loaded: a field left as it was keeps the record's exact value
    // (the one-decimal display would otherwise round a dead time like 1.25, and a
    // label that does not decode cleanly would lose its bytes).
    QString shownPreset_, shownDeadTime_, shownLld_, shownLabel1_, shownLabel2_;
};
