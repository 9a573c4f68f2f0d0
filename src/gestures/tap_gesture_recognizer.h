#pragma once

#include "gestures/gesture_clock.h"
#include "gestures/gesture_recognizer.h"

// A single tap: the required number of fingers come down and lift again without wandering and
// without lingering. Discrete: it goes from possible straight to ended, where its targets run.
class TapGestureRecognizer : public GestureRecognizer {
    Q_OBJECT
public:
    explicit TapGestureRecognizer(QObject* parent = nullptr) : GestureRecognizer(parent) {}

    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int count) { touchesRequired_ = count < 1 ? 1 : count; }
    // Whether only fingers make the tap: a mouse (a precise touch) fails it at once. For taps
    // of several fingers, which a mouse's one pointer could only fake.
    bool requiresFingers() const { return requiresFingers_; }
    void setRequiresFingers(bool fingersOnly) { requiresFingers_ = fingersOnly; }

    // Held down longer than this, a press is no tap.
    static constexpr double kMaximumPressDuration = 0.5;

protected:
    void touchesBegan(const std::vector<GestureTouch>& touches) override;
    void touchesMoved(const std::vector<GestureTouch>& touches) override;
    void touchesEnded(const std::vector<GestureTouch>& touches) override;
    void reset() override;

private:
    void fail();

    int touchesRequired_ = 1;
    bool requiresFingers_ = false;
    int mostTouches_ = 0;
    GestureTimer pressTimer_;
};
