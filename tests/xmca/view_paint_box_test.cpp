#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPainter>
#include <QCoreApplication>

#include "xmca/paint_box.h"

namespace {

QImage checkerFrame() {
    QImage f(PaintBox::kWidth, PaintBox::kHeight, QImage::Format_RGB32);
    for (int y = 0; y < f.height(); ++y)
        for (int x = 0; x < f.width(); ++x) f.setPixel(x, y, ((x + y) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    f.setPixel(100, 50, qRgb(255, 0, 0));
    return f;
}

}  // namespace

TEST(ViewPaintBox, HighDensityScreenKeepsPixelGeometry) {
    PaintBox box;
    box.setFrame(checkerFrame());
    for (qreal dpr : {1.0, 2.0}) {
        QImage shot(QSize(PaintBox::kWidth, PaintBox::kHeight) * dpr, QImage::Format_RGB32);
        shot.setDevicePixelRatio(dpr);
        shot.fill(Qt::gray);
        box.render(&shot);
        const int k = static_cast<int>(dpr);
        // Each frame pixel becomes a k x k block: no smoothing, no shift.
        for (int dy = 0; dy < k; ++dy)
            for (int dx = 0; dx < k; ++dx) {
                EXPECT_EQ(shot.pixel(100 * k + dx, 50 * k + dy), qRgb(255, 0, 0)) << dpr;
                EXPECT_EQ(shot.pixel(101 * k + dx, 50 * k + dy), qRgb(255, 255, 255)) << dpr;
                EXPECT_EQ(shot.pixel(102 * k + dx, 50 * k + dy), qRgb(0, 0, 0)) << dpr;
            }
    }
}

TEST(ViewPaintBox, MousePositionMapsToThePixelUnderIt) {
    EXPECT_EQ(PaintBox::toBoxPixel(QPointF(100.0, 50.0)), QPoint(100, 50));
    EXPECT_EQ(PaintBox::toBoxPixel(QPointF(100.75, 50.5)), QPoint(100, 50));  // not rounded up
    EXPECT_EQ(PaintBox::toBoxPixel(QPointF(-0.5, 0.25)), QPoint(-1, 0));

    PaintBox box;
    int got = -1, gx = -1, gy = -1;
    QObject::connect(&box, &PaintBox::mouseDown, [&](Qt::MouseButton b, int x, int y) {
        got = b;
        gx = x;
        gy = y;
    });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(116.6, 40.9), QPointF(116.6, 40.9), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &press);
    EXPECT_EQ(got, Qt::LeftButton);
    EXPECT_EQ(gx, 116);
    EXPECT_EQ(gy, 40);
}
