#pragma once

#include <cstddef>
#include <functional>

#include "editing/command.h"
#include "platform/color.h"

class Pixel;

// Recolours one cell. Two draw commands are equal when they recolour the same cell,
// whatever their colours, so a set of them holds at most one per cell.
class DrawCommand final : public Command {
public:
    DrawCommand(const Color& oldColor, const Color& newColor, Pixel* pixel);

    void execute() override;
    void undo() override;

    Color oldColor;
    Color newColor;
    Pixel* pixel;

    bool operator==(const DrawCommand& other) const { return pixel == other.pixel; }

    struct Hash {
        size_t operator()(const DrawCommand& command) const {
            return std::hash<const Pixel*>()(command.pixel);
        }
    };
};
