#pragma once

#include <QPoint>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/color.h"

class Canvas;
class GroupDrawCommand;
class Pixel;

// A shape shown on the canvas while the finger drags it, and not yet in the history: the cells
// it covers are painted, and each keeps the colour it had so that the shape can move on or go
// without a trace. Only the cells that change are touched when the shape changes.
class ShapePreview {
public:
    bool isActive() const { return canvas_ != nullptr; }
    // Where the drag started, in cells.
    QPoint anchor() const { return anchor_; }

    // Starts a preview on canvas with nothing shown yet; one still shown is taken away first.
    void begin(Canvas& canvas, QPoint anchor);
    // Shows exactly these cells (indexes into the canvas's cells, each once) in colour.
    void show(const std::vector<int64_t>& cells, const Color& colour);
    // Gives every shown cell its colour back and ends the preview.
    void cancel();
    // Ends the preview, leaving its cells painted, as one step ready for the history (not yet
    // entered); nothing when no preview runs.
    std::shared_ptr<GroupDrawCommand> commit();

    size_t shownCount() const { return shown_.size(); }

private:
    struct Shown {
        int64_t index;
        Color before;
    };
    Canvas* canvas_ = nullptr;
    QPoint anchor_;
    Color colour_;
    std::vector<Shown> shown_;
    // Per grid cell: whether it is shown, and a stamp marking the cells of the newest shape.
    std::vector<uint8_t> isShown_;
    std::vector<uint32_t> stamp_;
    uint32_t generation_ = 0;
};
