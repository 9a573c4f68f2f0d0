#include <gtest/gtest.h>

#include <QBuffer>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <optional>
#include <vector>

#include "export/exact_scale_export.h"
#include "export/picture_exporter.h"
#include "imaging/grid_recovery.h"
#include "imaging/picture_opener.h"
#include "imaging/png_encoder.h"
#include "platform/screen_metrics.h"

namespace {

// Opaque cells from a few colours, so that neighbours often match and a grid line sometimes
// has no colour change along part of it.
std::vector<Color> drawing(int64_t columns, int64_t rows, quint32 seed, int colourCount = 12) {
    QRandomGenerator random(seed);
    std::vector<Color> palette;
    for (int i = 0; i < colourCount; ++i) {
        palette.push_back(Color::withRGB(random.bounded(256) / 255.0, random.bounded(256) / 255.0,
                                         random.bounded(256) / 255.0));
    }
    palette.push_back(Color::white());  // a blank cell stays grey white in the store
    std::vector<Color> colors;
    for (int64_t i = 0; i < columns * rows; ++i) {
        colors.push_back(palette[size_t(random.bounded(int(palette.size())))]);
    }
    return colors;
}

// The bytes every cell exports as: two drawings that give the same are the same picture.
std::vector<RawPixel> exported(const std::vector<Color>& colors, int64_t columns, int64_t rows) {
    return PictureExporter(colors, columns, rows).rawPixelArray();
}

// What opening the PNG a picture would be saved as gives back, in the canvas's cell order.
std::optional<std::vector<Color>> reopened(const QImage& picture, int64_t* columns, int64_t* rows) {
    const QByteArray png = PngEncoder::encode(picture);
    const PictureOpener::Result opened = PictureOpener::openData(png, "drawing.png", {});
    if (!opened.ok()) {
        ADD_FAILURE() << opened.error.toStdString();
        return std::nullopt;
    }
    EXPECT_TRUE(opened.cells.exact);
    *columns = opened.cells.width;
    *rows = opened.cells.height;
    return PictureOpener::canvasColors(opened.cells);
}

QImage withoutGridText(const QImage& picture) {
    QImage copy = picture.copy();
    copy.setText(QLatin1String(GridRecovery::kGridTextKey), QString());
    return copy;
}

struct Grid {
    int64_t columns;
    int64_t rows;
};

// Square sizes from the smallest to the largest, and custom grids from thin to wide.
const Grid grids[] = {{4, 4}, {28, 28}, {256, 256}, {4, 256}, {37, 5}, {255, 254}};

void expectRoundTrip(const QImage& picture, const std::vector<Color>& colors, Grid grid,
                     bool checkWithoutText) {
    int64_t columns = 0;
    int64_t rows = 0;
    const auto back = reopened(picture, &columns, &rows);
    ASSERT_TRUE(back);
    ASSERT_EQ(columns, grid.columns);
    ASSERT_EQ(rows, grid.rows);
    EXPECT_TRUE(exported(*back, columns, rows) == exported(colors, grid.columns, grid.rows));
    if (!checkWithoutText) {
        return;
    }
    // Found from the colour changes alone, as for a picture whose text was lost.
    const auto blocks = GridRecovery::findBlocks(withoutGridText(picture));
    ASSERT_TRUE(blocks);
    ASSERT_EQ(blocks->width, grid.columns);
    ASSERT_EQ(blocks->height, grid.rows);
    EXPECT_TRUE(exported(PictureOpener::canvasColors(*blocks), columns, rows) ==
                exported(colors, grid.columns, grid.rows));
}

}  // namespace

// The shared picture and every exact scale, opened again: from the grid the picture carries,
// and, as when that text is lost on the way, from its blocks alone.
TEST(PictureRoundTripTest, EveryGridAtEveryScaleOpensBackToTheSameDrawing) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    quint32 seed = 1;
    for (const Grid grid : grids) {
        // Every other grid has more colours than a palette holds: its PNG is true colour.
        const std::vector<Color> colors =
            drawing(grid.columns, grid.rows, seed, seed % 2 == 0 ? 400 : 12);
        ++seed;
        const PictureExporter exporter(colors, grid.columns, grid.rows);
        for (int scale = 1; scale <= 3; ++scale) {
            SCOPED_TRACE(testing::Message() << grid.columns << "x" << grid.rows << " at " << scale);
            ScreenMetrics::configure(ScreenMetrics{390, 844, double(scale)});
            const auto shared = exporter.exportSquareCells(1000);
            ASSERT_TRUE(shared);
            ASSERT_EQ(std::max(shared->width(), shared->height()), 1000 * scale);
            expectRoundTrip(*shared, colors, grid, true);
            const auto exact = ExactScaleExport::exportAtScale(exporter, scale);
            ASSERT_TRUE(exact);
            ASSERT_EQ(exact->width(), grid.columns * scale);
            expectRoundTrip(*exact, colors, grid, scale > 1);
        }
        const int largest = ExactScaleExport::largestScale(grid.columns, grid.rows);
        SCOPED_TRACE(testing::Message() << grid.columns << "x" << grid.rows << " at " << largest);
        const auto biggest = ExactScaleExport::exportAtScale(exporter, largest);
        ASSERT_TRUE(biggest);
        EXPECT_LE(std::max(biggest->width(), biggest->height()), ExactScaleExport::kMaxSide);
        expectRoundTrip(*biggest, colors, grid, false);
    }
}

// A drawing of one colour, or one whose changes all fall on a coarser grid, has lines no
// colour change shows: the grid the picture carries keeps its size.
TEST(PictureRoundTripTest, DrawingsWithoutVisibleLinesKeepTheirSizeThroughTheirText) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    ScreenMetrics::configure(ScreenMetrics{390, 844, 2});
    const std::vector<Color> blank(size_t(28 * 28), Color::white());
    std::vector<Color> halves(size_t(24 * 24), Color::white());
    std::fill(halves.begin(), halves.begin() + 12 * 24, Color::black());
    for (const auto& [colors, side] : {std::pair{blank, 28}, std::pair{halves, 24}}) {
        const PictureExporter exporter(colors, side, side);
        for (const auto& picture :
             {*exporter.exportImage(1000, 1000), *ExactScaleExport::exportAtScale(exporter, 5)}) {
            int64_t columns = 0;
            int64_t rows = 0;
            const auto back = reopened(picture, &columns, &rows);
            ASSERT_TRUE(back);
            EXPECT_EQ(columns, side);
            EXPECT_EQ(rows, side);
            EXPECT_TRUE(exported(*back, columns, rows) == exported(colors, side, side));
            // Without the text the coarsest grid that shows the same picture is all there is.
            const auto blocks = GridRecovery::findBlocks(withoutGridText(picture));
            ASSERT_TRUE(blocks);
            EXPECT_LT(blocks->width, side);
        }
    }
}

// Text that does not match the pixels (a picture edited elsewhere, or a hostile one) is
// ignored rather than trusted.
TEST(PictureRoundTripTest, AGridTextThePixelsContradictIsIgnored) {
    const std::vector<Color> colors = drawing(20, 20, 99);
    const PictureExporter exporter(colors, 20, 20);
    for (const QString& claim : {QStringLiteral("10x10"), QStringLiteral("100000x3")}) {
        SCOPED_TRACE(claim.toStdString());
        QImage picture = *ExactScaleExport::exportAtScale(exporter, 4);
        picture.setText(QLatin1String(GridRecovery::kGridTextKey), claim);
        const auto blocks = GridRecovery::findBlocks(picture);
        ASSERT_TRUE(blocks);
        EXPECT_EQ(blocks->width, 20);
        EXPECT_TRUE(exported(PictureOpener::canvasColors(*blocks), 20, 20) ==
                    exported(colors, 20, 20));
    }
}

// The exact-scale picture is the 1000-point one with every block the same size: each block
// shows the colour the shared picture shows for that cell, including cells that are not
// fully opaque.
TEST(PictureRoundTripTest, ExactScaleBlocksMatchTheSharedPictureAndAreEqual) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    ScreenMetrics::configure(ScreenMetrics{390, 844, 1});
    std::vector<Color> colors = drawing(10, 8, 5);
    colors[3] = Color::withRGB(0.2, 0.4, 0.6, 0.5);
    colors[17] = Color::clear();
    const PictureExporter exporter(colors, 10, 8);
    const QImage shared = *exporter.exportImage(1000, 800);
    const QImage exact = *ExactScaleExport::exportAtScale(exporter, 7);
    ASSERT_EQ(exact.size(), QSize(70, 56));
    for (int y = 0; y < exact.height(); ++y) {
        for (int x = 0; x < exact.width(); ++x) {
            ASSERT_EQ(exact.pixel(x, y), exact.pixel(x / 7 * 7, y / 7 * 7)) << x << "," << y;
            ASSERT_EQ(exact.pixel(x, y), shared.pixel(x / 7 * 100 + 50, y / 7 * 100 + 50))
                << x << "," << y;
        }
    }
    EXPECT_EQ(ExactScaleExport::largestScale(20, 20, 1000 * 1000), 50);
    EXPECT_FALSE(ExactScaleExport::exportAtScale(exporter, 0));
    EXPECT_FALSE(
        ExactScaleExport::exportAtScale(exporter, ExactScaleExport::largestScale(10, 8) + 1));
}
