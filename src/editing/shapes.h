#pragma once

#include <QPoint>
#include <vector>

// Cell geometry of the shape tools, in grid cells (column, row). Corners may lie off the grid;
// the caller drops the cells that do. Every cell is listed once.
namespace shapes {

// The cells of a straight line from one cell to another, both included: one cell per step along
// the longer axis, so diagonal neighbours join without doubled corners.
std::vector<QPoint> line(QPoint from, QPoint to);

// The end of a line from `from` towards `to`, turned to the nearest of horizontal, vertical and
// the two diagonals.
QPoint snapToOctant(QPoint from, QPoint to);

// The corner opposite `from` of the square with `from` as one corner and reaching as far
// towards `to` as `to`'s farther coordinate does.
QPoint squareCorner(QPoint from, QPoint to);

// The rectangle with corners a and b: its border, or every cell of it when filled.
std::vector<QPoint> rectangle(QPoint a, QPoint b, bool filled);

// The ellipse inscribed in the rectangle with corners a and b. It touches all four sides of the
// rectangle and is symmetric about both of its middle lines. The outline is one cell thick and
// closed through edges and corners; the filled ellipse is the outline and every cell inside it.
std::vector<QPoint> ellipse(QPoint a, QPoint b, bool filled);

}  // namespace shapes
