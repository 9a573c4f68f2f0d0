#pragma once

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/color.h"
#include "store/draft.h"

// Shared by the draft kill test and the app it kills: how a picture is named in their lines.
namespace draft_kill {
inline int64_t nowNs() {  // the monotonic clock, which both processes read
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A hash of colours as the store keeps them (-0 is 0), in hex.
inline QString hashOf(const std::vector<Color>& colors) {
    uint64_t hash = 1469598103934665603ull;
    const auto mix = [&hash](uint64_t word) {
        for (int i = 0; i < 8; ++i) {
            hash = (hash ^ ((word >> (8 * i)) & 0xff)) * 1099511628211ull;
        }
    };
    for (const Color& color : colors) {
        mix(static_cast<uint64_t>(color.space()));
        for (double component : color.components()) {
            const double value = component + 0.0;
            uint64_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            mix(bits);
        }
    }
    return QString::number(hash, 16);
}

// A hash of a history line: each step's cells in cell order with their colours.
inline QString hashOf(std::vector<DraftStep> steps) {
    std::vector<Color> colors;
    for (DraftStep& step : steps) {
        std::sort(step.changes.begin(), step.changes.end(),
                  [](const auto& a, const auto& b) { return a.cell < b.cell; });
        colors.push_back(Color::withWhite(step.group ? 1 : 0, 1));
        for (const DraftCellChange& change : step.changes) {
            colors.push_back(Color::withWhite(change.cell / 65536.0, 1));
            colors.push_back(change.before);
            colors.push_back(change.after);
        }
    }
    return hashOf(colors);
}
}  // namespace draft_kill
