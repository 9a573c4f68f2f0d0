#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <iostream>
#include <map>

#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "hostile_files.h"
#include "imaging/photo_loader.h"
#include "picture_fixtures.h"

using namespace hostile_files;
using namespace picture_fixtures;

namespace {
// A true decompression bomb: a PNG whose width x height pixels are all zero, which deflate
// squeezes about a thousandfold (10,000 x 10,000 RGBA is 400 MB of pixels in 390 KB).
QByteArray zeroPng(quint32 width, quint32 height, char colourType, int bytesPerPixel) {
    QByteArray header(8, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header.append("\x08", 1);
    header.append(colourType);
    header.append("\x00\x00\x00", 3);
    const QByteArray row(1 + qsizetype(width) * bytesPerPixel, '\0');  // filter byte, pixels
    z_stream stream{};
    deflateInit(&stream, 9);
    QByteArray compressed;
    char out[1 << 16];
    for (quint32 y = 0; y < height; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.constData()));
        stream.avail_in = uInt(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            compressed.append(out, qsizetype(sizeof out - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", compressed) + pngChunk("IEND", QByteArray());
}

// A JPEG whose frame header claims another size than the data it carries.
QByteArray jpegClaiming(quint16 width, quint16 height) {
    QByteArray jpeg = encoded(halves(64, 48), "jpg");
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (frame >= 0) {
        qToBigEndian<quint16>(height, jpeg.data() + frame + 5);
        qToBigEndian<quint16>(width, jpeg.data() + frame + 7);
    }
    return jpeg;
}

// A GIF whose screen claims width x height and whose only frame claims frameWidth x
// frameHeight, with one byte of picture data.
QByteArray gifClaiming(quint16 width, quint16 height, quint16 frameWidth = 0,
                       quint16 frameHeight = 0) {
    QByteArray gif("GIF89a", 6);
    char size[4];
    qToLittleEndian<quint16>(width, size);
    qToLittleEndian<quint16>(height, size + 2);
    char frame[4];
    qToLittleEndian<quint16>(frameWidth ? frameWidth : width, frame);
    qToLittleEndian<quint16>(frameHeight ? frameHeight : height, frame + 2);
    gif.append(size, 4).append("\x80\x00\x00", 3).append(QByteArray(6, '\0'));  // 2 colours
    gif.append("\x2C\x00\x00\x00\x00", 5).append(frame, 4).append("\x00", 1);
    gif.append("\x02\x02\x44\x01\x00\x3B", 6);
    return gif;
}

// What the probe said about one file: "ok <w> <h>" or "refused <message>", and its figures.
struct ProbeReport {
    QString answer;
    qint64 peakKb = -1, readKb = -1, pageFaults = -1;
};

ProbeReport parseProbe(const QByteArray& output) {
    ProbeReport report;
    const std::map<QString, qint64*> figures = {{"peak-kb", &report.peakKb},
                                                {"read-kb", &report.readKb},
                                                {"page-faults", &report.pageFaults}};
    for (const QString& line : QString::fromUtf8(output).split('\n')) {
        const QString word = line.section(' ', 0, 0);
        if (word == "ok" || word == "refused") {
            report.answer = line;
        } else if (figures.count(word)) {
            *figures.at(word) = line.section(' ', 1).toLongLong();
        }
    }
    return report;
}

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
    // Where the left (blue) half ends up: on top after a quarter turn clockwise (6), at the
    // bottom after one counter-clockwise (8); the red half is always opposite.
    const std::tuple<int, QSize, QPoint> cases[] = {
        {1, {40, 20}, {5, 10}}, {6, {20, 40}, {10, 4}}, {8, {20, 40}, {10, 35}}};
    for (const auto& [orientation, size, blue] : cases) {
        SCOPED_TRACE(orientation);
        const QByteArray bytes = jpegWithOrientation(halves(40, 20), orientation);
        for (const PhotoLoader::Result& r :
             {PhotoLoader::load(file("photo.jpg", bytes)), PhotoLoader::loadData(bytes)}) {
            ASSERT_TRUE(r.ok()) << r.error.toStdString();
            EXPECT_EQ(r.image.size(), size);
            EXPECT_TRUE(near(r.image.pixel(blue), qRgb(0, 0, 255)));
            const QPoint red(size.width() - 1 - blue.x(), size.height() - 1 - blue.y());
            EXPECT_TRUE(near(r.image.pixel(red), qRgb(255, 0, 0)));
        }
    }
}

TEST_F(PhotoLoaderTest, MissingFilesAreNamedAndBytesAfterACompletePictureDoNotMatter) {
    EXPECT_TRUE(PhotoLoader::load(dir.filePath("gone.png")).error.contains("could not be found"));
    // Some cameras append data after the end of a JPEG.
    const QByteArray jpeg = encoded(halves(300, 200), "jpg") + "extra";
    const PhotoLoader::Result trailing = PhotoLoader::load(file("trailing.jpg", jpeg));
    EXPECT_EQ(trailing.image.size(), QSize(300, 200)) << trailing.error.toStdString();
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
    const QString bmp = file("big.bmp", encoded(halves(400, 300), "bmp"));
    EXPECT_TRUE(PhotoLoader::load(bmp, limits).error.contains("too large"));
}

// Each hostile file is loaded in a process of its own, as the picker loads a picked photo:
// it is refused with a message that says why, or decoded within Qt's allocation limit, and
// the process never holds much more memory than that limit, whatever the file declares.
TEST_F(PhotoLoaderTest, HostileFilesGetAClearAnswerWithinBoundedMemory) {
    std::vector<HostilePicture> cases = hostilePictures();
    const std::vector<HostilePicture> more = {
        {"claims-huge.jpg", jpegClaiming(65000, 65000), "too large"},
        {"claims-huge.gif", gifClaiming(65535, 65535), "too large"},
        {"claims-big.jpg", jpegClaiming(11000, 9000), ""},  // "": decoding it is fine
        {"zeros.png", zeroPng(10000, 10000, 6, 4), ""},
        {"grey-zeros.png", zeroPng(10000, 10000, 0, 1), "too large to open at full size"},
    };
    cases.insert(cases.end(), more.begin(), more.end());
    const qint64 limitKb = qint64(QImageReader::allocationLimit()) * 1024;
    qint64 highest = 0;
    for (const HostilePicture& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QProcess probe;
        probe.start(PHOTO_LOAD_PROBE, {file(c.name, c.bytes)});
        ASSERT_TRUE(probe.waitForFinished(60000));
        ASSERT_EQ(probe.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
        const ProbeReport report = parseProbe(probe.readAllStandardOutput());
        const QStringList words = report.answer.split(' ');
        if (c.says.isEmpty() && words[0] == "ok") {
            EXPECT_LE(words[1].toLongLong() * words[2].toLongLong() * 4, limitKb * 1024);
        } else {
            EXPECT_EQ(words[0], "refused");
            EXPECT_TRUE(report.answer.contains(c.says) && report.answer.contains(c.name))
                << report.answer.toStdString();
        }
        // The decoded picture may fill the limit; the rest is the process itself.
        EXPECT_GT(report.peakKb, 0);
        EXPECT_LT(report.peakKb, limitKb + 96 * 1024) << report.answer.toStdString();
        highest = std::max(highest, report.peakKb);
    }
    std::cout << cases.size() << " hostile photos, highest peak " << highest / 1024 << " MB\n";
}

// Found by fuzzing: a GIF reports the size of its first frame, then decodes its whole screen,
// which may be far larger. The limits hold for the picture that comes out.
TEST_F(PhotoLoaderTest, APictureLargerThanItsHeaderSaidIsRefused) {
    PhotoLoader::Limits limits;
    limits.maxSide = 1000;
    const PhotoLoader::Result result =
        PhotoLoader::loadData(gifClaiming(3000, 20, 10, 10), "screen.gif", limits);
    EXPECT_TRUE(result.image.isNull());
    EXPECT_TRUE(result.error.contains("too large")) << result.error.toStdString();
    EXPECT_TRUE(PhotoLoader::loadData(gifClaiming(300, 20, 10, 10), "small.gif", limits).ok());
}

// Whatever stands under a picture's name that is not a regular file gets an answer at once:
// a FIFO is never waited on, a device never read, a dangling link and a folder are named.
TEST_F(PhotoLoaderTest, WhatIsNotARegularFileIsRefusedWithoutBlocking) {
    const QString fifo = dir.filePath("pipe.jpg");
    ASSERT_TRUE(makeFifo(fifo));
    ASSERT_TRUE(makeLink(fifo, dir.filePath("link-to-pipe.png")));
    ASSERT_TRUE(makeLink("/dev/zero", dir.filePath("zero.png")));
    ASSERT_TRUE(makeLink(dir.filePath("nowhere.png"), dir.filePath("gone.jpg")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));  // reached through a link only
    ASSERT_TRUE(makeLink(dir.filePath("folder.png"), dir.filePath("link-to-folder.jpg")));
    const Watchdog watchdog({fifo}, std::chrono::seconds(5));
    const std::pair<const char*, const char*> cases[] = {
        {"pipe.jpg", "is a FIFO, not a picture file"},
        {"link-to-pipe.png", "is a FIFO, not a picture file"},
        {"zero.png", "is a device, not a picture file"},
        {"gone.jpg", "is a link to a file that is not there"},
        {"link-to-folder.jpg", "is a folder, not a picture"},
    };
    for (const auto& [name, says] : cases) {
        SCOPED_TRACE(name);
        const PhotoLoader::Result result = PhotoLoader::loadThumbnail(dir.filePath(name), {90, 90});
        EXPECT_FALSE(result.ok());
        EXPECT_TRUE(result.error.contains(says) && result.error.contains(name))
            << result.error.toStdString();
    }
    EXPECT_FALSE(watchdog.fired()) << "a load waited on the FIFO";
}

// A photo is read, never mapped: a file that shrinks while it is looked at is damaged, not a
// crash, and an enormous file (8 GB of holes after a photo's start) costs no more work than
// a real photo of the size it declares.
TEST_F(PhotoLoaderTest, AnEnormousFileCutShortWhileReadIsRefusedWithBoundedWork) {
    const QByteArray jpeg = encoded(halves(300, 200), "jpg");
    const qint64 huge = qint64(8) << 30;
    const QString path = dir.filePath("huge.jpg");
    ASSERT_TRUE(makeSparse(path, jpeg.left(jpeg.size() / 2), huge));

    QProcess probe;
    probe.start(PHOTO_LOAD_PROBE, {path});
    ASSERT_TRUE(probe.waitForFinished(120000));
    ASSERT_EQ(probe.exitStatus(), QProcess::NormalExit);
    const ProbeReport whole = parseProbe(probe.readAllStandardOutput());
    EXPECT_TRUE(whole.answer.contains("damaged or incomplete")) << whole.answer.toStdString();
    // Bytes read, pages touched and memory held: a few megabytes for a 300 x 200 photo, not
    // gigabytes (a mapped file's pages count as the process's memory once touched).
    const qint64 workKb = whole.readKb + whole.pageFaults * 4;
    EXPECT_LT(workKb, 64 * 1024) << "read " << whole.readKb << " KB, " << whole.pageFaults
                                 << " page faults";
    EXPECT_LT(whole.peakKb, 256 * 1024) << "held " << whole.peakKb << " KB";

    // Cut short while the probe is at it.
    probe.start(PHOTO_LOAD_PROBE, {path});
    ASSERT_TRUE(probe.waitForStarted());
    QThread::msleep(300);
    ASSERT_TRUE(QFile::resize(path, 2000));
    ASSERT_TRUE(probe.waitForFinished(120000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit)
        << "the probe died: signal " << probe.exitCode();
    const ProbeReport cut = parseProbe(probe.readAllStandardOutput());
    EXPECT_TRUE(cut.answer.startsWith("refused")) << cut.answer.toStdString();
}

// The bytes decide, never the name: only raster formats are decoded. An SVG, which can draw
// other files into itself, or an XPM is refused under any name; a GIF named otherwise opens.
TEST_F(PhotoLoaderTest, OnlyRasterFormatsAreDecodedWhateverTheName) {
    const QString red = file("red.png", encoded(halves(40, 30), "png"));
    const QByteArray pulling =
        "<svg xmlns='http://www.w3.org/2000/svg' "
        "xmlns:xlink='http://www.w3.org/1999/xlink' width='40' height='30'>"
        "<image width='40' height='30' xlink:href='file://" +
        red.toUtf8() + "'/></svg>";
    const QByteArray xpm =
        "/* XPM */\nstatic char *x[] = {\"2 1 1 1\", \"a c #FF0000\", \"aa\"};\n";
    for (const auto& [name, bytes] :
         {std::pair{"pulls.jpg", pulling}, std::pair{"icon.png", xpm}}) {
        SCOPED_TRACE(name);
        const PhotoLoader::Result result = PhotoLoader::load(file(name, bytes));
        EXPECT_TRUE(result.image.isNull());
        EXPECT_TRUE(result.error.contains("is not a picture Tilebloom can open"))
            << result.error.toStdString();
        EXPECT_FALSE(PhotoLoader::loadData(bytes, name).ok());
    }
    EXPECT_EQ(PhotoLoader::load(file("really-gif.png", gifClaiming(20, 10))).image.size(),
              QSize(20, 10));
}
