// TZELMSetUp ("ZELM SetUp"): the modal scan-map setup dialog. It fills the
// ScanSettings record (memory size per bank, preset time per pass, poll refresh
// interval) and holds the raw-data file chosen with "Save Spectrum Data" until its
// owner takes it after OK. The mapping controls are present but take part in no
// operation.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

#include "dlgzelm/raw_data_file.h"
#include "model/measurement_state.h"

namespace Ui {
class TZELMSetUp;
}

class TZELMSetUp : public QDialog {
    Q_OBJECT
public:
    enum ModalResult { mrOk = 1, mrCancel = 2 };
    // Asks for the raw-data file; an empty name means the operator cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    explicit TZELMSetUp(xmca::ScanSettings& settings, QWidget* parent = nullptr);
    ~TZELMSetUp() override;

    Ui::TZELMSetUp* form() { return ui; }

    // Replaces the open-file dialog (tests, scripted runs).
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    // "Error ! <field label>" for each field that did not convert when OK was
    // pressed; those fields kept their old value.
    const QStringList& errors() const { return errors_; }

    // The raw-data file opened in this dialog (null: none chosen, or it did not open).
    std::FILE* rawDataFile() const { return rawFile_.get(); }
    // Hands that file over (after OK); the dialog no longer closes it.
    xmca::RawDataFile takeRawDataFile() { return std::move(rawFile_); }

public slots:
    void FormCreate();
    void FormClose();
    void OkButtonClick();
    void CancelButtonClick();
    void SaveRawDataClick();
    void ScanSkipOptionClick();
    // Edit checks while typing: try to convert, ignore a failure.
    void ZELMPreSetTimeChange();
    void DispRefTimerChange();

public:
    // Closing other than by OK (Cancel, Escape, the close box) closes a raw-data file
    // opened in this dialog; one not taken after OK is closed with the dialog.
    void done(int result) override;

private:
    Ui::TZELMSetUp* ui;
    xmca::ScanSettings& s_;
    xmca::RawDataFile rawFile_;
    FileChooser chooser_;
    QStringList errors_;
};
