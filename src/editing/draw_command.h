#pragma once

#include "editing/command.h"
#include "platform/color.h"

class Pixel;

// Recolours one cell.
class DrawCommand final : public Command {
public:
    DrawCommand(const Color& oldColor, const Color& newColor, Pixel* pixel);

    void execute() override;
    void undo() override;

    Color oldColor;
    Color newColor;
    Pixel* pixel;
};
