#pragma once

#include <QPointer>
#include <memory>

#include "canvas/canvas_view.h"
#include "editing/command_manager.h"
#include "editing/group_draw_command.h"
#include "platform/color.h"

// What the tools read and replace on the drawing editor. The editor screen owns these;
// the tools see nothing else of it.
struct EditorFields {
    // Optional and not owned: the editor's view tree owns the canvas view.
    QPointer<CanvasView> canvasView;
    Color currentDrawingColor = Color::systemCyan();
    CommandManager commandManager;
    // Shared with the history once the step is entered into it.
    std::shared_ptr<GroupDrawCommand> groupDrawCommand = std::make_shared<GroupDrawCommand>();
};
