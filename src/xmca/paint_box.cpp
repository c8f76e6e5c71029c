#include "paint_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void PaintBox::setFrame(const QImage& frame) {
    frame_ = frame;
    update();
}

void PaintBox::paintEvent(QPaintEvent*) {
    if (frame_.isNull()) emit paintRequested();
    QPainter p(this);
    if (frame_.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // The widget is kWidth x kHeight logical pixels; drawing the image into that
    // rectangle scales it by the device-pixel ratio without resampling its geometry.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(0, 0, kWidth, kHeight), frame_);
}

QPoint PaintBox::toBoxPixel(QPointF logical) {
    // Logical widget coordinates are paint-box pixels; a position inside a pixel
    // (a fraction on a high-density screen) belongs to that pixel, not the next.
    return QPoint(static_cast<int>(std::floor(logical.x())), static_cast<int>(std::floor(logical.y())));
}

void PaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = toBoxPixel(event->position());
    emit mouseDown(event->button(), pos.x(), pos.y());
}
