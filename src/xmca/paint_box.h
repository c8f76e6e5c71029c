// PaintBox1: shows the composed 528 x 336 frame in one copy. On a high-density
// screen the image is drawn scaled by the device-pixel ratio with its pixel
// geometry unchanged; mouse positions are reported in paint-box pixels.
#pragma once

#include <QImage>
#include <QWidget>

class PaintBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 528;
    static constexpr int kHeight = 336;

    explicit PaintBox(QWidget* parent = nullptr);

    void setFrame(const QImage& frame);
    const QImage& frame() const { return frame_; }
    QSize sizeHint() const override { return {kWidth, kHeight}; }
    // The paint-box pixel under a logical (device-independent) widget position.
    static QPoint toBoxPixel(QPointF logical);

signals:
    // x, y in paint-box pixels.
    void mouseDown(Qt::MouseButton button, int x, int y);
    // Emitted when the window system asks for a redraw and no frame is held yet.
    void paintRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage frame_;
};
