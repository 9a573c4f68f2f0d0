#pragma once

#include <functional>
#include <memory>
#include <vector>

class Command;

// The edit history: applied commands that can be undone, and undone ones that can be redone.
class CommandManager {
public:
    // Enters a command into the history, applies it and forgets everything redoable.
    void execute(std::shared_ptr<Command> command);
    void undo();
    void redo();

    const std::vector<std::shared_ptr<Command>>& commandStack() const { return commandStack_; }
    const std::vector<std::shared_ptr<Command>>& undoStack() const { return undoStack_; }

    // Called after the history changed (a step entered, undone or redone).
    std::function<void()> onChange;

private:
    std::vector<std::shared_ptr<Command>> commandStack_;
    std::vector<std::shared_ptr<Command>> undoStack_;
};
