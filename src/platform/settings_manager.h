#pragma once

#include <array>
#include <cstdint>

class UserDefaults;

// The configured canvas size: every blank canvas takes its size from here. Both values are
// always set together; start-up and the settings screen are the only writers.
//
// Stored under "stepper": 0, 1 or 2 for 20, 24 or 28 cells a side, the only sizes older builds
// know, which read any other number as 28. Those three sizes are stored there alone, as
// before. Any other size is stored under "gridWidth" and "gridHeight", with "stepper" set to
// the nearest of the three (by the longer side), so that an older build opens new drawings at
// a size close to the chosen one; the same position goes under "gridStepper". When an older
// build later changes "stepper", the two no longer agree and "stepper" wins. (An older build
// choosing the very size that was written as the fallback cannot be told apart; the newer size
// stays then.)
class SettingsManager {
public:
    SettingsManager() = delete;

    struct GridSize {
        int64_t width = 20;
        int64_t height = 20;
        bool operator==(const GridSize&) const = default;
    };

    // The square sizes the settings screen steps through, smallest first.
    static constexpr std::array<int64_t, 13> kSquareSides = {8,  12, 16, 20,  24,  28, 32,
                                                             48, 64, 96, 128, 192, 256};
    // The bounds of a custom size, per side.
    static constexpr int64_t kSmallestSide = 4;
    static constexpr int64_t kLargestSide = 256;

    static inline int64_t gridWidth = 20;
    static inline int64_t gridHeight = 20;

    // 0 gives 20, 1 gives 24, any other position 28.
    static int64_t gridSizeForPosition(int64_t position);
    // The position an older build understands for a size: its own for 20, 24 and 28 square,
    // otherwise that of the nearest of them to the longer side.
    static int64_t positionForSize(GridSize size);
    static bool isValidSide(int64_t side) { return side >= kSmallestSide && side <= kLargestSide; }

    static void applyGridSize(int64_t size);
    static void applyGridSize(GridSize size);

    // The size the settings hold (see above). Without quiet, a stored value that cannot be
    // used prints one console line saying what is used instead.
    static GridSize storedGridSize(const UserDefaults& defaults, bool quiet = false);
    static void storeGridSize(UserDefaults& defaults, GridSize size);
};
