#pragma once

#include <QPointF>

// The states a gesture passes through, with the numbers the drawing code compares against.
enum class GestureState : int {
    possible = 0,
    began = 1,
    changed = 2,
    ended = 3,
    cancelled = 4,
    failed = 5,
};

// A gesture as its handlers see it: a state and a location in the view it is attached to.
class Gesture {
public:
    virtual ~Gesture() = default;
    virtual GestureState state() const = 0;
    virtual QPointF locationInView() const = 0;
};

// A gesture frozen at one moment; handy for forwarding and for tests.
class GestureSnapshot final : public Gesture {
public:
    GestureSnapshot(GestureState state, QPointF location) : state_(state), location_(location) {}
    GestureState state() const override { return state_; }
    QPointF locationInView() const override { return location_; }

private:
    GestureState state_;
    QPointF location_;
};
