#include "scene/sprite_node.h"

#include <QPainter>

SpriteNode::SpriteNode(const Color& color, QSizeF size) : color_(color), size_(size) {}

void SpriteNode::setColor(const Color& color) {
    color_ = color;
    setNeedsDisplay();
}

void SpriteNode::setAnchorPoint(QPointF anchor) {
    anchorPoint_ = anchor;
    setNeedsDisplayAll();
}

QRectF SpriteNode::localBounds() const {
    return QRectF(-size_.width() * anchorPoint_.x(), -size_.height() * anchorPoint_.y(),
                  size_.width(), size_.height());
}

QRectF SpriteNode::opaqueBounds() const {
    return color_.alpha() >= 1 ? localBounds() : QRectF();
}

void SpriteNode::draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const {
    const QRectF bounds = localBounds();
    if (!toDevice.mapRect(bounds).intersects(clip)) {
        return;
    }
    painter.save();
    painter.setTransform(toDevice, true);
    painter.fillRect(bounds, color_.toQColor());
    painter.restore();
}
