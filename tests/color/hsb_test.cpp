#include <gtest/gtest.h>

#include "color/hsb.h"
#include "test_support.h"

TEST(HSBTest, EachSixthOfTheHueCircleTakesItsOwnBranchAndRoundTrips) {
    struct Case {
        double hue, r, g, b;
    };
    for (const Case& c :
         {Case{0.0, 1, 0, 0}, Case{0.1, 1, 0.6, 0}, Case{0.25, 0.5, 1, 0}, Case{0.4, 0, 1, 0.4},
          Case{0.6, 0, 0.4, 1}, Case{0.75, 0.5, 0, 1}, Case{0.9, 1, 0, 0.6}, Case{1.0, 1, 0, 0}}) {
        const Color::RGBA rgb = hsbToRGB(c.hue, 1, 1);
        EXPECT_NEAR(rgb.red, c.r, 1e-12) << c.hue;
        EXPECT_NEAR(rgb.green, c.g, 1e-12) << c.hue;
        EXPECT_NEAR(rgb.blue, c.b, 1e-12) << c.hue;
        // Back again; a full turn reads as hue 0.
        EXPECT_NEAR(rgbToHSB(rgb.red, rgb.green, rgb.blue).hue, c.hue == 1.0 ? 0 : c.hue, 1e-12);
    }
    for (double hue = 0; hue < 1; hue += 1.0 / 24) {
        for (double s : {0.1, 1.0}) {
            const Color::RGBA rgb = hsbToRGB(hue, s, 0.7);
            const HSB back = rgbToHSB(rgb.red, rgb.green, rgb.blue);
            EXPECT_NEAR(back.hue, hue, 1e-9);
            EXPECT_NEAR(back.saturation, s, 1e-9);
            EXPECT_NEAR(back.brightness, 0.7, 1e-9);
        }
    }
    EXPECT_EQ(rgbToHSB(0, 0, 0), (HSB{0, 0, 0}));
    EXPECT_EQ(rgbToHSB(0.5, 0.5, 0.5), (HSB{0, 0, 0.5}));
}

TEST(HSBTest, ColoursWithoutAnRGBFormFailWithTheConsoleLine) {
    EXPECT_FALSE(HSB::fromColor(Color::withoutRGB()).has_value());
    HSB zero{1, 1, 1};
    EXPECT_EQ(captureStdout([&] { zero = HSB::fromColorOrZero(Color::withoutRGB()); }),
              "ColorPicker: exception <The color provided to ColorPicker is not convertible to "
              "HSV>\n");
    EXPECT_EQ(zero, (HSB{0, 0, 0}));
    // Grey converts through its RGB form, silently.
    EXPECT_EQ(captureStdout([&] { zero = HSB::fromColorOrZero(Color::gray()); }), "");
    EXPECT_EQ(zero, (HSB{0, 0, 0.5}));
}
