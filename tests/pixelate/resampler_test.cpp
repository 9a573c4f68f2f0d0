#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pixelate/resampler.h"
#include "pixelate_test_support.h"

using pixelate_test::randomPixels;
using pixelate_test::samplePhoto;

namespace {

QImage onePixelRow(std::initializer_list<QRgb> colours) {
    QImage row(static_cast<int>(colours.size()), 1, QImage::Format_RGB32);
    int x = 0;
    for (QRgb colour : colours) {
        row.setPixel(x++, 0, colour);
    }
    return row;
}

std::vector<QRgb> rowOf(const QImage& image) {
    std::vector<QRgb> row;
    for (int x = 0; x < image.width(); ++x) {
        row.push_back(image.pixel(x, 0));
    }
    return row;
}

}  // namespace

TEST(Resampler, NormalisesAPhoneFlatPhotoToThePreviewWidthAtScaleOne) {
    // Preview 390 points wide on a scale 3 screen: factor = 390 / 3024 / 3.
    const QImage photo = samplePhoto(3024, 4032);
    const double factor = 390.0 / 3024 / 3;
    const QImage normalised =
        Resampler::resized(photo, InterpolationQuality::smooth, factor, factor, 3);
    EXPECT_EQ(normalised.size(), QSize(390, 520));
    EXPECT_EQ(normalised.devicePixelRatio(), 1.0);
    EXPECT_EQ(normalised.deviceIndependentSize(), QSizeF(390, 520));

    // The main screen's scale is the default.
    pixelate_test::ScopedScreen screen(3);
    EXPECT_EQ(Resampler::resized(photo, InterpolationQuality::smooth, factor, factor).size(),
              QSize(390, 520));
}

TEST(Resampler, BlockSizeTenAtScaleThreeMakesThirtyPixelBlocksOfTheSmallPicture) {
    const QImage normalised = randomPixels(390, 520);
    const QImage small = Resampler::resized(normalised, InterpolationQuality::none, 0.1, 0.1, 3);
    ASSERT_EQ(small.size(), QSize(117, 156));

    const QImage result = Resampler::pixelated(normalised, 10, 3);
    ASSERT_EQ(result.size(), QSize(3510, 4680));
    EXPECT_EQ(result.devicePixelRatio(), 1.0);

    // Every 30 x 30 block is one colour, the colour of its pixel in the small picture, and
    // blocks differ from their neighbours (so a block is neither wider nor narrower).
    int mismatches = 0;
    for (int y = 0; y < result.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(result.constScanLine(y));
        const auto* smallLine = reinterpret_cast<const quint32*>(small.constScanLine(y / 30));
        for (int x = 0; x < result.width(); ++x) {
            mismatches += line[x] != smallLine[x / 30];
        }
    }
    EXPECT_EQ(mismatches, 0);
    int equalNeighbours = 0;
    for (int j = 1; j < small.width(); ++j) {
        equalNeighbours += small.pixel(j, 0) == small.pixel(j - 1, 0);
    }
    EXPECT_EQ(equalNeighbours, 0);
}

TEST(Resampler, NearestNeighbourSamplesThePixelUnderEachTargetCentre) {
    const QImage row = onePixelRow({0xff000001, 0xff000002, 0xff000003, 0xff000004});
    // Halving picks the second of each pair, not the first pixel twice or a skewed pair.
    EXPECT_EQ(rowOf(Resampler::resized(row, InterpolationQuality::none, 0.5, 1, 1)),
              (std::vector<QRgb>{0xff000002, 0xff000004}));

    // Three pixels onto seven: runs of 2, 3, 2, symmetric about the middle.
    const QImage three = onePixelRow({0xffaa0000, 0xff00bb00, 0xff0000cc});
    EXPECT_EQ(rowOf(Resampler::resized(three, InterpolationQuality::none, 7.0 / 3, 1, 1)),
              (std::vector<QRgb>{0xffaa0000, 0xffaa0000, 0xff00bb00, 0xff00bb00, 0xff00bb00,
                                 0xff0000cc, 0xff0000cc}));

    // Columns and rows are sampled the same way.
    const QImage column = row.transformed(QTransform().rotate(90));
    const QImage halved = Resampler::resized(column, InterpolationQuality::none, 1, 0.5, 1);
    ASSERT_EQ(halved.size(), QSize(1, 2));
    EXPECT_EQ(halved.pixel(0, 0), 0xff000002u);
    EXPECT_EQ(halved.pixel(0, 1), 0xff000004u);
}

TEST(Resampler, SizesRoundToTheNearestPixelAndImpossibleSizesGiveNothing) {
    const QImage picture = randomPixels(10, 10);
    EXPECT_EQ(Resampler::resized(picture, InterpolationQuality::none, 0.26, 0.24, 1).size(),
              QSize(3, 2));
    // Floating-point noise around a whole size does not lose or add a pixel.
    const double factor = 390.0 / 3024 / 3;
    EXPECT_EQ(Resampler::pixelSize(QSizeF(3024 * factor, 4032 * factor), 3), QSize(390, 520));
    // The picture's size in points counts, not its pixels.
    QImage doubleScale = randomPixels(20, 10);
    doubleScale.setDevicePixelRatio(2);
    EXPECT_EQ(Resampler::resized(doubleScale, InterpolationQuality::none, 1, 1, 3).size(),
              QSize(30, 15));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {0.0, -1.0, nan, inf, 0.04}) {
        EXPECT_TRUE(Resampler::resized(picture, InterpolationQuality::none, bad, 1, 1).isNull())
            << bad;
        EXPECT_TRUE(Resampler::resized(picture, InterpolationQuality::smooth, 1, bad, 1).isNull())
            << bad;
    }
    EXPECT_TRUE(Resampler::resized(QImage(), InterpolationQuality::none, 1, 1, 1).isNull());
    EXPECT_TRUE(Resampler::resized(picture, InterpolationQuality::none, 1, 1, 0).isNull());
    // Past the pixel budget nothing is allocated.
    EXPECT_TRUE(Resampler::resized(picture, InterpolationQuality::none, 1000, 1000, 1).isNull());
    EXPECT_TRUE(Resampler::pixelSize(QSizeF(8193, 8192), 1).isEmpty());
    EXPECT_EQ(Resampler::pixelSize(QSizeF(8192, 8192), 1), QSize(8192, 8192));
}

TEST(Resampler, PixelatedHandlesZeroAndInvalidBlockSizes) {
    const QImage picture = randomPixels(39, 52);
    // Zero means no pixelation: the very same picture, not a copy.
    EXPECT_EQ(Resampler::pixelated(picture, 0, 3).cacheKey(), picture.cacheKey());
    for (double bad : {-1.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        EXPECT_TRUE(Resampler::pixelated(picture, bad, 3).isNull()) << bad;
    }
    // Blocks so large that the small picture would have no pixel give nothing.
    EXPECT_TRUE(Resampler::pixelated(picture, 200, 1).isNull());
    // Fractional block sizes still fill the whole picture.
    const QImage fractional = Resampler::pixelated(picture, 2.5, 1);
    EXPECT_EQ(fractional.size(), QSize(40, 53));
}

TEST(Resampler, KeepsColourAndTransparencyWhateverTheInputFormat) {
    // Straight alpha comes back premultiplied, with the same colour.
    QImage translucent(8, 8, QImage::Format_ARGB32);
    translucent.fill(QColor(200, 100, 50, 128));
    for (auto quality : {InterpolationQuality::none, InterpolationQuality::smooth}) {
        const QImage out = Resampler::resized(translucent, quality, 0.5, 0.5, 1);
        ASSERT_EQ(out.format(), QImage::Format_ARGB32_Premultiplied);
        const QColor colour = out.pixelColor(2, 2);
        EXPECT_NEAR(colour.red(), 200, 2);
        EXPECT_NEAR(colour.green(), 100, 2);
        EXPECT_NEAR(colour.alpha(), 128, 1);
    }

    // An opaque ARGB32 picture is worked on as RGB32, and the result owns its pixels even
    // when the size does not change.
    QImage result;
    {
        const QImage opaque = randomPixels(40, 30).convertToFormat(QImage::Format_ARGB32);
        result = Resampler::resized(opaque, InterpolationQuality::smooth, 1, 1, 1);
        EXPECT_EQ(result.format(), QImage::Format_RGB32);
        EXPECT_NE(result.constBits(), opaque.constBits());
        EXPECT_EQ(result, opaque.convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_EQ(result.size(), QSize(40, 30));
    EXPECT_EQ(qAlpha(result.pixel(39, 29)), 255);

    QImage grey(6, 6, QImage::Format_Grayscale8);
    grey.fill(QColor(90, 90, 90));
    const QImage fromGrey = Resampler::resized(grey, InterpolationQuality::none, 2, 2, 1);
    EXPECT_EQ(fromGrey.format(), QImage::Format_RGB32);
    EXPECT_EQ(fromGrey.pixel(11, 11), qRgb(90, 90, 90));

    // An opaque picture stays opaque to its edges, with no dark or transparent border.
    QImage red(300, 200, QImage::Format_RGB32);
    red.fill(QColor(220, 30, 40));
    for (auto quality : {InterpolationQuality::none, InterpolationQuality::smooth}) {
        for (double factor : {0.323, 2.71}) {
            const QImage out = Resampler::resized(red, quality, factor, factor, 1);
            for (QPoint corner : {QPoint(0, 0), QPoint(out.width() - 1, out.height() - 1)}) {
                EXPECT_EQ(out.pixel(corner), qRgb(220, 30, 40)) << factor;
            }
        }
    }

    // Smooth shrinking averages: a fine checkerboard halves to flat grey.
    QImage checker(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    const QImage averaged = Resampler::resized(checker, InterpolationQuality::smooth, 0.5, 0.5, 1);
    EXPECT_NEAR(qRed(averaged.pixel(16, 16)), 128, 3);
    const QImage sampled = Resampler::resized(checker, InterpolationQuality::none, 0.5, 0.5, 1);
    EXPECT_TRUE(qRed(sampled.pixel(16, 16)) == 0 || qRed(sampled.pixel(16, 16)) == 255);
}

TEST(Resampler, ReusesBuffersOnlyOnceTheirImagesAreGone) {
    const QImage picture = randomPixels(130, 173, 1);
    const QImage other = randomPixels(130, 173, 2);
    const QImage otherExpected = Resampler::pixelated(other, 5, 3).copy();

    QImage first = Resampler::pixelated(picture, 5, 3);
    ASSERT_EQ(first.size(), QSize(1170, 1560));
    const QImage expected = first.copy();
    const uchar* firstBits = first.constBits();

    // While the first result lives, another of its size gets its own memory.
    const QImage second = Resampler::pixelated(picture, 5, 3);
    EXPECT_NE(second.constBits(), firstBits);
    EXPECT_EQ(first, expected);

    // Once it is gone, the next render of that size reuses its memory, fully rewritten.
    first = QImage();
    const QImage third = Resampler::pixelated(other, 5, 3);
    EXPECT_EQ(third.constBits(), firstBits);
    EXPECT_EQ(third, otherExpected);
    EXPECT_EQ(second, expected);

    Resampler::releaseCachedBuffers();
}

// The preview keeps one result while the next is rendered: spare buffers never add a third,
// and neighbouring block sizes, whose results differ by a few per cent, share memory.
TEST(Resampler, KeepsAtMostTwoLargeBuffersAndReusesThemAcrossNearbySizes) {
    Resampler::releaseCachedBuffers();
    const QImage picture = randomPixels(130, 173, 3);
    QImage shown = Resampler::pixelated(picture, 4, 3);
    int reused = 0;
    for (const double blockSize : {5.0, 6.0, 5.0, 7.0, 6.0, 4.0, 3.0, 4.0}) {
        QImage next = Resampler::pixelated(picture, blockSize, 3);
        ASSERT_FALSE(next.isNull());
        const auto held = Resampler::largeBufferStatistics();
        EXPECT_LE(held.inUse + held.spare, 2) << blockSize;
        const uchar* previousBits = shown.constBits();
        shown = next;
        next = QImage();
        const auto after = Resampler::largeBufferStatistics();
        EXPECT_EQ(after.inUse, 1);
        EXPECT_LE(after.inUse + after.spare, 2);
        const QImage following = Resampler::pixelated(picture, blockSize + 0.5, 3);
        reused += following.constBits() == previousBits;
        EXPECT_EQ(following, Resampler::pixelated(picture.copy(), blockSize + 0.5, 3).copy());
    }
    EXPECT_GT(reused, 0);
    shown = QImage();
    Resampler::releaseCachedBuffers();
    EXPECT_EQ(Resampler::largeBufferStatistics().inUse + Resampler::largeBufferStatistics().spare,
              0);
}
