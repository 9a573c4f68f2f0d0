#include "editing/bucket.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editing/group_draw_command.h"

namespace {
constexpr double kFillTolerance = 0.00001;

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

namespace {
// Cell states while a fill is worked out.
enum : uint8_t { kClosed = 0, kOpen = 1, kFilled = 2 };

// Which cells a fill from target to replacement may recolour, in cell order.
std::vector<uint8_t> openCells(const Canvas& canvas, const Color& target,
                               const Color& replacement) {
    const auto targetRGBA = target.getRGBA();
    const auto replacementRGBA = replacement.getRGBA();
    const std::vector<Color>& colors = canvas.colors();
    const size_t count = std::min(colors.size(), canvas.pixelArray().size());
    std::vector<uint8_t> state(count, kClosed);
    // Neighbouring cells mostly share their colour: the verdict on the one before is reused.
    const Color* previous = nullptr;
    uint8_t verdict = kClosed;
    for (size_t i = 0; i < count; ++i) {
        if (!previous || !(colors[i] == *previous)) {
            const auto rgba = colors[i].getRGBA();
            verdict = near(rgba, targetRGBA, kFillTolerance) &&
                              !near(rgba, replacementRGBA, kFillTolerance)
                          ? kOpen
                          : kClosed;
            previous = &colors[i];
        }
        state[i] = verdict;
    }
    return state;
}

// Enters the cells marked filled into the group in cell order, painting each: the cells are
// visited in the order they lie in memory, and the history keeps them in that order too.
void recolourFilled(Canvas& canvas, const std::vector<uint8_t>& state, size_t filled,
                    const Color& replacement, EditorFields& editor) {
    GroupDrawCommand& group = *editor.groupDrawCommand;
    group.reserve(group.size() + filled);
    const std::vector<Pixel*>& cells = canvas.pixelArray();
    const std::vector<Color>& colors = canvas.colors();
    // The cells a few filled ones ahead are asked for early (see GroupDrawCommand::paint).
    size_t ahead = 0;
    const auto prefetchNext = [&] {
        while (ahead < state.size() && state[ahead] != kFilled) {
            ++ahead;
        }
        if (ahead < state.size()) {
            cells[ahead++]->prefetchFill();
        }
    };
    for (size_t k = 0; k < GroupDrawCommand::kLookAhead; ++k) {
        prefetchNext();
    }
    for (size_t i = 0; i < state.size(); ++i) {
        if (state[i] == kFilled) {
            prefetchNext();
            group.addChange(cells[i], colors[i], replacement);
        }
    }
}
}  // namespace

void floodFill(Canvas& canvas, int64_t column, int64_t row, const Color& target,
               const Color& replacement, EditorFields& editor) {
    const int64_t width = canvas.width;
    const int64_t height = canvas.height;
    if (column < 0 || column >= width || row < 0 || row >= height) {
        return;
    }
    std::vector<uint8_t> state = openCells(canvas, target, replacement);
    if (state.size() < size_t(width * height)) {
        return;
    }
    // Spans along a column (cells of a column lie next to each other): each seed grows to the
    // whole open run around it, then seeds the runs beside it in the columns to either side.
    const auto at = [height](int64_t c, int64_t r) { return size_t(c * height + r); };
    std::vector<std::pair<int64_t, int64_t>> seeds{{column, row}};
    size_t filled = 0;
    while (!seeds.empty()) {
        const auto [c, r] = seeds.back();
        seeds.pop_back();
        if (state[at(c, r)] != kOpen) {
            continue;
        }
        int64_t bottom = r;
        while (bottom > 0 && state[at(c, bottom - 1)] == kOpen) {
            --bottom;
        }
        int64_t top = r;
        while (top + 1 < height && state[at(c, top + 1)] == kOpen) {
            ++top;
        }
        std::fill(state.begin() + std::ptrdiff_t(at(c, bottom)),
                  state.begin() + std::ptrdiff_t(at(c, top)) + 1, kFilled);
        filled += size_t(top - bottom + 1);
        for (const int64_t side : {c - 1, c + 1}) {
            if (side < 0 || side >= width) {
                continue;
            }
            bool inRun = false;
            for (int64_t y = bottom; y <= top; ++y) {
                const bool open = state[at(side, y)] == kOpen;
                if (open && !inRun) {
                    seeds.emplace_back(side, y);
                }
                inRun = open;
            }
        }
    }
    recolourFilled(canvas, state, filled, replacement, editor);
}

void replaceColor(Canvas& canvas, const Color& target, const Color& replacement,
                  EditorFields& editor) {
    std::vector<uint8_t> state = openCells(canvas, target, replacement);
    size_t filled = 0;
    for (uint8_t& cell : state) {
        if (cell == kOpen) {
            cell = kFilled;
            ++filled;
        }
    }
    recolourFilled(canvas, state, filled, replacement, editor);
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
