// The canvas grid, the canvas view around it and what it paints.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QRegularExpression>
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
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == kUnpainted;
        }
    }
    return count;
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
    for (const int64_t side : {20, 28}) {
        SCOPED_TRACE(side);
        Canvas canvas(side, side);
        ASSERT_EQ(canvas.pixelArray().size(), size_t(side * side));
        EXPECT_EQ(canvas.getPixel(0, 0)->position(), QPointF(-150 * side, -150 * side));
        EXPECT_EQ(canvas.getPixel(side - 1, side - 1)->position(),
                  QPointF(150 * side - 300, 150 * side - 300));
        EXPECT_EQ(canvas.getPixel(0, 1), canvas.pixelArray()[1]);
        EXPECT_EQ(canvas.getPixel(1, 0), canvas.pixelArray()[side]);
        EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(side * side, Color::white()));
        // Index arithmetic alone would wrap (0, side) onto (1, 0).
        for (const auto& [x, y] : {std::pair{side, 0}, {0, side}, {-1, 0}, {0, -1}}) {
            EXPECT_EQ(canvas.getPixel(x, y), nullptr) << x << ", " << y;
        }
    }

    // Colour lists round trip cell for cell; one of the wrong length is used as far as it goes.
    Canvas source(24, 24);
    source.getPixel(1, 0)->setFillColor(Color::red());
    source.getPixel(23, 5)->setFillColor(Color::withRGB(0.25, 0.5, 0.75, 1));
    const std::vector<Color> colors = source.getColorArray();
    EXPECT_EQ(colors[24], Color::red());  // column 1, row 0
    EXPECT_EQ(Canvas(colors, 24, 24).getColorArray(), colors);

    std::string out = captureStdout([] {
        const Canvas canvas(std::vector<Color>(10, Color::red()), 20, 20);
        EXPECT_EQ(canvas.pixelArray()[9]->fillColor(), Color::red());
        EXPECT_EQ(canvas.pixelArray()[10]->fillColor(), Color::white());
    });
    EXPECT_NE(out.find("holds 10 colours, expected 400"), std::string::npos) << out;
    out = captureStdout([] {
        const Canvas canvas(std::vector<Color>(500, Color::blue()), 20, 20);
        EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(400, Color::blue()));
    });
    EXPECT_NE(out.find("holds 500 colours"), std::string::npos) << out;
}

// On a 390 x 844 screen the grid is exactly as wide as the screen and centred, whatever its
// size; the bounds follow the canvas when it is zoomed.
TEST(CanvasViewTest, TheGridFillsThePhoneWidthCentred) {
    for (const int64_t side : {20, 28}) {
        SCOPED_TRACE(side);
        GridSize size(side);
        CanvasView view;
        EXPECT_EQ(view.convertPointToScene(QPointF(100, 100)), QPointF(100, 744));
        EXPECT_NEAR(cellCentreInView(view, 1, 0).x() - cellCentreInView(view, 0, 0).x(),
                    390.0 / side, 1e-9);
        for (const double zoom : {1, 2}) {
            view.canvas()->setScale(zoom * 390 / (300 * side));
            const Edges edges = view.canvasBoundsInView();  // compared within rounding
            EXPECT_EQ(QRectF(QPointF(edges.left, edges.top), QPointF(edges.right, edges.bottom)),
                      QRectF(195 - 195 * zoom, 422 - 195 * zoom, 390 * zoom, 390 * zoom));
        }
    }
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
    int cellsFound = 0;
    for (const auto& [factor, rotation, position] : placements) {
        canvas.setScale(fitted * factor);
        canvas.setZRotation(rotation);
        canvas.setPosition(position);
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

TEST(CanvasViewTest, ADrawingKeepsItsOwnSizeAndOneThatCannotBeAGridFallsBack) {
    GridSize size(28);
    std::vector<Color> colors(400, Color::white());
    colors[399] = Color::red();
    const CanvasView view(colors, 20.9, 20.2);
    EXPECT_EQ(view.canvas()->width, 20);
    EXPECT_EQ(view.canvas()->height, 20);
    EXPECT_EQ(view.canvas()->getPixel(19, 19)->fillColor(), Color::red());
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), 0.0, -4.0, 1e12}) {
        std::unique_ptr<CanvasView> fallback;
        const std::string out = captureStdout(
            [&] { fallback = std::make_unique<CanvasView>(std::vector<Color>{}, bad, 20.0); });
        EXPECT_EQ(fallback->canvas()->width, 28);
        EXPECT_NE(out.find("cannot be shown"), std::string::npos);
    }
}

TEST(CanvasViewTest, ShowsAWhiteGridWithGreyLinesOnTheDarkBackground) {
    CanvasView view;
    const QImage image = view.grab().toImage();
    ASSERT_EQ(image.size(), QSize(390, 844));
    EXPECT_NEAR(image.pixelColor(200, 100).redF(), 0.1, 0.005);
    EXPECT_EQ(image.pixelColor(200, 100), image.pixelColor(200, 800));
    EXPECT_EQ(image.pixelColor(10, 237), QColor(Qt::white));  // inside cell (0, 19)
    // A grey line at every cell boundary, also along the outer edges.
    for (const QPoint at : {QPoint(19, 300), QPoint(0, 300), QPoint(389, 300), QPoint(100, 227)}) {
        EXPECT_NEAR(image.pixelColor(at).red(), 128, 1) << at.x() << ", " << at.y();
    }
}

TEST(CanvasPaintingTest, CellsSnapToDevicePixelsWithThinEvenLines) {
    GridSize size(28);
    CanvasView view;
    const QImage image = painted(view);
    // A row through the middle of a row of cells: a grey line between every two cells, two
    // pixels wide (the 10-unit outline is 1.4 pixels here), and cells of 39 or 40 pixels
    // inside, so that 28 of them fill the 1170 pixels exactly.
    const QRgb grey = QColor::fromRgbF(0.5, 0.5, 0.5).rgb();
    QString runs;  // the runs of equal colour along the row, as "g2 w40 ..."
    for (int x = 0, end = 0; x < image.width(); x = end) {
        while (end < image.width() && image.pixel(end, 700) == image.pixel(x, 700)) {
            ++end;
        }
        const QRgb colour = image.pixel(x, 700);
        runs += QString("%1%2 ")
                    .arg(colour == grey                  ? 'g'
                         : colour == qRgb(255, 255, 255) ? 'w'
                                                         : '?')
                    .arg(end - x);
    }
    EXPECT_TRUE(QRegularExpression("^g1 (w(39|40) g2 ){27}w(39|40) g1 $").match(runs).hasMatch())
        << runs.toStdString();
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
        {{0, 0}},                     // a corner cell, its outline half off the canvas
        {{13, 14}, {14, 14}},         // two neighbours sharing a line
        {{27, 27}, {0, 27}, {5, 9}},  // far apart: one region around all of them
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
