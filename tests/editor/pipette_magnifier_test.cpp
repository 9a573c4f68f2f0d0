// What the pipette's circle shows: the cells around the picked one enlarged, as they stand on
// screen, read from the circle as it is drawn.
#include "canvas/canvas_view.h"
#include "oblong_editor.h"
#include "screenshot.h"
#include "widgets/button.h"

namespace {
const Color kGreen = Color::withRGB(0, 0.6, 0);
const Color kYellow = Color::withRGB(1, 0.9, 0.1);

struct PipetteMagnifierTest : OblongEditorTest {
    struct Cell {
        int64_t x;
        int64_t y;
        Color color;
    };

    // A grid of white cells but for the ones listed.
    void openWith(int64_t width, int64_t height, const std::vector<Cell>& cells) {
        std::vector<Color> colors(size_t(width * height), Color::white());
        for (const Cell& cell : cells) {
            colors[size_t(cell.x * height + cell.y)] = cell.color;
        }
        open(width, height, colors);
    }

    // The circle as drawn while the finger holds on point (at the screen's scale).
    QImage circleWhileHolding(QPointF point) {
        touch().press(0, point.toPoint(), target());
        clock.advance(0.45);
        auto* circle = qobject_cast<Button*>(editor->pipetteCircle);
        QImage image;
        if (circle) {
            image = circle->grab().toImage();
            frame_ = circle->frame().translated(-QPointF(circle->pos()));
            saveScreenshotIfAsked(window, QStringLiteral("pipette_magnifier"));
        }
        touch().release(0, point.toPoint(), target());
        processEvents();
        return image;
    }
    // The colour the circle shows steps cells right and down of its middle, on screen, as
    // "#rrggbb".
    std::string shownAt(const QImage& circle, QPoint steps) const {
        const QPointF p = frame_.center() + QPointF(steps) * Pipette::kMagnifiedCellSide;
        return name(circle.pixel(int(std::floor(p.x())), int(std::floor(p.y()))));
    }
    // Where a step of (dx, dy) cells along the grid from cell (x, y) goes on screen, in cells.
    QPoint onScreen(int64_t x, int64_t y, int dx, int dy) {
        const QPointF from = at(x, y);
        const QPointF centre = canvas().getPixel(x, y)->position() + QPointF(150, 150) +
                               QPointF(dx, dy) * Pixel::kSize;
        const QPointF to =
            editor->canvasView->convertPointFromScene(canvas().convertPointToScene(centre));
        return ((to - from) / cellSide()).toPoint();
    }

    static std::string name(QRgb pixel) { return QColor(pixel).name().toStdString(); }
    static std::string rgb(const Color& color) { return name(color.toQColor().rgb()); }
    static std::string background() { return rgb(CanvasView::sceneBackgroundColor()); }

private:
    QRectF frame_;
};
}  // namespace

// At 256 x 256 cells a point and a half wide: the circle shows the picked cell in its middle,
// its neighbours a step away as they lie on screen.
TEST_F(PipetteMagnifierTest, TheLargestGridsCellsShowEnlargedAroundThePick) {
    openWith(256, 256, {{128, 128, Color::red()}, {129, 128, Color::blue()}, {128, 129, kGreen}});
    const QImage circle = circleWhileHolding(at(128, 128));
    ASSERT_FALSE(circle.isNull());
    EXPECT_EQ(shownAt(circle, {0, 0}), rgb(Color::red()));
    EXPECT_EQ(shownAt(circle, {1, 0}), rgb(Color::blue()));
    EXPECT_EQ(shownAt(circle, {0, -1}), rgb(kGreen));  // the row above, on screen too
    EXPECT_EQ(shownAt(circle, {0, 1}), rgb(Color::white()));
}

// On the smallest grid most of the circle lies off the grid and shows the background; a
// see-through cell shows as the canvas itself shows it.
TEST_F(PipetteMagnifierTest, TheSmallestGridsCornerShowsTheBackgroundBeyondIt) {
    const Color seeThrough = Color::withRGB(1, 0, 0, 0.5);
    openWith(4, 4, {{0, 0, Color::blue()}, {1, 0, seeThrough}, {3, 0, kYellow}});
    const QImage circle = circleWhileHolding(at(0, 0));
    ASSERT_FALSE(circle.isNull());
    EXPECT_EQ(shownAt(circle, {0, 0}), rgb(Color::blue()));
    EXPECT_EQ(shownAt(circle, {3, 0}), rgb(kYellow));
    EXPECT_EQ(shownAt(circle, {4, 0}), background());
    EXPECT_EQ(shownAt(circle, {0, 1}), background());
    const QImage canvasShows = editor->canvasView->grab().toImage();
    const QPoint middleOfCell = at(1, 0).toPoint();
    EXPECT_EQ(shownAt(circle, {1, 0}), name(canvasShows.pixel(middleOfCell)));
}

// Turned with the device, the circle still shows each neighbour where it lies on screen, and
// the side beyond the grid's edge as background.
TEST_F(PipetteMagnifierTest, AtTheGridsEdgeTheCircleShowsTheCellsAsTurned) {
    for (const DeviceOrientation orientation :
         {DeviceOrientation::portrait, DeviceOrientation::landscapeLeft,
          DeviceOrientation::landscapeRight}) {
        SCOPED_TRACE(int(orientation));
        // The right-hand edge of a tall grid.
        openWith(16, 64, {{15, 30, Color::red()}, {14, 30, Color::blue()}, {15, 31, kGreen}});
        turn(orientation);
        const QImage circle = circleWhileHolding(at(15, 30));
        ASSERT_FALSE(circle.isNull());
        EXPECT_EQ(shownAt(circle, {0, 0}), rgb(Color::red()));
        EXPECT_EQ(shownAt(circle, onScreen(15, 30, -1, 0)), rgb(Color::blue()));
        EXPECT_EQ(shownAt(circle, onScreen(15, 30, 0, 1)), rgb(kGreen));
        EXPECT_EQ(shownAt(circle, onScreen(15, 30, 1, 0)), background());
    }
}
