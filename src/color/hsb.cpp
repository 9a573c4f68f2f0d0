#include "color/hsb.h"

#include <QString>
#include <algorithm>
#include <cmath>

#include "platform/console.h"

Color::RGBA hsbToRGB(double hue, double saturation, double brightness, double alpha) {
    const double v = brightness;
    const double s = saturation;
    const double scaled = 6.0 * hue;
    // A hue that is not finite would make the integer part undefined; it reads as red.
    const double whole = std::isfinite(scaled) ? std::trunc(scaled) : 0.0;
    const double f = scaled - whole;
    const double p = v * (1 - s);
    const double q = v * (1 - s * f);
    const double t = v * (1 - s * (1 - f));
    // Out-of-range whole parts fall into the default arm, like any remainder outside 1...5.
    const long long i = std::abs(whole) < 1e15 ? static_cast<long long>(whole) : 0;
    switch (i % 6) {
        case 1:
            return {q, v, p, alpha};
        case 2:
            return {p, v, t, alpha};
        case 3:
            return {p, q, v, alpha};
        case 4:
            return {t, p, v, alpha};
        case 5:
            return {v, p, q, alpha};
        case 0:
        default:
            return {v, t, p, alpha};
    }
}

HSB rgbToHSB(double red, double green, double blue) {
    const double max = std::max({red, green, blue});
    const double min = std::min({red, green, blue});
    const double delta = max - min;
    HSB hsb;
    hsb.brightness = max;
    hsb.saturation = max == 0 ? 0 : delta / max;
    if (delta == 0) {
        hsb.hue = 0;
    } else if (max == red) {
        hsb.hue = std::fmod((green - blue) / delta / 6.0, 1.0);
        if (hsb.hue < 0) {
            hsb.hue += 1.0;
        }
    } else if (max == green) {
        hsb.hue = ((blue - red) / delta + 2) / 6.0;
    } else {
        hsb.hue = ((red - green) / delta + 4) / 6.0;
    }
    return hsb;
}

std::optional<HSB> HSB::fromColor(const Color& color) {
    const auto rgba = color.getRGBA();
    if (!rgba) {
        return std::nullopt;
    }
    return rgbToHSB(rgba->red, rgba->green, rgba->blue);
}

HSB HSB::fromColorOrZero(const Color& color) {
    if (auto hsb = fromColor(color)) {
        return *hsb;
    }
    printLine(QString::fromLatin1(conversionFailureMessage()));
    return {};
}

Color HSB::toColor(double alpha) const {
    const Color::RGBA rgb = hsbToRGB(hue, saturation, brightness, alpha);
    return Color::withRGB(rgb.red, rgb.green, rgb.blue, rgb.alpha);
}

const char* HSB::conversionFailureMessage() {
    return "ColorPicker: exception <The color provided to ColorPicker is not convertible to HSV>";
}
