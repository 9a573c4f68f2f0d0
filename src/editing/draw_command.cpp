#include "editing/draw_command.h"

#include "canvas/pixel.h"

DrawCommand::DrawCommand(const Color& oldColor, const Color& newColor, Pixel* pixel)
    : oldColor(oldColor), newColor(newColor), pixel(pixel) {}

void DrawCommand::execute() {
    pixel->setFillColor(newColor);
}

void DrawCommand::undo() {
    pixel->setFillColor(oldColor);
}
