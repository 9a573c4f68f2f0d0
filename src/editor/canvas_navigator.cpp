#include "editor/canvas_navigator.h"

#include <numbers>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "gestures/pan_gesture_recognizer.h"
#include "gestures/pinch_gesture_recognizer.h"
#include "scene/scene.h"

namespace {
constexpr double kRotateSeconds = 0.4;
}

CanvasNavigator::CanvasNavigator(CanvasView* view, QSizeF screen)
    : view_(view), screenWidth_(screen.width()), screenHeight_(screen.height()) {}

void CanvasNavigator::pan(PanGestureRecognizer& recognizer) {
    if (!view_) {
        return;
    }
    const QPointF translation = recognizer.translationInView(view_);
    Scene* scene = view_->canvasScene();
    const double dx = translation.x() * scene->xScale();
    const double dy = -translation.y() * scene->yScale();
    const AllowedMove allowed = allowedMove(dx, dy);
    view_->canvas()->run(Action::moveBy(allowed.x ? dx : 0, allowed.y ? dy : 0, 0));
    recognizer.setTranslation(QPointF(0, 0), view_);
}

AllowedMove CanvasNavigator::allowedMove(double dx, double dy) const {
    if (!view_) {
        return {};
    }
    const Canvas* canvas = view_->canvas();
    const QPointF centre(view_->width() / 2.0, view_->height() / 2.0);
    // As the grid stands on screen: turned a quarter, a tall grid reaches across.
    const QSizeF shown =
        turnedSize(QSizeF(static_cast<double>(canvas->width) * Pixel::kSize * canvas->xScale(),
                          static_cast<double>(canvas->height) * Pixel::kSize * canvas->yScale()),
                   canvas->zRotation());
    return allowedCanvasMoveFor(canvas->position(), centre, shown, QPointF(1, 1), dx, dy);
}

void CanvasNavigator::zoom(PinchGestureRecognizer& recognizer) {
    const double s = recognizer.scale();
    recognizer.setScale(1);
    if (!view_) {
        return;
    }
    Canvas* canvas = view_->canvas();
    // Measured as the grid stands on screen, both ways: a tall grid fits the screen by its
    // height, and turned a quarter it lies across.
    const QSizeF grid = turnedSize(QSizeF(static_cast<double>(canvas->width) * Pixel::kSize,
                                          static_cast<double>(canvas->height) * Pixel::kSize),
                                   canvas->zRotation());
    if (zoomRefusedForGrid(canvas->xScale(), grid, Pixel::kSize,
                           QSizeF(screenWidth_, screenHeight_), s, canvas->zRotation())) {
        return;
    }
    canvas->run(Action::scaleBy(s, 0));
}

void CanvasNavigator::turnFor(DeviceOrientation orientation) {
    double angle = 0;
    switch (orientation) {
        case DeviceOrientation::portrait:
            angle = 0;
            break;
        case DeviceOrientation::landscapeLeft:
            angle = -std::numbers::pi / 2;
            break;
        case DeviceOrientation::landscapeRight:
            angle = std::numbers::pi / 2;
            break;
        case DeviceOrientation::portraitUpsideDown:
            return;
        case DeviceOrientation::faceUp:
        case DeviceOrientation::faceDown:
        case DeviceOrientation::unknown:
            angle = 0;
            break;
    }
    if (view_) {
        view_->canvas()->run(Action::rotateToAngle(angle, kRotateSeconds, true));
    }
}

bool CanvasNavigator::fitScreen(QSizeF screen) {
    if (!view_ || (screen.width() == screenWidth_ && screen.height() == screenHeight_)) {
        return false;
    }
    screenWidth_ = screen.width();
    screenHeight_ = screen.height();
    view_->resizeToScreen();
    return true;
}
