#pragma once

#include "gestures/gesture_clock.h"
#include "gestures/gesture_recognizer.h"

// A press held still: it begins once the required fingers have been down for the minimum
// duration without any of them wandering further than the allowable movement, then changes as
// they move (as far as they like) and ends when one lifts. Lifting or wandering earlier fails
// it. Fingers that land after it has begun are not followed.
class LongPressGestureRecognizer : public GestureRecognizer {
    Q_OBJECT
public:
    explicit LongPressGestureRecognizer(QObject* parent = nullptr) : GestureRecognizer(parent) {}

    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int count) { touchesRequired_ = count < 1 ? 1 : count; }
    // Seconds.
    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) {
        minimumPressDuration_ = seconds > 0 ? seconds : 0;
    }
    // Points.
    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points > 0 ? points : 0; }

protected:
    void touchesBegan(const std::vector<GestureTouch>& touches) override;
    void touchesMoved(const std::vector<GestureTouch>& touches) override;
    void touchesEnded(const std::vector<GestureTouch>& touches) override;
    void reset() override;

private:
    void fail();

    int touchesRequired_ = 1;
    double minimumPressDuration_ = 0.5;
    double allowableMovement_ = 10;
    GestureTimer pressTimer_;
};
