#include "editing/bucket.h"

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "canvas/canvas.h"
#include "canvas/pixel.h"

namespace {
constexpr double kFillTolerance = 0.00001;
}

namespace {
bool near(const std::optional<Color::RGBA>& a, const std::optional<Color::RGBA>& b,
          double tolerance) {
    if (!a || !b) {
        return false;
    }
    return std::abs(a->red - b->red) <= tolerance && std::abs(a->green - b->green) <= tolerance &&
           std::abs(a->blue - b->blue) <= tolerance && std::abs(a->alpha - b->alpha) <= tolerance;
}
}  // namespace

bool isEqualToColor(const Color& color, const Color& other, double tolerance) {
    return near(color.getRGBA(), other.getRGBA(), tolerance);
}

void floodFill(Canvas& canvas, int64_t column, int64_t row, const Color& target,
               const Color& replacement, EditorFields& editor) {
    // Depth-first with an explicit stack: the same cells in the same order as recursing into
    // (c-1, r), (c+1, r), (c, r+1), (c, r-1), without the deep call chain.
    // The two colours every cell is compared with, converted once rather than per cell.
    const auto targetRGBA = target.getRGBA();
    const auto replacementRGBA = replacement.getRGBA();
    std::vector<std::pair<int64_t, int64_t>> pending{{column, row}};
    while (!pending.empty()) {
        const auto [c, r] = pending.back();
        pending.pop_back();
        Pixel* cell = canvas.getPixel(c, r);
        if (!cell) {
            continue;
        }
        const Color& current = cell->fillColor();
        const auto currentRGBA = current.getRGBA();
        if (!near(currentRGBA, targetRGBA, kFillTolerance) ||
            near(currentRGBA, replacementRGBA, kFillTolerance)) {
            continue;
        }
        editor.groupDrawCommand->addCommand(DrawCommand(current, replacement, cell));
        pending.emplace_back(c, r - 1);
        pending.emplace_back(c, r + 1);
        pending.emplace_back(c + 1, r);
        pending.emplace_back(c - 1, r);
    }
}

void replaceColor(Canvas& canvas, const Color& target, const Color& replacement,
                  EditorFields& editor) {
    const auto targetRGBA = target.getRGBA();
    const auto replacementRGBA = replacement.getRGBA();
    for (Pixel* cell : canvas.pixelArray()) {
        const Color& current = cell->fillColor();
        const auto currentRGBA = current.getRGBA();
        if (near(currentRGBA, targetRGBA, kFillTolerance) &&
            !near(currentRGBA, replacementRGBA, kFillTolerance)) {
            editor.groupDrawCommand->addCommand(DrawCommand(current, replacement, cell));
        }
    }
}

void Bucket::handleTap(const Gesture& gesture, EditorFields& editor) {
    if (!editor.canvasView) {
        return;
    }
    const std::vector<Pixel*> seeds = mirroredCellsUnderTouch(gesture, editor);
    if (seeds.empty()) {
        return;
    }
    editor.groupDrawCommand = std::make_shared<GroupDrawCommand>();
    Canvas& canvas = *editor.canvasView->canvas();
    // Room for every cell up front: a whole-grid fill would otherwise rehash ten times.
    editor.groupDrawCommand->drawCommands.reserve(canvas.pixelArray().size());
    // Each seed fills what it finds when its turn comes: a mirror image that lies in an area
    // filled already finds the new colour there and changes nothing.
    for (Pixel* seed : seeds) {
        // A copy: the cell's own colour changes as soon as the fill paints it.
        const Color target = seed->fillColor();
        if (editor.toolOptions.replaceColor) {
            replaceColor(canvas, target, editor.currentDrawingColor, editor);
        } else {
            const QPoint cell = cellOf(canvas, *seed);
            floodFill(canvas, cell.x(), cell.y(), target, editor.currentDrawingColor, editor);
        }
    }
    editor.commandManager.execute(editor.groupDrawCommand);
}

void Bucket::handleDraw(const Gesture&, EditorFields&) {}
