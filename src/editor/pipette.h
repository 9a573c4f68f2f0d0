#pragma once

#include <QPointF>
#include <QPointer>
#include <functional>

#include "canvas/canvas_view.h"
#include "platform/button.h"
#include "platform/color.h"
#include "platform/gesture.h"

class Pixel;
class QWidget;

// The first node at a scene point of the view, when it is a cell.
Pixel* cellAtScenePoint(const CanvasView& view, QPointF scenePoint);

// The colour pipette: a long press on a cell picks its colour and shows it in a circle above
// the finger; sliding on picks what lies under the finger, or at the nearest edge of the
// canvas once the finger has left it. The circle goes when the finger lifts.
class Pipette {
public:
    // view holds the circle and shares canvasView's coordinates.
    Pipette(QWidget* view, CanvasView* canvasView);

    // gesture's location is in the canvas view.
    void handle(const Gesture& gesture);
    Button* circle() const { return circle_; }

    // Each colour picked, as it is picked.
    std::function<void(const Color&)> onPick;

private:
    void removeCircle();
    void pick(const Color& color);

    QWidget* view_;
    QPointer<CanvasView> canvasView_;
    QPointer<Button> circle_;
};
