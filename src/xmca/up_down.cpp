#include "up_down.h"

#include <QToolButton>
#include <QVBoxLayout>

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    auto* down = new QToolButton(this);
    up->setObjectName("UpDown1Next");
    down->setObjectName("UpDown1Prev");
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    up->setToolTip(tr("Smaller full scale"));
    down->setToolTip(tr("Larger full scale"));
    for (auto* b : {up, down}) {
        b->setFixedSize(22, 13);
        b->setAutoRaise(false);
        layout->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { emit clicked(btNext); });
    connect(down, &QToolButton::clicked, this, [this] { emit clicked(btPrev); });
}
