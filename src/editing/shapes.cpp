#include "editing/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace shapes {

std::vector<QPoint> line(QPoint from, QPoint to) {
    // Bresenham: the error term decides, per step along the longer axis, whether the shorter
    // axis steps too.
    std::vector<QPoint> cells;
    const int dx = std::abs(to.x() - from.x());
    const int dy = -std::abs(to.y() - from.y());
    const int sx = from.x() < to.x() ? 1 : -1;
    const int sy = from.y() < to.y() ? 1 : -1;
    cells.reserve(static_cast<size_t>(std::max(dx, -dy)) + 1);
    int error = dx + dy;
    QPoint at = from;
    while (true) {
        cells.push_back(at);
        if (at == to) {
            break;
        }
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            at.rx() += sx;
        }
        if (twice <= dx) {
            error += dx;
            at.ry() += sy;
        }
    }
    return cells;
}

QPoint snapToOctant(QPoint from, QPoint to) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const int ax = std::abs(dx);
    const int ay = std::abs(dy);
    // tan(22.5 degrees): the bisector between a main direction and a diagonal.
    constexpr double kHalfOctant = 0.41421356237;
    if (ay <= kHalfOctant * ax) {
        return {to.x(), from.y()};
    }
    if (ax <= kHalfOctant * ay) {
        return {from.x(), to.y()};
    }
    const int d = std::max(ax, ay);
    return {from.x() + (dx < 0 ? -d : d), from.y() + (dy < 0 ? -d : d)};
}

QPoint squareCorner(QPoint from, QPoint to) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const int d = std::max(std::abs(dx), std::abs(dy));
    return {from.x() + (dx < 0 ? -d : d), from.y() + (dy < 0 ? -d : d)};
}

std::vector<QPoint> rectangle(QPoint a, QPoint b, bool filled) {
    const int left = std::min(a.x(), b.x());
    const int right = std::max(a.x(), b.x());
    const int bottom = std::min(a.y(), b.y());
    const int top = std::max(a.y(), b.y());
    std::vector<QPoint> cells;
    for (int x = left; x <= right; ++x) {
        for (int y = bottom; y <= top; ++y) {
            if (filled || x == left || x == right || y == bottom || y == top) {
                cells.emplace_back(x, y);
            }
        }
    }
    return cells;
}

namespace {
// Cells of a w x h box, row-major, as flags.
struct Box {
    int w;
    int h;
    std::vector<uint8_t> cells;
    Box(int w, int h) : w(w), h(h), cells(size_t(w) * size_t(h), 0) {}
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < w && y < h && cells[size_t(y) * size_t(w) + size_t(x)];
    }
    void set(int x, int y, bool on) { cells[size_t(y) * size_t(w) + size_t(x)] = on ? 1 : 0; }
    int neighbours(int x, int y) const {
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                n += (dx != 0 || dy != 0) && at(x + dx, y + dy);
            }
        }
        return n;
    }
};

// A corner the curve would cut diagonally: exactly two neighbours on the curve, one beside and
// one above or below, which touch each other at a corner.
bool isRedundantCorner(const Box& outline, int x, int y) {
    if (outline.neighbours(x, y) != 2) {
        return false;
    }
    for (const int sx : {-1, 1}) {
        for (const int sy : {-1, 1}) {
            if (outline.at(x + sx, y) && outline.at(x, y + sy)) {
                return true;
            }
        }
    }
    return false;
}
}  // namespace

std::vector<QPoint> ellipse(QPoint a, QPoint b, bool filled) {
    const int left = std::min(a.x(), b.x());
    const int bottom = std::min(a.y(), b.y());
    const int w = std::abs(a.x() - b.x()) + 1;
    const int h = std::abs(a.y() - b.y()) + 1;
    // A cell is inside when its centre lies in the ellipse through the box's edge midpoints.
    // Offsets from the middle are counted in half cells, so that both halves of the box see the
    // same integers and the shape comes out symmetric exactly. The middle row and column always
    // span the box: a flat ellipse still reaches its ends.
    const int64_t ww = int64_t(w) * w;
    const int64_t hh = int64_t(h) * h;
    Box region(w, h);
    for (int y = 0; y < h; ++y) {
        const int64_t dy = 2 * y - (h - 1);
        for (int x = 0; x < w; ++x) {
            const int64_t dx = 2 * x - (w - 1);
            const bool inside = dx * dx * hh + dy * dy * ww <= ww * hh;
            region.set(x, y, inside || std::abs(dx) <= 1 || std::abs(dy) <= 1);
        }
    }
    // The outline: cells of the region beside a cell outside it, less the corners the curve can
    // cut diagonally. Those go from the filled shape too, which is the outline and what it holds.
    Box outline(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            outline.set(x, y,
                        region.at(x, y) && (!region.at(x - 1, y) || !region.at(x + 1, y) ||
                                            !region.at(x, y - 1) || !region.at(x, y + 1)));
        }
    }
    for (bool thinned = true; thinned;) {
        // Found first and taken all at once, so the result is as symmetric as the region.
        std::vector<QPoint> corners;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (outline.at(x, y) && isRedundantCorner(outline, x, y)) {
                    corners.emplace_back(x, y);
                }
            }
        }
        for (const QPoint& corner : corners) {
            outline.set(corner.x(), corner.y(), false);
            region.set(corner.x(), corner.y(), false);
        }
        thinned = !corners.empty();
    }
    const Box& shape = filled ? region : outline;
    std::vector<QPoint> cells;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            if (shape.at(x, y)) {
                cells.emplace_back(left + x, bottom + y);
            }
        }
    }
    return cells;
}

}  // namespace shapes
