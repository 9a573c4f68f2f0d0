#include "editing/paintbrush.h"

#include "canvas/pixel.h"

void Paintbrush::handleTap(const Gesture& gesture, EditorFields& editor) {
    const std::vector<Pixel*> cells = mirroredCellsUnderTouch(gesture, editor);
    if (cells.empty()) {
        return;
    }
    const Color colour = paintColor(editor);
    auto group = std::make_shared<GroupDrawCommand>();
    for (Pixel* cell : cells) {
        group->addCommand(DrawCommand(cell->fillColor(), colour, cell));
    }
    editor.commandManager.execute(group);
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
    const Color colour = paintColor(editor);
    for (Pixel* cell : mirroredCellsUnderTouch(gesture, editor)) {
        editor.groupDrawCommand->addCommand(DrawCommand(cell->fillColor(), colour, cell));
    }
}
