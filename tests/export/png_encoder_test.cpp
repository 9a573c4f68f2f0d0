#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "export/picture_exporter.h"
#include "platform/png_encoder.h"
#include "scoped_scale.h"

namespace {

QImage decode(const QByteArray& png) {
    return QImage::fromData(png, "PNG");
}

// Compares straight (not premultiplied) ARGB values, whatever the two formats are.
bool samePixels(const QImage& expected, const QImage& actual) {
    return expected.size() == actual.size() && expected.convertToFormat(QImage::Format_ARGB32) ==
                                                   actual.convertToFormat(QImage::Format_ARGB32);
}

// The header's colour type under "type" and each chunk's length under its name.
std::map<std::string, uint32_t> chunks(const QByteArray& png) {
    std::map<std::string, uint32_t> found{{"type", png.size() > 25 ? uchar(png[25]) : 0u}};
    for (qsizetype at = 8; at + 12 <= png.size();) {
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) {
            length = length << 8 | uchar(png[at + i]);
        }
        found[std::string(png.constData() + at + 4, 4)] = length;
        at += 12 + qsizetype(length);
    }
    return found;
}

QByteArray qtPng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// count colours in blocks of 7 x 5 pixels, each block the next colour.
QImage blocks(int width, int height, int count, int alpha = 255) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = (x / 7 + y / 5 * 101) % count;
            image.setPixel(x, y, qRgba(i % 256, i / 256, 255 - i % 200, alpha));
        }
    }
    return image;
}

QImage gradient(int width, int height, bool withAlpha) {
    QImage image(width, height, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgba(x % 256, y % 256, x * y % 256, withAlpha ? x + y : 255));
        }
    }
    return image;
}

// A 28 x 28 drawing exported at scale 3: a few colours, or a different one in every cell.
QImage drawing(int points, bool everyCellItsOwn) {
    const std::vector<Color> few = {Color::white(), Color::black(), Color::red(),
                                    Color::systemCyan()};
    std::vector<Color> colors;
    uint32_t state = 7;
    for (int i = 0; i < 28 * 28; ++i) {
        state = state * 1664525u + 1013904223u;
        const double random = double(state >> 8) / double(1u << 24);
        colors.push_back(everyCellItsOwn ? Color::withRGB(random, i / 784.0, 1 - random)
                                         : few[i % 5 == 0 ? size_t(random * 4) : 0]);
    }
    const ScopedScale scale(3);
    return *PictureExporter(colors, 28, 28).exportImage(points, points);
}

}  // namespace

TEST(PngEncoderTest, DrawingsBecomeSmallerIndexedPngsThatDecodeExactly) {
    for (const int points : {300, 1000}) {
        QImage image = drawing(points, false);
        const QByteArray png = PngEncoder::encode(image);
        const auto found = chunks(png);
        EXPECT_EQ(found.at("type"), 3u);
        EXPECT_FALSE(found.count("tRNS"));
        EXPECT_TRUE(found.count("sRGB"));
        EXPECT_TRUE(samePixels(image, decode(png))) << points;
        EXPECT_EQ(decode(png).colorSpace(), QColorSpace(QColorSpace::SRgb));
        EXPECT_LE(png.size(), qtPng(image).size()) << points;
        // Also without the colour space, which Qt stores as a whole profile.
        image.setColorSpace(QColorSpace());
        EXPECT_LE(PngEncoder::encode(image).size(), qtPng(image).size()) << points;
    }
}

TEST(PngEncoderTest, PicturesWithMoreColoursStayExactAndNoLarger) {
    QImage cells = drawing(300, true);
    cells.setColorSpace(QColorSpace());
    for (const QImage& image : {cells, gradient(300, 200, false)}) {
        const QByteArray png = PngEncoder::encode(image);
        EXPECT_EQ(chunks(png).at("type"), 2u);
        EXPECT_TRUE(samePixels(image, decode(png)));
        EXPECT_LE(png.size(), qtPng(image).size());
    }
}

TEST(PngEncoderTest, ThePaletteHoldsUpTo256Colours) {
    const QByteArray full = PngEncoder::encode(blocks(7 * 101, 15, 256));
    EXPECT_EQ(chunks(full).at("type"), 3u);
    EXPECT_EQ(chunks(full).at("PLTE"), 256u * 3);
    EXPECT_TRUE(samePixels(blocks(7 * 101, 15, 256), decode(full)));

    const QByteArray over = PngEncoder::encode(blocks(7 * 101, 15, 257));
    EXPECT_EQ(chunks(over).at("type"), 2u);
    EXPECT_TRUE(samePixels(blocks(7 * 101, 15, 257), decode(over)));

    // One pixel wide or high, where libpng allows fewer filters; rows or columns in pairs.
    for (const QSize size : {QSize(1, 600), QSize(600, 1)}) {
        QImage strip(size, QImage::Format_RGB32);
        for (int i = 0; i < 600; ++i) {
            strip.setPixel(i % size.width(), i % size.height(), qRgb(i / 2, i / 4, 0));
        }
        EXPECT_TRUE(samePixels(strip, decode(PngEncoder::encode(strip))));
    }
}

TEST(PngEncoderTest, TransparencyIsKeptExactly) {
    // Fully transparent pixels keep their colour too: straight alpha is stored as it is.
    QImage few = blocks(40, 30, 5);
    few.setPixel(0, 0, qRgba(255, 0, 0, 0));
    few.setPixel(1, 0, qRgba(0, 255, 0, 0));
    few.setPixel(2, 0, qRgba(10, 20, 30, 128));
    const QByteArray indexed = PngEncoder::encode(few);
    EXPECT_EQ(chunks(indexed).at("type"), 3u);
    EXPECT_EQ(chunks(indexed).at("tRNS"), 3u);  // only the entries that are not opaque
    EXPECT_TRUE(samePixels(few, decode(indexed)));

    const QImage many = gradient(256, 64, true);
    const QByteArray rgba = PngEncoder::encode(many);
    EXPECT_EQ(chunks(rgba).at("type"), 6u);
    EXPECT_TRUE(samePixels(many, decode(rgba)));

    const QImage premultiplied = few.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(samePixels(premultiplied, decode(PngEncoder::encode(premultiplied))));
    const QImage dot = blocks(1, 1, 1, 4);
    EXPECT_TRUE(samePixels(dot, decode(PngEncoder::encode(dot))));
}

TEST(PngEncoderTest, AnyImageFormatEncodesAndEmptyImagesGiveNothing) {
    EXPECT_TRUE(PngEncoder::encode(QImage()).isEmpty());
    EXPECT_TRUE(PngEncoder::encode(QImage(0, 10, QImage::Format_RGB32)).isEmpty());

    const QImage grey = gradient(256, 3, false).convertToFormat(QImage::Format_Grayscale8);
    EXPECT_TRUE(samePixels(grey, decode(PngEncoder::encode(grey))));
    const QImage mono = blocks(30, 30, 2).convertToFormat(QImage::Format_Mono);
    EXPECT_TRUE(samePixels(mono, decode(PngEncoder::encode(mono))));

    // RGB32 is opaque whatever its unused byte holds.
    QImage rgb(4, 4, QImage::Format_RGB32);
    std::memset(rgb.bits(), 0x7f, size_t(rgb.sizeInBytes()));
    EXPECT_EQ(decode(PngEncoder::encode(rgb)).pixel(2, 2), qRgba(0x7f, 0x7f, 0x7f, 0xff));
}

TEST(PngEncoderTest, ColourSpacesTravelWithThePicture) {
    QImage image = blocks(20, 20, 3);
    EXPECT_FALSE(decode(PngEncoder::encode(image)).colorSpace().isValid());
    image.setColorSpace(QColorSpace::DisplayP3);
    const QByteArray png = PngEncoder::encode(image);
    EXPECT_TRUE(chunks(png).count("iCCP"));
    EXPECT_EQ(decode(png).colorSpace(), QColorSpace(QColorSpace::DisplayP3));
}
