#include <gtest/gtest.h>

#include <limits>

#include "platform/color.h"

TEST(ColorTest, GreyTurnsIntoRgbOnlyWhenAskedForComponents) {
    const Color white = Color::white();
    EXPECT_EQ(white.space(), ColorSpace::gray);
    EXPECT_EQ(*Color::withWhite(0.25, 0.5).getRGBA(), (Color::RGBA{0.25, 0.25, 0.25, 0.5}));
    // Same look, different space: stored colours compare by space and components.
    EXPECT_NE(white, Color::withRGB(1, 1, 1, 1));
}

TEST(ColorTest, PaintingClampsComponentsAndShowsNothingWithoutRgb) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Color::withRGB(nan, 2.0, -1.0, 1.0).toQColor(), QColor(0, 255, 0, 255));
    EXPECT_FALSE(Color::withoutRGB().getRGBA());
    EXPECT_EQ(Color::withoutRGB().toQColor().alpha(), 0);
}
