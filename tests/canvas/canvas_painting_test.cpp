#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <numbers>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "platform/settings_manager.h"
#include "test_support.h"

// The canvas view painted as a phone with three pixels per point shows it: 1170 x 2532 pixels.
namespace {
constexpr double kScale = 3;
const QColor kUnpainted(255, 0, 255);

struct Grid28 {
    Grid28() { SettingsManager::applyGridSize(28); }
    ~Grid28() { SettingsManager::applyGridSize(20); }
};

QImage blankFrame() {
    QImage image(int(390 * kScale), int(844 * kScale), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kScale);
    image.fill(kUnpainted);
    return image;
}

QImage painted(CanvasView& view) {
    QImage image = blankFrame();
    view.render(&image);
    return image;
}

int unpaintedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == kUnpainted;
        }
    }
    return count;
}

// The lengths of the runs of equal colour along one row of pixels.
std::vector<std::pair<QRgb, int>> runs(const QImage& image, int y) {
    std::vector<std::pair<QRgb, int>> found;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        if (found.empty() || found.back().first != pixel) {
            found.emplace_back(pixel, 0);
        }
        ++found.back().second;
    }
    return found;
}

// Where two frames differ: the number of pixels and the first of them.
std::string differences(const QImage& a, const QImage& b) {
    int count = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (count++ == 0) {
                    first = QPoint(x, y);
                }
            }
        }
    }
    if (count == 0) {
        return "none";
    }
    return std::to_string(count) + " pixels, the first at " + std::to_string(first.x()) + ", " +
           std::to_string(first.y()) + ": " + QColor(a.pixel(first)).name().toStdString() +
           " instead of " + QColor(b.pixel(first)).name().toStdString();
}

// Records the regions the view is asked to repaint.
class RepaintRecorder : public QObject {
public:
    QRegion region;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};
}  // namespace

TEST(CanvasPaintingTest, CellsSnapToDevicePixelsWithThinEvenLines) {
    Grid28 grid;
    CanvasView view;
    const QImage image = painted(view);
    // A row through the middle of a row of cells: a grey line between every two cells, two
    // pixels wide (the 10-unit outline is 1.4 pixels here), and cells of 40 or 41 pixels
    // inside, so that 28 of them fill the 1170 pixels exactly.
    const auto row = runs(image, 700);
    const QRgb grey = QColor::fromRgbF(0.5, 0.5, 0.5).rgb();
    int cells = 0;
    int covered = 0;
    for (size_t i = 0; i < row.size(); ++i) {
        const auto [colour, length] = row[i];
        covered += length;
        if (colour == grey) {
            EXPECT_EQ(length, i == 0 || i + 1 == row.size() ? 1 : 2) << "line " << i;
        } else {
            EXPECT_EQ(colour, QColor(Qt::white).rgb());
            EXPECT_TRUE(length == 39 || length == 40) << "cell " << cells << ": " << length;
            ++cells;
        }
    }
    EXPECT_EQ(cells, 28);
    EXPECT_EQ(covered, 1170);
}

TEST(CanvasPaintingTest, EveryPixelIsPaintedWhereverTheCanvasStands) {
    Grid28 grid;
    CanvasView view;
    Canvas& canvas = *view.canvas();
    canvas.getPixel(3, 4)->setFillColor(Color::withRGB(1, 0, 0, 0.5));
    const double fitted = canvas.xScale();
    // Fitted; panned by parts of a pixel and zoomed; turned a quarter; turned a little.
    const struct {
        double scale;
        double rotation;
        QPointF position;
    } placements[] = {
        {1, 0, QPointF(195, 422)},
        {2.3, 0, QPointF(195.37, 300.81)},
        {1, std::numbers::pi / 2, QPointF(195, 422)},
        {0.8, 0.2, QPointF(180.5, 430.25)},
    };
    for (const auto& placement : placements) {
        canvas.setScale(fitted * placement.scale);
        canvas.setZRotation(placement.rotation);
        canvas.setPosition(placement.position);
        EXPECT_EQ(unpaintedPixels(painted(view)), 0) << placement.scale;
    }
}

TEST(CanvasPaintingTest, TheCanvasShowsThroughATranslucentCell) {
    Grid28 grid;
    CanvasView view;
    Canvas& canvas = *view.canvas();
    Pixel* cell = canvas.getPixel(10, 10);
    cell->setFillColor(Color::withRGB(1, 0, 0, 0.5));
    const QPointF centre = view.convertPointFromScene(
        canvas.convertPointToScene(cell->position() + QPointF(150, 150)));
    const QColor shown = painted(view).pixelColor((centre * kScale).toPoint());
    // Red at half over the canvas's cyan, not over the dark background.
    EXPECT_NEAR(shown.red(), 128, 2);
    EXPECT_NEAR(shown.green(), 128, 2);
    EXPECT_NEAR(shown.blue(), 128, 2);
}

// A change repaints only the region the view asks for; painting just that region over the
// previous frame must give the frame a full repaint gives.
TEST(CanvasPaintingTest, RepaintingTheChangedRegionMatchesAFullRepaint) {
    Grid28 grid;
    CanvasView view;
    view.show();
    processEvents();
    RepaintRecorder recorder;
    view.installEventFilter(&recorder);
    Canvas& canvas = *view.canvas();
    QImage frame = painted(view);

    const std::vector<std::vector<std::pair<int, int>>> changes = {
        {{0, 0}},                     // a corner cell, its outline half off the canvas
        {{13, 14}, {14, 14}},         // two neighbours sharing a line
        {{27, 27}, {0, 27}, {5, 9}},  // far apart: one region around all of them
    };
    const Color colours[] = {Color::red(), Color::blue(), Color::black()};
    int turn = 0;
    for (const auto& cells : changes) {
        for (const auto& [x, y] : cells) {
            canvas.getPixel(x, y)->setFillColor(colours[turn++ % 3]);
        }
        recorder.region = QRegion();
        processEvents();
        ASSERT_FALSE(recorder.region.isEmpty());
        EXPECT_LT(recorder.region.boundingRect().width() * recorder.region.boundingRect().height(),
                  390 * 390);
        // render() puts the region's top-left corner at the offset given.
        view.render(&frame, recorder.region.boundingRect().topLeft(), recorder.region);
        EXPECT_EQ(differences(frame, painted(view)), "none")
            << "after changing " << cells.size() << " cells";
    }
}
