#include "editing/group_draw_command.h"

#include "canvas/pixel.h"

void GroupDrawCommand::execute() {
    for (const DrawCommand& command : drawCommands) {
        command.pixel->setFillColor(command.newColor);
    }
}

void GroupDrawCommand::undo() {
    for (const DrawCommand& command : drawCommands) {
        command.pixel->setFillColor(command.oldColor);
    }
}

void GroupDrawCommand::addCommand(const Command& command) {
    if (const auto* draw = dynamic_cast<const DrawCommand*>(&command)) {
        addCommand(*draw);
    }
}

void GroupDrawCommand::addCommand(const DrawCommand& command) {
    drawCommands.insert(command);
    command.pixel->setFillColor(command.newColor);
}
