#pragma once

#include <memory_resource>
#include <unordered_set>

#include "editing/command.h"
#include "editing/draw_command.h"
#include "editing/multi_command.h"

// The cells of one step (a stroke or a fill). Keeps the first command per cell, so undo
// gives every cell back the colour it had before the step.
class GroupDrawCommand final : public Command, public MultiCommand {
public:
    void execute() override;
    void undo() override;
    // Records a DrawCommand (unless the cell is already recorded) and paints it at once;
    // commands of other kinds are ignored.
    void addCommand(const Command& command) override;
    // The same for a command known to be a DrawCommand, as the tools have.
    void addCommand(const DrawCommand& command);

private:
    // The set's entries live here and go all at once with the group: a whole-grid fill
    // records hundreds of them, and one allocation each would cost more than the fill itself.
    // Declared before the set so that it outlives it.
    std::pmr::monotonic_buffer_resource entries_;

public:
    std::pmr::unordered_set<DrawCommand, DrawCommand::Hash> drawCommands{&entries_};
};
