#include "scene/shape_node.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
bool axisAligned(const QTransform& t) {
    constexpr double kEpsilon = 1e-9;
    return (std::abs(t.m12()) < kEpsilon && std::abs(t.m21()) < kEpsilon) ||
           (std::abs(t.m11()) < kEpsilon && std::abs(t.m22()) < kEpsilon);
}
}  // namespace

ShapeNode::ShapeNode() = default;

void ShapeNode::setPathRect(const QRectF& rect) {
    pathRect_ = rect;
    setNeedsDisplayAll();
}

void ShapeNode::setFillColor(const Color& color) {
    if (color == fillColor_) {
        // Nothing to redraw: entering a fill or stroke into the history sets every cell it
        // painted to the colour it already shows.
        return;
    }
    fillColor_ = color;
    fillPaintStale_ = true;
    if (fillObserver_) {
        fillObserver_->fillColorChanged(*this, fillObserverTag_);
    } else {
        setNeedsDisplay();
    }
}

const QColor& ShapeNode::fillPaint() const {
    if (fillPaintStale_) {
        fillPaint_ = fillColor_.toQColor();
        fillPaintStale_ = false;
    }
    return fillPaint_;
}

const QColor& ShapeNode::strokePaint() const {
    if (strokePaintStale_) {
        strokePaint_ = strokeColor_.toQColor();
        strokePaintStale_ = false;
    }
    return strokePaint_;
}

void ShapeNode::setStrokeColor(const Color& color) {
    strokeColor_ = color;
    strokePaintStale_ = true;
    setNeedsDisplay();
}

void ShapeNode::setLineWidth(double width) {
    lineWidth_ = width;
    setNeedsDisplayAll();
}

void ShapeNode::setAntialiased(bool antialiased) {
    antialiased_ = antialiased;
    setNeedsDisplay();
}

QRectF ShapeNode::drawnBounds() const {
    const double half = lineWidth_ / 2;
    return pathRect_.adjusted(-half, -half, half, half);
}

void ShapeNode::draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const {
    // One device pixel of slack: the snapped outline may reach that far past the geometry.
    const QRectF outer = toDevice.mapRect(drawnBounds()).adjusted(-1, -1, 1, 1);
    if (!outer.intersects(clip)) {
        return;
    }
    const bool stroked = lineWidth_ > 0 && strokePaint().alpha() > 0;
    if (!antialiased_ && axisAligned(toDevice) && (!stroked || strokePaint().alpha() == 255)) {
        drawSnapped(painter, toDevice, stroked);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, antialiased_);
    painter.setTransform(toDevice, true);
    painter.fillRect(pathRect_, fillPaint());
    if (stroked) {
        QPen pen(strokePaint(), lineWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(pathRect_);
    }
    painter.restore();
}

bool ShapeNode::drawsOpaqueSnappedPath(const QTransform& toDevice) const {
    const bool stroked = lineWidth_ > 0 && strokePaint().alpha() > 0;
    return !antialiased_ && axisAligned(toDevice) && (!stroked || strokePaint().alpha() == 255) &&
           fillPaint().alpha() == 255;
}

void ShapeNode::drawSnapped(QPainter& painter, const QTransform& toDevice, bool stroked) const {
    // Edges snap to whole device pixels, so neighbouring cells share them exactly. The
    // stroke keeps its width but never gets thinner than one pixel inside the shape: a
    // hairline that would fall between pixel centres would otherwise vanish.
    const QRectF exact = toDevice.mapRect(pathRect_);
    const int left = qRound(exact.left());
    const int right = qRound(exact.right());
    const int top = qRound(exact.top());
    const int bottom = qRound(exact.bottom());
    if (!stroked) {
        painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), fillPaint());
        return;
    }
    const double scale = std::hypot(toDevice.m11(), toDevice.m12());
    const double halfPixels = lineWidth_ * scale / 2;
    const int out = qRound(halfPixels);
    const int in = std::max(1, qRound(halfPixels));
    const QRect band(QPoint(left - out, top - out), QPoint(right + out - 1, bottom + out - 1));
    const QRect inner(QPoint(left + in, top + in), QPoint(right - in - 1, bottom - in - 1));
    if (inner.isEmpty()) {
        painter.fillRect(band, strokePaint());
        return;
    }
    if (fillPaint().alpha() == 255) {
        painter.fillRect(band, strokePaint());
    } else {
        // A see-through fill must not show the stroke colour through it.
        painter.fillRect(QRect(band.left(), band.top(), band.width(), inner.top() - band.top()),
                         strokePaint());
        painter.fillRect(
            QRect(band.left(), inner.bottom() + 1, band.width(), band.bottom() - inner.bottom()),
            strokePaint());
        painter.fillRect(
            QRect(band.left(), inner.top(), inner.left() - band.left(), inner.height()),
            strokePaint());
        painter.fillRect(
            QRect(inner.right() + 1, inner.top(), band.right() - inner.right(), inner.height()),
            strokePaint());
    }
    painter.fillRect(inner, fillPaint());
}
