// The tools on a real canvas where the editor's history model cannot reach: strokes off the
// grid or without a view, squares and shapes beyond the grid (the model checks fills,
// replacing, previews and mirror images through real input).
#include <gtest/gtest.h>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editing/bucket.h"
#include "editing/editor_fields.h"
#include "editing/paintbrush.h"
#include "editing/shape_tool.h"

namespace {
// A grid as text, top row first: '.' white, 'R' red, '?' anything else.
using Picture = std::vector<std::string>;

struct ToolsTest : testing::Test {
    ToolsTest() : view(std::vector<Color>(64, Color::white()), 8, 8) {}
    void SetUp() override { editor.canvasView = &view; }
    Canvas& canvas() { return *view.canvas(); }
    Picture shown() {
        Picture rows;
        for (int64_t y = canvas().height - 1; y >= 0; --y) {
            rows.emplace_back();
            for (int64_t x = 0; x < canvas().width; ++x) {
                const Color& c = canvas().getPixel(x, y)->fillColor();
                rows.back() += c == Color::white() ? '.' : c == Color::red() ? 'R' : '?';
            }
        }
        return rows;
    }
    // The centre of a grid position in the view, also off the grid.
    QPointF at(int x, int y) const {
        const QPointF local = view.canvas()->pixelArray().front()->position() +
                              QPointF(x + 0.5, y + 0.5) * Pixel::kSize;
        return view.convertPointFromScene(view.canvas()->convertPointToScene(local));
    }
    void tap(Tool& tool, int x, int y) {
        tool.handleTap(GestureSnapshot(GestureState::ended, at(x, y)), editor);
    }
    void drag(Tool& tool, GestureState state, int x, int y) {
        tool.handleDraw(GestureSnapshot(state, at(x, y)), editor);
    }
    void stroke(Tool& tool, const std::vector<QPoint>& cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            const GestureState state = i == 0                  ? GestureState::began
                                       : i + 1 == cells.size() ? GestureState::ended
                                                               : GestureState::changed;
            drag(tool, state, cells[i].x(), cells[i].y());
        }
    }
    size_t steps() const { return editor.commandManager.commandStack().size(); }

    CanvasView view;
    EditorFields editor;
    Paintbrush brush;
    Bucket bucket;
    LineTool line;
    RectangleTool rectangle;
    EllipseTool ellipse;
};

const Picture kBlank8(8, "........");
}  // namespace

// A stroke begun off the grid paints nothing but is still a step; a cancelled one stays painted
// but out of the history; the bucket ignores drags; without a canvas view taps do nothing.
TEST_F(ToolsTest, StrokesOffTheGridCancelledOrWithoutAView) {
    stroke(brush, {{-2, 3}, {-2, 4}});
    EXPECT_EQ(steps(), 1u);
    EXPECT_EQ(shown(), kBlank8);
    editor.currentDrawingColor = Color::red();
    drag(brush, GestureState::began, 3, 3);
    drag(brush, GestureState::cancelled, 4, 3);
    EXPECT_EQ(canvas().getPixel(4, 3)->fillColor(), Color::red());
    EXPECT_EQ(steps(), 1u);
    stroke(bucket, {{1, 1}, {2, 1}});
    const QPointF cell = at(1, 1);
    editor.canvasView = nullptr;
    const auto group = editor.groupDrawCommand;
    brush.handleTap(GestureSnapshot(GestureState::ended, cell), editor);
    bucket.handleTap(GestureSnapshot(GestureState::ended, cell), editor);
    EXPECT_EQ(steps(), 1u);
    EXPECT_EQ(editor.groupDrawCommand, group);
    EXPECT_EQ(canvas().getPixel(1, 1)->fillColor(), Color::white());
}

// Shift keeps a rectangle square, as far as the longer side goes; a filled one is one step.
TEST_F(ToolsTest, AConstrainedRectangleIsASquare) {
    editor.currentDrawingColor = Color::red();
    editor.toolOptions.filledShapes = true;
    editor.toolOptions.constrainShapes = true;
    stroke(rectangle, {{6, 7}, {5, 5}, {4, 6}});
    EXPECT_EQ(shown(), (Picture{"....RRR.", "....RRR.", "....RRR.", "........", "........",
                                "........", "........", "........"}));
    EXPECT_EQ(steps(), 1u);
}

TEST_F(ToolsTest, ShapesReachingPastTheGridAreClippedAtItsEdges) {
    editor.currentDrawingColor = Color::red();
    stroke(rectangle, {{5, 5}, {40, -30}});
    stroke(line, {{-3, 1}, {2, 6}});  // begun off the grid
    EXPECT_EQ(shown(), (Picture{"........", "..R.....", ".R...RRR", "R....R..", ".....R..",
                                ".....R..", ".....R..", ".....R.."}));
    EXPECT_EQ(steps(), 2u);
    // Far beyond, a shape is still worked out in a moment, and only its cells on the grid
    // enter the step.
    editor.toolOptions.filledShapes = true;
    stroke(ellipse, {{-1000000, -1000000}, {1000000, 1000000}});
    EXPECT_EQ(steps(), 3u);
    EXPECT_LE(editor.groupDrawCommand->size(), 64u);
}
