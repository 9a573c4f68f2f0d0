// The zoom and pan limits at the smallest and largest grids, and for grids that are not
// square.
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
        const double in = pinchUntilRefused(fitted, {side, side}, 1.25);
        EXPECT_GE(in * kCell, 0.25 * kScreen.width());
        EXPECT_LE(in * kCell, 0.25 * kScreen.width() * 1.25);
        const double out = pinchUntilRefused(fitted, {side, side}, 0.8);
        EXPECT_LT(out * side * kCell, 0.75 * kScreen.width());
        EXPECT_GE(out * side * kCell, 0.75 * kScreen.width() * 0.8);
    }
    // Turned a quarter, the screen's width as the user holds it is the device's height.
    const QSizeF largest(256 * kCell, 256 * kCell);
    for (const double angle : {std::numbers::pi / 2, -std::numbers::pi / 2}) {
        const double scale = 0.25 * kScreen.height() / kCell;
        EXPECT_FALSE(zoomRefusedForGrid(scale * 0.99, largest, kCell, kScreen, 1.01, angle));
        EXPECT_TRUE(zoomRefusedForGrid(scale * 1.01, largest, kCell, kScreen, 1.01, angle));
    }
}

TEST(CanvasLimitsTest, EveryCellOfTheLargestGridCanBePannedToTheMiddle) {
    const double zoomed = 0.3 * kScreen.width() / kCell;  // a cell 30 % of the screen wide
    const QSizeF units(256 * kCell, 256 * kCell);
    const QPointF centre(195, 422);
    // Moving the canvas centre so that a corner cell's centre lies on the view centre.
    const double reach = (128 - 0.5) * kCell * zoomed;
    for (const QPointF move : {QPointF(reach, reach), QPointF(-reach, reach),
                               QPointF(reach, -reach), QPointF(-reach, -reach)}) {
        const AllowedMove allowed =
            allowedCanvasMoveFor(centre, centre, units, {zoomed, zoomed}, move.x(), move.y());
        EXPECT_TRUE(allowed.x && allowed.y) << move.x() << ", " << move.y();
    }
    const AllowedMove beyond =
        allowedCanvasMoveFor(centre, centre, units, {zoomed, zoomed}, reach + kCell * zoomed, 0);
    EXPECT_FALSE(beyond.x);
}

TEST(CanvasLimitsTest, ATallGridZoomsOutUntilItFitsTheScreensHeight) {
    // 16 x 256 across the width: 16 screens tall. Zooming out stops only once it fits.
    const QSizeF tall(16, 256);
    const double fitted = kScreen.width() / (16 * kCell);
    const double out = pinchUntilRefused(fitted, tall, 0.8);
    EXPECT_LT(out * 256 * kCell, 0.75 * kScreen.height());
    EXPECT_GE(out * 256 * kCell, 0.75 * kScreen.height() * 0.8);
    // Wide grids stop by their width; a cell still reaches a quarter of the screen.
    const QSizeF wide(256, 16);
    const double wideFitted = kScreen.width() / (256 * kCell);
    EXPECT_LT(pinchUntilRefused(wideFitted, wide, 0.8) * 256 * kCell, 0.75 * kScreen.width());
    EXPECT_GE(pinchUntilRefused(wideFitted, wide, 1.25) * kCell, 0.25 * kScreen.width());
}
