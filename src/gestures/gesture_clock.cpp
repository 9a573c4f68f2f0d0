#include "gestures/gesture_clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {
class SystemGestureClock final : public GestureClock {
public:
    SystemGestureClock() { elapsed_.start(); }

    double now() const override { return static_cast<double>(elapsed_.nsecsElapsed()) / 1e9; }

protected:
    void schedule(std::shared_ptr<Pending> pending) override {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            return;
        }
        const double wait = std::max(0.0, pending->due - now());
        const int msec = static_cast<int>(std::ceil(wait * 1000));
        QTimer::singleShot(msec, Qt::PreciseTimer, app, [pending] { fire(pending); });
    }

private:
    QElapsedTimer elapsed_;
};

GestureClock*& installedClock() {
    static GestureClock* clock = nullptr;
    return clock;
}
}  // namespace

GestureClock& GestureClock::current() {
    if (GestureClock* clock = installedClock()) {
        return *clock;
    }
    static SystemGestureClock system;
    return system;
}

GestureClock* GestureClock::installed() {
    return installedClock();
}

void GestureClock::install(GestureClock* clock) {
    installedClock() = clock;
}

void GestureClock::fire(const std::shared_ptr<Pending>& pending) {
    if (!pending->active) {
        return;
    }
    pending->active = false;
    // The action may restart the timer that owns it, which replaces pending's contents.
    std::function<void()> action = std::move(pending->action);
    pending->action = nullptr;
    if (action) {
        action();
    }
}

ManualGestureClock::ManualGestureClock() : previous_(installed()) {
    install(this);
}

ManualGestureClock::~ManualGestureClock() {
    // Timers still pointing here simply never fire.
    install(installed() == this ? previous_ : installed());
}

void ManualGestureClock::schedule(std::shared_ptr<Pending> pending) {
    pending_.push_back(std::move(pending));
}

void ManualGestureClock::advance(double seconds) {
    const double target = now_ + std::max(0.0, seconds);
    for (;;) {
        std::erase_if(pending_, [](const auto& pending) { return !pending->active; });
        // Earliest due first; among equals the one started first.
        auto next = std::min_element(pending_.begin(), pending_.end(),
                                     [](const auto& a, const auto& b) { return a->due < b->due; });
        if (next == pending_.end() || (*next)->due > target) {
            break;
        }
        std::shared_ptr<Pending> due = *next;
        pending_.erase(next);
        now_ = std::max(now_, due->due);
        fire(due);
    }
    now_ = target;
}

void GestureTimer::start(double seconds, std::function<void()> action) {
    stop();
    GestureClock& clock = GestureClock::current();
    pending_ = std::make_shared<GestureClock::Pending>();
    pending_->action = std::move(action);
    pending_->due = clock.now() + std::max(0.0, seconds);
    clock.schedule(pending_);
}

void GestureTimer::stop() {
    if (pending_) {
        pending_->active = false;
        pending_->action = nullptr;
        pending_.reset();
    }
}
