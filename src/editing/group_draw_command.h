#pragma once

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

    std::unordered_set<DrawCommand, DrawCommand::Hash> drawCommands;
};
