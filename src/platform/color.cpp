#include "platform/color.h"

#include <algorithm>
#include <cmath>

Color Color::withRGB(double red, double green, double blue, double alpha) {
    return Color(ColorSpace::rgb, {red, green, blue, alpha});
}

Color Color::withWhite(double white, double alpha) {
    return Color(ColorSpace::gray, {white, alpha, 0, 0});
}

Color Color::withoutRGB() {
    return Color(ColorSpace::pattern, {0, 0, 0, 0});
}

Color Color::white() {
    return withWhite(1.0);
}
Color Color::black() {
    return withWhite(0.0);
}
Color Color::clear() {
    return withWhite(0.0, 0.0);
}
Color Color::red() {
    return withRGB(1.0, 0.0, 0.0);
}
Color Color::blue() {
    return withRGB(0.0, 0.0, 1.0);
}
Color Color::gray() {
    return withWhite(0.5);
}
Color Color::lightGray() {
    return withWhite(2.0 / 3.0);
}
Color Color::darkGray() {
    return withWhite(1.0 / 3.0);
}
Color Color::systemCyan() {
    return withRGB(50.0 / 255.0, 173.0 / 255.0, 230.0 / 255.0);
}

double Color::alpha() const {
    switch (space_) {
        case ColorSpace::rgb:
            return components_[3];
        case ColorSpace::gray:
            return components_[1];
        case ColorSpace::pattern:
            break;
    }
    return 0.0;
}

namespace {
float unit(double v) {
    if (!std::isfinite(v)) {
        return 0.0f;
    }
    return static_cast<float>(std::clamp(v, 0.0, 1.0));
}
}  // namespace

QColor Color::toQColor() const {
    const auto rgba = getRGBA();
    if (!rgba) {
        return QColor(Qt::transparent);
    }
    return QColor::fromRgbF(unit(rgba->red), unit(rgba->green), unit(rgba->blue),
                            unit(rgba->alpha));
}

Color Color::fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return withRGB(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}
