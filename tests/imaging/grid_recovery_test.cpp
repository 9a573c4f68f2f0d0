#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <set>

#include "imaging/grid_recovery.h"
#include "imaging/picture_opener.h"
#include "picture_fixtures.h"

namespace {

QImage randomCells(int columns, int rows, quint32 seed, int colours) {
    QRandomGenerator random(seed);
    std::vector<QRgb> palette;
    for (int i = 0; i < colours; ++i) {
        palette.push_back(qRgb(random.bounded(256), random.bounded(256), random.bounded(256)));
    }
    QImage cells(columns, rows, QImage::Format_RGB32);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            cells.setPixel(x, y, palette[size_t(random.bounded(colours))]);
        }
    }
    return cells;
}

void expectSameCells(const PictureCells& found, const QImage& cells) {
    ASSERT_EQ(found.width, cells.width());
    ASSERT_EQ(found.height, cells.height());
    int wrong = 0;
    for (int y = 0; y < cells.height(); ++y) {
        for (int x = 0; x < cells.width(); ++x) {
            wrong += found.at(x, y) != (cells.pixel(x, y) | 0xff000000u);
        }
    }
    EXPECT_EQ(wrong, 0);
}

std::set<QRgb> colorsOf(const PictureCells& cells) {
    return {cells.cells.begin(), cells.cells.end()};
}

double meanError(const PictureCells& a, const PictureCells& b) {
    double sum = 0;
    for (size_t i = 0; i < a.cells.size(); ++i) {
        sum += GridRecovery::perceptualDistance(a.cells[i], b.cells[i]);
    }
    return sum / double(a.cells.size());
}

const QString kPhotos = QStringLiteral(TILEBLOOM_PHOTO_FIXTURES);

}  // namespace

// Pictures other programs enlarged: Qt's nearest-neighbour scaling at factors that are not
// whole numbers puts the odd pixel elsewhere than this app's exporter does.
TEST(GridRecoveryTest, BlocksOtherProgramsEnlargedAreFoundExactly) {
    const struct {
        int columns, rows, width, height;
    } cases[] = {{32, 20, 100, 61}, {5, 9, 11, 19}};
    quint32 seed = 3;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.columns << "x" << c.rows << " as " << c.width << "x" << c.height);
        const QImage cells = randomCells(c.columns, c.rows, seed++, 6);
        const QImage big =
            cells.scaled(c.width, c.height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const auto found = GridRecovery::findBlocks(big);
        ASSERT_TRUE(found);
        EXPECT_TRUE(found->exact);
        expectSameCells(*found, cells);
    }
}

TEST(GridRecoveryTest, PixelPicturesAtOnePixelACellOpenAsTheyAreButPhotosDoNot) {
    const QImage sprite = randomCells(24, 17, 8, 40);
    const auto found = GridRecovery::findBlocks(sprite);
    ASSERT_TRUE(found);
    expectSameCells(*found, sprite);

    // A small photo: smooth, thousands of colours, so it is reduced instead.
    QImage photo(120, 90, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x) {
            photo.setPixel(x, y, qRgb(x * 2, y * 2, (x * y) % 256));
        }
    }
    EXPECT_FALSE(GridRecovery::findBlocks(photo));
    const PictureCells reduced = GridRecovery::recover(photo, 20, 16);
    EXPECT_FALSE(reduced.exact);
    EXPECT_EQ(reduced.width, 20);
    EXPECT_EQ(reduced.height, 15);
    EXPECT_LE(colorsOf(reduced).size(), 16u);

    // More cells than a drawing may have: reduced too.
    const QImage huge = randomCells(300, 10, 4, 5).scaled(900, 30);
    EXPECT_FALSE(GridRecovery::findBlocks(huge));
    EXPECT_EQ(GridRecovery::recover(huge, 28, 8).width, 28);
}

TEST(GridRecoveryTest, TransparentPixelsOpenAsWhiteAndTallPicturesKeepTheirAspect) {
    QImage sprite(8, 8, QImage::Format_ARGB32);
    sprite.fill(Qt::transparent);
    sprite.setPixel(2, 3, qRgba(10, 20, 30, 255));
    const auto found = GridRecovery::findBlocks(sprite.scaled(64, 64));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->width, 8);
    EXPECT_EQ(found->at(2, 3), qRgb(10, 20, 30));
    EXPECT_EQ(found->at(0, 0), qRgb(255, 255, 255));

    QImage tall(300, 900, QImage::Format_RGB32);
    QPainter painter(&tall);
    QLinearGradient gradient(0, 0, 300, 900);
    gradient.setColorAt(0, Qt::red);
    gradient.setColorAt(1, Qt::blue);
    painter.fillRect(tall.rect(), gradient);
    painter.end();
    const PictureCells reduced = GridRecovery::reduce(tall, 24, 8);
    EXPECT_EQ(reduced.height, 24);
    EXPECT_EQ(reduced.width, 8);
    EXPECT_EQ(colorsOf(reduced).size(), 8u);
}

// The error of the nearest colour in a fixed cube of levels per channel, the palette a
// program that does not look at the picture would use.
double fixedCubeError(const PictureCells& cells, int levels) {
    double sum = 0;
    for (const QRgb c : cells.cells) {
        const auto level = [levels](int v) {
            const int step = 255 / (levels - 1);
            return (v + step / 2) / step * step;
        };
        sum += GridRecovery::perceptualDistance(
            c, qRgb(level(qRed(c)), level(qGreen(c)), level(qBlue(c))));
    }
    return sum / double(cells.cells.size());
}

// A real photograph (public domain, see photos/README.md) keeps to the palette and stays close
// to the photo averaged into cells (mean OKLab distance, black to white 100; measured 4.7 at 8
// colours, 1.5 at 64), erring less than half as much as a fixed colour cube does.
TEST(GridRecoveryTest, PhotosKeepToThePaletteAndStayCloseToThePhoto) {
    const QString path = kPhotos + QStringLiteral("/coffee.jpg");
    const QImage photo(path);
    ASSERT_FALSE(photo.isNull()) << path.toStdString();
    const PictureCells averaged = GridRecovery::reduce(photo, 64, 1 << 20);
    ASSERT_GT(colorsOf(averaged).size(), 1000u);
    for (const auto& [n, bound, cubeLevels] : {std::tuple{8, 6.0, 2}, {64, 2.0, 4}}) {
        SCOPED_TRACE(n);
        PictureOpener::Options options;
        options.gridSide = 64;
        options.maxColors = n;
        const PictureOpener::Result opened = PictureOpener::openFile(path, options);
        ASSERT_TRUE(opened.ok()) << opened.error.toStdString();
        EXPECT_NEAR(double(opened.cells.width) / opened.cells.height,
                    double(photo.width()) / photo.height(), 0.05);
        const size_t count = colorsOf(opened.cells).size();
        EXPECT_LE(count, size_t(n));
        EXPECT_GE(count, size_t(n) * 3 / 4);
        const double error = meanError(opened.cells, averaged);
        EXPECT_LT(error, bound);
        EXPECT_LT(error, fixedCubeError(averaged, cubeLevels) / 2);
    }
}

TEST(GridRecoveryTest, FewerColoursThanThePaletteStayAsTheyAre) {
    std::vector<QRgb> cells = {qRgb(1, 2, 3), qRgb(200, 100, 0), qRgb(1, 2, 3)};
    const std::vector<QRgb> before = cells;
    GridRecovery::reducePalette(cells, 2);
    EXPECT_EQ(cells, before);
    GridRecovery::reducePalette(cells, 1);
    EXPECT_EQ(cells[0], cells[1]);
}

// A large JPEG file is decoded at a fraction of its size before it is reduced: the drawing is
// the one the whole photo gives, but for rounding.
TEST(GridRecoveryTest, ALargeJpegFileReducesAsTheWholePhotoDoes) {
    const QImage small(kPhotos + QStringLiteral("/coffee.jpg"));
    const QImage photo =
        small.scaled(small.size() * 12, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    ASSERT_TRUE(photo.save(path, "JPEG", 92));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    PictureOpener::Options options;
    options.gridSide = 48;
    options.maxColors = 64;
    const PictureOpener::Result fromFile = PictureOpener::openFile(path, options);
    const PictureOpener::Result fromBytes = PictureOpener::openData(bytes, "big.jpg", options);
    ASSERT_TRUE(fromFile.ok()) << fromFile.error.toStdString();
    ASSERT_TRUE(fromBytes.ok());
    ASSERT_EQ(QSize(fromFile.cells.width, fromFile.cells.height),
              QSize(fromBytes.cells.width, fromBytes.cells.height));
    EXPECT_LT(meanError(fromFile.cells, fromBytes.cells), 1.5);
    // A cut-off one is refused under its own name, not the descriptor it was read through.
    const QString cut = dir.filePath(QStringLiteral("cut photo.jpg"));
    ASSERT_TRUE(picture_fixtures::writeFile(cut, bytes.left(bytes.size() / 2)));
    const PictureOpener::Result refused = PictureOpener::openFile(cut, options);
    EXPECT_TRUE(refused.error.contains("\u201Ccut photo.jpg\u201D")) << refused.error.toStdString();
}

// Every format the app opens: the lossless ones give the cells back exactly, a GIF its first
// frame, a JPEG something close.
TEST(GridRecoveryTest, EveryFormatOpensAndLosslessOnesExactly) {
    const QImage cells = randomCells(16, 12, 21, 5);
    const QImage big = cells.scaled(160, 120);
    const PictureOpener::Result png =
        PictureOpener::openData(picture_fixtures::encoded(big, "png", 100), "sprite", {});
    ASSERT_TRUE(png.ok()) << png.error.toStdString();
    EXPECT_TRUE(png.cells.exact);
    expectSameCells(png.cells, cells);
    const PictureOpener::Result jpeg =
        PictureOpener::openData(picture_fixtures::encoded(big, "jpg", 95), "sprite.jpg", {});
    ASSERT_TRUE(jpeg.ok()) << jpeg.error.toStdString();
    EXPECT_FALSE(jpeg.cells.exact);

    const PictureOpener::Result gif =
        PictureOpener::openFile(QStringLiteral(TILEBLOOM_PICTURE_FIXTURES "/two_frames.gif"), {});
    ASSERT_TRUE(gif.ok()) << gif.error.toStdString();
    ASSERT_EQ(gif.cells.width, 16);
    const QRgb palette[] = {qRgb(220, 40, 50), qRgb(30, 90, 240), qRgb(250, 210, 20),
                            qRgb(20, 20, 20)};
    int wrong = 0;
    for (int i = 0; i < 16 * 12; ++i) {
        const int x = i % 16, y = i / 16;
        wrong += gif.cells.at(x, y) != palette[(x * 3 + y * 5 + x * y) % 4];
    }
    EXPECT_EQ(wrong, 0);
}
