#pragma once

// An undoable edit of the picture.
class Command {
public:
    virtual ~Command() = default;
    virtual void execute() = 0;
    virtual void undo() = 0;
    virtual void redo() { execute(); }
};
