#pragma once

#include <QPointF>

#include "platform/geometry.h"

// The rules that keep the canvas reachable while the user pans, zooms and picks colours.
// Plain functions of numbers, so that they can be checked without a screen.

struct AllowedMove {
    bool x = false;
    bool y = false;
};

// Whether moving the canvas centre from position by (dx, dy) keeps it within half its
// displayed size of the view centre, per axis (bounds inclusive). size is the canvas's size
// in its own units, scale its x and y scale.
AllowedMove allowedCanvasMoveFor(QPointF position, QPointF viewCenter, QSizeF size, QPointF scale,
                                 double dx, double dy);

// Whether a pinch event with factor s is refused, for a grid of any shape: zooming out is refused
// once the whole grid is smaller than 0.75 of the screen both ways, zooming in once one cell is
// wider than a quarter of the screen's width as the user holds it (with the canvas turned by angle
// radians against the device, a quarter turn makes the device's height the width). For a square
// grid on a portrait screen that is once it is narrower than 0.75 of the screen's width; a tall
// grid may also be zoomed out until it fits the screen's height. gridUnits is the grid's size as it
// stands on screen (see turnedSize), in its own units, scale its scale; cellUnits the side of one
// cell. A factor that is not a positive number (fingers pinched onto one point) is refused: it
// would leave nothing to see or to zoom back from.
bool zoomRefusedForGrid(double scale, QSizeF gridUnits, double cellUnits, QSizeF screen, double s,
                        double angle = 0);

// The width and height of the box a size takes on screen when turned by angle radians: a
// quarter turn swaps them.
QSizeF turnedSize(QSizeF size, double angle);

// Keeps a point 5 points inside the canvas's edges (view coordinates, top < bottom).
QPointF clampIntoEdges(QPointF point, const Edges& edges);
