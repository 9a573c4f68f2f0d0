#pragma once

#include <cstddef>

#include "scene/shape_node.h"

class Canvas;

// One cell of the grid: a 300 x 300 square, white, with a grey 10-unit outline. Its fill
// colour is the picture's colour at that position. A cell on a canvas is drawn by the canvas,
// which it tells when its colour changes.
class Pixel : public ShapeNode {
public:
    static constexpr double kSize = 300;
    static constexpr double kLineWidth = 10;

    Pixel();

protected:
    void fillColorChanged() override;

private:
    friend class Canvas;
    Canvas* canvas_ = nullptr;
    size_t index_ = 0;  // in the canvas's pixelArray
};
