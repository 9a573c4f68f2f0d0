#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "export/picture_exporter.h"
#include "scoped_scale.h"
#include "test_support.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

std::vector<Color> blank(int64_t n) {
    return std::vector<Color>(size_t(n * n), Color::white());
}

// Every cell a different colour, so that any cell landing in the wrong place shows.
std::vector<Color> distinct(int64_t n) {
    std::vector<Color> colors;
    for (int64_t i = 0; i < n * n; ++i) {
        colors.push_back(Color::withRGB(double(i % 251) / 255, double(i / 251) / 255,
                                        double((i * 37) % 256) / 255));
    }
    return colors;
}

QRgb rgbOf(const Color& color) {
    const auto c = PictureExporter::rgbaComponents(color);
    return qRgb(c->red, c->green, c->blue);
}

// The box around the pixels that are not white; count says how many there are.
QRect markedBox(const QImage& image, int* count) {
    QRect box;
    *count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != kWhite) {
                box |= QRect(x, y, 1, 1);
                ++*count;
            }
        }
    }
    return box;
}

// Every pixel against the nearest-neighbour rule: output column X shows cell column
// floor((X + 0.5) * n / side), likewise rows, with the grid's top row at the top.
void expectNearestCells(const QImage& image, const std::vector<Color>& colors, int64_t n) {
    std::vector<QRgb> expected;
    std::transform(colors.begin(), colors.end(), std::back_inserter(expected), rgbOf);
    const double side = image.width();
    int mismatches = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto row = int64_t(std::floor((y + 0.5) * double(n) / side));
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const auto column = int64_t(std::floor((x + 0.5) * double(n) / side));
            mismatches += line[x] != expected[size_t(column * n + (n - 1 - row))];
        }
    }
    EXPECT_EQ(mismatches, 0) << n << " cells into " << image.width() << " pixels";
}

struct Export {
    std::optional<QImage> image;
    std::vector<double> progress;
    std::string printed;
};

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
    EXPECT_EQ(exporter.bitmapInfo, 1u);
}

TEST(PictureExporterTest, AllWhiteDrawingExportsPureWhiteAtScaleOne) {
    const PictureExporter exporter(blank(20), 20, 20);
    for (const int side : {300, 1000}) {
        const auto image = exporter.exportImage(side, side);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), QSize(side, side));
        EXPECT_EQ(image->devicePixelRatio(), 1.0);
        EXPECT_FALSE(image->hasAlphaChannel());
        int marked = 0;
        markedBox(*image, &marked);
        EXPECT_EQ(marked, 0) << side;
    }
}

TEST(PictureExporterTest, FirstCellLandsBottomLeftAndLastCellTopRight) {
    for (const auto& [index, expected] :
         {std::pair{0, QRect(0, 285, 15, 15)}, std::pair{399, QRect(285, 0, 15, 15)}}) {
        std::vector<Color> colors = blank(20);
        colors[size_t(index)] = Color::blue();
        int marked = 0;
        EXPECT_EQ(markedBox(*PictureExporter(colors, 20, 20).exportImage(300, 300), &marked),
                  expected);
        EXPECT_EQ(marked, 15 * 15);
    }
}

TEST(PictureExporterTest, EveryPixelShowsTheNearestCell) {
    for (const int64_t n : {20, 24, 28}) {
        const std::vector<Color> colors = distinct(n);
        const QImage image = *PictureExporter(colors, n, n).exportImage(300, 300);
        expectNearestCells(image, colors, n);
        // 24 and 28 do not divide 300: blocks of two sizes, one pixel apart.
        std::vector<int> widths{1};
        for (int x = 1; x < image.width(); ++x) {
            if (image.pixel(x, 0) == image.pixel(x - 1, 0)) {
                ++widths.back();
            } else {
                widths.push_back(1);
            }
        }
        EXPECT_EQ(widths.size(), size_t(n));
        const auto [smallest, largest] = std::minmax_element(widths.begin(), widths.end());
        EXPECT_EQ(*largest - *smallest, n == 20 ? 0 : 1) << n;
    }
}

TEST(PictureExporterTest, GridsThatAreNotSquareStandAsOnScreenToo) {
    // Three columns of two cells; colour i is column i / 2, row i % 2 from the bottom.
    const std::vector<Color> colors = distinct(3);
    const QImage image =
        *PictureExporter({colors.begin(), colors.begin() + 6}, 3, 2).exportImage(3, 2);
    ASSERT_EQ(image.size(), QSize(3, 2));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(image.pixel(i / 2, 1 - i % 2), rgbOf(colors[size_t(i)])) << i;
    }
}

TEST(PictureExporterTest, ImagesAreRenderedAtTheScreenScale) {
    const ScopedScale scale(3);
    const std::vector<Color> colors = distinct(28);
    const PictureExporter exporter(colors, 28, 28);
    for (const int points : {300, 1000}) {
        const auto image = exporter.exportImage(points, points);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), QSize(points * 3, points * 3));
        EXPECT_EQ(image->deviceIndependentSize(), QSizeF(points, points));
        expectNearestCells(*image, colors, 28);
    }
}

TEST(PictureExporterTest, AnExporterIsASnapshotThatExportsTheSameTwice) {
    std::vector<Color> colors = distinct(20);
    const PictureExporter exporter(colors, 20, 20);
    const QImage once = *exporter.exportImage(300, 300);
    colors.assign(colors.size(), Color::black());
    EXPECT_EQ(*exporter.exportImage(300, 300), once);
    EXPECT_NE(*PictureExporter(colors, 20, 20).exportImage(300, 300), once);
}

TEST(PictureExporterTest, CellsThatAreNotOpaqueShowTheRedBackground) {
    // The bytes count as premultiplied: red adds (1 - alpha) of itself, saturating.
    const QImage image = *PictureExporter({Color::clear(), Color::withRGB(0, 0.5, 0, 0.5),
                                           Color::withWhite(1, 0.5), Color::white()},
                                          2, 2)
                              .exportImage(2, 2);
    EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));    // column 0, bottom
    EXPECT_EQ(image.pixel(0, 0), qRgb(128, 127, 0));  // column 0, top
    EXPECT_EQ(image.pixel(1, 1), kWhite);
}

TEST(PictureExporterTest, ProgressIsReportedStepByStep) {
    const PictureExporter exporter(blank(20), 20, 20);
    const Export done = run(exporter, 300, 300);
    EXPECT_TRUE(done.image);
    EXPECT_EQ(done.progress, (std::vector<double>{0.25, 0.5, 0.75, 1.0}));
    EXPECT_EQ(done.printed, "");

    // No final image: the first two steps were done, nothing is printed.
    for (const auto& [width, height] :
         {std::pair<int64_t, int64_t>{0, 300}, {300, -1}, {100000, 100000}}) {
        const Export refused = run(exporter, width, height);
        EXPECT_FALSE(refused.image) << width << " x " << height;
        EXPECT_EQ(refused.progress, (std::vector<double>{0.25, 0.5}));
        EXPECT_EQ(refused.printed, "");
    }
}

TEST(PictureExporterTest, AColourWithoutRgbFormIsSkippedAndTheShortBufferRefused) {
    std::vector<Color> colors = distinct(20);
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

TEST(PictureExporterTest, TurnsAreExactForQuartersAndFitTheirBoxOtherwise) {
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
    EXPECT_FALSE(PictureExporter::rotatedImage(QImage(), -std::numbers::pi / 2));

    // 45 degrees about a corner spans 0...28.3 one way and -14.1...14.1 the other, widened to
    // whole points; the corner that was top right ends up on top.
    QImage square(20, 20, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::white);
    for (int i = 0; i < 100; ++i) {
        square.setPixel(10 + i % 10, i / 10, qRgb(255, 0, 0));
    }
    const QImage tilted = *PictureExporter::rotatedImage(square, -std::numbers::pi / 4);
    EXPECT_EQ(tilted.size(), QSize(29, 30));
    EXPECT_EQ(qAlpha(tilted.pixel(0, 0)), 0);
    EXPECT_EQ(tilted.pixel(14, 3), qRgb(255, 0, 0));
    EXPECT_FALSE(PictureExporter::rotatedImage(square, std::numeric_limits<double>::quiet_NaN()));
}
