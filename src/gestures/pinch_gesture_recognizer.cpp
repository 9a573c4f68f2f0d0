#include "gestures/pinch_gesture_recognizer.h"

#include <QLineF>
#include <cmath>

namespace {
// Fingers closer than this are on top of each other: no spread to compare with yet.
constexpr double kMinimumSpread = 1.0;
}  // namespace

void PinchGestureRecognizer::setScale(double scale) {
    if (!std::isfinite(scale) || scale <= 0) {
        return;
    }
    scale_ = scale;
    if (numberOfTouches() >= 2) {
        baseSpread_ = spread() / scale;
    }
}

double PinchGestureRecognizer::spread() const {
    if (numberOfTouches() < 2) {
        return 0;
    }
    const QPointF centre = centroid();
    double sum = 0;
    for (const auto& [id, touch] : touches()) {
        sum += QLineF(centre, touch.position).length();
    }
    return 2 * sum / numberOfTouches();
}

void PinchGestureRecognizer::touchesBegan(const std::vector<GestureTouch>&) {
    if (numberOfTouches() < 2) {
        return;
    }
    const double now = spread();
    if (state() == GestureState::possible) {
        startSpread_ = now;
        baseSpread_ = now;
    } else if (isRunning()) {
        // Another finger joins: the scale carries on from where it was.
        baseSpread_ = now / scale_;
    }
}

void PinchGestureRecognizer::touchesMoved(const std::vector<GestureTouch>&) {
    if (numberOfTouches() < 2) {
        return;
    }
    const double now = spread();
    if (state() == GestureState::possible) {
        if (startSpread_ < kMinimumSpread) {
            startSpread_ = now;
            baseSpread_ = now;
        } else if (std::abs(now - startSpread_) > kSpreadSlop) {
            scale_ = now / baseSpread_;
            setState(GestureState::began);
        }
    } else if (isRunning()) {
        if (baseSpread_ > 0) {
            scale_ = now / baseSpread_;
            setState(GestureState::changed);
        } else if (now >= kMinimumSpread) {
            // The scale was set while the fingers touched; measure from here on.
            baseSpread_ = now / scale_;
        }
    }
}

void PinchGestureRecognizer::touchesEnded(const std::vector<GestureTouch>&) {
    const int count = numberOfTouches();
    if (isRunning()) {
        if (count < 2) {
            setState(GestureState::ended);
        } else {
            baseSpread_ = spread() / scale_;
        }
    } else if (state() == GestureState::possible && count == 0) {
        setState(GestureState::failed);
    } else if (state() == GestureState::possible && count >= 2) {
        startSpread_ = spread();
        baseSpread_ = startSpread_;
    }
}

void PinchGestureRecognizer::reset() {
    scale_ = 1;
    startSpread_ = 0;
    baseSpread_ = 0;
    zooming_ = false;
    idleTimer_.stop();
    GestureRecognizer::reset();
}

void PinchGestureRecognizer::zoomBy(double factor, QPointF location) {
    if (!isEnabled() || isInTouchSequence()) {
        return;
    }
    const bool starting = state() == GestureState::possible;
    if (!starting && !(zooming_ && isRunning())) {
        return;
    }
    setGlobalLocation(location);
    idleTimer_.start(kZoomIdleSeconds, [this] { endZoom(); });
    if (starting) {
        zooming_ = true;
        scale_ = factor;
        setState(GestureState::began);
    } else {
        scale_ *= factor;
        setState(GestureState::changed);
    }
}

void PinchGestureRecognizer::endZoom() {
    if (zooming_ && isRunning()) {
        idleTimer_.stop();
        setState(GestureState::ended);
    }
}
