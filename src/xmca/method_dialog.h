// The laboratory's calibrated methods: every version in the register, the response
// table of the one chosen, calibration from a background and up to three standard
// files with their certificates, and the method (and decay correction) in force.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "analysis/method.h"

class LabContext;
class PageDialogs;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTableWidget;

class MethodDialog : public QDialog {
    Q_OBJECT
public:
    // The laboratory's settings (default method, decay correction) are changed through
    // lab; the register is read and written on lab's register thread, files are
    // chosen through dialogs.
    MethodDialog(QWidget* parent, LabContext& lab, PageDialogs& dialogs);

    // For tests: the fields of the calibration form by nuclide (0 Cs-137, 1 Cs-134, 2 K-40).
    struct StandardFields {
        QLineEdit *file, *bq, *date, *u;
    };
    StandardFields& standardFields(int nuclide) { return fields_[nuclide]; }
    QLineEdit* nameField() const { return name_; }
    QLineEdit* massField() const { return mass_; }
    QLineEdit* backgroundField() const { return background_; }
    QTableWidget* methodTable() const { return methods_; }
    QTableWidget* responseTable() const { return response_; }
    QLabel* messageLabel() const { return message_; }
    const std::vector<xmca::method::Method>& methods() const { return list_; }

public slots:
    void reload();
    void calibrate();
    void setDefault();
    void useFactory();

private:
    void showResponse(int row);
    void say(const QString& text, bool error);

    void showInForce();

    LabContext& lab_;
    PageDialogs& dialogs_;
    int listing_ = 0;  // of the method list asked last: older answers are dropped
    std::vector<xmca::method::Method> list_;
    QTableWidget* methods_ = nullptr;
    QTableWidget* response_ = nullptr;
    QLabel* inForce_ = nullptr;
    QLabel* message_ = nullptr;
    QCheckBox* decay_ = nullptr;
    QLineEdit *name_ = nullptr, *geometry_ = nullptr, *mass_ = nullptr, *range_ = nullptr, *background_ = nullptr;
    StandardFields fields_[3]{};
};
