#pragma once

#include "scene/shape_node.h"

// One cell of the grid: a 300 x 300 square, white, with a grey 10-unit outline. Its fill
// colour is the picture's colour at that position. A cell on a canvas is drawn by the canvas,
// which hears of its colour changes (it is the cell's fill observer).
class Pixel : public ShapeNode {
public:
    static constexpr double kSize = 300;
    static constexpr double kLineWidth = 10;

    Pixel();
};
