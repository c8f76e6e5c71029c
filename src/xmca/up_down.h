// UpDown1: a pair of arrow buttons stepping the vertical full scale. The upper
// arrow is btNext, the lower btPrev, as the handlers expect.
#pragma once

#include <QWidget>

class UpDown : public QWidget {
    Q_OBJECT
public:
    enum Button { btNext = 0, btPrev = 1 };
    explicit UpDown(QWidget* parent = nullptr);

signals:
    void clicked(int button);
};
