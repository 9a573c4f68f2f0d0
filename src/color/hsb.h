#pragma once

#include <optional>

#include "platform/color.h"

// Hue, saturation and brightness (the hexcone model), each in 0...1. Hue 0 is red and
// grows through yellow (1/6), green (1/3), cyan (1/2) and blue (2/3) back to red.
struct HSB {
    double hue = 0;
    double saturation = 0;
    double brightness = 0;

    bool operator==(const HSB&) const = default;

    // The colour's HSB form; nothing for a colour that has no RGB form. Grey colours
    // convert through their RGB form.
    static std::optional<HSB> fromColor(const Color& color);

    // Like fromColor, but prints the colour views' console line on failure and goes on
    // with all three values 0.
    static HSB fromColorOrZero(const Color& color);

    // The RGB colour with these values and the given alpha.
    Color toColor(double alpha = 1.0) const;

    static const char* conversionFailureMessage();
};

// Red, green and blue in 0...1 for a hue, saturation and brightness. Also the rule for
// every pixel of the colour wheel's bitmap.
Color::RGBA hsbToRGB(double hue, double saturation, double brightness, double alpha = 1.0);

// The inverse of hsbToRGB for components in 0...1.
HSB rgbToHSB(double red, double green, double blue);
