// The undo group, the tools' edge cases and the fill against a reference search, on a real
// canvas view; the editor's history model test drives the rest through real input.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <deque>
#include <random>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editing/bucket.h"
#include "editing/editor_fields.h"
#include "editing/group_draw_command.h"
#include "editing/paintbrush.h"
#include "grid_picture.h"

namespace {
const std::vector<Color> white(64, Color::white());

// An 8 x 8 canvas view on a 390 x 844 screen, with the editor's fields around it.
struct ToolTest : testing::Test {
    void SetUp() override { editor.canvasView = &view; }
    Canvas& canvas() { return *view.canvas(); }
    Color colour(int64_t x, int64_t y) { return canvas().getPixel(x, y)->fillColor(); }
    // The centre of a cell in the view.
    QPointF at(int64_t x, int64_t y) const {
        const Pixel* cell = view.canvas()->getPixel(x, y);
        return view.convertPointFromScene(
            view.canvas()->convertPointToScene(cell->position() + QPointF(150, 150)));
    }
    void tap(Tool& tool, int64_t x, int64_t y, const Color& colour) {
        editor.currentDrawingColor = colour;
        tool.handleTap(GestureSnapshot(GestureState::ended, at(x, y)), editor);
    }
    void drag(Tool& tool, const std::vector<std::pair<GestureState, QPointF>>& phases) {
        for (const auto& [state, location] : phases) {
            tool.handleDraw(GestureSnapshot(state, location), editor);
        }
    }
    size_t steps() const { return editor.commandManager.commandStack().size(); }

    CanvasView view{white, 8, 8};
    EditorFields editor;
    Paintbrush brush;
    Bucket bucket;
};
}  // namespace

TEST(GroupDrawCommandTest, OneCommandPerCellKeepsTheFirstOldColour) {
    Canvas canvas(3, 1);
    Pixel* one = canvas.getPixel(0, 0);
    Pixel* two = canvas.getPixel(1, 0);
    GroupDrawCommand group;
    group.addCommand(DrawCommand(one->fillColor(), Color::red(), one));
    group.addCommand(DrawCommand(two->fillColor(), Color::red(), two));
    EXPECT_EQ(one->fillColor(), Color::red());
    group.addCommand(DrawCommand(one->fillColor(), Color::blue(), one));
    EXPECT_EQ(group.size(), 2u);
    EXPECT_EQ(one->fillColor(), Color::blue());  // painted, though not recorded again
    group.undo();
    EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(3, Color::white()));
    group.redo();
    EXPECT_EQ(one->fillColor(), Color::red());  // the recorded command's colour
    // Only draw commands join a group.
    group.addCommand(GroupDrawCommand());
    EXPECT_EQ(group.size(), 2u);

    // Many colours in one step, some equal but differently written (-0 and 0), one not equal
    // to itself: each cell gets its own back, and the step's own colours again on redo.
    Canvas wide(64, 1);
    std::vector<Color> before;
    for (int i = 0; i < 64; ++i) {
        before.push_back(i % 3 == 0 ? Color::withRGB(i % 2 ? -0.0 : 0.0, 0, 0)
                                    : Color::withRGB(i / 64.0, 0.5, 1 - i / 64.0));
        wide.getPixel(i, 0)->setFillColor(before.back());
    }
    before[63] = Color::withRGB(std::nan(""), 0, 0);
    wide.getPixel(63, 0)->setFillColor(before[63]);
    GroupDrawCommand many;
    std::vector<Color> after;
    for (int i = 0; i < 64; ++i) {
        after.push_back(i % 5 == 0 ? Color::red() : Color::withWhite(i / 64.0));
        many.addCommand(DrawCommand(before[size_t(i)], after.back(), wide.getPixel(i, 0)));
    }
    const auto components = [&wide] {
        std::vector<std::array<double, 4>> all;
        for (const Pixel* cell : wide.pixelArray()) {
            all.push_back(cell->fillColor().components());
        }
        return all;
    };
    const auto expected = [](const std::vector<Color>& colours) {
        std::vector<std::array<double, 4>> all;
        for (const Color& colour : colours) {
            all.push_back(colour.components());
        }
        return all;
    };
    many.undo();
    EXPECT_EQ(testing::PrintToString(components()), testing::PrintToString(expected(before)));
    EXPECT_TRUE(std::signbit(wide.getPixel(3, 0)->fillColor().components()[0]));
    many.redo();
    EXPECT_EQ(components(), expected(after));
}

TEST_F(ToolTest, StrokesOffTheGridCancelledOrWithoutAView) {
    // A stroke begun off the grid paints nothing, but is still a step.
    drag(brush, {{GestureState::began, QPointF(100, 50)}, {GestureState::ended, QPointF(100, 60)}});
    EXPECT_EQ(steps(), 1u);
    EXPECT_EQ(canvas().getColorArray(), white);
    // A cancelled stroke stays painted but out of the history.
    editor.currentDrawingColor = Color::red();
    drag(brush, {{GestureState::began, at(3, 3)}, {GestureState::cancelled, at(4, 3)}});
    EXPECT_EQ(colour(4, 3), Color::red());
    EXPECT_EQ(steps(), 1u);
    // The bucket ignores drags; without a canvas view taps do nothing.
    drag(bucket, {{GestureState::began, at(1, 1)}, {GestureState::ended, at(2, 1)}});
    const QPointF cell = at(1, 1);
    editor.canvasView = nullptr;
    const auto group = editor.groupDrawCommand;
    brush.handleTap(GestureSnapshot(GestureState::ended, cell), editor);
    bucket.handleTap(GestureSnapshot(GestureState::ended, cell), editor);
    EXPECT_EQ(steps(), 1u);
    EXPECT_EQ(editor.groupDrawCommand, group);
    EXPECT_EQ(colour(1, 1), Color::white());
}

TEST_F(ToolTest, BucketFillsAsOneStepWithinTheToleranceAndNotAcrossDiagonalGaps) {
    tap(bucket, 7, 7, Color::red());
    EXPECT_EQ(canvas().getColorArray(), std::vector<Color>(64, Color::red()));
    ASSERT_EQ(steps(), 1u);
    editor.commandManager.undo();
    EXPECT_EQ(canvas().getColorArray(), white);

    // A closed ring holds a fill in; one whose corners only touch diagonally holds one out.
    grid_picture::paint(canvas(), {"........", ".####...", ".#..#...", ".####.#.", ".....#.#",
                                   "......#.", "........", "........"});
    tap(bucket, 2, 5, Color::red());
    tap(bucket, 7, 0, Color::blue());
    EXPECT_EQ(grid_picture::read(canvas()),
              (std::vector<std::string>{"BBBBBBBB", "B####BBB", "B#RR#BBB", "B####B#B", "BBBBB#.#",
                                        "BBBBBB#B", "BBBBBBBB", "BBBBBBBB"}));

    for (Pixel* cell : canvas().pixelArray()) {
        cell->setFillColor(Color::red());
    }
    canvas().getPixel(5, 5)->setFillColor(Color::withRGB(0.999995, 0, 0, 1));  // within 0.00001
    canvas().getPixel(6, 6)->setFillColor(Color::withRGB(1, 0, 0, 0.9));       // alpha differs
    const Color nextShade = Color::withRGB(1, 1.0 / 255, 0, 1);  // one 8-bit step of green
    canvas().getPixel(2, 2)->setFillColor(nextShade);
    tap(bucket, 0, 0, Color::blue());
    EXPECT_EQ(colour(5, 5), Color::blue());
    EXPECT_EQ(colour(6, 6), Color::withRGB(1, 0, 0, 0.9));
    EXPECT_EQ(colour(2, 2), nextShade);
    EXPECT_EQ(editor.groupDrawCommand->size(), 62u);
}

// Fills and colour replacements on random pictures of few colours (some a hair's breadth off
// another, within the tolerance or just beyond it), against a plain breadth-first search:
// every cell the region holds is recoloured and no other, one command each, and undo and redo
// give back every colour exactly, with the canvas's own colour list following the cells.
TEST(FillModelTest, FillsAndReplacementsMatchAPlainSearchOnRandomPictures) {
    const Color palette[] = {Color::white(),
                             Color::red(),
                             Color::withRGB(0.999995, 0, 0, 1),
                             Color::withRGB(1, 0.00002, 0, 1),
                             Color::blue(),
                             Color::withWhite(1, 1)};
    const auto same = [](const Color& a, const Color& b) { return isEqualToColor(a, b, 0.00001); };
    std::mt19937 random(7);
    const std::pair<int64_t, int64_t> sizes[] = {{1, 1},   {1, 9},  {9, 1},   {5, 7},
                                                 {16, 16}, {33, 4}, {64, 64}, {256, 256}};
    for (int round = 0; round < 120; ++round) {
        const auto [width, height] = sizes[size_t(round) % std::size(sizes)];
        // Fewer colours on some rounds make large, winding regions.
        const size_t colours = 2 + size_t(random() % 5);
        std::vector<Color> before;
        for (int64_t i = 0; i < width * height; ++i) {
            before.push_back(palette[random() % colours]);
        }
        Canvas canvas(before, width, height);
        const int64_t column = int64_t(random() % uint64_t(width));
        const int64_t row = int64_t(random() % uint64_t(height));
        const Color target = before[size_t(column * height + row)];
        const Color replacement = palette[random() % std::size(palette)];
        const bool replacing = random() % 4 == 0;
        SCOPED_TRACE(testing::Message()
                     << "round " << round << ", " << width << " x " << height << ", from ("
                     << column << ", " << row << ")" << (replacing ? ", replacing" : ""));

        const auto open = [&](size_t i) {
            return same(before[i], target) && !same(before[i], replacement);
        };
        std::vector<bool> region(before.size(), false);
        if (replacing) {
            for (size_t i = 0; i < before.size(); ++i) {
                region[i] = open(i);
            }
        } else if (open(size_t(column * height + row))) {
            std::deque<std::pair<int64_t, int64_t>> queue{{column, row}};
            region[size_t(column * height + row)] = true;
            while (!queue.empty()) {
                const auto [c, r] = queue.front();
                queue.pop_front();
                for (const auto& [dc, dr] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                    const int64_t nc = c + dc;
                    const int64_t nr = r + dr;
                    const auto i = size_t(nc * height + nr);
                    if (nc >= 0 && nc < width && nr >= 0 && nr < height && !region[i] && open(i)) {
                        region[i] = true;
                        queue.emplace_back(nc, nr);
                    }
                }
            }
        }
        std::vector<Color> expected = before;
        size_t count = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            if (region[i]) {
                expected[i] = replacement;
                ++count;
            }
        }

        EditorFields editor;
        editor.groupDrawCommand = std::make_shared<GroupDrawCommand>();
        if (replacing) {
            replaceColor(canvas, target, replacement, editor);
        } else {
            floodFill(canvas, column, row, target, replacement, editor);
        }
        GroupDrawCommand& group = *editor.groupDrawCommand;
        ASSERT_EQ(group.size(), count);
        ASSERT_EQ(canvas.getColorArray(), expected);
        std::vector<Color> cells;
        for (const Pixel* cell : canvas.pixelArray()) {
            cells.push_back(cell->fillColor());
        }
        ASSERT_EQ(cells, expected);
        editor.commandManager.execute(editor.groupDrawCommand);
        ASSERT_EQ(canvas.getColorArray(), expected);
        editor.commandManager.undo();
        ASSERT_EQ(canvas.getColorArray(), before);
        ASSERT_EQ(canvas.getPixel(column, row)->fillColor(), target);
        editor.commandManager.redo();
        ASSERT_EQ(canvas.getColorArray(), expected);
    }
}
