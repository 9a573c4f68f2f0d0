#include "editor/mirror_axis_node.h"

#include <QLineF>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <memory>

#include "canvas/canvas.h"
#include "canvas/pixel.h"

namespace {
const QColor kAxis(50, 173, 230);
// A darker edge keeps the line visible on light and on blue cells alike.
const QColor kAxisEdge(0, 0, 0, 110);
}  // namespace

MirrorAxisNode* MirrorAxisNode::addTo(Canvas& canvas) {
    QRectF grid;
    if (!canvas.pixelArray().empty()) {
        const QPointF first = canvas.pixelArray().front()->position();
        grid = QRectF(first, QSizeF(double(canvas.width) * Pixel::kSize,
                                    double(canvas.height) * Pixel::kSize));
    }
    return canvas.addChild(std::unique_ptr<MirrorAxisNode>(new MirrorAxisNode(grid)));
}

void MirrorAxisNode::setAxes(MirrorAxes axes) {
    if (axes == axes_) {
        return;
    }
    axes_ = axes;
    setNeedsDisplay();
}

QRectF MirrorAxisNode::drawnBounds() const {
    // The lines may stand a few pixels beyond the grid at the smallest zoom.
    return grid_.adjusted(-Pixel::kSize, -Pixel::kSize, Pixel::kSize, Pixel::kSize);
}

void MirrorAxisNode::draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const {
    if (axes_ == MirrorAxes::none || grid_.isEmpty() ||
        !toDevice.mapRect(drawnBounds()).intersects(clip)) {
        return;
    }
    // A sixth of a cell, between 2 and 6 device pixels.
    const double cell =
        QLineF(toDevice.map(QPointF(0, 0)), toDevice.map(QPointF(Pixel::kSize, 0))).length();
    const double width = std::clamp(cell / 6, 2.0, 6.0);
    const QPointF centre = grid_.center();
    std::vector<QLineF> lines;
    if (axes_ == MirrorAxes::vertical || axes_ == MirrorAxes::both) {
        lines.emplace_back(toDevice.map(QPointF(centre.x(), grid_.top())),
                           toDevice.map(QPointF(centre.x(), grid_.bottom())));
    }
    if (axes_ == MirrorAxes::horizontal || axes_ == MirrorAxes::both) {
        lines.emplace_back(toDevice.map(QPointF(grid_.left(), centre.y())),
                           toDevice.map(QPointF(grid_.right(), centre.y())));
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const auto& [colour, w] : {std::pair(kAxisEdge, width + 2), std::pair(kAxis, width)}) {
        QPen pen(colour, w);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        for (const QLineF& line : lines) {
            painter.drawLine(line);
        }
    }
    painter.restore();
}
