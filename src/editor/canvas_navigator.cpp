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
    const QSizeF size(static_cast<double>(canvas->width) * Pixel::kSize,
                      static_cast<double>(canvas->height) * Pixel::kSize);
    return allowedCanvasMoveFor(canvas->position(), centre, size,
                                QPointF(canvas->xScale(), canvas->yScale()), dx, dy);
}

void CanvasNavigator::zoom(PinchGestureRecognizer& recognizer) {
    const double s = recognizer.scale();
    recognizer.setScale(1);
    if (!view_) {
        return;
    }
    Canvas* canvas = view_->canvas();
    if (zoomRefused(canvas->xScale(), static_cast<double>(canvas->width) * Pixel::kSize,
                    Pixel::kSize, screenWidth_, s)) {
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
