#pragma once

#include <cmath>

class Node;

// A change run on a node: move by, scale by, or rotate to, instantly (duration 0) or over
// time, advanced by the scene's frame clock. Timing is linear.
class Action {
public:
    enum class Kind { moveBy, scaleBy, rotateTo };

    static Action moveBy(double dx, double dy, double duration);
    static Action scaleBy(double factor, double duration);
    // shortestUnitArc turns by the shorter way round (at most half a turn).
    static Action rotateToAngle(double radians, double duration, bool shortestUnitArc = true);

    Kind kind() const { return kind_; }
    double duration() const { return duration_; }
    double dx() const { return a_; }
    double dy() const { return b_; }
    double factor() const { return a_; }
    double angle() const { return a_; }
    bool shortestUnitArc() const { return flag_; }

private:
    Action(Kind kind, double a, double b, double duration, bool flag)
        : kind_(kind), a_(a), b_(b), duration_(duration), flag_(flag) {}

    Kind kind_;
    double a_;
    double b_;
    double duration_;
    bool flag_;
};

// An action under way on one node: remembers where it started and how far it has come.
class RunningAction {
public:
    explicit RunningAction(const Action& action) : action_(action) {}

    // Applies the action up to time (seconds on the scene clock); true once it is done.
    bool advance(Node& node, double time);
    // Applies the whole action at once.
    void finish(Node& node);

private:
    void begin(Node& node, double time);
    void applyProgress(Node& node, double progress);

    Action action_;
    bool started_ = false;
    double startTime_ = 0;
    double applied_ = 0;  // progress already applied, 0...1
    double fromAngle_ = 0;
    double turn_ = 0;
    double fromXScale_ = 1;
    double fromYScale_ = 1;
};
