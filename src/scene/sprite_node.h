#pragma once

#include <QSizeF>

#include "platform/color.h"
#include "scene/node.h"

// A rectangle of one colour (no texture), placed by its anchor point.
class SpriteNode : public Node {
public:
    SpriteNode(const Color& color, QSizeF size);

    Color color() const { return color_; }
    void setColor(const Color& color);
    QSizeF size() const { return size_; }
    // (0.5, 0.5) by default: the node's position is its centre.
    QPointF anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(QPointF anchor);

    QRectF localBounds() const override;
    QRectF opaqueBounds() const override;
    void draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const override;

private:
    Color color_;
    QSizeF size_;
    QPointF anchorPoint_{0.5, 0.5};
};
