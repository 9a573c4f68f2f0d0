#include <gtest/gtest.h>

#include <QColorSpace>
#include <cstring>
#include <map>
#include <string>

#include "imaging/png_encoder.h"
#include "picture_fixtures.h"

namespace {

// Whether the PNG decodes to the image's straight (not premultiplied) ARGB values.
bool decodesTo(const QByteArray& png, const QImage& image) {
    const QImage decoded = QImage::fromData(png, "PNG");
    return decoded.size() == image.size() && decoded.convertToFormat(QImage::Format_ARGB32) ==
                                                 image.convertToFormat(QImage::Format_ARGB32);
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

// count colours in blocks of 7 x 5 pixels, each block the next colour.
QImage blocks(int width, int height, int count, int alpha = 255) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int i = 0; i < width * height; ++i) {
        const int colour = (i % width / 7 + i / width / 5 * 101) % count;
        image.setPixel(i % width, i / width,
                       qRgba(colour % 256, colour / 256, 255 - colour % 200, alpha));
    }
    return image;
}

QImage gradient(int width, int height, bool withAlpha) {
    QImage image(width, height, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int i = 0; i < width * height; ++i) {
        const int x = i % width, y = i / width;
        image.setPixel(x, y, qRgba(x % 256, y % 256, x * y % 256, withAlpha ? x + y : 255));
    }
    return image;
}

// A 28 x 28 drawing of four colours as exported at scale 3.
QImage drawing(int side) {
    return blocks(28, 28, 4).convertToFormat(QImage::Format_RGB32).scaled(side, side);
}

}  // namespace

// Indexed up to 256 colours, RGB or RGBA beyond; every pixel decodes back exactly, even fully
// transparent ones keep their colour, and drawings, photos and other opaque pictures make
// files no larger than Qt's own.
TEST(PngEncoderTest, EveryKindOfPictureDecodesExactlyInTheFittingColourType) {
    QImage few = blocks(40, 30, 5);
    few.setPixel(0, 0, qRgba(255, 0, 0, 0));
    few.setPixel(1, 0, qRgba(0, 255, 0, 0));
    few.setPixel(2, 0, qRgba(10, 20, 30, 128));
    QImage column(1, 600, QImage::Format_RGB32);  // libpng allows fewer filters here
    for (int i = 0; i < 600; ++i) {
        column.setPixel(0, i, qRgb(i / 2, i / 4, 0));  // rows in pairs
    }
    const struct {
        const char* name;
        QImage image;
        uint32_t type;  // 0: any
        bool noLargerThanQt;
    } cases[] = {
        {"shared drawing", drawing(3000), 3, true},
        {"photo", QImage(QStringLiteral(TILEBLOOM_PHOTO_FIXTURES "/coffee.jpg")), 2, true},
        {"257 colours", blocks(7 * 101, 15, 257), 2, false},
        {"column", column, 0, false},
        {"premultiplied", few.convertToFormat(QImage::Format_ARGB32_Premultiplied), 3, false},
        {"translucent gradient", gradient(256, 64, true), 6, false},
        {"grey", gradient(256, 3, false).convertToFormat(QImage::Format_Grayscale8), 0, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const QByteArray png = PngEncoder::encode(test.image);
        EXPECT_TRUE(decodesTo(png, test.image));
        if (test.type) {
            EXPECT_EQ(chunks(png).at("type"), test.type);
        }
        if (test.noLargerThanQt) {
            EXPECT_LE(png.size(), picture_fixtures::encoded(test.image, "PNG", -1).size());
            EXPECT_FALSE(chunks(png).count("tRNS"));
        }
    }
    EXPECT_EQ(chunks(PngEncoder::encode(blocks(7 * 101, 15, 256))).at("PLTE"), 256u * 3);
    EXPECT_EQ(chunks(PngEncoder::encode(few)).at("tRNS"), 3u);  // only the entries not opaque
}

// sRGB is recorded as such (Qt stores a whole profile, which makes its file larger), others as
// their profile.
TEST(PngEncoderTest, ColourSpacesTravelAndOddInputsAreHandled) {
    QImage image = drawing(900);
    EXPECT_FALSE(QImage::fromData(PngEncoder::encode(image)).colorSpace().isValid());
    for (const auto space : {QColorSpace::SRgb, QColorSpace::DisplayP3}) {
        image.setColorSpace(space);
        const QByteArray png = PngEncoder::encode(image);
        EXPECT_TRUE(chunks(png).count(space == QColorSpace::SRgb ? "sRGB" : "iCCP"));
        EXPECT_EQ(QImage::fromData(png).colorSpace(), QColorSpace(space));
        EXPECT_TRUE(decodesTo(png, image));
        EXPECT_LE(png.size(), picture_fixtures::encoded(image, "PNG", -1).size());
    }

    EXPECT_TRUE(PngEncoder::encode(QImage()).isEmpty());
    EXPECT_TRUE(PngEncoder::encode(QImage(0, 10, QImage::Format_RGB32)).isEmpty());
    // RGB32 is opaque whatever its unused byte holds.
    QImage rgb(4, 4, QImage::Format_RGB32);
    std::memset(rgb.bits(), 0x7f, size_t(rgb.sizeInBytes()));
    EXPECT_EQ(QImage::fromData(PngEncoder::encode(rgb)).pixel(2, 2), qRgba(0x7f, 0x7f, 0x7f, 0xff));
}

// The picture's text goes into the file, whichever way the pixels are written.
TEST(PngEncoderTest, TextTravelsWithThePicture) {
    for (QImage image : {drawing(300), gradient(300, 200, true)}) {
        image.setText(QStringLiteral("Tilebloom grid"), QStringLiteral("28x28"));
        image.setText(QStringLiteral("Comment"), QStringLiteral("caf\u00E9"));
        image.setText(QStringLiteral("Unsayable"), QStringLiteral("\u4E2D"));  // not Latin-1
        const QImage back = QImage::fromData(PngEncoder::encode(image), "PNG");
        EXPECT_EQ(back.text(QStringLiteral("Tilebloom grid")), QStringLiteral("28x28"));
        EXPECT_EQ(back.text(QStringLiteral("Comment")), QStringLiteral("caf\u00E9"));
        EXPECT_TRUE(back.text(QStringLiteral("Unsayable")).isEmpty());
    }
}
