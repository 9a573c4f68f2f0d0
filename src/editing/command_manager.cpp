#include "editing/command_manager.h"

#include "editing/command.h"

void CommandManager::execute(std::shared_ptr<Command> command) {
    if (!command) {
        return;
    }
    commandStack_.push_back(command);
    command->execute();
    undoStack_.clear();
    if (onChange) {
        onChange();
    }
}

void CommandManager::undo() {
    if (commandStack_.empty()) {
        return;
    }
    std::shared_ptr<Command> command = std::move(commandStack_.back());
    commandStack_.pop_back();
    undoStack_.push_back(command);
    command->undo();
    if (onChange) {
        onChange();
    }
}

void CommandManager::redo() {
    if (undoStack_.empty()) {
        return;
    }
    std::shared_ptr<Command> command = std::move(undoStack_.back());
    undoStack_.pop_back();
    commandStack_.push_back(command);
    command->redo();
    if (onChange) {
        onChange();
    }
}
