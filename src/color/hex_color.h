#pragma once

#include <QString>
#include <optional>

#include "platform/color.h"

// Colours written as hexadecimal digits, as people type and paste them.
namespace hex_color {

// "#RRGGBB" in capitals, from the colour's 8-bit form; empty for a colour without RGB form.
QString format(const Color& color);

// An opaque colour from 6 digits (RRGGBB) or 3 (RGB, each digit doubled), in either case,
// with or without a leading '#' and with spaces around; nothing for anything else.
std::optional<Color> parse(const QString& text);

}  // namespace hex_color
