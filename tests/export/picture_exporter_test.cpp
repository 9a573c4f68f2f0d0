#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
        colors.push_back(Color::withRGB(double(i % 251) / 255.0, double(i / 251) / 255.0,
                                        double((i * 37) % 256) / 255.0));
    }
    return colors;
}

QRgb rgbOf(const Color& color) {
    const auto c = PictureExporter::rgbaComponents(color);
    return qRgb(c->red, c->green, c->blue);
}

// The box around the pixels that are not white, and how many there are.
struct Marked {
    int left = std::numeric_limits<int>::max();
    int top = std::numeric_limits<int>::max();
    int right = -1;
    int bottom = -1;
    int count = 0;
};

Marked marked(const QImage& image) {
    Marked m;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != kWhite) {
                m.left = std::min(m.left, x);
                m.top = std::min(m.top, y);
                m.right = std::max(m.right, x);
                m.bottom = std::max(m.bottom, y);
                ++m.count;
            }
        }
    }
    return m;
}

// Checks every pixel against the nearest-neighbour rule: output column X shows cell column
// floor((X + 0.5) * n / side), likewise rows, and the grid's top row is at the top.
void expectNearestCells(const QImage& image, const std::vector<Color>& colors, int64_t n) {
    std::vector<QRgb> expected;
    for (const Color& color : colors) {
        expected.push_back(rgbOf(color));
    }
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
    EXPECT_EQ(PictureExporter::rgbaComponents(Color::withRGB(0.999, 0.004, 1.0 / 255, 1)),
              (C{254, 1, 1, 255}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(PictureExporter::rgbaComponents(Color::withRGB(-0.5, 1.5, nan, inf)),
              (C{0, 255, 0, 0}));
    EXPECT_FALSE(PictureExporter::rgbaComponents(Color::withoutRGB()));

    const PictureExporter exporter({Color::withRGB(0.5, 1.0, 0.0, 1.0), Color::clear()}, 1, 2);
    EXPECT_EQ(exporter.rawPixelArray(), (std::vector<RawPixel>{{127, 255, 0, 255}, {0, 0, 0, 0}}));
    EXPECT_EQ(exporter.bitmapInfo, 1u);
    EXPECT_EQ(exporter.canvasWidth, 1);
    EXPECT_EQ(exporter.canvasHeight, 2);
}

TEST(PictureExporterTest, AllWhiteDrawingExportsPureWhiteAtScaleOne) {
    const PictureExporter exporter(blank(20), 20, 20);
    for (const int side : {300, 1000}) {
        const auto image = exporter.exportImage(side, side);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), QSize(side, side));
        EXPECT_EQ(image->devicePixelRatio(), 1.0);
        EXPECT_FALSE(image->hasAlphaChannel());
        EXPECT_EQ(marked(*image).count, 0) << side;
        EXPECT_EQ(image->pixel(0, 0), kWhite);
    }
}

TEST(PictureExporterTest, FirstCellLandsBottomLeftAndLastCellTopRight) {
    std::vector<Color> first = blank(20);
    first[0] = Color::blue();
    const Marked bottomLeft = marked(*PictureExporter(first, 20, 20).exportImage(300, 300));
    EXPECT_EQ(bottomLeft.left, 0);
    EXPECT_EQ(bottomLeft.right, 14);
    EXPECT_EQ(bottomLeft.top, 285);
    EXPECT_EQ(bottomLeft.bottom, 299);
    EXPECT_EQ(bottomLeft.count, 15 * 15);

    std::vector<Color> last = blank(20);
    last[399] = Color::blue();
    const Marked topRight = marked(*PictureExporter(last, 20, 20).exportImage(300, 300));
    EXPECT_EQ(topRight.left, 285);
    EXPECT_EQ(topRight.right, 299);
    EXPECT_EQ(topRight.top, 0);
    EXPECT_EQ(topRight.bottom, 14);
    EXPECT_EQ(topRight.count, 15 * 15);

    // Column 0, second row from the bottom: just above the first cell.
    std::vector<Color> second = blank(20);
    second[1] = Color::blue();
    const Marked above = marked(*PictureExporter(second, 20, 20).exportImage(300, 300));
    EXPECT_EQ(above.left, 0);
    EXPECT_EQ(above.top, 270);
}

TEST(PictureExporterTest, EveryPixelShowsTheNearestCell) {
    for (const int64_t n : {20, 24, 28}) {
        const std::vector<Color> colors = distinct(n);
        const auto image = PictureExporter(colors, n, n).exportImage(300, 300);
        ASSERT_TRUE(image);
        expectNearestCells(*image, colors, n);
    }
    // 24 and 28 do not divide 300: blocks of two sizes, one pixel apart.
    for (const int64_t n : {24, 28}) {
        const QImage image = *PictureExporter(distinct(n), n, n).exportImage(300, 300);
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
        EXPECT_EQ(*largest - *smallest, 1) << n;
    }
}

TEST(PictureExporterTest, GridsThatAreNotSquareStandAsOnScreenToo) {
    // Three columns of two cells; colour i is column i / 2, row i % 2 from the bottom.
    const std::vector<Color> colors = distinct(3);
    const QImage image =
        *PictureExporter({colors.begin(), colors.begin() + 6}, 3, 2).exportImage(3, 2);
    ASSERT_EQ(image.size(), QSize(3, 2));
    for (int x = 0; x < 3; ++x) {
        for (int y = 0; y < 2; ++y) {
            EXPECT_EQ(image.pixel(x, 1 - y), rgbOf(colors[size_t(x * 2 + y)])) << x << ", " << y;
        }
    }
}

TEST(PictureExporterTest, ImagesAreRenderedAtTheScreenScale) {
    const ScopedScale scale(3);
    const std::vector<Color> colors = distinct(28);
    const PictureExporter exporter(colors, 28, 28);
    const auto thumbnail = exporter.exportImage(300, 300);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->size(), QSize(900, 900));
    EXPECT_EQ(thumbnail->devicePixelRatio(), 3.0);
    expectNearestCells(*thumbnail, colors, 28);

    const auto shared = exporter.exportImage(1000, 1000);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->size(), QSize(3000, 3000));
    EXPECT_EQ(shared->deviceIndependentSize(), QSizeF(1000, 1000));
    expectNearestCells(*shared, colors, 28);
}

TEST(PictureExporterTest, AnExporterIsASnapshotThatExportsTheSameTwice) {
    std::vector<Color> colors = distinct(20);
    const PictureExporter exporter(colors, 20, 20);
    const QImage once = *exporter.exportImage(300, 300);
    colors.assign(colors.size(), Color::black());
    const QImage twice = *exporter.exportImage(300, 300);
    EXPECT_EQ(once, twice);
    expectNearestCells(twice, distinct(20), 20);
    EXPECT_NE(*PictureExporter(colors, 20, 20).exportImage(300, 300), once);
}

TEST(PictureExporterTest, CellsThatAreNotOpaqueShowTheRedBackground) {
    // The bytes count as premultiplied: red adds (1 - alpha) of itself, saturating.
    std::vector<Color> colors = blank(2);
    colors[0] = Color::clear();
    colors[1] = Color::withRGB(0, 0.5, 0, 0.5);
    colors[2] = Color::withWhite(1, 0.5);
    const QImage image = *PictureExporter(colors, 2, 2).exportImage(2, 2);
    EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));    // column 0, bottom
    EXPECT_EQ(image.pixel(0, 0), qRgb(128, 127, 0));  // column 0, top
    EXPECT_EQ(image.pixel(1, 1), kWhite);
    EXPECT_EQ(qAlpha(image.pixel(0, 1)), 255);
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
    const std::string printed = captureStdout([&] { exporter.emplace(colors, 20, 20); });
    EXPECT_EQ(printed,
              "RawPixel conversion failed. The operation could not be completed. "
              "(RawPixel Conversion error 2619.)\n");
    ASSERT_EQ(exporter->rawPixelArray().size(), 399u);
    const auto sixth = PictureExporter::rgbaComponents(colors[6]);
    EXPECT_EQ(exporter->rawPixelArray()[5].r, sixth->red);

    // The cells would need 400 pixels; the buffer holds 399 and must not be read past.
    const Export failed = run(*exporter, 300, 300);
    EXPECT_FALSE(failed.image);
    EXPECT_EQ(failed.progress, (std::vector<double>{0.25}));
    EXPECT_EQ(failed.printed, "CGImage could not be created.\n");

    const Export empty = run(PictureExporter({}, 0, 0), 300, 300);
    EXPECT_FALSE(empty.image);
    EXPECT_EQ(empty.printed, "CGImage could not be created.\n");

    // More colours than cells: the first width x height are the picture.
    std::vector<Color> longer = blank(2);
    longer.push_back(Color::black());
    EXPECT_EQ(marked(*PictureExporter(longer, 2, 2).exportImage(10, 10)).count, 0);
}

TEST(PictureExporterTest, QuarterTurnsArePixelPermutations) {
    // 3 x 2: a b c / d e f
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb a = qRgb(1, 0, 0), b = qRgb(2, 0, 0), c = qRgb(3, 0, 0);
    const QRgb d = qRgb(4, 0, 0), e = qRgb(5, 0, 0), f = qRgb(6, 0, 0);
    const std::vector<QRgb> pixels = {a, b, c, d, e, f};
    for (int i = 0; i < 6; ++i) {
        image.setPixel(i % 3, i / 3, pixels[size_t(i)]);
    }
    const auto rows = [](const QImage& turned) {
        std::vector<std::vector<QRgb>> out(size_t(turned.height()));
        for (int y = 0; y < turned.height(); ++y) {
            for (int x = 0; x < turned.width(); ++x) {
                out[size_t(y)].push_back(turned.pixel(x, y));
            }
        }
        return out;
    };
    using Rows = std::vector<std::vector<QRgb>>;
    // Counter-clockwise: the top-right corner becomes the top left.
    const auto left = PictureExporter::rotatedImage(image, -std::numbers::pi / 2);
    ASSERT_TRUE(left);
    EXPECT_EQ(rows(*left), (Rows{{c, f}, {b, e}, {a, d}}));
    EXPECT_EQ(rows(*PictureExporter::rotatedImage(image, std::numbers::pi / 2)),
              (Rows{{d, a}, {e, b}, {f, c}}));
    EXPECT_EQ(rows(*PictureExporter::rotatedImage(image, std::numbers::pi)),
              (Rows{{f, e, d}, {c, b, a}}));
    QImage around = image;
    for (int i = 0; i < 4; ++i) {
        around = *PictureExporter::rotatedImage(around, -std::numbers::pi / 2);
    }
    EXPECT_EQ(around, image);
    EXPECT_FALSE(PictureExporter::rotatedImage(QImage(), -std::numbers::pi / 2));
}

TEST(PictureExporterTest, OtherAnglesDrawOntoTheWidenedBoundingBox) {
    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    for (int y = 0; y < 10; ++y) {
        for (int x = 10; x < 20; ++x) {
            image.setPixel(x, y, qRgb(255, 0, 0));  // the top-right quarter
        }
    }
    // Turned by 45 degrees about a corner the box spans 0...28.3 one way and -14.1...14.1
    // the other, widened to whole points.
    const auto left = PictureExporter::rotatedImage(image, -std::numbers::pi / 4);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->size(), QSize(29, 30));
    EXPECT_EQ(qAlpha(left->pixel(0, 0)), 0);
    // Counter-clockwise, the top-right corner ends up on top; clockwise, the top-left one.
    EXPECT_EQ(left->pixel(14, 3), qRgb(255, 0, 0));
    const auto right = PictureExporter::rotatedImage(image, std::numbers::pi / 4);
    EXPECT_EQ(right->pixel(14, 3), kWhite);
    EXPECT_FALSE(PictureExporter::rotatedImage(image, std::numeric_limits<double>::quiet_NaN()));
}
