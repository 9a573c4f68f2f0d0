#pragma once

#include <QRectF>

#include "editing/mirror.h"
#include "scene/node.h"

class Canvas;

// The mirror axes drawn over the canvas's cells while mirroring is on: a line through the
// grid's centre per axis, a few device pixels wide at any zoom. A child of the canvas, so it
// moves, zooms and turns with it; it takes no touches and is never found by the hit test.
class MirrorAxisNode final : public Node {
public:
    // Adds the node to canvas, above its cells, with no axis showing.
    static MirrorAxisNode* addTo(Canvas& canvas);

    MirrorAxes axes() const { return axes_; }
    void setAxes(MirrorAxes axes);

    QRectF drawnBounds() const override;
    void draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const override;

private:
    explicit MirrorAxisNode(QRectF grid) : grid_(grid) {}

    QRectF grid_;  // the cells' outer edges, in the canvas's coordinates
    MirrorAxes axes_ = MirrorAxes::none;
};
