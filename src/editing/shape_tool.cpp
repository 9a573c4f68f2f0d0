#include "editing/shape_tool.h"

#include <algorithm>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editing/mirror.h"
#include "editing/shapes.h"

namespace {
// A shape's corners may lie off the grid, but not so far that its cells, most of which are
// dropped, take long to list: at most one grid's size beyond each edge.
QPoint nearGrid(QPoint cell, const Canvas& canvas) {
    const int w = int(canvas.width);
    const int h = int(canvas.height);
    return {std::clamp(cell.x(), -w, 2 * w - 1), std::clamp(cell.y(), -h, 2 * h - 1)};
}
}  // namespace

void ShapeTool::handleTap(const Gesture& gesture, EditorFields& editor) {
    const std::optional<QPoint> cell = cellAt(gesture, editor);
    if (!cell) {
        return;
    }
    const QPoint at = nearGrid(*cell, *editor.canvasView->canvas());
    const std::vector<Pixel*> pixels = withMirrorImages(cells(at, at, editor.toolOptions), editor);
    if (pixels.empty()) {
        return;
    }
    auto group = std::make_shared<GroupDrawCommand>();
    for (Pixel* pixel : pixels) {
        group->addCommand(DrawCommand(pixel->fillColor(), editor.currentDrawingColor, pixel));
    }
    editor.commandManager.execute(group);
}

void ShapeTool::handleDraw(const Gesture& gesture, EditorFields& editor) {
    ShapePreview& preview = editor.shapePreview;
    switch (gesture.state()) {
        case GestureState::began: {
            const std::optional<QPoint> cell = cellAt(gesture, editor);
            if (!cell) {
                return;
            }
            const QPoint anchor = nearGrid(*cell, *editor.canvasView->canvas());
            preview.begin(*editor.canvasView->canvas(), anchor);
            showShape(anchor, editor);
            return;
        }
        case GestureState::changed:
        case GestureState::ended: {
            if (!preview.isActive()) {
                return;
            }
            if (const std::optional<QPoint> cell = cellAt(gesture, editor)) {
                showShape(*cell, editor);
            }
            if (gesture.state() == GestureState::ended) {
                editor.groupDrawCommand = preview.commit();
                editor.commandManager.execute(editor.groupDrawCommand);
            }
            return;
        }
        case GestureState::cancelled:
        case GestureState::failed:
        case GestureState::possible:
            preview.cancel();
            return;
    }
}

void ShapeTool::interruptStroke(EditorFields& editor) {
    editor.shapePreview.cancel();
}

void ShapeTool::showShape(QPoint current, EditorFields& editor) const {
    if (!editor.canvasView) {
        editor.shapePreview.cancel();
        return;
    }
    const Canvas& canvas = *editor.canvasView->canvas();
    const std::vector<QPoint> shape =
        cells(editor.shapePreview.anchor(), nearGrid(current, canvas), editor.toolOptions);
    const std::vector<QPoint> all =
        mirror::withImages(shape, int(canvas.width), int(canvas.height), editor.toolOptions.mirror);
    std::vector<int64_t> indexes;
    indexes.reserve(all.size());
    for (const QPoint& cell : all) {
        indexes.push_back(int64_t(cell.x()) * canvas.height + cell.y());
    }
    editor.shapePreview.show(indexes, editor.currentDrawingColor);
}

std::vector<QPoint> LineTool::cells(QPoint anchor, QPoint current,
                                    const ToolOptions& options) const {
    return shapes::line(anchor,
                        options.constrainShapes ? shapes::snapToOctant(anchor, current) : current);
}

std::vector<QPoint> RectangleTool::cells(QPoint anchor, QPoint current,
                                         const ToolOptions& options) const {
    return shapes::rectangle(
        anchor, options.constrainShapes ? shapes::squareCorner(anchor, current) : current,
        options.filledShapes);
}

std::vector<QPoint> EllipseTool::cells(QPoint anchor, QPoint current,
                                       const ToolOptions& options) const {
    return shapes::ellipse(
        anchor, options.constrainShapes ? shapes::squareCorner(anchor, current) : current,
        options.filledShapes);
}
