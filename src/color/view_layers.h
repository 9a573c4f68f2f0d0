#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <vector>

#include "platform/color.h"

class QPainter;

// The small set of layer kinds the colour views stack up, painted bottom to top.

// An image stretched over its frame. The contents keep their own pixel format (the wheel's
// is straight, not premultiplied, alpha); a premultiplied copy is made once for painting.
struct ImageLayer {
    QRectF frame;
    QImage contents;

    void paint(QPainter& painter) const;

private:
    mutable QImage prepared_;
    mutable qint64 preparedKey_ = 0;
};

// A path filled and then outlined (centred on the path, as a stroke of lineWidth).
struct ShapeLayer {
    QPainterPath path;
    Color fillColor = Color::clear();
    Color strokeColor = Color::clear();
    double lineWidth = 0;

    void paint(QPainter& painter) const;
};

// A linear gradient over its frame; start and end points are in the frame's unit space.
struct GradientLayer {
    QRectF frame;
    std::vector<Color> colors;
    std::vector<double> locations;
    QPointF startPoint{0.5, 0};
    QPointF endPoint{0.5, 1};

    void paint(QPainter& painter) const;
};
