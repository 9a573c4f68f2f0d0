#pragma once

#include <QPointer>
#include <QSizeF>

#include "canvas/canvas_view.h"
#include "editor/canvas_limits.h"
#include "platform/device_orientation.h"

class PanGestureRecognizer;
class PinchGestureRecognizer;

// Moves the canvas in its view: two-finger pans as far as keeps it within reach, pinches
// within the zoom limits, and turns with the device.
class CanvasNavigator {
public:
    // screen is the size read once at set-up, which the zoom limits refer to.
    CanvasNavigator(CanvasView* view, QSizeF screen);
    // Fits the canvas to a new screen size (the window was resized), as at start, and keeps
    // the zoom limits to the new size; false when the size is the one it has.
    bool fitScreen(QSizeF screen);

    // Moves by the pan's translation since the last call, per axis as far as allowed: the
    // canvas's centre stays within half the grid's size on screen of the view's centre.
    void pan(PanGestureRecognizer& recognizer);
    AllowedMove allowedMove(double dx, double dy) const;
    // Scales by the pinch's factor since the last call unless zoomRefusedForGrid refuses it
    // for the grid as it stands on screen.
    void zoom(PinchGestureRecognizer& recognizer);
    // Turns the canvas upright for the device; upside down leaves it as it is.
    void turnFor(DeviceOrientation orientation);

private:
    QPointer<CanvasView> view_;
    double screenWidth_;
    double screenHeight_;
};
