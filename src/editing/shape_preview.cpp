#include "editing/shape_preview.h"

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editing/group_draw_command.h"

void ShapePreview::begin(Canvas& canvas, QPoint anchor) {
    cancel();
    canvas_ = &canvas;
    anchor_ = anchor;
    colour_ = Color();
    const size_t count = canvas.pixelArray().size();
    isShown_.assign(count, 0);
    stamp_.assign(count, 0);
    generation_ = 0;
}

void ShapePreview::show(const std::vector<int64_t>& cells, const Color& colour) {
    if (!canvas_) {
        return;
    }
    const auto& pixels = canvas_->pixelArray();
    if (++generation_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        generation_ = 1;
    }
    for (const int64_t index : cells) {
        if (index >= 0 && size_t(index) < stamp_.size()) {
            stamp_[size_t(index)] = generation_;
        }
    }
    // Cells the new shape leaves get their colour back; the rest stay as they are.
    const bool recolour = !(colour == colour_);
    size_t kept = 0;
    for (const Shown& cell : shown_) {
        Pixel* pixel = pixels[size_t(cell.index)];
        if (stamp_[size_t(cell.index)] == generation_) {
            if (recolour) {
                pixel->setFillColor(colour);
            }
            shown_[kept++] = cell;
        } else {
            pixel->setFillColor(cell.before);
            isShown_[size_t(cell.index)] = 0;
        }
    }
    shown_.resize(kept);
    for (const int64_t index : cells) {
        if (index < 0 || size_t(index) >= isShown_.size() || isShown_[size_t(index)]) {
            continue;
        }
        Pixel* pixel = pixels[size_t(index)];
        isShown_[size_t(index)] = 1;
        shown_.push_back({index, pixel->fillColor()});
        pixel->setFillColor(colour);
    }
    colour_ = colour;
}

void ShapePreview::cancel() {
    if (canvas_) {
        const auto& pixels = canvas_->pixelArray();
        for (const Shown& cell : shown_) {
            pixels[size_t(cell.index)]->setFillColor(cell.before);
        }
    }
    canvas_ = nullptr;
    shown_.clear();
}

std::shared_ptr<GroupDrawCommand> ShapePreview::commit() {
    if (!canvas_) {
        return nullptr;
    }
    auto group = std::make_shared<GroupDrawCommand>();
    group->reserve(shown_.size());
    const auto& pixels = canvas_->pixelArray();
    for (const Shown& cell : shown_) {
        group->addCommand(DrawCommand(cell.before, colour_, pixels[size_t(cell.index)]));
    }
    canvas_ = nullptr;
    shown_.clear();
    return group;
}
