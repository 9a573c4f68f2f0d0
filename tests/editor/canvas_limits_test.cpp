#include <gtest/gtest.h>

#include "editor/canvas_limits.h"

namespace {
// A 20-cell grid fitted to a 390 x 844 screen: 6000 units at scale 0.065, centred.
const QPointF kCentre(195, 422);
const QSizeF kSize(6000, 6000);
const QPointF kScale(0.065, 0.065);
}  // namespace

TEST(CanvasLimitsTest, TheCentreMayMoveHalfTheDisplayedSizeAwayPerAxis) {
    // 195 points either way, bounds inclusive.
    EXPECT_TRUE(allowedCanvasMoveFor(kCentre, kCentre, kSize, kScale, 195, 0).x);
    EXPECT_FALSE(allowedCanvasMoveFor(kCentre, kCentre, kSize, kScale, 195.5, 0).x);
    EXPECT_TRUE(allowedCanvasMoveFor(kCentre, kCentre, kSize, kScale, -195, -195).y);

    // A diagonal drag past the right edge keeps its vertical part.
    const AllowedMove diagonal =
        allowedCanvasMoveFor(QPointF(380, 422), kCentre, kSize, kScale, 20, 30);
    EXPECT_FALSE(diagonal.x);
    EXPECT_TRUE(diagonal.y);

    // Zoomed in, the reach grows with the displayed size.
    EXPECT_TRUE(allowedCanvasMoveFor(kCentre, kCentre, kSize, QPointF(0.13, 0.13), 390, 0).x);
}

TEST(CanvasLimitsTest, ZoomStopsAtBothLimitsButTheOtherWayStillWorks) {
    const double screen = 390;
    // Narrower than 0.75 of the screen: 0.04 x 6000 = 240 < 292.5.
    EXPECT_TRUE(zoomRefused(0.04, 6000, 300, screen, 0.9));
    EXPECT_FALSE(zoomRefused(0.04, 6000, 300, screen, 1.1));
    // Exactly at 0.75 zooming out is still allowed (the test is strict).
    EXPECT_FALSE(zoomRefused(0.75 * screen / 6000, 6000, 300, screen, 0.9));
    // One cell wider than a quarter of the screen: 0.4 x 300 = 120 > 97.5.
    EXPECT_TRUE(zoomRefused(0.4, 6000, 300, screen, 1.2));
    EXPECT_FALSE(zoomRefused(0.4, 6000, 300, screen, 0.8));
    // A factor of exactly 1 is never refused.
    EXPECT_FALSE(zoomRefused(0.04, 6000, 300, screen, 1.0));
    EXPECT_FALSE(zoomRefused(0.4, 6000, 300, screen, 1.0));
}

TEST(CanvasLimitsTest, PipettePointStaysFivePointsInsideEveryEdge) {
    const Edges edges{0, 617, 390, 227};  // left, bottom, right, top
    EXPECT_EQ(clampIntoEdges(QPointF(200, 400), edges), QPointF(200, 400));
    EXPECT_EQ(clampIntoEdges(QPointF(500, 100), edges), QPointF(385, 232));
    EXPECT_EQ(clampIntoEdges(QPointF(-40, 900), edges), QPointF(5, 612));
    EXPECT_EQ(clampIntoEdges(QPointF(3, 614), edges), QPointF(5, 612));
}
