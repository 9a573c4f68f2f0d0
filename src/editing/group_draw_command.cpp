#include "editing/group_draw_command.h"

#include "canvas/pixel.h"

void GroupDrawCommand::execute() {
    if (painted_) {
        return;
    }
    painted_ = true;
    paint(&DrawCommand::newColor);
}

void GroupDrawCommand::undo() {
    painted_ = false;
    paint(&DrawCommand::oldColor);
}

void GroupDrawCommand::paint(Color DrawCommand::*colour) const {
    const size_t count = drawCommands_.size();
    for (size_t i = 0; i < count; ++i) {
        // The cells are scattered over the heap, one memory line each: asking for a cell's
        // line a few steps ahead keeps a whole-grid undo from waiting on every one in turn.
        if (i + kLookAhead < count) {
            drawCommands_[i + kLookAhead].pixel->prefetchFill();
        }
        drawCommands_[i].pixel->setFillColor(drawCommands_[i].*colour);
    }
}

void GroupDrawCommand::addCommand(const Command& command) {
    if (const auto* draw = dynamic_cast<const DrawCommand*>(&command)) {
        addCommand(*draw);
    }
}

void GroupDrawCommand::addCommand(const DrawCommand& command) {
    const bool painted = painted_;
    record(command);
    painted_ = painted;
    command.pixel->setFillColor(command.newColor);
}

bool GroupDrawCommand::record(const DrawCommand& command) {
    const Pixel* pixel = command.pixel;
    const FillObserver* grid = pixel->fillObserver();
    if (grid && !grid_) {
        grid_ = grid;
    }
    if (grid && grid == grid_) {
        const uint32_t tag = pixel->fillObserverTag();
        const size_t word = tag / 64;
        const uint64_t bit = uint64_t(1) << (tag % 64);
        if (word >= onGrid_.size()) {
            onGrid_.resize(word + 1, 0);
        }
        if (onGrid_[word] & bit) {
            return false;
        }
        onGrid_[word] |= bit;
    } else if (!offGrid_.insert(pixel).second) {
        return false;
    }
    drawCommands_.push_back(command);
    painted_ = false;
    return true;
}
