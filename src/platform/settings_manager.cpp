#include "platform/settings_manager.h"

#include <QString>
#include <algorithm>
#include <cstdlib>

#include "platform/console.h"
#include "platform/user_defaults.h"

namespace {
const QString kStepperKey = QStringLiteral("stepper");
const QString kWidthKey = QStringLiteral("gridWidth");
const QString kHeightKey = QStringLiteral("gridHeight");
const QString kWrittenStepperKey = QStringLiteral("gridStepper");
}  // namespace

int64_t SettingsManager::gridSizeForPosition(int64_t position) {
    if (position == 0) {
        return 20;
    }
    if (position == 1) {
        return 24;
    }
    return 28;
}

int64_t SettingsManager::positionForSize(GridSize size) {
    const int64_t side = std::max(size.width, size.height);
    int64_t best = 0;
    for (int64_t position = 1; position <= 2; ++position) {
        // Ties go to the larger size: more room rather than less.
        if (std::llabs(gridSizeForPosition(position) - side) <=
            std::llabs(gridSizeForPosition(best) - side)) {
            best = position;
        }
    }
    return best;
}

void SettingsManager::applyGridSize(int64_t size) {
    gridWidth = size;
    gridHeight = size;
}

void SettingsManager::applyGridSize(GridSize size) {
    gridWidth = size.width;
    gridHeight = size.height;
}

SettingsManager::GridSize SettingsManager::storedGridSize(const UserDefaults& defaults,
                                                          bool quiet) {
    const int64_t position = defaults.integerForKey(kStepperKey);
    const int64_t side = gridSizeForPosition(position);
    const GridSize fallback{side, side};
    if (defaults.hasValue(kWidthKey) || defaults.hasValue(kHeightKey)) {
        const GridSize stored{defaults.integerForKey(kWidthKey),
                              defaults.integerForKey(kHeightKey)};
        const bool current = defaults.hasValue(kWrittenStepperKey) &&
                             defaults.integerForKey(kWrittenStepperKey) == position;
        if (current && isValidSide(stored.width) && isValidSide(stored.height)) {
            return stored;
        }
        if (current && !quiet) {
            printLine(QStringLiteral("Settings: the grid size %1 x %2 is not within %3 to %4 "
                                     "cells a side; using %5 x %5.")
                          .arg(stored.width)
                          .arg(stored.height)
                          .arg(kSmallestSide)
                          .arg(kLargestSide)
                          .arg(side));
        }
    }
    if ((position < 0 || position > 2) && !quiet) {
        printLine(QStringLiteral("Settings: the grid size position %1 is not 0, 1 or 2; using "
                                 "%2 x %2.")
                      .arg(position)
                      .arg(side));
    }
    return fallback;
}

void SettingsManager::storeGridSize(UserDefaults& defaults, GridSize size) {
    const int64_t position = positionForSize(size);
    const bool known = size.width == size.height && size.width == gridSizeForPosition(position);
    if (known) {
        defaults.removeValue(kWidthKey);
        defaults.removeValue(kHeightKey);
        defaults.removeValue(kWrittenStepperKey);
    } else {
        defaults.setInteger(size.width, kWidthKey);
        defaults.setInteger(size.height, kHeightKey);
        defaults.setInteger(position, kWrittenStepperKey);
    }
    defaults.setInteger(position, kStepperKey);
}
