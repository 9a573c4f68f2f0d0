#include "editing/mirror.h"

#include <algorithm>
#include <cstdint>

namespace mirror {

MirrorAxes next(MirrorAxes axes) {
    return static_cast<MirrorAxes>((static_cast<int>(axes) + 1) % 4);
}

QString describe(MirrorAxes axes) {
    switch (axes) {
        case MirrorAxes::none:
            return QStringLiteral("Off");
        case MirrorAxes::vertical:
            return QStringLiteral("Vertical axis");
        case MirrorAxes::horizontal:
            return QStringLiteral("Horizontal axis");
        case MirrorAxes::both:
            return QStringLiteral("Both axes");
    }
    return {};
}

std::vector<QPoint> withImages(const std::vector<QPoint>& cells, int width, int height,
                               MirrorAxes axes) {
    std::vector<QPoint> result;
    if (width <= 0 || height <= 0) {
        return result;
    }
    const bool flipX = axes == MirrorAxes::vertical || axes == MirrorAxes::both;
    const bool flipY = axes == MirrorAxes::horizontal || axes == MirrorAxes::both;
    result.reserve(cells.size() * (size_t(flipX) + 1) * (size_t(flipY) + 1));
    // Each cell once however many images land on it: a brush touch is a few cells, looked up
    // directly; a shape can be thousands, marked on a flag per grid cell.
    constexpr size_t kFewCells = 16;
    const bool few = cells.size() <= kFewCells;
    std::vector<uint8_t> seen(few ? 0 : size_t(width) * size_t(height), 0);
    const auto add = [&](int x, int y) {
        if (few) {
            if (std::find(result.begin(), result.end(), QPoint(x, y)) == result.end()) {
                result.emplace_back(x, y);
            }
            return;
        }
        const size_t index = size_t(x) * size_t(height) + size_t(y);
        if (!seen[index]) {
            seen[index] = 1;
            result.emplace_back(x, y);
        }
    };
    for (const QPoint& cell : cells) {
        const int x = cell.x();
        const int y = cell.y();
        if (x < 0 || y < 0 || x >= width || y >= height) {
            continue;
        }
        add(x, y);
        if (flipX) {
            add(width - 1 - x, y);
        }
        if (flipY) {
            add(x, height - 1 - y);
        }
        if (flipX && flipY) {
            add(width - 1 - x, height - 1 - y);
        }
    }
    return result;
}

}  // namespace mirror
