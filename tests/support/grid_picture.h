#pragma once

#include <map>
#include <string>
#include <vector>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "platform/color.h"

// Grids drawn as text: one line per row, top row first, one character per cell.
namespace grid_picture {

inline const std::map<char, Color>& defaultLegend() {
    static const std::map<char, Color> legend = {
        {'.', Color::white()}, {'#', Color::black()},      {'R', Color::red()},
        {'B', Color::blue()},  {'C', Color::systemCyan()},
    };
    return legend;
}

// Paints the picture onto the canvas; rows are listed top first, as they look on screen.
inline void paint(Canvas& canvas, const std::vector<std::string>& rows,
                  const std::map<char, Color>& legend = defaultLegend()) {
    const auto height = static_cast<int64_t>(rows.size());
    for (int64_t line = 0; line < height; ++line) {
        const std::string& text = rows[static_cast<size_t>(line)];
        for (int64_t x = 0; x < static_cast<int64_t>(text.size()); ++x) {
            if (Pixel* cell = canvas.getPixel(x, height - 1 - line)) {
                cell->setFillColor(legend.at(text[static_cast<size_t>(x)]));
            }
        }
    }
}

// The canvas as text; a colour missing from the legend shows as '?'.
inline std::vector<std::string> read(const Canvas& canvas,
                                     const std::map<char, Color>& legend = defaultLegend()) {
    std::vector<std::string> rows;
    for (int64_t y = canvas.height - 1; y >= 0; --y) {
        std::string line;
        for (int64_t x = 0; x < canvas.width; ++x) {
            char symbol = '?';
            for (const auto& [key, color] : legend) {
                if (canvas.getPixel(x, y)->fillColor() == color) {
                    symbol = key;
                    break;
                }
            }
            line += symbol;
        }
        rows.push_back(line);
    }
    return rows;
}

}  // namespace grid_picture
