#include "pixelate/main_queue_clock.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

double MainQueueClock::now() const {
    using namespace std::chrono;
    return duration<double>(Source::now().time_since_epoch()).count();
}

void MainQueueClock::runAfter(double seconds, QObject* context, std::function<void()> work) {
    // Rounded up, so that work never runs before its time has come.
    const int milliseconds = static_cast<int>(std::ceil(std::max(0.0, seconds) * 1000));
    QTimer::singleShot(milliseconds, context, std::move(work));
}
