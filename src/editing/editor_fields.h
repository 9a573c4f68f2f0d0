#pragma once

#include <QPointer>
#include <memory>

#include "canvas/canvas_view.h"
#include "editing/command_manager.h"
#include "editing/group_draw_command.h"
#include "editing/mirror.h"
#include "editing/shape_preview.h"
#include "platform/color.h"

// The switches that change what the tools do, set from the toolbar and the keyboard.
struct ToolOptions {
    MirrorAxes mirror = MirrorAxes::none;
    // Rectangles and ellipses are filled rather than outlined.
    bool filledShapes = false;
    // The bucket recolours every cell of the tapped colour rather than the tapped area.
    bool replaceColor = false;
    // Held Shift: lines keep to the eight directions, rectangles and ellipses to squares and
    // circles. Read at every move of a drag.
    bool constrainShapes = false;
};

// What the tools read and replace on the drawing editor. The editor screen owns these;
// the tools see nothing else of it.
struct EditorFields {
    // Optional and not owned: the editor's view tree owns the canvas view.
    QPointer<CanvasView> canvasView;
    Color currentDrawingColor = Color::systemCyan();
    CommandManager commandManager;
    // Shared with the history once the step is entered into it.
    std::shared_ptr<GroupDrawCommand> groupDrawCommand = std::make_shared<GroupDrawCommand>();
    ToolOptions toolOptions;
    // The shape being dragged, shown but not yet a step.
    ShapePreview shapePreview;
};
