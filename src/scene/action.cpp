#include "scene/action.h"

#include <algorithm>
#include <numbers>

#include "scene/node.h"

Action Action::moveBy(double dx, double dy, double duration) {
    return Action(Kind::moveBy, dx, dy, duration, false);
}

Action Action::scaleBy(double factor, double duration) {
    return Action(Kind::scaleBy, factor, 0, duration, false);
}

Action Action::rotateToAngle(double radians, double duration, bool shortestUnitArc) {
    return Action(Kind::rotateTo, radians, 0, duration, shortestUnitArc);
}

void RunningAction::begin(Node& node, double time) {
    started_ = true;
    startTime_ = time;
    fromAngle_ = node.zRotation();
    fromXScale_ = node.xScale();
    fromYScale_ = node.yScale();
    turn_ = action_.angle() - fromAngle_;
    if (action_.kind() == Action::Kind::rotateTo && action_.shortestUnitArc()) {
        constexpr double kTwoPi = 2 * std::numbers::pi;
        turn_ = std::remainder(turn_, kTwoPi);
    }
}

void RunningAction::applyProgress(Node& node, double progress) {
    progress = std::clamp(progress, 0.0, 1.0);
    switch (action_.kind()) {
        case Action::Kind::moveBy: {
            const double step = progress - applied_;
            const QPointF p = node.position();
            node.setPosition(QPointF(p.x() + action_.dx() * step, p.y() + action_.dy() * step));
            break;
        }
        case Action::Kind::scaleBy: {
            // Scale by f over time multiplies the starting scale by 1 + (f - 1) * progress.
            const double k = 1 + (action_.factor() - 1) * progress;
            node.setXScale(fromXScale_ * k);
            node.setYScale(fromYScale_ * k);
            break;
        }
        case Action::Kind::rotateTo:
            node.setZRotation(progress >= 1.0 ? fromAngle_ + turn_ : fromAngle_ + turn_ * progress);
            break;
    }
    applied_ = progress;
}

bool RunningAction::advance(Node& node, double time) {
    if (!started_) {
        begin(node, time);
    }
    if (action_.duration() <= 0) {
        applyProgress(node, 1.0);
        return true;
    }
    const double progress = (time - startTime_) / action_.duration();
    applyProgress(node, progress);
    return progress >= 1.0;
}

void RunningAction::finish(Node& node) {
    if (!started_) {
        begin(node, 0);
    }
    applyProgress(node, 1.0);
}
