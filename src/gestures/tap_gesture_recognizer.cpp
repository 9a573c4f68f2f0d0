#include "gestures/tap_gesture_recognizer.h"

#include <algorithm>

void TapGestureRecognizer::touchesBegan(const std::vector<GestureTouch>& touches) {
    if (state() != GestureState::possible) {
        return;
    }
    if (requiresFingers_ && std::any_of(touches.begin(), touches.end(),
                                        [](const GestureTouch& touch) { return touch.precise; })) {
        fail();
        return;
    }
    if (!pressTimer_.isActive() && mostTouches_ == 0) {
        pressTimer_.start(kMaximumPressDuration, [this] {
            if (state() == GestureState::possible) {
                fail();
            }
        });
    }
    mostTouches_ = std::max(mostTouches_, numberOfTouches());
    if (mostTouches_ > touchesRequired_) {
        fail();
    }
}

void TapGestureRecognizer::touchesMoved(const std::vector<GestureTouch>& touches) {
    if (state() != GestureState::possible) {
        return;
    }
    for (const GestureTouch& touch : touches) {
        if (touch.distanceMoved() > touch.slop()) {
            fail();
            return;
        }
    }
}

void TapGestureRecognizer::touchesEnded(const std::vector<GestureTouch>&) {
    if (state() != GestureState::possible || numberOfTouches() > 0) {
        return;
    }
    pressTimer_.stop();
    if (mostTouches_ == touchesRequired_) {
        setState(GestureState::ended);
    } else {
        fail();
    }
}

void TapGestureRecognizer::reset() {
    mostTouches_ = 0;
    pressTimer_.stop();
    GestureRecognizer::reset();
}

void TapGestureRecognizer::fail() {
    pressTimer_.stop();
    setState(GestureState::failed);
}
