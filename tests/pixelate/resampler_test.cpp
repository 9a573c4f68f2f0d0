#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "pixelate/resampler.h"
#include "pixelate_test_support.h"

using namespace pixelate_test;
constexpr auto nearest = InterpolationQuality::none;
constexpr auto smooth = InterpolationQuality::smooth;

TEST(Resampler, NearestNeighbourSamplesThePixelUnderEachTargetCentre) {
    QImage row(4, 1, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x) {
        row.setPixel(x, 0, 0xff000001u + x);
    }
    const auto values = [](const QImage& image) {  // the blue digit of each pixel, row by row
        std::string digits;
        for (int i = 0; i < image.width() * image.height(); ++i) {
            digits += char('0' + qBlue(image.pixel(i % image.width(), i / image.width())));
        }
        return digits;
    };
    // Halving picks the second of each pair, not the first pixel twice or a skewed pair, in
    // rows and columns alike; three pixels onto seven make runs of 2, 3, 2.
    EXPECT_EQ(values(Resampler::resized(row, nearest, 0.5, 1, 1)), "24");
    const QImage column = row.transformed(QTransform().rotate(90));
    EXPECT_EQ(values(Resampler::resized(column, nearest, 1, 0.5, 1)), "24");
    EXPECT_EQ(values(Resampler::resized(row.copy(0, 0, 3, 1), nearest, 7.0 / 3, 1, 1)), "1122233");
}

TEST(Resampler, SizesRoundToWholePixelsAndImpossibleOnesGiveNothing) {
    const QImage picture = randomPixels(10, 10);
    EXPECT_EQ(Resampler::resized(picture, nearest, 0.26, 0.24, 1).size(), QSize(3, 2));
    // The picture's size in points counts, not its pixels.
    QImage doubleScale = randomPixels(20, 10);
    doubleScale.setDevicePixelRatio(2);
    EXPECT_EQ(Resampler::resized(doubleScale, nearest, 1, 1, 3).size(), QSize(30, 15));
    // Past the pixel budget nothing is allocated.
    EXPECT_TRUE(Resampler::resized(picture, nearest, 1000, 1000, 1).isNull());

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(Resampler::resized(picture, nearest, nan, 1, 1).isNull());
    EXPECT_TRUE(Resampler::resized(picture, smooth, 1, 0.04, 1).isNull());
    EXPECT_TRUE(Resampler::resized(picture, nearest, 1, 1, -1).isNull());

    // Block size 0 is no pixelation: the very same picture, not a copy. Blocks so large that
    // the small picture would have no pixel give nothing; fractional ones fill the picture.
    const QImage photo = randomPixels(39, 52);
    EXPECT_EQ(Resampler::pixelated(photo, 0, 3).cacheKey(), photo.cacheKey());
    EXPECT_TRUE(Resampler::pixelated(photo, inf, 1).isNull());
    EXPECT_EQ(Resampler::pixelated(photo, 2.5, 1).size(), QSize(40, 53));
}

TEST(Resampler, KeepsColourAndOpacityWhateverTheInputFormat) {
    // Straight alpha comes back premultiplied with the same colour; grey becomes RGB.
    QImage translucent(8, 8, QImage::Format_ARGB32);
    translucent.fill(QColor(200, 100, 50, 128));
    QImage grey(6, 6, QImage::Format_Grayscale8);
    grey.fill(QColor(90, 90, 90));
    // An opaque picture stays opaque to its edges, with no dark or transparent border.
    QImage red(300, 200, QImage::Format_RGB32);
    red.fill(QColor(220, 30, 40));
    for (auto quality : {nearest, smooth}) {
        const QImage out = Resampler::resized(translucent, quality, 0.5, 0.5, 1);
        ASSERT_EQ(out.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_NEAR(out.pixelColor(2, 2).red(), 200, 2);
        EXPECT_NEAR(out.pixelColor(2, 2).alpha(), 128, 1);
        EXPECT_EQ(Resampler::resized(grey, quality, 2, 2, 1).pixel(11, 11), qRgb(90, 90, 90));
        const QImage scaled = Resampler::resized(red, quality, 2.71, 2.71, 1);
        EXPECT_EQ(scaled.pixel(0, 0), qRgb(220, 30, 40));
        EXPECT_EQ(scaled.pixel(scaled.width() - 1, scaled.height() - 1), qRgb(220, 30, 40));
    }

    // An opaque ARGB32 picture is read in place as RGB32, and the result owns its pixels even
    // when the size does not change.
    QImage result;
    {
        const QImage opaque = randomPixels(40, 30).convertToFormat(QImage::Format_ARGB32);
        result = Resampler::resized(opaque, smooth, 1, 1, 1);
        EXPECT_EQ(result.format(), QImage::Format_RGB32);
        EXPECT_NE(result.constBits(), opaque.constBits());
        EXPECT_EQ(result, opaque.convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_EQ(qAlpha(result.pixel(39, 29)), 255);

    // Smooth shrinking averages: a fine checkerboard halves to flat grey.
    QImage checker(64, 64, QImage::Format_RGB32);
    for (int i = 0; i < 64 * 64; ++i) {
        checker.setPixel(i % 64, i / 64, (i % 64 + i / 64) % 2 ? qRgb(255, 255, 255) : 0);
    }
    EXPECT_NEAR(qRed(Resampler::resized(checker, smooth, 0.5, 0.5, 1).pixel(16, 16)), 128, 3);
}

// The preview keeps one result while the next is rendered: a render never writes into a
// picture still held, spare buffers never add a third, and neighbouring block sizes, whose
// results differ by a few per cent, share memory, fully rewritten.
TEST(Resampler, ReusesAtMostTwoLargeBuffersAndNeverOneStillHeld) {
    Resampler::releaseCachedBuffers();
    const QImage picture = randomPixels(130, 173, 3);
    QImage shown = Resampler::pixelated(picture, 4, 3);
    int reused = 0;
    for (const double blockSize : {5.0, 6.0, 5.0, 3.0}) {
        SCOPED_TRACE(blockSize);
        const QImage shownPixels = shown.copy();
        QImage next = Resampler::pixelated(picture, blockSize, 3);
        ASSERT_FALSE(next.isNull());
        EXPECT_EQ(shown, shownPixels);
        const auto held = Resampler::largeBufferStatistics();
        EXPECT_LE(held.inUse + held.spare, 2);
        const uchar* previousBits = shown.constBits();
        shown = next;
        next = QImage();
        EXPECT_EQ(Resampler::largeBufferStatistics().inUse, 1);
        const QImage following = Resampler::pixelated(picture, blockSize + 0.5, 3);
        reused += following.constBits() == previousBits;
        EXPECT_EQ(following, Resampler::pixelated(picture.copy(), blockSize + 0.5, 3).copy());
    }
    EXPECT_GT(reused, 0);
    shown = QImage();
    Resampler::releaseCachedBuffers();
    const auto released = Resampler::largeBufferStatistics();
    EXPECT_EQ(released.inUse + released.spare, 0);
}
