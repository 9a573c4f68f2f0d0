#include "color/hex_color.h"

namespace hex_color {

QString format(const Color& color) {
    if (!color.getRGBA()) {
        return {};
    }
    return color.toQColor().name(QColor::HexRgb).toUpper();
}

std::optional<Color> parse(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('#'))) {
        digits.remove(0, 1);
    }
    if (digits.size() != 3 && digits.size() != 6) {
        return std::nullopt;
    }
    for (const QChar c : digits) {
        // ASCII only: other scripts' digits are no hex digits here.
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'))) {
            return std::nullopt;
        }
    }
    if (digits.size() == 3) {
        digits = QString(digits[0]) + digits[0] + digits[1] + digits[1] + digits[2] + digits[2];
    }
    const uint value = digits.toUInt(nullptr, 16);
    return Color::withRGB(double((value >> 16) & 0xff) / 255, double((value >> 8) & 0xff) / 255,
                          double(value & 0xff) / 255, 1);
}

}  // namespace hex_color
