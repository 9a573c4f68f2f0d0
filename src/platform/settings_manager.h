#pragma once

#include <cstdint>

// The configured canvas size: every blank canvas takes its size from here. Both values are
// always set together; start-up and the settings screen are the only writers.
class SettingsManager {
public:
    SettingsManager() = delete;

    static inline int64_t gridWidth = 20;
    static inline int64_t gridHeight = 20;

    // 0 gives 20, 1 gives 24, any other position 28.
    static int64_t gridSizeForPosition(int64_t position);
    static void applyGridSize(int64_t size);
};
