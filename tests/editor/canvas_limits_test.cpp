// The zoom limits at the smallest and largest grids, upright and turned.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "canvas/pixel.h"
#include "editor/canvas_limits.h"

namespace {
constexpr double kCell = Pixel::kSize;
const QSizeF kScreen(390, 844);

// The scale after pinching by factor until the limits refuse, from scale.
double pinchUntilRefused(double scale, QSizeF cells, double factor) {
    const QSizeF units(cells.width() * kCell, cells.height() * kCell);
    for (int i = 0; i < 1000; ++i) {
        if (zoomRefusedForGrid(scale, units, kCell, kScreen, factor)) {
            return scale;
        }
        scale *= factor;
    }
    ADD_FAILURE() << "never refused";
    return scale;
}
}  // namespace

TEST(CanvasLimitsTest, OneCellCanFillAQuarterOfTheScreenAtEverySize) {
    for (const double side : {4.0, 8.0, 28.0, 256.0}) {
        SCOPED_TRACE(side);
        const double fitted = kScreen.width() / (side * kCell);
        // Small steps, so that each limit is found to within one percent.
        const double in = pinchUntilRefused(fitted, {side, side}, 1.01);
        EXPECT_GE(in * kCell, 0.25 * kScreen.width());
        EXPECT_LE(in * kCell, 0.25 * kScreen.width() * 1.01 + 1e-9);
        const double out = pinchUntilRefused(fitted, {side, side}, 0.99);
        EXPECT_LT(out * side * kCell, 0.75 * kScreen.width());
        EXPECT_GE(out * side * kCell, 0.75 * kScreen.width() * 0.99 - 1e-9);
    }
    // Turned a quarter, the screen's width as the user holds it is the device's height.
    const QSizeF largest(256 * kCell, 256 * kCell);
    for (const double angle : {std::numbers::pi / 2, -std::numbers::pi / 2}) {
        const double scale = 0.25 * kScreen.height() / kCell;
        EXPECT_FALSE(zoomRefusedForGrid(scale * 0.99, largest, kCell, kScreen, 1.01, angle));
        EXPECT_TRUE(zoomRefusedForGrid(scale * 1.01, largest, kCell, kScreen, 1.01, angle));
    }
}
