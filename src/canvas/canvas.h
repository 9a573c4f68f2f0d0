#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/color.h"
#include "scene/sprite_node.h"

class Pixel;

// The picture being edited: a sprite carrying one Pixel per grid position. Cells are kept
// column-major: the cell in column x and row y (from the bottom) is pixelArray[x * height + y].
class Canvas : public SpriteNode {
public:
    // A blank canvas: every cell white.
    Canvas(int64_t width, int64_t height);
    // A canvas showing a colour list in cell order.
    Canvas(const std::vector<Color>& colors, int64_t width, int64_t height);

    const int64_t width;
    const int64_t height;
    // Non-owning: the cells are the canvas's children, which own them.
    const std::vector<Pixel*>& pixelArray() const { return pixelArray_; }

    // Appends width x height cells; gives them the list's colours when one is passed.
    void setupPixels(const std::vector<Color>* colors);
    // Inline: the flood fill looks up every neighbour of every cell it fills.
    Pixel* getPixel(int64_t x, int64_t y) const {
        if (x < 0 || x >= width || y < 0 || y >= height) {
            return nullptr;
        }
        const auto index = static_cast<size_t>(x * height + y);
        return index < pixelArray_.size() ? pixelArray_[index] : nullptr;
    }
    std::vector<Color> getColorArray() const;
    // The cells whose squares hold a point given in the canvas's own coordinates, in the
    // order the scene's hit test lists them; found from the grid rather than by testing
    // every cell, since the cells never move after set-up.
    std::vector<Pixel*> pixelsAt(QPointF point) const;
    // Index of a cell in pixelArray, by identity; nothing for a foreign cell.
    std::optional<int64_t> indexOf(const Pixel* pixel) const;

    // Leaves the sprite out when the cells hide it.
    void draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const override;

private:
    bool cellsHideSprite(const QTransform& toDevice, const QRectF& clip) const;

    std::vector<Pixel*> pixelArray_;
};
