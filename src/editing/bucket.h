#pragma once

#include <cstdint>

#include "editing/tool.h"
#include "platform/color.h"

class Canvas;

// Fills the four-connected region of the tapped cell's colour as one undo step, or, with the
// replace option, every cell of that colour on the grid. With mirroring on, the mirror images
// of the tapped cell are filled from too, in the same step.
class Bucket final : public Tool {
public:
    void handleTap(const Gesture& gesture, EditorFields& editor) override;
    // A drag with the bucket changes nothing.
    void handleDraw(const Gesture& gesture, EditorFields& editor) override;
    Option option() const override { return Option::replaceColor; }
};

// Colours are equal when every RGBA component (grey read as RGB) differs by at most tolerance.
bool isEqualToColor(const Color& color, const Color& other, double tolerance);

// Recolours the four-connected region of target colour around (column, row) into the
// editor's current group, each cell once, in cell order.
void floodFill(Canvas& canvas, int64_t column, int64_t row, const Color& target,
               const Color& replacement, EditorFields& editor);

// Recolours every cell of the target colour on the canvas (within the fill's tolerance) into
// the editor's current group.
void replaceColor(Canvas& canvas, const Color& target, const Color& replacement,
                  EditorFields& editor);
