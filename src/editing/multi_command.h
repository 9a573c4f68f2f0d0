#pragma once

class Command;

// A command that collects other commands into one step.
class MultiCommand {
public:
    virtual ~MultiCommand() = default;
    virtual void addCommand(const Command& command) = 0;
};
