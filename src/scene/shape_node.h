#pragma once

#include <QColor>
#include <QRectF>

#include "platform/color.h"
#include "scene/node.h"

// A rectangular path, filled and stroked. The stroke is centred on the path's edge.
class ShapeNode : public Node {
public:
    ShapeNode();

    QRectF pathRect() const { return pathRect_; }
    void setPathRect(const QRectF& rect);
    const Color& fillColor() const { return fillColor_; }
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

protected:
    // The fill colour has changed: redraws what the node covers. A node drawn by its parent
    // tells the parent instead.
    virtual void fillColorChanged() { setNeedsDisplay(); }

private:
    void drawSnapped(QPainter& painter, const QTransform& toDevice, bool stroked) const;
    const QColor& fillPaint() const;
    const QColor& strokePaint() const;

    QRectF pathRect_;
    Color fillColor_ = Color::clear();
    Color strokeColor_ = Color::white();
    double lineWidth_ = 1;
    bool antialiased_ = true;
    // Painting colours, converted at most once per change and frame, when next drawn: a fill
    // or an undo recolours thousands of cells at a time, and a canvas's cells are never
    // drawn one by one.
    mutable QColor fillPaint_;
    mutable bool fillPaintStale_ = true;
    mutable bool strokePaintStale_ = true;
    mutable QColor strokePaint_;
};
