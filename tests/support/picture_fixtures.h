#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <vector>

#include "file_faults.h"

// Pictures and folders for the system-screen tests.
namespace picture_fixtures {

inline quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

inline QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray body = type + data;
    chunk += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(body), crc.data());
    return chunk + crc;
}

// A well-formed PNG start that declares width x height RGBA pixels, followed by a tiny
// compressed stream: what a decompression bomb looks like before it is decoded.
inline QByteArray pngDeclaring(quint32 width, quint32 height) {
    QByteArray header(8, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header.append("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           pngChunk("IEND", QByteArray());
}

// A BMP header declaring width x height 24-bit pixels, with almost no pixel data.
inline QByteArray bmpDeclaring(qint32 width, qint32 height) {
    QByteArray header(54, '\0');
    uchar* h = reinterpret_cast<uchar*>(header.data());
    h[0] = 'B';
    h[1] = 'M';
    qToLittleEndian<quint32>(54 + 3u * quint32(width) * quint32(height), h + 2);
    qToLittleEndian<quint32>(54, h + 10);
    qToLittleEndian<quint32>(40, h + 14);
    qToLittleEndian<qint32>(width, h + 18);
    qToLittleEndian<qint32>(height, h + 22);
    qToLittleEndian<quint16>(1, h + 26);
    qToLittleEndian<quint16>(24, h + 28);
    return header + QByteArray(64, '\0');
}

inline QByteArray encoded(const QImage& image, const char* format, int quality = 95) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// A JPEG of image whose EXIF data says to show it turned (1 upright, 6 a quarter turn
// clockwise, 8 counter-clockwise).
inline QByteArray jpegWithOrientation(const QImage& image, int orientation) {
    QByteArray tiff("MM\x00\x2A\x00\x00\x00\x08", 8);
    tiff.append("\x00\x01", 2);                          // one entry
    tiff.append("\x01\x12\x00\x03\x00\x00\x00\x01", 8);  // Orientation, SHORT, 1 value
    const char value[4] = {0, char(orientation), 0, 0};
    tiff.append(value, 4);
    tiff.append("\x00\x00\x00\x00", 4);
    const QByteArray payload = QByteArray("Exif\x00\x00", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const quint16 length = quint16(payload.size() + 2);
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment += payload;
    const QByteArray jpeg = encoded(image, "jpg");
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// Left half blue, right half red: shows which way a picture was turned.
inline QImage halves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width / 2; ++x) {
            image.setPixel(x, y, qRgb(0, 0, 255));
        }
    }
    return image;
}

// Files every way of opening a picture must refuse, with words of the reason it gives.
struct HostilePicture {
    QString name;
    QByteArray bytes;
    QString says;
};
inline std::vector<HostilePicture> hostilePictures() {
    const QByteArray jpeg = encoded(halves(300, 200), "jpg");
    const QByteArray png = encoded(halves(300, 200), "png");
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    return {
        {"cut.jpg", jpeg.left(jpeg.size() / 2), "damaged or incomplete"},
        {"cut.png", png.left(png.size() / 2), "damaged or incomplete"},
        {"noise.jpg", noise, "not a picture"},
        {"notes.png", "These are not pixels.", "not a picture"},
        {"empty.jpg", QByteArray(), "is empty"},
        {"claims-huge.png", pngDeclaring(100000, 100000), "too large"},
        {"claims-huge.svg",
         "<svg xmlns='http://www.w3.org/2000/svg' width='900000' "
         "height='900000'><rect width='9' height='9'/></svg>",
         "not a picture"},
        // Over the limit on one side, or in area; within them but beyond what may be decoded
        // at once, a format that decodes only whole is refused, and one that decodes smaller
        // is tried and then meets the missing data, which the message cannot tell apart.
        {"side.png", pngDeclaring(12001, 10), "too large"},
        {"area.png", pngDeclaring(11000, 11000), "too large"},
        {"wide.bmp", bmpDeclaring(10000, 10000), "too large"},
        {"wide.png", pngDeclaring(10000, 10000), "too large to open at full size"},
    };
}

using file_faults::writeFile;

// Points TILEBLOOM_PICTURES_DIR at a fresh folder for one test.
class ScopedPicturesDir {
public:
    ScopedPicturesDir() : previous_(qgetenv("TILEBLOOM_PICTURES_DIR")) {
        qputenv("TILEBLOOM_PICTURES_DIR", dir_.path().toUtf8());
    }
    ~ScopedPicturesDir() {
        if (previous_.isEmpty()) {
            qunsetenv("TILEBLOOM_PICTURES_DIR");
        } else {
            qputenv("TILEBLOOM_PICTURES_DIR", previous_);
        }
    }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Near enough for JPEG: each channel within tolerance.
inline bool near(QRgb a, QRgb b, int tolerance = 40) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace picture_fixtures
