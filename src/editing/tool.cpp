#include "editing/tool.h"

#include <cmath>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editing/mirror.h"

std::vector<Pixel*> Tool::cellsUnderTouch(const Gesture& gesture, EditorFields& editor) {
    if (!editor.canvasView) {
        return {};
    }
    const QPointF scenePoint = editor.canvasView->convertPointToScene(gesture.locationInView());
    return editor.canvasView->pixelsAtScenePoint(scenePoint);
}

std::optional<QPoint> Tool::cellAt(const Gesture& gesture, EditorFields& editor) {
    if (!editor.canvasView) {
        return std::nullopt;
    }
    const Canvas& canvas = *editor.canvasView->canvas();
    if (canvas.pixelArray().empty()) {
        return std::nullopt;
    }
    bool invertible = false;
    const QTransform toCanvas = canvas.transformToScene().inverted(&invertible);
    if (!invertible) {
        return std::nullopt;
    }
    const QPointF scenePoint = editor.canvasView->convertPointToScene(gesture.locationInView());
    const QPointF point = toCanvas.map(scenePoint) - canvas.pixelArray().front()->position();
    const double column = std::floor(point.x() / Pixel::kSize);
    const double row = std::floor(point.y() / Pixel::kSize);
    // Far off the grid the exact cell does not matter, only that the numbers stay sound.
    constexpr double kFar = 1 << 20;
    if (!std::isfinite(column) || !std::isfinite(row)) {
        return std::nullopt;
    }
    return QPoint(int(std::clamp(column, -kFar, kFar)), int(std::clamp(row, -kFar, kFar)));
}

QPoint Tool::cellOf(const Canvas& canvas, const Pixel& pixel) {
    const QPointF offset = pixel.position() - canvas.pixelArray().front()->position();
    return {int(std::lround(offset.x() / Pixel::kSize)),
            int(std::lround(offset.y() / Pixel::kSize))};
}

std::vector<Pixel*> Tool::withMirrorImages(const std::vector<QPoint>& cells, EditorFields& editor) {
    std::vector<Pixel*> pixels;
    if (!editor.canvasView) {
        return pixels;
    }
    const Canvas& canvas = *editor.canvasView->canvas();
    const std::vector<QPoint> all =
        mirror::withImages(cells, int(canvas.width), int(canvas.height), editor.toolOptions.mirror);
    pixels.reserve(all.size());
    for (const QPoint& cell : all) {
        if (Pixel* pixel = canvas.getPixel(cell.x(), cell.y())) {
            pixels.push_back(pixel);
        }
    }
    return pixels;
}

std::vector<Pixel*> Tool::mirroredCellsUnderTouch(const Gesture& gesture, EditorFields& editor) {
    const std::vector<Pixel*> touched = cellsUnderTouch(gesture, editor);
    if (touched.empty() || editor.toolOptions.mirror == MirrorAxes::none) {
        return touched;
    }
    const Canvas& canvas = *editor.canvasView->canvas();
    std::vector<QPoint> cells;
    cells.reserve(touched.size());
    for (const Pixel* pixel : touched) {
        cells.push_back(cellOf(canvas, *pixel));
    }
    return withMirrorImages(cells, editor);
}
