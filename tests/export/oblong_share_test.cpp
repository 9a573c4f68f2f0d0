// The shared picture of a grid that is not square: 1000 points on its longer side, cells
// square within a pixel at every screen scale, and back to the same grid when opened.
#include <gtest/gtest.h>

#include <QScopeGuard>
#include <algorithm>
#include <vector>

#include "export/picture_exporter.h"
#include "imaging/grid_recovery.h"
#include "imaging/picture_opener.h"
#include "imaging/png_encoder.h"
#include "platform/screen_metrics.h"

namespace {
struct SharedGrid {
    int64_t columns;
    int64_t rows;
};

// Thin, tall, wide and uneven grids; 4 x 64 and 4 x 19 are among those whose whole-point
// size, scaled, put blocks two pixels apart.
const SharedGrid kOblongGrids[] = {{16, 64}, {64, 16}, {256, 4},  {4, 256},  {4, 64},
                                   {4, 19},  {5, 37},  {100, 61}, {255, 254}};

// Every cell a colour of its own, so that every line between cells shows.
std::vector<Color> colourPerCell(int64_t count) {
    std::vector<Color> colors;
    for (int64_t i = 0; i < count; ++i) {
        colors.push_back(Color::withRGB(double(i % 256) / 255, double((i / 256) % 256) / 255,
                                        double((i * 37 + 11) % 256) / 255));
    }
    return colors;
}

// How many pixels each cell takes along the picture's width (across) or height.
std::vector<int> blockSizes(const QImage& image, bool across) {
    std::vector<int> sizes(1, 1);
    const int n = across ? image.width() : image.height();
    for (int i = 1; i < n; ++i) {
        const bool same = across ? image.pixel(i, 0) == image.pixel(i - 1, 0)
                                 : image.pixel(0, i) == image.pixel(0, i - 1);
        if (same) {
            ++sizes.back();
        } else {
            sizes.push_back(1);
        }
    }
    return sizes;
}

std::vector<RawPixel> cellBytes(const std::vector<Color>& colors, SharedGrid grid) {
    return PictureExporter(colors, grid.columns, grid.rows).rawPixelArray();
}
}  // namespace

TEST(OblongShareTest, TheLongerSideKeepsItsPointsAndEveryBlockIsWithinAPixelOfEveryOther) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    for (const int scale : {1, 2, 3}) {
        ScreenMetrics::configure(ScreenMetrics{390, 844, double(scale)});
        for (const SharedGrid grid : kOblongGrids) {
            SCOPED_TRACE(testing::Message()
                         << grid.columns << " x " << grid.rows << " at " << scale);
            const PictureExporter exporter(colourPerCell(grid.columns * grid.rows), grid.columns,
                                           grid.rows);
            const auto picture = exporter.exportSquareCells(1000);
            ASSERT_TRUE(picture);
            EXPECT_EQ(std::max(picture->width(), picture->height()), 1000 * scale);
            EXPECT_EQ(picture->devicePixelRatio(), scale);
            const std::vector<int> across = blockSizes(*picture, true);
            const std::vector<int> down = blockSizes(*picture, false);
            ASSERT_EQ(across.size(), size_t(grid.columns));
            ASSERT_EQ(down.size(), size_t(grid.rows));
            const auto [leastAcross, mostAcross] =
                std::minmax_element(across.begin(), across.end());
            const auto [leastDown, mostDown] = std::minmax_element(down.begin(), down.end());
            EXPECT_LE(std::max(*mostAcross, *mostDown) - std::min(*leastAcross, *leastDown), 1);
        }
        // Square grids share exactly the picture they always did.
        for (const int64_t side : {8, 20, 28, 256}) {
            const PictureExporter exporter(colourPerCell(side * side), side, side);
            EXPECT_EQ(*exporter.exportSquareCells(1000), *exporter.exportImage(1000, 1000));
        }
    }
    const PictureExporter empty({}, 0, 5);
    EXPECT_FALSE(empty.exportSquareCells(1000));
    EXPECT_FALSE(PictureExporter(colourPerCell(16), 4, 4).exportSquareCells(0));
    EXPECT_FALSE(PictureExporter(colourPerCell(16), 4, 4).exportSquareCells(1 << 20));
}

// Saved as a PNG and opened, the shared picture gives back its grid and colours, from the
// grid it carries and, when that text was lost on the way, from its blocks alone.
TEST(OblongShareTest, ASharedPictureOpensBackAsTheSameGrid) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    for (const int scale : {1, 3}) {
        ScreenMetrics::configure(ScreenMetrics{390, 844, double(scale)});
        for (const SharedGrid grid : kOblongGrids) {
            SCOPED_TRACE(testing::Message()
                         << grid.columns << " x " << grid.rows << " at " << scale);
            const std::vector<Color> colors = colourPerCell(grid.columns * grid.rows);
            const QImage shared =
                *PictureExporter(colors, grid.columns, grid.rows).exportSquareCells(1000);
            const PictureOpener::Result opened =
                PictureOpener::openData(PngEncoder::encode(shared), "shared.png", {});
            ASSERT_TRUE(opened.ok()) << opened.error.toStdString();
            EXPECT_TRUE(opened.cells.exact);
            ASSERT_EQ(opened.cells.width, grid.columns);
            ASSERT_EQ(opened.cells.height, grid.rows);
            EXPECT_TRUE(cellBytes(PictureOpener::canvasColors(opened.cells), grid) ==
                        cellBytes(colors, grid));

            QImage untagged = shared.copy();
            untagged.setText(QLatin1String(GridRecovery::kGridTextKey), QString());
            const auto blocks = GridRecovery::findBlocks(untagged);
            ASSERT_TRUE(blocks);
            ASSERT_EQ(blocks->width, grid.columns);
            ASSERT_EQ(blocks->height, grid.rows);
            EXPECT_TRUE(cellBytes(PictureOpener::canvasColors(*blocks), grid) ==
                        cellBytes(colors, grid));
        }
    }
}
