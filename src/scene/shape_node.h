#pragma once

#include <QColor>
#include <QRectF>
#include <cstdint>

#include "platform/color.h"
#include "scene/node.h"

class ShapeNode;

// Hears of a shape's fill colour changes in place of the scene: a parent that draws its
// children itself (the canvas its cells) and records what to redraw on its own.
class FillObserver {
public:
    virtual void fillColorChanged(const ShapeNode& node, uint32_t tag) = 0;

protected:
    ~FillObserver() = default;
};

// A rectangular path, filled and stroked. The stroke is centred on the path's edge.
class ShapeNode : public Node {
public:
    ShapeNode();

    QRectF pathRect() const { return pathRect_; }
    void setPathRect(const QRectF& rect);
    const Color& fillColor() const { return fillColor_; }
    // Asks for the memory a recolouring touches, a few cells ahead of a loop over thousands.
    void prefetchFill() const { __builtin_prefetch(&fillColor_, 1); }
    void setFillColor(const Color& color);
    const Color& strokeColor() const { return strokeColor_; }
    void setStrokeColor(const Color& color);
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width);
    bool isAntialiased() const { return antialiased_; }
    void setAntialiased(bool antialiased);

    QRectF localBounds() const override { return pathRect_; }
    QRectF drawnBounds() const override;
    void draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const override;
    // Whether drawing with toDevice fills the whole path, snapped to device pixels, with
    // opaque colour (and its stroke, if any, too).
    bool drawsOpaqueSnappedPath(const QTransform& toDevice) const;

    // Who hears of fill changes instead of the scene, with a number of its choosing.
    void setFillObserver(FillObserver* observer, uint32_t tag) {
        fillObserver_ = observer;
        fillObserverTag_ = tag;
    }
    FillObserver* fillObserver() const { return fillObserver_; }
    uint32_t fillObserverTag() const { return fillObserverTag_; }

private:
    void drawSnapped(QPainter& painter, const QTransform& toDevice, bool stroked) const;
    const QColor& fillPaint() const;
    const QColor& strokePaint() const;

    // What a recolouring touches sits together on one cache line: a fill or an undo
    // recolours tens of thousands of cells, and a second line each is a second trip to memory
    // for every one.
    alignas(64) Color fillColor_ = Color::clear();
    FillObserver* fillObserver_ = nullptr;
    uint32_t fillObserverTag_ = 0;
    // Painting colours, converted at most once per change and frame, when next drawn: a
    // canvas's cells are never drawn one by one.
    mutable bool fillPaintStale_ = true;
    mutable bool strokePaintStale_ = true;
    QRectF pathRect_;
    Color strokeColor_ = Color::white();
    double lineWidth_ = 1;
    bool antialiased_ = true;
    mutable QColor fillPaint_;
    mutable QColor strokePaint_;
};
