// TMcaAbout: the about box.
#pragma once

#include <QDialog>

namespace Ui {
class TMcaAbout;
}

class TMcaAbout : public QDialog {
    Q_OBJECT
public:
    explicit TMcaAbout(QWidget* parent = nullptr);
    ~TMcaAbout() override;

private:
    Ui::TMcaAbout* ui;
};
