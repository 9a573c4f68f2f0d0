#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "platform/screen_metrics.h"
#include "platform/settings_manager.h"
#include "scene/scene.h"
#include "test_support.h"

namespace {
struct GridSize {
    explicit GridSize(int64_t size) { SettingsManager::applyGridSize(size); }
    ~GridSize() { SettingsManager::applyGridSize(20); }
};

QPointF cellCentreInView(const CanvasView& view, int64_t x, int64_t y) {
    const Pixel* cell = view.canvas()->getPixel(x, y);
    const QPointF centre = cell->position() + QPointF(150, 150);
    return view.convertPointFromScene(view.canvas()->convertPointToScene(centre));
}
}  // namespace

TEST(CanvasViewTest, TwentyCellGridFillsThePhoneWidthAndIsCentred) {
    CanvasView view;
    EXPECT_EQ(view.geometry(), QRect(0, 0, 390, 844));
    EXPECT_EQ(view.canvasScene()->size(), QSizeF(390, 844));
    EXPECT_EQ(view.canvasScene()->backgroundColor(), Color::withRGB(0.1, 0.1, 0.1, 1));
    EXPECT_EQ(view.canvasScene()->scaleMode(), Scene::ScaleMode::aspectFill);
    EXPECT_DOUBLE_EQ(view.canvas()->xScale(), 0.065);
    EXPECT_EQ(view.canvas()->position(), QPointF(195, 422));

    const Edges edges = view.canvasBoundsInView();
    EXPECT_NEAR(edges.left, 0, 1e-9);
    EXPECT_NEAR(edges.bottom, 617, 1e-9);
    EXPECT_NEAR(edges.right, 390, 1e-9);
    EXPECT_NEAR(edges.top, 227, 1e-9);
    EXPECT_EQ(view.convertPointToScene(QPointF(100, 100)), QPointF(100, 744));
}

TEST(CanvasViewTest, TwentyEightCellGridIsAlsoExactlyScreenWide) {
    GridSize size(28);
    CanvasView view;
    EXPECT_EQ(view.canvas()->width, 28);
    EXPECT_DOUBLE_EQ(view.canvas()->xScale(), 390.0 / 8400.0);
    const Edges edges = view.canvasBoundsInView();
    EXPECT_NEAR(edges.right - edges.left, 390, 1e-9);
    EXPECT_NEAR(cellCentreInView(view, 1, 0).x() - cellCentreInView(view, 0, 0).x(), 13.93, 0.01);
}

TEST(CanvasViewTest, BoundsFollowTheCanvasScale) {
    CanvasView view;
    view.canvas()->setScale(view.canvas()->xScale() * 2);
    const Edges edges = view.canvasBoundsInView();
    EXPECT_NEAR(edges.left, 195 - 390, 1e-9);
    EXPECT_NEAR(edges.right, 195 + 390, 1e-9);
    EXPECT_NEAR(edges.top, 422 - 390, 1e-9);
    EXPECT_NEAR(edges.bottom, 422 + 390, 1e-9);
}

TEST(CanvasViewTest, FindsTheCellUnderAViewPoint) {
    CanvasView view;
    for (const auto& [x, y] : {std::pair{0, 0}, {19, 19}, {3, 17}, {19, 0}}) {
        const QPointF scenePoint = view.convertPointToScene(cellCentreInView(view, x, y));
        const auto cells = view.pixelsAtScenePoint(scenePoint);
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ(cells[0], view.canvas()->getPixel(x, y));
    }
    // The dark margin above the grid holds no cell.
    EXPECT_TRUE(view.pixelsAtScenePoint(view.convertPointToScene(QPointF(100, 100))).empty());
    // A shared edge (19.5 points from the left) belongs to exactly one cell.
    const auto edge = view.pixelsAtScenePoint(view.convertPointToScene(QPointF(19.5, 400)));
    EXPECT_EQ(edge.size(), 1u);
}

// The cells under a point are found from the grid; they must be the ones the scene's own hit
// test lists, in its order, on the edges between cells too, however the canvas is moved.
TEST(CanvasViewTest, FindsTheCellsTheScenesHitTestFinds) {
    GridSize size(28);
    CanvasView view;
    Canvas& canvas = *view.canvas();
    const auto hitTest = [&view](QPointF scenePoint) {
        std::vector<Pixel*> cells;
        for (Node* node : view.canvasScene()->nodesAt(scenePoint)) {
            if (auto* cell = dynamic_cast<Pixel*>(node)) {
                cells.push_back(cell);
            }
        }
        return cells;
    };
    const double fitted = canvas.xScale();
    const struct {
        double scale;
        double rotation;
        QPointF position;
    } placements[] = {
        {1, 0, QPointF(195, 422)},
        {2.5, 0, QPointF(120, 500)},
        {1, std::numbers::pi / 2, QPointF(195, 422)},
        {1.7, 0.3, QPointF(230, 400)},
    };
    int cellsFound = 0;
    for (const auto& placement : placements) {
        canvas.setScale(fitted * placement.scale);
        canvas.setZRotation(placement.rotation);
        canvas.setPosition(placement.position);
        // Steps of a quarter cell land on every edge and corner between cells, in scene points.
        const double step = canvas.xScale() * Pixel::kSize / 4;
        for (double x = -2 * step; x <= 390 + 2 * step; x += step) {
            for (double y = 400 - 60 * step; y <= 440 + 60 * step; y += step) {
                const auto expected = hitTest(QPointF(x, y));
                ASSERT_EQ(view.pixelsAtScenePoint(QPointF(x, y)), expected) << x << ", " << y;
                cellsFound += int(expected.size());
            }
        }
    }
    EXPECT_GT(cellsFound, 10000);
    // A canvas scaled to nothing has no cells anywhere.
    canvas.setScale(0);
    EXPECT_TRUE(view.pixelsAtScenePoint(QPointF(195, 422)).empty());
}

TEST(CanvasViewTest, AReopenedDrawingKeepsItsOwnSize) {
    GridSize size(28);
    std::vector<Color> colors(400, Color::white());
    colors[399] = Color::red();
    CanvasView view(colors, 20.9, 20.2);
    EXPECT_EQ(view.canvas()->width, 20);
    EXPECT_EQ(view.canvas()->height, 20);
    EXPECT_EQ(view.canvas()->getPixel(19, 19)->fillColor(), Color::red());
}

TEST(CanvasViewTest, ASizeThatCannotBeAGridFallsBackToTheConfiguredOne) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const double bad : {nan, 0.0, -4.0, 1e12}) {
        std::unique_ptr<CanvasView> view;
        const std::string out = captureStdout(
            [&] { view = std::make_unique<CanvasView>(std::vector<Color>{}, bad, 20.0); });
        EXPECT_EQ(view->canvas()->width, 20);
        EXPECT_NE(out.find("cannot be shown"), std::string::npos);
    }
}

TEST(CanvasViewTest, ShowsAWhiteGridWithGreyLinesOnTheDarkBackground) {
    CanvasView view;
    const QImage image = view.grab().toImage();
    ASSERT_EQ(image.size(), QSize(390, 844));
    const QColor background = image.pixelColor(200, 100);
    EXPECT_NEAR(background.redF(), 0.1, 0.005);
    EXPECT_EQ(background, image.pixelColor(200, 800));
    EXPECT_EQ(image.pixelColor(10, 237), QColor(Qt::white));  // inside cell (0, 19)
    // A grey line at every cell boundary, also along the outer edges.
    const QColor grey = QColor::fromRgbF(0.5, 0.5, 0.5);
    EXPECT_NEAR(image.pixelColor(19, 300).red(), grey.red(), 1);   // between columns 0 and 1
    EXPECT_NEAR(image.pixelColor(0, 300).red(), grey.red(), 1);    // left edge
    EXPECT_NEAR(image.pixelColor(389, 300).red(), grey.red(), 1);  // right edge
    EXPECT_NEAR(image.pixelColor(100, 227).red(), grey.red(), 1);  // top edge
}
