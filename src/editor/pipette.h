#pragma once

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <functional>
#include <optional>

#include "canvas/canvas_view.h"
#include "gestures/gesture.h"
#include "platform/color.h"
#include "platform/geometry.h"
#include "widgets/button.h"

class Pixel;
class QWidget;

// The first node at a scene point of the view, when it is a cell.
Pixel* cellAtScenePoint(const CanvasView& view, QPointF scenePoint);

// The canvas's outer edges in view points, however it is turned (top above bottom, left of
// right), cut down to area; nothing when none of it lies there.
std::optional<Edges> canvasEdgesWithin(const CanvasView& view, const QRectF& area);

// The colour pipette: a long press on a cell picks its colour and shows it in a circle above
// the finger; sliding on picks what lies under the finger, or at the nearest edge of the
// part of the canvas on screen once the finger has left it. The circle magnifies the cells
// around the picked one, which it outlines in its middle, so that small cells can be told
// apart. The circle goes when the finger lifts.
class Pipette {
public:
    // Cells across the circle, odd so that the picked one lies in the middle, and the side
    // each is shown at, in points.
    static constexpr int kMagnifiedCells = 9;
    static constexpr double kMagnifiedCellSide = 7.5;

    // view holds the circle and shares canvasView's coordinates.
    Pipette(QWidget* view, CanvasView* canvasView);

    // gesture's location is in the canvas view.
    void handle(const Gesture& gesture);
    Button* circle() const { return circle_; }

    // Each colour picked, as it is picked.
    std::function<void(const Color&)> onPick;
    // Where the canvas can be seen, in view points; the whole view when not set.
    std::function<QRectF()> visibleArea;

private:
    void removeCircle();
    // Shows the cells around cell in the circle.
    void magnify(const Pixel& cell);
    void pick(const Color& color);

    QWidget* view_;
    QPointer<CanvasView> canvasView_;
    QPointer<Button> circle_;
};
