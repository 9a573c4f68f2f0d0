#pragma once

#include "platform/screen_metrics.h"

// Sets the main screen's scale for one test and puts the test default back after.
class ScopedScale {
public:
    explicit ScopedScale(double scale) { ScreenMetrics::configure(ScreenMetrics{390, 844, scale}); }
    ~ScopedScale() { ScreenMetrics::configure(ScreenMetrics::phone()); }
    ScopedScale(const ScopedScale&) = delete;
    ScopedScale& operator=(const ScopedScale&) = delete;
};
