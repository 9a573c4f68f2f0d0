#pragma once

#include <functional>

class QObject;

// The wall clock and delayed work on the main queue, behind one seam so that screens with
// timing rules (throttles, deferred loads) can be driven by a test without waiting.
class MainQueueClock {
public:
    virtual ~MainQueueClock() = default;

    // Seconds since 1970.
    virtual double now() const;
    // Runs work on the main thread after seconds; nothing runs once context is gone.
    virtual void runAfter(double seconds, QObject* context, std::function<void()> work);
};
