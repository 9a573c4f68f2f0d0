#include <gtest/gtest.h>

#include "color/hsb.h"
#include "test_support.h"

namespace {
void expectRGB(const Color::RGBA& actual, double r, double g, double b) {
    EXPECT_NEAR(actual.red, r, 1e-12);
    EXPECT_NEAR(actual.green, g, 1e-12);
    EXPECT_NEAR(actual.blue, b, 1e-12);
}
}  // namespace

TEST(HSBTest, EverySixthOfTheHueCircleTakesItsOwnBranch) {
    expectRGB(hsbToRGB(0.0, 1, 1), 1, 0, 0);
    expectRGB(hsbToRGB(0.1, 1, 1), 1, 0.6, 0);
    expectRGB(hsbToRGB(0.25, 1, 1), 0.5, 1, 0);
    expectRGB(hsbToRGB(0.4, 1, 1), 0, 1, 0.4);
    expectRGB(hsbToRGB(0.6, 1, 1), 0, 0.4, 1);
    expectRGB(hsbToRGB(0.75, 1, 1), 0.5, 0, 1);
    expectRGB(hsbToRGB(0.9, 1, 1), 1, 0, 0.6);
    // A full turn is red again.
    expectRGB(hsbToRGB(1.0, 1, 1), 1, 0, 0);
    // Saturation and brightness scale the result; alpha passes through.
    const Color::RGBA dim = hsbToRGB(0.25, 0.5, 0.5, 0.25);
    expectRGB(dim, 0.375, 0.5, 0.25);
    EXPECT_EQ(dim.alpha, 0.25);
}

TEST(HSBTest, RGBToHSBFindsHueFromTheLargestComponent) {
    EXPECT_EQ(rgbToHSB(0, 0, 0), (HSB{0, 0, 0}));
    EXPECT_EQ(rgbToHSB(0.5, 0.5, 0.5), (HSB{0, 0, 0.5}));
    const HSB magenta = rgbToHSB(1, 0, 1);  // red is largest, hue wraps below 0
    EXPECT_NEAR(magenta.hue, 5.0 / 6.0, 1e-12);
    EXPECT_NEAR(rgbToHSB(0, 1, 0).hue, 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(rgbToHSB(0, 0, 1).hue, 2.0 / 3.0, 1e-12);
    const HSB dark = rgbToHSB(0.2, 0.4, 0.1);
    EXPECT_NEAR(dark.brightness, 0.4, 1e-12);
    EXPECT_NEAR(dark.saturation, 0.75, 1e-12);
}

TEST(HSBTest, ConversionsRoundTrip) {
    for (double hue = 0; hue < 1; hue += 1.0 / 24) {
        for (double s : {0.1, 0.5, 1.0}) {
            for (double v : {0.2, 0.7, 1.0}) {
                const Color::RGBA rgb = hsbToRGB(hue, s, v);
                const HSB back = rgbToHSB(rgb.red, rgb.green, rgb.blue);
                EXPECT_NEAR(back.hue, hue, 1e-9) << hue << " " << s << " " << v;
                EXPECT_NEAR(back.saturation, s, 1e-9);
                EXPECT_NEAR(back.brightness, v, 1e-9);
            }
        }
    }
}

TEST(HSBTest, ColoursWithoutAnRGBFormFailWithTheConsoleLine) {
    EXPECT_FALSE(HSB::fromColor(Color::withoutRGB()).has_value());
    HSB zero{1, 1, 1};
    const std::string out =
        captureStdout([&] { zero = HSB::fromColorOrZero(Color::withoutRGB()); });
    EXPECT_EQ(out,
              "ColorPicker: exception <The color provided to ColorPicker is not convertible to "
              "HSV>\n");
    EXPECT_EQ(zero, (HSB{0, 0, 0}));

    // Grey converts through its RGB form, silently.
    std::optional<HSB> grey;
    EXPECT_EQ(captureStdout([&] { grey = HSB::fromColor(Color::gray()); }), "");
    ASSERT_TRUE(grey.has_value());
    EXPECT_EQ(*grey, (HSB{0, 0, 0.5}));
}
