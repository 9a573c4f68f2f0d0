#pragma once

#include <QColor>
#include <array>
#include <optional>

// A colour value as the app keeps it: exact double components plus the space they live in.
// Grey colours (the cells' initial white, the system greys) keep their grey form, so two
// colours compare equal only when space and components agree; getRGBA() is the one place
// where grey turns into RGB.
enum class ColorSpace : int {
    rgb = 0,
    gray = 1,
    // A colour without an RGB form (like a pattern). It only exists to exercise failure paths.
    pattern = 2,
};

class Color {
public:
    struct RGBA {
        double red = 0;
        double green = 0;
        double blue = 0;
        double alpha = 0;
        bool operator==(const RGBA&) const = default;
    };

    // Opaque black in RGB, the value a default-constructed colour holds.
    Color() = default;

    static Color withRGB(double red, double green, double blue, double alpha = 1.0);
    static Color withWhite(double white, double alpha = 1.0);
    static Color withoutRGB();

    static Color white();
    static Color black();
    static Color clear();
    static Color red();
    static Color blue();
    static Color gray();
    static Color lightGray();
    static Color darkGray();
    static Color systemCyan();

    ColorSpace space() const { return space_; }
    // RGB: red, green, blue, alpha. Grey: white, alpha, 0, 0. Pattern: all 0.
    const std::array<double, 4>& components() const { return components_; }
    double alpha() const;

    // RGB components in 0...1, grey turned into RGB; nothing for a colour without RGB form.
    // Inline: the flood fill compares every cell it visits.
    std::optional<RGBA> getRGBA() const {
        switch (space_) {
            case ColorSpace::rgb:
                return RGBA{components_[0], components_[1], components_[2], components_[3]};
            case ColorSpace::gray:
                return RGBA{components_[0], components_[0], components_[0], components_[1]};
            case ColorSpace::pattern:
                break;
        }
        return std::nullopt;
    }

    // For painting: components clamped into 0...1, non-finite ones read as 0.
    QColor toQColor() const;
    static Color fromQColor(const QColor& color);

    bool operator==(const Color&) const = default;

private:
    Color(ColorSpace space, std::array<double, 4> components)
        : space_(space), components_(components) {}

    ColorSpace space_ = ColorSpace::rgb;
    std::array<double, 4> components_{0, 0, 0, 1};
};
