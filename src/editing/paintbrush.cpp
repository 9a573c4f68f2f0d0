#include "editing/paintbrush.h"

#include "canvas/pixel.h"

void Paintbrush::handleTap(const Gesture& gesture, EditorFields& editor) {
    for (Pixel* cell : cellsUnderTouch(gesture, editor)) {
        editor.commandManager.execute(
            std::make_shared<DrawCommand>(cell->fillColor(), editor.currentDrawingColor, cell));
    }
}

void Paintbrush::handleDraw(const Gesture& gesture, EditorFields& editor) {
    if (gesture.state() == GestureState::began) {
        editor.groupDrawCommand = std::make_shared<GroupDrawCommand>();
    }
    if (gesture.state() == GestureState::ended) {
        editor.commandManager.execute(editor.groupDrawCommand);
    }
    // The group is already in the history on ended; painting into it still makes the last
    // cell part of the same step.
    for (Pixel* cell : cellsUnderTouch(gesture, editor)) {
        editor.groupDrawCommand->addCommand(
            DrawCommand(cell->fillColor(), editor.currentDrawingColor, cell));
    }
}
