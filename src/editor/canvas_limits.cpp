#include "editor/canvas_limits.h"

#include <cmath>

namespace {
constexpr double kEdgeMargin = 5;
}

AllowedMove allowedCanvasMoveFor(QPointF position, QPointF viewCenter, QSizeF size, QPointF scale,
                                 double dx, double dy) {
    const double halfWidth = size.width() * scale.x() / 2;
    const double halfHeight = size.height() * scale.y() / 2;
    const double x = position.x() + dx;
    const double y = position.y() + dy;
    AllowedMove allowed;
    allowed.x = viewCenter.x() - halfWidth <= x && x <= viewCenter.x() + halfWidth;
    allowed.y = viewCenter.y() - halfHeight <= y && y <= viewCenter.y() + halfHeight;
    return allowed;
}

bool zoomRefusedForGrid(double scale, QSizeF gridUnits, double cellUnits, QSizeF screen, double s,
                        double angle) {
    if (!std::isfinite(s) || s <= 0) {
        return true;
    }
    const bool small = scale * gridUnits.width() < 0.75 * screen.width() &&
                       scale * gridUnits.height() < 0.75 * screen.height();
    if (small && s < 1) {
        return true;
    }
    return turnedSize(screen, angle).width() * 0.25 < scale * cellUnits && s > 1;
}

QSizeF turnedSize(QSizeF size, double angle) {
    const double c = std::abs(std::cos(angle));
    const double s = std::abs(std::sin(angle));
    return QSizeF(c * size.width() + s * size.height(), s * size.width() + c * size.height());
}

QPointF clampIntoEdges(QPointF point, const Edges& edges) {
    double qx = point.x();
    if (edges.right < point.x() + kEdgeMargin) {
        qx = edges.right - kEdgeMargin;
    } else if (point.x() - kEdgeMargin < edges.left) {
        qx = edges.left + kEdgeMargin;
    }
    double qy = point.y();
    if (point.y() - kEdgeMargin < edges.top) {
        qy = edges.top + kEdgeMargin;
    } else if (edges.bottom < point.y() + kEdgeMargin) {
        qy = edges.bottom - kEdgeMargin;
    }
    return QPointF(qx, qy);
}
