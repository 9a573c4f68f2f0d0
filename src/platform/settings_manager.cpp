#include "platform/settings_manager.h"

int64_t SettingsManager::gridSizeForPosition(int64_t position) {
    if (position == 0) {
        return 20;
    }
    if (position == 1) {
        return 24;
    }
    return 28;
}

void SettingsManager::applyGridSize(int64_t size) {
    gridWidth = size;
    gridHeight = size;
}
