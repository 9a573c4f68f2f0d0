#include <gtest/gtest.h>

#include <QScopeGuard>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "export/picture_exporter.h"
#include "platform/screen_metrics.h"
#include "test_support.h"

namespace {

// Every cell a different colour, so that any cell landing in the wrong place shows.
std::vector<Color> distinct(int64_t count) {
    std::vector<Color> colors;
    for (int64_t i = 0; i < count; ++i) {
        colors.push_back(Color::withRGB(double(i % 256) / 255, double((i / 256) % 256) / 255,
                                        double((i * 37) % 256) / 255));
    }
    return colors;
}

QRgb rgbOf(const Color& color) {
    const auto c = PictureExporter::rgbaComponents(color);
    return qRgb(c->red, c->green, c->blue);
}

// Every pixel against the nearest-neighbour rule: output column X of W shows cell column
// floor((X + 0.5) * columns / W), likewise rows, with the grid's top row at the top.
void expectNearestCells(const QImage& image, const std::vector<Color>& colors, int64_t columns,
                        int64_t rows) {
    int mismatches = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto row = int64_t(std::floor((y + 0.5) * double(rows) / image.height()));
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const auto column = int64_t(std::floor((x + 0.5) * double(columns) / image.width()));
            mismatches += line[x] != rgbOf(colors[size_t(column * rows + (rows - 1 - row))]);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

struct Export {
    std::optional<QImage> image;
    std::vector<double> progress;
    std::string printed;
};

// The lengths of the runs of equal pixels along a row or a column: the cells' blocks, when
// neighbouring cells differ.
std::vector<int> blocksAlong(const QImage& image, bool row) {
    std::vector<int> blocks;
    const int n = row ? image.width() : image.height();
    const auto at = [&](int i) { return row ? image.pixel(i, 0) : image.pixel(0, i); };
    for (int i = 0, end = 0; i < n; i = end) {
        while (end < n && at(end) == at(i)) {
            ++end;
        }
        blocks.push_back(end - i);
    }
    return blocks;
}
Export run(const PictureExporter& exporter, int64_t width, int64_t height) {
    Export result;
    result.printed = captureStdout([&] {
        result.image =
            exporter.exportImage(width, height, [&](double f) { result.progress.push_back(f); });
    });
    return result;
}

}  // namespace

TEST(PictureExporterTest, ComponentsAreTruncatedAndClampedLikeThePaintedCells) {
    using C = PictureExporter::Components;
    EXPECT_EQ(PictureExporter::rgbaComponents(Color::withRGB(0.5, 1.0, 0.0, 0.5)),
              (C{127, 255, 0, 127}));
    EXPECT_EQ(PictureExporter::rgbaComponents(Color::gray()), (C{127, 127, 127, 255}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(PictureExporter::rgbaComponents(Color::withRGB(-0.5, 1.5, nan, 0.999)),
              (C{0, 255, 0, 254}));
    EXPECT_FALSE(PictureExporter::rgbaComponents(Color::withoutRGB()));

    const PictureExporter exporter({Color::withRGB(0.5, 1.0, 0.0, 1.0), Color::clear()}, 1, 2);
    EXPECT_EQ(exporter.rawPixelArray(), (std::vector<RawPixel>{{127, 255, 0, 255}, {0, 0, 0, 0}}));
}

// Every pixel shows the cell under it (neighbouring cells differ, so a misplaced one shows):
// all white stays pure white, grids whose cells do not divide the picture make blocks within
// a pixel of each other along each side, cell 0 lands bottom left and the last top right, and
// the picture keeps its size in points at every grid size and shape. The exporter is a
// snapshot: changing the colours afterwards changes nothing.
TEST(PictureExporterTest, EveryPixelShowsTheNearestCellAtTheScreenScale) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    const struct {
        bool white;
        int columns, rows, scale, width, height;
    } cases[] = {{true, 20, 20, 1, 1000, 1000},
                 {false, 28, 28, 3, 1000, 1000},
                 {false, 3, 2, 1, 3, 2},
                 {false, 200, 7, 3, 300, 300}};
    for (const auto& [white, columns, rows, scale, width, height] : cases) {
        SCOPED_TRACE(testing::Message()
                     << columns << " x " << rows << " to " << width << " at " << scale);
        ScreenMetrics::configure(ScreenMetrics{390, 844, double(scale)});
        const size_t count = size_t(columns * rows);
        std::vector<Color> colors = white ? std::vector(count, Color::white()) : distinct(count);
        const PictureExporter exporter(colors, columns, rows);
        const auto image = exporter.exportImage(width, height);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), QSize(width * scale, height * scale));
        EXPECT_EQ(image->deviceIndependentSize(), QSizeF(width, height));
        EXPECT_FALSE(image->hasAlphaChannel());
        expectNearestCells(*image, colors, columns, rows);
        for (const bool row : {true, false}) {
            const std::vector<int> blocks = blocksAlong(*image, row);
            EXPECT_EQ(blocks.size(), white ? 1u : size_t(row ? columns : rows));
            const auto [least, most] = std::minmax_element(blocks.begin(), blocks.end());
            EXPECT_LE(*most - *least, 1);
        }
        colors.assign(count, Color::black());
        EXPECT_EQ(*exporter.exportImage(width, height), *image);
    }
}

TEST(PictureExporterTest, CellsThatAreNotOpaqueShowTheRedBackground) {
    // The bytes count as premultiplied: red adds (1 - alpha) of itself, saturating.
    const QImage image = *PictureExporter({Color::clear(), Color::withRGB(0, 0.5, 0, 0.5),
                                           Color::withWhite(1, 0.5), Color::white()},
                                          2, 2)
                              .exportImage(2, 2);
    EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));    // column 0, bottom
    EXPECT_EQ(image.pixel(0, 0), qRgb(128, 127, 0));  // column 0, top
    EXPECT_EQ(image.pixel(1, 1), qRgb(255, 255, 255));
}

TEST(PictureExporterTest, ProgressIsReportedStepByStep) {
    const PictureExporter exporter(std::vector<Color>(400, Color::white()), 20, 20);
    const Export done = run(exporter, 300, 300);
    EXPECT_TRUE(done.image);
    EXPECT_EQ(done.progress, (std::vector<double>{0.25, 0.5, 0.75, 1.0}));
    EXPECT_EQ(done.printed, "");

    // Too large for a final image: the first two steps were done, nothing is printed.
    const Export refused = run(exporter, 100000, 100000);
    EXPECT_FALSE(refused.image);
    EXPECT_EQ(refused.progress, (std::vector<double>{0.25, 0.5}));
    EXPECT_EQ(refused.printed, "");
}

TEST(PictureExporterTest, AColourWithoutRgbFormIsSkippedAndTheShortBufferRefused) {
    std::vector<Color> colors = distinct(400);
    colors[5] = Color::withoutRGB();
    std::optional<PictureExporter> exporter;
    EXPECT_EQ(captureStdout([&] { exporter.emplace(colors, 20, 20); }),
              "RawPixel conversion failed. The operation could not be completed. "
              "(RawPixel Conversion error 2619.)\n");
    ASSERT_EQ(exporter->rawPixelArray().size(), 399u);
    EXPECT_EQ(exporter->rawPixelArray()[5].r, PictureExporter::rgbaComponents(colors[6])->red);

    // 400 cells, 399 pixels in the buffer: refused, never read past its end.
    for (const PictureExporter& shortOne : {*exporter, PictureExporter({}, 0, 0)}) {
        const Export failed = run(shortOne, 300, 300);
        EXPECT_FALSE(failed.image);
        EXPECT_EQ(failed.progress, (std::vector<double>{0.25}));
        EXPECT_EQ(failed.printed, "CGImage could not be created.\n");
    }
}

TEST(PictureExporterTest, QuarterTurnsAreExactAndAnglesThatAreNotNumbersRefused) {
    // 3 x 2: a b c / d e f; counter-clockwise the top-right corner becomes the top left.
    QImage image(3, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 6; ++i) {
        image.setPixel(i % 3, i / 3, qRgb(i, 0, 0));
    }
    const QImage left = *PictureExporter::rotatedImage(image, -std::numbers::pi / 2);
    ASSERT_EQ(left.size(), QSize(2, 3));
    const std::vector<int> expected = {2, 5, 1, 4, 0, 3};  // c f / b e / a d
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(qRed(left.pixel(i % 2, i / 2)), expected[size_t(i)]) << i;
    }
    EXPECT_EQ(*PictureExporter::rotatedImage(left, std::numbers::pi / 2), image);
    EXPECT_FALSE(PictureExporter::rotatedImage(image, std::numeric_limits<double>::quiet_NaN()));
}

// The shared picture of any grid: 1000 points on its longer side and blocks within a pixel of
// each other both ways at every scale (4 x 64 and 4 x 19 sized in whole points first put them
// two apart); a square grid's is the picture it always was.
TEST(OblongShareTest, TheLongerSideKeepsItsPointsAndEveryBlockIsWithinAPixelOfEveryOther) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    const std::pair<int64_t, int64_t> grids[] = {{4, 64}, {4, 19}, {100, 61}};
    for (const int scale : {1, 3}) {
        ScreenMetrics::configure(ScreenMetrics{390, 844, double(scale)});
        for (const auto& [columns, rows] : grids) {
            SCOPED_TRACE(testing::Message() << columns << " x " << rows << " at " << scale);
            const auto picture =
                PictureExporter(distinct(columns * rows), columns, rows).exportSquareCells(1000);
            ASSERT_TRUE(picture);
            EXPECT_EQ(std::max(picture->width(), picture->height()), 1000 * scale);
            EXPECT_EQ(picture->devicePixelRatio(), scale);
            std::vector<int> blocks = blocksAlong(*picture, true);
            const std::vector<int> down = blocksAlong(*picture, false);
            ASSERT_EQ(blocks.size(), size_t(columns));
            ASSERT_EQ(down.size(), size_t(rows));
            blocks.insert(blocks.end(), down.begin(), down.end());
            const auto [least, most] = std::minmax_element(blocks.begin(), blocks.end());
            EXPECT_LE(*most - *least, 1);
        }
        const PictureExporter square(distinct(28 * 28), 28, 28);
        EXPECT_EQ(*square.exportSquareCells(1000), *square.exportImage(1000, 1000));
    }
    EXPECT_FALSE(PictureExporter({}, 0, 5).exportSquareCells(1000));
    // Its size in whole points: never thinner than a point.
    EXPECT_EQ(PictureExporter(distinct(256), 256, 1).squareCellSize(100), QSize(100, 1));
}
