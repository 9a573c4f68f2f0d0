#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/color.h"

// What the save loop stores for a seed, so that the crash test can tell an intact drawing
// from a damaged one: the colours, the thumbnail bytes and the title all follow from it.
namespace save_loop {
constexpr int64_t side = 20;

inline std::vector<Color> colorsFor(uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Color> colors;
    colors.reserve(side * side);
    for (int64_t i = 0; i < side * side; ++i) {
        if (i % 7 == 0) {
            colors.push_back(Color::withWhite(unit(random), 1.0));
        } else {
            colors.push_back(
                Color::withRGB(unit(random), unit(random), unit(random), unit(random)));
        }
    }
    return colors;
}

inline QByteArray imageFor(uint64_t seed) {
    QByteArray bytes(20000, Qt::Uninitialized);
    QRandomGenerator(quint32(seed ^ (seed >> 32)))
        .fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    return bytes;
}

inline QString titleFor(uint64_t seed) {
    return QStringLiteral("drawing %1").arg(seed);
}
}  // namespace save_loop
