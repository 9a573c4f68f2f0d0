#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <cstring>
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
::testing::AssertionResult samePixels(const QImage& expected, const QImage& actual) {
    if (expected.size() != actual.size()) {
        return ::testing::AssertionFailure() << "size differs";
    }
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage b = actual.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* right = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (left[x] != right[x]) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << "): " << std::hex << left[x] << " became "
                       << right[x];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// The chunks of a PNG file with their lengths, and the header's colour type and depth.
struct Chunks {
    std::vector<std::pair<std::string, uint32_t>> list;
    int colorType = -1;
    int bitDepth = -1;
    bool has(const std::string& type) const {
        return std::any_of(list.begin(), list.end(),
                           [&](const auto& c) { return c.first == type; });
    }
    uint32_t length(const std::string& type) const {
        for (const auto& [name, length] : list) {
            if (name == type) {
                return length;
            }
        }
        return 0;
    }
};

Chunks chunks(const QByteArray& png) {
    Chunks result;
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const auto byte = [&](qsizetype i) { return uint32_t(uchar(png[at + i])); };
        const uint32_t length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        result.list.emplace_back(std::string(png.constData() + at + 4, 4), length);
        at += 12 + qsizetype(length);
    }
    if (png.size() > 25) {
        result.bitDepth = uchar(png[24]);
        result.colorType = uchar(png[25]);
    }
    return result;
}

QByteArray qtPng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Blocks of 7 x 5 pixels, each block one of the colours in turn.
QImage blocks(int width, int height, const std::vector<QRgb>& colors,
              QImage::Format format = QImage::Format_ARGB32) {
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, colors[size_t(x / 7 + y / 5 * 101) % colors.size()]);
        }
    }
    return image;
}

std::vector<QRgb> colorRun(int count, int alpha = 255) {
    std::vector<QRgb> colors;
    for (int i = 0; i < count; ++i) {
        colors.push_back(qRgba(i % 256, (i * 7) / 256, 255 - i % 200, alpha));
    }
    return colors;
}

QImage gradient(int width, int height, bool withAlpha) {
    QImage image(width, height, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y,
                           qRgba(x % 256, y % 256, (x * y) % 256, withAlpha ? (x + y) % 256 : 255));
        }
    }
    return image;
}

std::vector<Color> drawing(bool manyColours) {
    std::vector<Color> colors;
    uint32_t state = 7;
    for (int i = 0; i < 28 * 28; ++i) {
        state = state * 1664525u + 1013904223u;
        const double random = double(state >> 8) / double(1u << 24);
        if (manyColours) {
            colors.push_back(Color::withRGB(random, double(i) / 784.0, 1 - random));
        } else {
            const std::vector<Color> few = {Color::white(), Color::black(), Color::red(),
                                            Color::systemCyan()};
            colors.push_back(i % 5 == 0 ? few[size_t(random * 4)] : Color::white());
        }
    }
    return colors;
}

}  // namespace

TEST(PngEncoderTest, DrawingsBecomeSmallerIndexedPngsThatDecodeExactly) {
    const ScopedScale scale(3);
    const PictureExporter exporter(drawing(false), 28, 28);
    for (const int points : {300, 1000}) {
        QImage image = *exporter.exportImage(points, points);
        const QByteArray png = PngEncoder::encode(image);
        const Chunks found = chunks(png);
        EXPECT_EQ(found.colorType, 3);
        EXPECT_EQ(found.bitDepth, 8);
        EXPECT_FALSE(found.has("tRNS"));
        EXPECT_TRUE(found.has("sRGB"));
        const QImage decoded = decode(png);
        EXPECT_TRUE(samePixels(image, decoded)) << points;
        EXPECT_EQ(decoded.colorSpace(), QColorSpace(QColorSpace::SRgb));
        EXPECT_LE(png.size(), qtPng(image).size()) << points;
        // Without the colour space, which Qt stores as a whole profile.
        image.setColorSpace(QColorSpace());
        EXPECT_LE(PngEncoder::encode(image).size(), qtPng(image).size()) << points;
    }
}

TEST(PngEncoderTest, PicturesWithMoreColoursStayExactAndNoLarger) {
    // A drawing with a different colour in every cell, blown up at scale 3.
    QImage cells;
    {
        const ScopedScale scale(3);
        cells = *PictureExporter(drawing(true), 28, 28).exportImage(300, 300);
    }
    cells.setColorSpace(QColorSpace());
    const QImage smooth = gradient(300, 200, false);
    for (const QImage& image : {cells, smooth}) {
        const QByteArray png = PngEncoder::encode(image);
        EXPECT_EQ(chunks(png).colorType, 2);
        EXPECT_TRUE(samePixels(image, decode(png)));
        EXPECT_LE(png.size(), qtPng(image).size());
    }
}

TEST(PngEncoderTest, ThePaletteHoldsUpTo256Colours) {
    const QImage full = blocks(7 * 101, 5 * 3, colorRun(256));
    const QByteArray palette = PngEncoder::encode(full);
    EXPECT_EQ(chunks(palette).colorType, 3);
    EXPECT_EQ(chunks(palette).length("PLTE"), 256u * 3);
    EXPECT_TRUE(samePixels(full, decode(palette)));

    const QImage over = blocks(7 * 101, 5 * 3, colorRun(257));
    const QByteArray trueColor = PngEncoder::encode(over);
    EXPECT_EQ(chunks(trueColor).colorType, 2);
    EXPECT_TRUE(samePixels(over, decode(trueColor)));

    // One pixel wide or high, where libpng allows fewer filters.
    for (const QSize size : {QSize(1, 600), QSize(600, 1)}) {
        QImage strip(size, QImage::Format_RGB32);
        for (int i = 0; i < 600; ++i) {
            strip.setPixel(i % size.width(), i % size.height(), colorRun(300)[size_t(i / 2)]);
        }
        EXPECT_TRUE(samePixels(strip, decode(PngEncoder::encode(strip))));
    }
}

TEST(PngEncoderTest, TransparencyIsKeptExactly) {
    // Fully transparent pixels keep their colour too: straight alpha is stored as it is.
    std::vector<QRgb> colors = {qRgba(255, 0, 0, 0), qRgba(0, 255, 0, 0), qRgba(10, 20, 30, 128),
                                qRgb(255, 255, 255), qRgb(0, 0, 0)};
    const QImage few = blocks(40, 30, colors);
    const QByteArray indexed = PngEncoder::encode(few);
    EXPECT_EQ(chunks(indexed).colorType, 3);
    EXPECT_EQ(chunks(indexed).length("tRNS"), 3u);  // only the entries that are not opaque
    EXPECT_TRUE(samePixels(few, decode(indexed)));

    const QImage many = gradient(256, 64, true);
    const QByteArray rgba = PngEncoder::encode(many);
    EXPECT_EQ(chunks(rgba).colorType, 6);
    EXPECT_TRUE(samePixels(many, decode(rgba)));

    // Premultiplied pixels are stored straight.
    const QImage premultiplied = few.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(samePixels(premultiplied, decode(PngEncoder::encode(premultiplied))));

    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.setPixel(0, 0, qRgba(1, 2, 3, 4));
    const QImage back = decode(PngEncoder::encode(dot));
    EXPECT_TRUE(samePixels(dot, back));
}

TEST(PngEncoderTest, AnyImageFormatEncodesAndEmptyImagesGiveNothing) {
    EXPECT_TRUE(PngEncoder::encode(QImage()).isEmpty());
    EXPECT_TRUE(PngEncoder::encode(QImage(0, 10, QImage::Format_RGB32)).isEmpty());

    QImage grey(256, 3, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            grey.scanLine(y)[x] = uchar(x);
        }
    }
    EXPECT_TRUE(samePixels(grey, decode(PngEncoder::encode(grey))));

    QImage mono(9, 9, QImage::Format_Mono);
    mono.fill(0);
    mono.setPixel(4, 4, 1);
    EXPECT_TRUE(samePixels(mono, decode(PngEncoder::encode(mono))));

    // RGB32 is opaque whatever its unused byte holds.
    QImage rgb(4, 4, QImage::Format_RGB32);
    std::memset(rgb.bits(), 0x7f, size_t(rgb.sizeInBytes()));
    const QImage opaque = decode(PngEncoder::encode(rgb));
    EXPECT_EQ(opaque.pixel(2, 2), qRgba(0x7f, 0x7f, 0x7f, 0xff));
    EXPECT_FALSE(opaque.hasAlphaChannel());
}

TEST(PngEncoderTest, ColourSpacesTravelWithThePicture) {
    QImage image = blocks(20, 20, colorRun(3));
    EXPECT_FALSE(chunks(PngEncoder::encode(image)).has("sRGB"));
    EXPECT_FALSE(decode(PngEncoder::encode(image)).colorSpace().isValid());

    image.setColorSpace(QColorSpace::DisplayP3);
    const QByteArray png = PngEncoder::encode(image);
    EXPECT_TRUE(chunks(png).has("iCCP"));
    EXPECT_EQ(decode(png).colorSpace(), QColorSpace(QColorSpace::DisplayP3));
}
