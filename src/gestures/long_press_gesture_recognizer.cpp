#include "gestures/long_press_gesture_recognizer.h"

void LongPressGestureRecognizer::touchesBegan(const std::vector<GestureTouch>& touches) {
    if (isRunning()) {
        for (const GestureTouch& touch : touches) {
            ignoreTouch(touch.id);
        }
        return;
    }
    if (state() != GestureState::possible) {
        return;
    }
    const int count = numberOfTouches();
    if (count > touchesRequired_) {
        fail();
    } else if (count == touchesRequired_) {
        pressTimer_.start(minimumPressDuration_, [this] {
            if (state() == GestureState::possible && numberOfTouches() == touchesRequired_) {
                setState(GestureState::began);
            }
        });
    }
}

void LongPressGestureRecognizer::touchesMoved(const std::vector<GestureTouch>&) {
    if (isRunning()) {
        setState(GestureState::changed);
        return;
    }
    if (state() != GestureState::possible) {
        return;
    }
    for (const auto& [id, touch] : touches()) {
        if (touch.distanceMoved() > allowableMovement_) {
            fail();
            return;
        }
    }
}

void LongPressGestureRecognizer::touchesEnded(const std::vector<GestureTouch>&) {
    if (isRunning()) {
        if (numberOfTouches() < touchesRequired_) {
            setState(GestureState::ended);
        }
    } else if (state() == GestureState::possible) {
        fail();
    }
}

void LongPressGestureRecognizer::reset() {
    pressTimer_.stop();
    GestureRecognizer::reset();
}

void LongPressGestureRecognizer::fail() {
    pressTimer_.stop();
    setState(GestureState::failed);
}
