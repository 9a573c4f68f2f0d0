#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/color.h"

TEST(ColorTest, GreyColoursTurnIntoRgbOnlyWhenAskedForComponents) {
    const Color white = Color::white();
    EXPECT_EQ(white.space(), ColorSpace::gray);
    const auto rgba = white.getRGBA();
    ASSERT_TRUE(rgba);
    EXPECT_EQ(*rgba, (Color::RGBA{1, 1, 1, 1}));
    // Same look, different space: stored colours compare by space and components.
    EXPECT_NE(white, Color::withRGB(1, 1, 1, 1));
    EXPECT_EQ(Color::clear().getRGBA()->alpha, 0.0);
}

TEST(ColorTest, SystemColoursHaveTheirPlatformValues) {
    EXPECT_EQ(*Color::systemCyan().getRGBA(),
              (Color::RGBA{50 / 255.0, 173 / 255.0, 230 / 255.0, 1}));
    EXPECT_EQ(Color::lightGray(), Color::withWhite(2.0 / 3.0));
    EXPECT_EQ(Color::gray(), Color::withWhite(0.5));
    EXPECT_EQ(Color::darkGray(), Color::withWhite(1.0 / 3.0));
    EXPECT_EQ(*Color::red().getRGBA(), (Color::RGBA{1, 0, 0, 1}));
    EXPECT_EQ(*Color::blue().getRGBA(), (Color::RGBA{0, 0, 1, 1}));
    EXPECT_EQ(*Color::black().getRGBA(), (Color::RGBA{0, 0, 0, 1}));
}

TEST(ColorTest, AColourWithoutRgbFormHasNoComponentsAndPaintsTransparent) {
    const Color pattern = Color::withoutRGB();
    EXPECT_FALSE(pattern.getRGBA());
    EXPECT_EQ(pattern.toQColor().alpha(), 0);
}

TEST(ColorTest, PaintingClampsComponentsThatAreOutOfRangeOrNotNumbers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QColor painted = Color::withRGB(nan, 2.0, -1.0, 1.0).toQColor();
    EXPECT_EQ(painted.red(), 0);
    EXPECT_EQ(painted.green(), 255);
    EXPECT_EQ(painted.blue(), 0);
    EXPECT_EQ(painted.alpha(), 255);
}
