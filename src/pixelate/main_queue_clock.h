#pragma once

#include <chrono>
#include <functional>

class QObject;

// A steady clock and delayed work on the main queue, behind one seam so that screens with
// timing rules (throttles, deferred loads) can be driven by a test without waiting.
class MainQueueClock {
public:
    // Steady, not the wall clock: setting the time of day must not stall a throttle.
    using Source = std::chrono::steady_clock;

    virtual ~MainQueueClock() = default;

    // Seconds since a fixed but unspecified start; never goes back.
    virtual double now() const;
    // Runs work on the main thread after seconds; nothing runs once context is gone.
    virtual void runAfter(double seconds, QObject* context, std::function<void()> work);
};
