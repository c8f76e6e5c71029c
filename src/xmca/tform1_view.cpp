// View section of the main window: the paint handler, the scale strips and the
// view controls.
#include <QImage>
#include <QPainter>

#include "tform1.h"
#include "ui_tform1.h"

void TForm1::wireView() {}

// Provisional trace: one vertical line per column over the view window.
void TForm1::PaintBox1Paint() {
    QImage img(528, 336, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setPen(Qt::white);
    const auto& s = state_;
    const int lo = s.view.lo, hi = s.view.hi;
    const int span = std::max(1, hi - lo + 1);
    int maxv = 1;
    for (int k = lo; k <= hi && k < xmca::kWorkChannels; ++k) maxv = std::max(maxv, s.spectrum[k]);
    for (int x = 0; x < 512; ++x) {
        const int k = lo + static_cast<int>(static_cast<long long>(x) * span / 512);
        if (k < 0 || k >= xmca::kWorkChannels) continue;
        const int h = static_cast<int>(static_cast<long long>(s.spectrum[k]) * 311 / maxv);
        p.drawLine(16 + x, 316, 16 + x, 316 - h);
    }
    if (s.acquiring) {
        p.setPen(Qt::red);
        p.drawText(66, 18, "  * ACQ *");
    }
    p.setPen(Qt::cyan);
    p.drawText(200, 18, QString::asprintf("%8.1f s  %8.2f kcps", s.realTime / 10.0, s.countRate));
    p.end();
    ui->PaintBox1->setFrame(img);
}
