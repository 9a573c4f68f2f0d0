// The canvas grid, the canvas view around it and what it paints.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScopeGuard>
#include <algorithm>
#include <limits>
#include <numbers>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "platform/settings_manager.h"
#include "scene/scene.h"
#include "test_support.h"

namespace {
// The configured grid size for one test; 20 again after.
struct GridSize {
    explicit GridSize(int64_t size) { SettingsManager::applyGridSize(size); }
    ~GridSize() { SettingsManager::applyGridSize(20); }
};

QPointF cellCentreInView(const CanvasView& view, int64_t x, int64_t y) {
    const QPointF centre = view.canvas()->getPixel(x, y)->position() + QPointF(150, 150);
    return view.convertPointFromScene(view.canvas()->convertPointToScene(centre));
}

// Where the canvas may stand: its fitted scale times a factor, a rotation and a position.
// Fitted; zoomed and panned by parts of a pixel; turned a quarter; zoomed out, turned a little.
const std::tuple<double, double, QPointF> placements[] = {
    {1, 0, QPointF(195, 422)},
    {2.3, 0, QPointF(195.37, 300.81)},
    {1, std::numbers::pi / 2, QPointF(195, 422)},
    {0.8, 0.3, QPointF(180.5, 430.25)}};

// The view as a phone with three pixels per point shows it: 1170 x 2532 pixels, magenta
// where nothing paints.
constexpr double kScale = 3;
const QRgb kUnpainted = qRgb(255, 0, 255);

QImage painted(CanvasView& view) {
    QImage image(int(390 * kScale), int(844 * kScale), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kScale);
    image.fill(kUnpainted);
    view.render(&image);
    return image;
}

int unpaintedPixels(const QImage& image) {
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
    return int(std::count(pixels, pixels + image.width() * image.height(), kUnpainted));
}

// The runs of equal colour along one device row (or column), as "g2 w40 ...": g grey, w white,
// ? other.
QString runsAlong(const QImage& image, int y, bool column = false) {
    const QRgb grey = QColor::fromRgbF(0.5, 0.5, 0.5).rgb();
    const int length = column ? image.height() : image.width();
    const auto at = [&](int i) { return column ? image.pixel(y, i) : image.pixel(i, y); };
    QString runs;
    for (int x = 0, end = 0; x < length; x = end) {
        while (end < length && at(end) == at(x)) {
            ++end;
        }
        const QRgb colour = at(x);
        runs += QString("%1%2 ")
                    .arg(colour == grey                  ? 'g'
                         : colour == qRgb(255, 255, 255) ? 'w'
                                                         : '?')
                    .arg(end - x);
    }
    return runs;
}

// Records the regions the view is asked to repaint.
struct RepaintRecorder : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
    QRegion region;
};
}  // namespace

TEST(CanvasTest, CellsAreWhiteInColumnMajorOrderEdgesFindNothingAndColourListsRoundTrip) {
    const int64_t side = 28;
    Canvas canvas(side, side);
    EXPECT_EQ(canvas.getPixel(side - 1, side - 1)->position(),
              QPointF(150 * side - 300, 150 * side - 300));
    EXPECT_EQ(canvas.getPixel(1, 0), canvas.pixelArray()[side]);
    EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(side * side, Color::white()));
    // Index arithmetic alone would wrap (0, side) onto (1, 0).
    for (const auto& [x, y] : {std::pair{side, 0}, {0, side}, {-1, 0}, {0, -1}}) {
        EXPECT_EQ(canvas.getPixel(x, y), nullptr) << x << ", " << y;
    }

    // Colour lists round trip cell for cell; one of the wrong length is used as far as it goes.
    Canvas source(24, 24);
    source.getPixel(1, 0)->setFillColor(Color::red());
    source.getPixel(23, 5)->setFillColor(Color::withRGB(0.25, 0.5, 0.75, 1));
    const std::vector<Color> colors = source.getColorArray();
    EXPECT_EQ(colors[24], Color::red());  // column 1, row 0
    EXPECT_EQ(Canvas(colors, 24, 24).getColorArray(), colors);

    const std::string out = captureStdout([] {
        const Canvas canvas(std::vector<Color>(10, Color::red()), 20, 20);
        EXPECT_EQ(canvas.pixelArray()[9]->fillColor(), Color::red());
        EXPECT_EQ(canvas.pixelArray()[10]->fillColor(), Color::white());
    });
    EXPECT_NE(out.find("holds 10 colours, expected 400"), std::string::npos) << out;
}

// The canvas tells its scene of changed cells only when the frame is taken; a scene that goes
// first must not be told anything by the canvas going with it.
TEST(CanvasTest, ASceneGoesWithACanvasThatHasChangesToReport) {
    auto scene = std::make_unique<Scene>(QSizeF(390, 844));
    Canvas* canvas = scene->addChild(std::make_unique<Canvas>(4, 4));
    scene->takeDirtyRect();
    canvas->getPixel(1, 2)->setFillColor(Color::red());
    canvas->getPixel(3, 0)->setFillColor(Color::red());
    EXPECT_TRUE(scene->needsDisplay());
    const QRectF local(-600 + 300 - 5, -600 - 5, 900 + 10, 900 + 10);  // columns 1-3, rows 0-2
    EXPECT_EQ(scene->takeDirtyRect(), canvas->transformToScene().mapRect(local));
    canvas->getPixel(0, 0)->setFillColor(Color::blue());
    scene.reset();
}

// Fitting again (the window was resized) puts the grid back across the screen's width,
// however far it was zoomed.
TEST(CanvasViewTest, FittingAgainUndoesTheZoom) {
    GridSize size(256);
    CanvasView view;
    const double fitted = view.canvas()->xScale();
    EXPECT_DOUBLE_EQ(fitted * 256 * Pixel::kSize, 390);
    view.canvas()->setScale(fitted * 7);
    view.resizeToScreen();
    EXPECT_DOUBLE_EQ(view.canvas()->xScale(), fitted);
}

// The cells under a point are found from the grid, by the scene's hit test too (the canvas
// answers it for its cells); they must be the ones a walk over every cell finds, in its order,
// on the edges between cells too, however the canvas is moved, at the smallest grid, the
// default ones and the largest.
TEST(CanvasViewTest, FindsTheCellsAWalkOverEveryCellFinds) {
    for (const int64_t side : {4, 256}) {
        SCOPED_TRACE(side);
        GridSize size(side);
        CanvasView view;
        Canvas& canvas = *view.canvas();
        // What Node's own hit test finds, testing every cell.
        const auto walk = [&canvas](QPointF scenePoint) {
            std::vector<Node*> nodes;
            canvas.Node::collectNodesAt(scenePoint, nodes);
            std::vector<Pixel*> cells;
            for (Node* node : nodes) {
                if (auto* cell = dynamic_cast<Pixel*>(node)) {
                    cells.push_back(cell);
                }
            }
            return cells;
        };
        const double fitted = canvas.xScale();
        int cellsFound = 0;
        for (const auto& [factor, rotation, position] : placements) {
            canvas.setScale(fitted * factor);
            canvas.setZRotation(rotation);
            canvas.setPosition(position);
            // Steps of a quarter cell land on every edge and corner between cells; the
            // largest grid is walked around its corner and the point where its middle four
            // cells meet only.
            const double step = canvas.xScale() * Pixel::kSize / 4;
            const int reach = side > 28 ? 2 : std::min(int(side) * 4 + 8, 40);
            for (const QPointF from :
                 {canvas.convertPointToScene(canvas.getPixel(0, 0)->position()), position}) {
                for (int i = -reach; i <= reach; ++i) {
                    for (int j = -reach; j <= reach; ++j) {
                        const QPointF at = from + QPointF(i * step, j * step);
                        const auto expected = walk(at);
                        ASSERT_EQ(view.pixelsAtScenePoint(at), expected)
                            << at.x() << ", " << at.y();
                        const auto listed = view.canvasScene()->nodesAt(at);
                        ASSERT_EQ(std::vector<Node*>(listed.begin(),
                                                     listed.begin() + long(expected.size())),
                                  std::vector<Node*>(expected.begin(), expected.end()));
                        cellsFound += int(expected.size());
                    }
                }
            }
        }
        EXPECT_GT(cellsFound, 100);
        // A canvas scaled to nothing has no cells anywhere.
        canvas.setScale(0);
        EXPECT_TRUE(view.pixelsAtScenePoint(QPointF(195, 422)).empty());
    }
}

TEST(CanvasViewTest, ADrawingKeepsItsOwnSizeAndOneThatCannotBeAGridFallsBack) {
    GridSize size(28);
    std::vector<Color> colors(400, Color::white());
    colors[399] = Color::red();
    const CanvasView view(colors, 20.9, 20.2);
    EXPECT_EQ(view.canvas()->width, 20);
    EXPECT_EQ(view.canvas()->height, 20);
    EXPECT_EQ(view.canvas()->getPixel(19, 19)->fillColor(), Color::red());
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), 1e12}) {
        std::unique_ptr<CanvasView> fallback;
        const std::string out = captureStdout(
            [&] { fallback = std::make_unique<CanvasView>(std::vector<Color>{}, bad, 20.0); });
        EXPECT_EQ(fallback->canvas()->width, 28);
        EXPECT_NE(out.find("cannot be shown"), std::string::npos);
    }
}

// The edges the pipette keeps the finger within: the box around the grid on screen, also
// when the canvas is turned (a tall grid then lies across).
TEST(CanvasViewTest, BoundsAreTheBoxAroundTheGridHoweverItIsTurned) {
    CanvasView tall(std::vector<Color>(16 * 64, Color::white()), 16, 64);
    const double cell = tall.canvas()->xScale() * Pixel::kSize;
    tall.canvas()->setZRotation(std::numbers::pi / 2);
    const Edges turned = tall.canvasBoundsInView();
    EXPECT_NEAR(turned.right - turned.left, 64 * cell, 1e-6);
    EXPECT_NEAR(turned.bottom - turned.top, 16 * cell, 1e-6);
    EXPECT_NEAR((turned.left + turned.right) / 2, 195, 1e-6);
    EXPECT_NEAR((turned.top + turned.bottom) / 2, 422, 1e-6);
}

TEST(CanvasPaintingTest, EveryPixelIsPaintedWhereverTheCanvasStands) {
    GridSize size(28);
    CanvasView view;
    Canvas& canvas = *view.canvas();
    Pixel* cell = canvas.getPixel(10, 10);
    cell->setFillColor(Color::withRGB(1, 0, 0, 0.5));
    const double fitted = canvas.xScale();
    for (const auto& [factor, rotation, position] : placements) {
        SCOPED_TRACE(factor);
        canvas.setScale(fitted * factor);
        canvas.setZRotation(rotation);
        canvas.setPosition(position);
        const QImage image = painted(view);
        EXPECT_EQ(unpaintedPixels(image), 0);
        // Red at half over the canvas's cyan, not over the dark background.
        const QPointF centre = view.convertPointFromScene(
            canvas.convertPointToScene(cell->position() + QPointF(150, 150)));
        const QColor shown = image.pixelColor((centre * kScale).toPoint());
        EXPECT_NEAR(shown.red(), 128, 2);
        EXPECT_NEAR(shown.green(), 128, 2);
        EXPECT_NEAR(shown.blue(), 128, 2);
    }
}

// A change repaints only the region the view asks for; painting just that region over the
// previous frame must give the frame a full repaint gives.
TEST(CanvasPaintingTest, RepaintingTheChangedRegionMatchesAFullRepaint) {
    GridSize size(28);
    CanvasView view;
    view.show();
    processEvents();
    RepaintRecorder recorder;
    view.installEventFilter(&recorder);
    QImage frame = painted(view);
    const std::vector<std::vector<std::pair<int, int>>> changes = {
        {{0, 0}},              // a corner cell, its outline half off the canvas
        {{13, 14}, {14, 14}},  // two neighbours sharing a line
    };
    for (const auto& cells : changes) {
        SCOPED_TRACE(cells.size());
        for (const auto& [x, y] : cells) {
            view.canvas()->getPixel(x, y)->setFillColor(Color::red());
        }
        recorder.region = QRegion();
        processEvents();
        const QRect changed = recorder.region.boundingRect();
        ASSERT_FALSE(changed.isEmpty());
        EXPECT_LT(changed.width() * changed.height(), 390 * 390);
        // render() puts the region's top-left corner at the offset given.
        view.render(&frame, changed.topLeft(), recorder.region);
        EXPECT_TRUE(frame == painted(view));
    }
}

// Cells snap to device pixels with lines of whole pixels: two wide between cells (the 10-unit
// outline is 1.4 pixels at 28 cells), one when cells are small (the largest grid, zoomed in); cells
// of 39 or 40 pixels fill the 1170 pixels of a scale-3 phone. Down a column the lines are what they
// are along a row, the outline's outer halves included, however the canvas is turned.
TEST(CanvasPaintingTest, GridLinesSnapThinHideAsCellsShrinkAndAreAlikeBothWays) {
    EXPECT_EQ(Canvas::gridLinesFor(std::numeric_limits<double>::quiet_NaN()),
              Canvas::GridLines::hidden);
    const struct {
        int64_t side;
        double zoom;
        double turn;
        const char* row;
        const char* column;
    } cases[] = {
        {28, 1, std::numbers::pi / 2, "^g1 (w(39|40) g2 ){27}w(39|40) g1 $",
         "^\\?[0-9]+ g2 (w(39|40) g2 ){27}w(39|40) g2 \\?[0-9]+ $"},
        {256, 2, std::numbers::pi / 2, "^(g1 )?(w[89] g1 )+w[0-9] $",
         "^\\?[0-9]+ (g1 w[7-9] )+g1 \\?[0-9]+ $"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.side << " at " << c.zoom << " turned " << c.turn);
        GridSize size(c.side);
        CanvasView view;
        view.canvas()->setScale(view.canvas()->xScale() * c.zoom);
        view.canvas()->setZRotation(c.turn);
        const QImage image = painted(view);
        const QPointF middle = cellCentreInView(view, c.side / 2, c.side / 2) * kScale;
        const QString row = runsAlong(image, int(middle.y()));
        EXPECT_TRUE(QRegularExpression(c.row).match(row).hasMatch()) << row.toStdString();
        const QString column = runsAlong(image, int(middle.x()), true);
        EXPECT_TRUE(QRegularExpression(c.column).match(column).hasMatch()) << column.toStdString();
    }
}

// Whatever part of the view is repainted, it shows what a full repaint shows: a region may
// cut through the lines, the cells and the outline's outer halves anywhere.
TEST(CanvasPaintingTest, RepaintingAnyRegionMatchesAFullRepaint) {
    const struct {
        int64_t side;
        double zoom;
        double turn;
        QPointF position;
    } cases[] = {
        {28, 2.3, std::numbers::pi / 2, QPointF(20.2, 700.7)},
        {256, 2, 0, QPointF(380.1, 100.33)},
    };
    // In points: across the grid's top edge, a sliver inside a cell, and two apart at once.
    const QRegion regions[] = {QRegion(0, 220, 390, 10), QRegion(101, 401, 3, 2),
                               QRegion(60, 600, 7, 7) + QRegion(250, 230, 90, 30)};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.side << " at " << c.zoom << " turned " << c.turn);
        GridSize size(c.side);
        CanvasView view;
        Canvas& canvas = *view.canvas();
        for (int64_t x = 0; x < c.side; x += 3) {
            canvas.getPixel(x, (x * 5) % c.side)->setFillColor(Color::withRGB(1, 0, 0, 0.5));
            canvas.getPixel(x, (x * 7) % c.side)->setFillColor(Color::blue());
        }
        canvas.setScale(canvas.xScale() * c.zoom);
        canvas.setZRotation(c.turn);
        canvas.setPosition(c.position);
        const QImage full = painted(view);
        for (const QRegion& region : regions) {
            SCOPED_TRACE(testing::Message()
                         << region.boundingRect().x() << ", " << region.boundingRect().y());
            QImage image = full;
            QPainter blank(&image);
            for (const QRect& r : region) {
                blank.fillRect(r, QColor(kUnpainted));
            }
            blank.end();
            view.render(&image, region.boundingRect().topLeft(), region);
            EXPECT_TRUE(image == full);
        }
    }
}
