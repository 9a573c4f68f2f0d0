#pragma once

#include <functional>
#include <memory>
#include <vector>

class GestureTimer;

// The time the recognisers go by: how long a finger has been down, when a wheel zoom has gone
// quiet. The app runs on the system clock (Qt timers); a test creates a ManualGestureClock and
// moves time on by hand, so nothing waits for real.
class GestureClock {
public:
    virtual ~GestureClock() = default;

    // Seconds on a scale that never goes backwards.
    virtual double now() const = 0;

    // The clock in use: the newest ManualGestureClock alive, otherwise the system clock.
    static GestureClock& current();

protected:
    struct Pending {
        std::function<void()> action;
        double due = 0;
        bool active = true;
    };
    // Runs pending->action once its due time has come, unless it was cancelled by then.
    virtual void schedule(std::shared_ptr<Pending> pending) = 0;
    static void fire(const std::shared_ptr<Pending>& pending);

    static GestureClock* installed();
    static void install(GestureClock* clock);

    friend class GestureTimer;
};

// A clock that stands still until advanced. While it lives it is the current clock.
class ManualGestureClock final : public GestureClock {
public:
    ManualGestureClock();
    ~ManualGestureClock() override;
    ManualGestureClock(const ManualGestureClock&) = delete;
    ManualGestureClock& operator=(const ManualGestureClock&) = delete;

    double now() const override { return now_; }

    // Moves time on by seconds, running every timer that falls due on the way in the order of
    // its due time (timers started by those actions included).
    void advance(double seconds);

protected:
    void schedule(std::shared_ptr<Pending> pending) override;

private:
    double now_ = 0;
    GestureClock* previous_ = nullptr;
    std::vector<std::shared_ptr<Pending>> pending_;
};

// A one-shot timer on the current clock. Stopping it, restarting it or destroying it means the
// old action never runs, whichever clock it was started on.
class GestureTimer {
public:
    GestureTimer() = default;
    ~GestureTimer() { stop(); }
    GestureTimer(const GestureTimer&) = delete;
    GestureTimer& operator=(const GestureTimer&) = delete;

    void start(double seconds, std::function<void()> action);
    void stop();
    bool isActive() const { return pending_ && pending_->active; }

private:
    std::shared_ptr<GestureClock::Pending> pending_;
};
