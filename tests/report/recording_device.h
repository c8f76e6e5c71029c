// A paint device that keeps what is drawn on it instead of pixels: texts with
// their transform and font, lines, polylines and rectangles, in device pixels.
#pragma once

#include <QFont>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QPolygon>
#include <QTransform>
#include <vector>

namespace xmca::test {

struct RecordedText {
    QString text;
    QTransform transform;  // painter transform when drawn
    QPointF baseline;      // text origin before the transform
    QFont font;
    QColor colour;
    // Where the transform puts the painter origin: the text's anchor.
    QPoint anchor() const { return transform.map(QPointF(0, 0)).toPoint(); }
};

struct RecordedLine {
    QLine line;
    QColor colour;
    int width;
};

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& st) override {
        if (st.state() & DirtyPen) pen_ = st.pen();
        if (st.state() & DirtyTransform) transform_ = st.transform();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        texts.push_back({item.text(), transform_, p, item.font(), pen_.color()});
    }
    void drawLines(const QLine* l, int n) override {
        for (int i = 0; i < n; ++i) lines.push_back({transform_.map(l[i]), pen_.color(), pen_.width()});
    }
    void drawLines(const QLineF* l, int n) override {
        for (int i = 0; i < n; ++i) lines.push_back({transform_.map(l[i]).toLine(), pen_.color(), pen_.width()});
    }
    void drawRects(const QRect* r, int n) override {
        for (int i = 0; i < n; ++i) rects.push_back(transform_.mapRect(r[i]));
    }
    void drawRects(const QRectF* r, int n) override {
        for (int i = 0; i < n; ++i) rects.push_back(transform_.mapRect(r[i]).toRect());
    }
    void drawPolygon(const QPointF* pts, int n, PolygonDrawMode mode) override {
        QPolygon poly;
        for (int i = 0; i < n; ++i) poly << transform_.map(pts[i]).toPoint();
        record(poly, mode);
    }
    void drawPolygon(const QPoint* pts, int n, PolygonDrawMode mode) override {
        QPolygon poly;
        for (int i = 0; i < n; ++i) poly << transform_.map(pts[i]);
        record(poly, mode);
    }

    std::vector<RecordedText> texts;
    std::vector<RecordedLine> lines;
    std::vector<QRect> rects;
    std::vector<QPolygon> polylines;
    std::vector<QPen> polylinePens;

private:
    void record(const QPolygon& poly, PolygonDrawMode mode) {
        if (mode != PolylineMode) return;
        polylines.push_back(poly);
        polylinePens.push_back(pen_);
    }
    QPen pen_;
    QTransform transform_;
};

class RecordingDevice : public QPaintDevice {
public:
    RecordingDevice(int width, int height, int dpi = 600) : w_(width), h_(height), dpi_(dpi) {}
    ~RecordingDevice() override = default;
    QPaintEngine* paintEngine() const override { return &engine_; }
    RecordingEngine& engine() { return engine_; }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
            case PdmWidth: return w_;
            case PdmHeight: return h_;
            case PdmWidthMM: return w_ * 254 / (10 * dpi_);
            case PdmHeightMM: return h_ * 254 / (10 * dpi_);
            case PdmNumColors: return 0x7FFFFFFF;
            case PdmDepth: return 32;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY: return dpi_;
            case PdmDevicePixelRatio: return 1;
            case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
            default: return 0;
        }
    }

private:
    int w_, h_, dpi_;
    mutable RecordingEngine engine_;
};

}  // namespace xmca::test
