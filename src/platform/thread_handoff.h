#pragma once

#include <utility>

// Work handed from one thread to another through Qt's thread pool or event queue. Qt orders
// the two sides with its own locks, which ThreadSanitizer cannot see when Qt is not built
// with it; these marks show it the hand-over, so that the ThreadSanitizer build reports what
// the threads really share instead of Qt's queues. Elsewhere they compile to nothing.
#if defined(__SANITIZE_THREAD__)
#define TILEBLOOM_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TILEBLOOM_THREAD_SANITIZER 1
#endif
#endif

#ifdef TILEBLOOM_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace ThreadHandoff {

// Everything this thread did before publish(channel) happens before what another thread does
// after receive(channel).
inline void publish([[maybe_unused]] const void* channel) {
#ifdef TILEBLOOM_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(channel));
#endif
}

inline void receive([[maybe_unused]] const void* channel) {
#ifdef TILEBLOOM_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(channel));
#endif
}

#ifdef TILEBLOOM_THREAD_SANITIZER
// Every hand-over goes through this one channel. The mark is set again after every copy or
// move of the work, because Qt copies it into its queue after handedOver has returned.
inline const char handOverChannel = 0;

template <class Work>
class HandedOver {
public:
    explicit HandedOver(Work work) : work_(std::move(work)) { publish(&handOverChannel); }
    HandedOver(const HandedOver& other) : work_(other.work_) { publish(&handOverChannel); }
    HandedOver(HandedOver&& other) noexcept : work_(std::move(other.work_)) {
        publish(&handOverChannel);
    }
    HandedOver& operator=(const HandedOver&) = delete;
    HandedOver& operator=(HandedOver&&) = delete;

    auto operator()() {
        receive(&handOverChannel);
        return work_();
    }

private:
    Work work_;
};
#endif

// work, to run on another thread after everything this thread did so far.
template <class Work>
auto handedOver(Work work) {
#ifdef TILEBLOOM_THREAD_SANITIZER
    return HandedOver<Work>(std::move(work));
#else
    return work;
#endif
}

}  // namespace ThreadHandoff
