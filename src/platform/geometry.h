#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Points, sizes and rects in points (doubles). Qt's types serve as they are; the names
// below say which coordinate space a value lives in where that matters.
using Point = QPointF;
using Size = QSizeF;
using Rect = QRectF;

// The four edges of a rectangle in view points (y downward, so bottom > top).
struct Edges {
    double left = 0;
    double bottom = 0;
    double right = 0;
    double top = 0;
};
