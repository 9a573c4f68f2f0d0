#include <gtest/gtest.h>

#include <unordered_set>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editing/command_manager.h"
#include "editing/draw_command.h"
#include "editing/group_draw_command.h"

namespace {
// Records the order in which commands run.
class Probe : public Command {
public:
    Probe(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    void execute() override { log_.push_back("do " + name_); }
    void undo() override { log_.push_back("undo " + name_); }

private:
    std::string name_;
    std::vector<std::string>& log_;
};
}  // namespace

TEST(CommandManagerTest, UndoAndRedoMoveCommandsBetweenTheStacksInOrder) {
    std::vector<std::string> log;
    CommandManager manager;
    auto a = std::make_shared<Probe>("A", log);
    auto b = std::make_shared<Probe>("B", log);
    manager.execute(a);
    manager.execute(b);
    manager.undo();
    manager.undo();
    EXPECT_TRUE(manager.commandStack().empty());
    ASSERT_EQ(manager.undoStack().size(), 2u);
    EXPECT_EQ(manager.undoStack()[0], b);
    EXPECT_EQ(manager.undoStack()[1], a);  // A on top
    manager.redo();
    manager.redo();
    EXPECT_EQ(log, (std::vector<std::string>{"do A", "do B", "undo B", "undo A", "do A", "do B"}));
    EXPECT_EQ(manager.commandStack().back(), b);
}

TEST(CommandManagerTest, ANewCommandForgetsEverythingRedoable) {
    std::vector<std::string> log;
    CommandManager manager;
    manager.execute(std::make_shared<Probe>("A", log));
    manager.undo();
    manager.execute(std::make_shared<Probe>("C", log));
    EXPECT_TRUE(manager.undoStack().empty());
    manager.redo();
    EXPECT_EQ(log, (std::vector<std::string>{"do A", "undo A", "do C"}));
}

TEST(CommandManagerTest, UndoAndRedoOnEmptyStacksDoNothing) {
    CommandManager manager;
    manager.undo();
    manager.redo();
    EXPECT_TRUE(manager.commandStack().empty());
    EXPECT_TRUE(manager.undoStack().empty());
}

TEST(DrawCommandTest, IdentityIsTheCellAlone) {
    Canvas canvas(2, 2);
    Pixel* one = canvas.getPixel(0, 0);
    Pixel* two = canvas.getPixel(1, 0);
    const DrawCommand red(Color::white(), Color::red(), one);
    const DrawCommand blue(Color::black(), Color::blue(), one);
    const DrawCommand elsewhere(Color::white(), Color::red(), two);
    EXPECT_EQ(red, blue);
    EXPECT_EQ(DrawCommand::Hash()(red), DrawCommand::Hash()(blue));
    EXPECT_FALSE(red == elsewhere);
    std::unordered_set<DrawCommand, DrawCommand::Hash> set{red, blue, elsewhere};
    EXPECT_EQ(set.size(), 2u);
}

TEST(GroupDrawCommandTest, KeepsTheFirstOldColourPerCellAndPaintsAtOnce) {
    Canvas canvas(3, 1);
    Pixel* one = canvas.getPixel(0, 0);
    Pixel* two = canvas.getPixel(1, 0);
    GroupDrawCommand group;
    group.addCommand(DrawCommand(one->fillColor(), Color::red(), one));
    group.addCommand(DrawCommand(two->fillColor(), Color::red(), two));
    EXPECT_EQ(one->fillColor(), Color::red());
    group.addCommand(DrawCommand(one->fillColor(), Color::blue(), one));
    EXPECT_EQ(group.drawCommands.size(), 2u);
    EXPECT_EQ(one->fillColor(), Color::blue());  // painted, though not recorded again

    group.undo();
    EXPECT_EQ(one->fillColor(), Color::white());
    EXPECT_EQ(two->fillColor(), Color::white());
    group.redo();
    EXPECT_EQ(one->fillColor(), Color::red());  // the recorded command's colour

    // Only draw commands join a group.
    GroupDrawCommand nested;
    group.addCommand(nested);
    EXPECT_EQ(group.drawCommands.size(), 2u);
}

TEST(GroupDrawCommandTest, AnEmptyGroupIsOneUndoStepThatChangesNothing) {
    Canvas canvas(2, 2);
    CommandManager manager;
    manager.execute(std::make_shared<GroupDrawCommand>());
    ASSERT_EQ(manager.commandStack().size(), 1u);
    manager.undo();
    EXPECT_EQ(manager.undoStack().size(), 1u);
    EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(4, Color::white()));
}
