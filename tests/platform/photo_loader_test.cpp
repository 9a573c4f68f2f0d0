#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "picture_fixtures.h"
#include "platform/photo_loader.h"

using namespace picture_fixtures;

namespace {
struct PhotoLoaderTest : testing::Test {
    QTemporaryDir dir;
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
};
}  // namespace

TEST_F(PhotoLoaderTest, OrientationMetadataTurnsThePicture) {
    const QImage source = halves(40, 20);
    const PhotoLoader::Result upright =
        PhotoLoader::load(file("upright.jpg", jpegWithOrientation(source, 1)));
    ASSERT_TRUE(upright.ok()) << upright.error.toStdString();
    EXPECT_EQ(upright.image.size(), QSize(40, 20));

    // A quarter turn clockwise puts the left (blue) half on top.
    const PhotoLoader::Result turned =
        PhotoLoader::load(file("turned.jpg", jpegWithOrientation(source, 6)));
    ASSERT_TRUE(turned.ok()) << turned.error.toStdString();
    EXPECT_EQ(turned.image.size(), QSize(20, 40));
    EXPECT_TRUE(near(turned.image.pixel(10, 4), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(turned.image.pixel(10, 35), qRgb(255, 0, 0)));

    // The same bytes from memory, and the other way round.
    const PhotoLoader::Result back = PhotoLoader::loadData(jpegWithOrientation(source, 8));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.image.size(), QSize(20, 40));
    EXPECT_TRUE(near(back.image.pixel(10, 35), qRgb(0, 0, 255)));
}

TEST_F(PhotoLoaderTest, RefusesWhatIsNotAWholePictureWithAClearMessage) {
    QImage busy(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < busy.height(); ++y) {
        for (int x = 0; x < busy.width(); ++x) {
            busy.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
        }
    }
    const QByteArray jpeg = encoded(busy, "jpg");
    const QByteArray png = encoded(busy, "png");

    struct Case {
        QString name;
        QByteArray bytes;
        QString says;
    };
    const std::vector<Case> cases = {
        {"cut.jpg", jpeg.left(jpeg.size() * 6 / 10), "damaged or incomplete"},
        {"cut.png", png.left(png.size() / 2), "damaged or incomplete"},
        {"notes.jpg", "These are not pixels.\n", "not a picture"},
        {"empty.png", QByteArray(), "is empty"},
    };
    for (const Case& c : cases) {
        const PhotoLoader::Result result = PhotoLoader::load(file(c.name, c.bytes));
        EXPECT_FALSE(result.ok()) << c.name.toStdString();
        EXPECT_TRUE(result.image.isNull());
        EXPECT_TRUE(result.error.contains(c.says)) << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(c.name)) << result.error.toStdString();
    }
    const PhotoLoader::Result missing = PhotoLoader::load(dir.filePath("gone.png"));
    EXPECT_TRUE(missing.error.contains("could not be found"));
    EXPECT_TRUE(PhotoLoader::load(dir.path()).error.contains("folder"));

    // Bytes after the end of a complete JPEG (some cameras append data) are fine.
    const PhotoLoader::Result trailing = PhotoLoader::load(file("trailing.jpg", jpeg + "extra"));
    EXPECT_TRUE(trailing.ok()) << trailing.error.toStdString();
    EXPECT_EQ(trailing.image.size(), QSize(300, 200));
}

TEST_F(PhotoLoaderTest, EnormousDeclaredSizesAreRefusedBeforeDecoding) {
    // What a decompression bomb declares, far beyond the limits or just over one side.
    for (const QSize& size : {QSize(100000, 100000), QSize(12001, 10), QSize(11000, 11000)}) {
        const PhotoLoader::Result result =
            PhotoLoader::load(file("bomb.png", pngDeclaring(size.width(), size.height())));
        EXPECT_FALSE(result.ok());
        EXPECT_TRUE(result.error.contains("too large")) << result.error.toStdString();
        EXPECT_TRUE(result.error.contains("bomb.png"));
    }
    const PhotoLoader::Result fromMemory = PhotoLoader::loadData(pngDeclaring(100000, 100000));
    EXPECT_TRUE(fromMemory.error.startsWith("This picture is too large"));

    // Within the limits but beyond what may be decoded at once: a format that can only be
    // decoded whole is refused, one that can be decoded smaller is (a row at a time), and
    // here meets the missing data.
    const PhotoLoader::Result bmp = PhotoLoader::load(file("wide.bmp", bmpDeclaring(10000, 10000)));
    EXPECT_TRUE(bmp.error.contains("too large")) << bmp.error.toStdString();
    const PhotoLoader::Result png = PhotoLoader::load(file("wide.png", pngDeclaring(10000, 10000)));
    EXPECT_TRUE(png.error.contains("damaged or incomplete")) << png.error.toStdString();
}

TEST_F(PhotoLoaderTest, PicturesOverTheDecodeBudgetAreDecodedSmallerWhenTheFormatAllows) {
    PhotoLoader::Limits limits;
    limits.decodeBudgetPixels = 30000;
    for (const char* format : {"jpg", "png"}) {
        const QString path = file(QString("big.") + format, encoded(halves(400, 300), format));
        const PhotoLoader::Result scaled = PhotoLoader::load(path, limits);
        ASSERT_TRUE(scaled.ok()) << scaled.error.toStdString();
        EXPECT_LE(qint64(scaled.image.width()) * scaled.image.height(), 30000);
        EXPECT_NEAR(double(scaled.image.width()) / scaled.image.height(), 4.0 / 3.0, 0.02);
        EXPECT_TRUE(near(scaled.image.pixel(10, 10), qRgb(0, 0, 255)));
    }
    const PhotoLoader::Result bmp =
        PhotoLoader::load(file("big.bmp", encoded(halves(400, 300), "bmp")), limits);
    EXPECT_TRUE(bmp.error.contains("too large"));
}

TEST_F(PhotoLoaderTest, ThumbnailsCoverTheRequestedSizeWithoutEnlarging) {
    const QString wide = file("wide.jpg", encoded(halves(400, 200), "jpg"));
    const PhotoLoader::Result thumb = PhotoLoader::loadThumbnail(wide, QSize(100, 100));
    ASSERT_TRUE(thumb.ok());
    EXPECT_GE(thumb.image.width(), 100);
    EXPECT_GE(thumb.image.height(), 100);
    EXPECT_LE(thumb.image.height(), 101);

    const QString small = file("small.png", encoded(halves(30, 20), "png"));
    EXPECT_EQ(PhotoLoader::loadThumbnail(small, QSize(100, 100)).image.size(), QSize(30, 20));
}
