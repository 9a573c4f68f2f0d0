#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "editing/command.h"
#include "editing/draw_command.h"
#include "editing/multi_command.h"

class FillObserver;

// The cells of one step (a stroke or a fill). Keeps the first command per cell, so undo
// gives every cell back the colour it had before the step.
class GroupDrawCommand final : public Command, public MultiCommand {
public:
    // Paints every recorded cell; nothing to do when they show the step already because the
    // commands were added (and painted) and nothing was undone since: entering a whole-grid
    // fill into the history would otherwise visit every cell a second time.
    void execute() override;
    void undo() override;
    // Records a DrawCommand (unless the cell is already recorded) and paints it at once;
    // commands of other kinds are ignored.
    void addCommand(const Command& command) override;
    // The same for a command known to be a DrawCommand, as the tools have.
    void addCommand(const DrawCommand& command);
    // Records without painting, for a step whose cells already show it (or are to be
    // painted by execute); false when the cell is recorded already.
    bool record(const DrawCommand& command);
    void reserve(size_t count) { drawCommands_.reserve(count); }

    // In the order they were recorded, one per cell.
    const std::vector<DrawCommand>& drawCommands() const { return drawCommands_; }
    size_t size() const { return drawCommands_.size(); }
    bool empty() const { return drawCommands_.empty(); }

    // How far ahead of the cell being painted its successors' memory is asked for.
    static constexpr size_t kLookAhead = 16;

private:
    void paint(Color DrawCommand::*colour) const;

    std::vector<DrawCommand> drawCommands_;
    bool painted_ = true;
    // Which cells are recorded: a bit per cell of the grid the first cell lies on, by the
    // number its grid gave it, so that a whole-grid fill checks each cell without hashing;
    // cells elsewhere (off any grid) by address.
    const FillObserver* grid_ = nullptr;
    std::vector<uint64_t> onGrid_;
    std::unordered_set<const Pixel*> offGrid_;
};
