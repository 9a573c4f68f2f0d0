#include <gtest/gtest.h>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editing/bucket.h"
#include "editing/editor_fields.h"
#include "editing/paintbrush.h"
#include "grid_picture.h"

namespace {
// A real canvas view on a 390 x 844 screen, with the editor's fields around it.
struct ToolFixture : testing::Test {
    std::unique_ptr<CanvasView> view = std::make_unique<CanvasView>();
    EditorFields editor;
    Paintbrush brush;
    Bucket bucket;

    void SetUp() override { editor.canvasView = view.get(); }

    Canvas& canvas() { return *view->canvas(); }

    QPointF at(int64_t x, int64_t y) const {
        const Pixel* cell = view->canvas()->getPixel(x, y);
        return view->convertPointFromScene(
            view->canvas()->convertPointToScene(cell->position() + QPointF(150, 150)));
    }

    void drag(Tool& tool, const std::vector<std::pair<GestureState, QPointF>>& phases) {
        for (const auto& [state, location] : phases) {
            tool.handleDraw(GestureSnapshot(state, location), editor);
        }
    }

    std::vector<std::string> ring() {
        return {
            "..........", ".####.....", ".#..#.....", ".#..#.....", ".####.....",
            "..........", "..........", "..........", "..........", "..........",
        };
    }
};
}  // namespace

TEST_F(ToolFixture, ATapPaintsOneCellAsOneUndoStep) {
    editor.currentDrawingColor = Color::red();
    brush.handleTap(GestureSnapshot(GestureState::ended, at(4, 7)), editor);
    EXPECT_EQ(canvas().getPixel(4, 7)->fillColor(), Color::red());
    EXPECT_EQ(editor.commandManager.commandStack().size(), 1u);
    editor.commandManager.undo();
    EXPECT_EQ(canvas().getColorArray(), std::vector<Color>(400, Color::white()));
}

TEST_F(ToolFixture, TwoTapsWithTheSameColourAreTwoSteps) {
    canvas().getPixel(2, 2)->setFillColor(Color::blue());
    editor.currentDrawingColor = Color::red();
    brush.handleTap(GestureSnapshot(GestureState::ended, at(2, 2)), editor);
    brush.handleTap(GestureSnapshot(GestureState::ended, at(2, 2)), editor);
    EXPECT_EQ(editor.commandManager.commandStack().size(), 2u);
    editor.commandManager.undo();
    EXPECT_EQ(canvas().getPixel(2, 2)->fillColor(), Color::red());
    editor.commandManager.undo();
    EXPECT_EQ(canvas().getPixel(2, 2)->fillColor(), Color::blue());
}

TEST_F(ToolFixture, AStrokeIsOneStepIncludingItsLastCellAndUndoRestoresTheStart) {
    canvas().getPixel(1, 5)->setFillColor(Color::blue());
    editor.currentDrawingColor = Color::red();
    drag(brush, {{GestureState::began, at(0, 5)},
                 {GestureState::changed, at(1, 5)},
                 {GestureState::changed, at(0, 5)},  // back over a painted cell
                 {GestureState::changed, at(1, 5)},
                 {GestureState::ended, at(2, 5)}});
    EXPECT_EQ(canvas().getPixel(2, 5)->fillColor(), Color::red());
    ASSERT_EQ(editor.commandManager.commandStack().size(), 1u);
    EXPECT_EQ(editor.groupDrawCommand->drawCommands.size(), 3u);

    editor.commandManager.undo();
    EXPECT_EQ(canvas().getPixel(0, 5)->fillColor(), Color::white());
    EXPECT_EQ(canvas().getPixel(1, 5)->fillColor(), Color::blue());
    EXPECT_EQ(canvas().getPixel(2, 5)->fillColor(), Color::white());
    editor.commandManager.redo();
    EXPECT_EQ(canvas().getPixel(2, 5)->fillColor(), Color::red());
}

TEST_F(ToolFixture, ACancelledStrokeStaysPaintedButOutOfTheHistory) {
    editor.currentDrawingColor = Color::red();
    drag(brush, {{GestureState::began, at(3, 3)}, {GestureState::cancelled, at(4, 3)}});
    EXPECT_EQ(canvas().getPixel(4, 3)->fillColor(), Color::red());
    EXPECT_TRUE(editor.commandManager.commandStack().empty());
}

TEST_F(ToolFixture, ATouchOutsideTheGridPaintsNothingButStillFramesTheStroke) {
    drag(brush, {{GestureState::began, QPointF(100, 50)}, {GestureState::ended, QPointF(100, 60)}});
    EXPECT_EQ(editor.commandManager.commandStack().size(), 1u);
    EXPECT_EQ(canvas().getColorArray(), std::vector<Color>(400, Color::white()));
}

TEST_F(ToolFixture, BucketFillsAWhiteGridAsOneStep) {
    editor.currentDrawingColor = Color::red();
    bucket.handleTap(GestureSnapshot(GestureState::ended, at(7, 7)), editor);
    EXPECT_EQ(canvas().getColorArray(), std::vector<Color>(400, Color::red()));
    ASSERT_EQ(editor.commandManager.commandStack().size(), 1u);
    editor.commandManager.undo();
    EXPECT_EQ(canvas().getColorArray(), std::vector<Color>(400, Color::white()));
}

TEST_F(ToolFixture, BucketStaysInsideARingEvenAcrossDiagonalGaps) {
    CanvasView small(std::vector<Color>(100, Color::white()), 10, 10);
    editor.canvasView = &small;
    view.reset();
    Canvas& grid = *small.canvas();
    auto cellAt = [&](int64_t x, int64_t y) {
        return small.convertPointFromScene(
            grid.convertPointToScene(grid.getPixel(x, y)->position() + QPointF(150, 150)));
    };
    grid_picture::paint(grid, ring());
    editor.currentDrawingColor = Color::red();
    bucket.handleTap(GestureSnapshot(GestureState::ended, cellAt(2, 7)), editor);
    EXPECT_EQ(grid_picture::read(grid), (std::vector<std::string>{
                                            "..........",
                                            ".####.....",
                                            ".#RR#.....",
                                            ".#RR#.....",
                                            ".####.....",
                                            "..........",
                                            "..........",
                                            "..........",
                                            "..........",
                                            "..........",
                                        }));

    // A ring whose corners only touch diagonally still holds the fill outside.
    grid_picture::paint(grid, {
                                  "..........",
                                  "..#.......",
                                  ".#.#......",
                                  "..#.......",
                                  "..........",
                                  "..........",
                                  "..........",
                                  "..........",
                                  "..........",
                                  "..........",
                              });
    editor.currentDrawingColor = Color::blue();
    bucket.handleTap(GestureSnapshot(GestureState::ended, cellAt(9, 0)), editor);
    const auto picture = grid_picture::read(grid);
    EXPECT_EQ(picture[0], "BBBBBBBBBB");  // the far corners and edges fill
    EXPECT_EQ(picture[2], "B#.#BBBBBB");  // the pocket stays white
    EXPECT_EQ(picture[9], "BBBBBBBBBB");
}

TEST_F(ToolFixture, BucketTreatsColoursWithinTheToleranceAsEqual) {
    Canvas& grid = canvas();
    for (Pixel* cell : grid.pixelArray()) {
        cell->setFillColor(Color::red());
    }
    grid.getPixel(5, 5)->setFillColor(Color::withRGB(0.999995, 0, 0, 1));  // within 0.00001
    grid.getPixel(9, 9)->setFillColor(Color::withRGB(1, 0, 0, 0.9));       // alpha differs
    editor.currentDrawingColor = Color::blue();
    bucket.handleTap(GestureSnapshot(GestureState::ended, at(0, 0)), editor);
    EXPECT_EQ(grid.getPixel(5, 5)->fillColor(), Color::blue());
    EXPECT_EQ(grid.getPixel(9, 9)->fillColor(), Color::withRGB(1, 0, 0, 0.9));
    EXPECT_EQ(editor.groupDrawCommand->drawCommands.size(), 399u);
}

TEST_F(ToolFixture, BucketOnTheSameColourEntersAnEmptyStepAndClearsRedo) {
    editor.currentDrawingColor = Color::red();
    brush.handleTap(GestureSnapshot(GestureState::ended, at(0, 0)), editor);
    editor.commandManager.undo();
    ASSERT_EQ(editor.commandManager.undoStack().size(), 1u);

    editor.currentDrawingColor = Color::withRGB(1, 1, 1, 1);  // white, as RGB
    bucket.handleTap(GestureSnapshot(GestureState::ended, at(3, 3)), editor);
    EXPECT_TRUE(editor.commandManager.undoStack().empty());
    ASSERT_EQ(editor.commandManager.commandStack().size(), 1u);
    EXPECT_TRUE(editor.groupDrawCommand->drawCommands.empty());
    EXPECT_EQ(canvas().getColorArray(), std::vector<Color>(400, Color::white()));
}

TEST_F(ToolFixture, ADragWithTheBucketChangesNothing) {
    drag(bucket, {{GestureState::began, at(1, 1)}, {GestureState::ended, at(2, 1)}});
    EXPECT_TRUE(editor.commandManager.commandStack().empty());
    EXPECT_EQ(canvas().getColorArray(), std::vector<Color>(400, Color::white()));
}

TEST_F(ToolFixture, WithoutACanvasViewTapsDoNothing) {
    editor.canvasView = nullptr;
    auto group = editor.groupDrawCommand;
    brush.handleTap(GestureSnapshot(GestureState::ended, at(1, 1)), editor);
    bucket.handleTap(GestureSnapshot(GestureState::ended, at(1, 1)), editor);
    EXPECT_TRUE(editor.commandManager.commandStack().empty());
    EXPECT_EQ(editor.groupDrawCommand, group);
}
