#include "imaging/photo_loader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {
// "“name.jpg”", or "This picture" for bytes without a name.
QString subject(const QString& name) {
    return name.isEmpty() ? QStringLiteral("This picture")
                          : QStringLiteral("\u201C%1\u201D").arg(name);
}

QString damaged(const QString& name) {
    return QStringLiteral("%1 is damaged or incomplete and could not be opened.")
        .arg(subject(name));
}

QString notAPicture(const QString& name) {
    return QStringLiteral("%1 is not a picture Tilebloom can open.").arg(subject(name));
}

QString tooLarge(const QString& name, const QSize& size, const PhotoLoader::Limits& limits) {
    const QLocale locale = QLocale::system();
    return QStringLiteral(
               "%1 is too large to open (%2 \u00D7 %3 pixels). Pictures can be up to %4 "
               "pixels on a side and %5 megapixels.")
        .arg(subject(name), locale.toString(size.width()), locale.toString(size.height()),
             locale.toString(limits.maxSide), locale.toString(limits.maxPixels / 1'000'000));
}

QString tooLargeOrDamaged(const QString& name, const QSize& size) {
    const QLocale locale = QLocale::system();
    return QStringLiteral(
               "%1 could not be opened: it is too large to open at full size (%2 "
               "\u00D7 %3 pixels), or it is damaged.")
        .arg(subject(name), locale.toString(size.width()), locale.toString(size.height()));
}

// A file that cannot be mapped is read into memory for the JPEG check only up to this size.
constexpr qint64 kMaxUnmappedBytes = qint64(256) * 1024 * 1024;

qint64 decodeBudget(const PhotoLoader::Limits& limits) {
    if (limits.decodeBudgetPixels > 0) {
        return limits.decodeBudgetPixels;
    }
    const int megabytes = QImageReader::allocationLimit();
    if (megabytes <= 0) {
        return limits.maxPixels;
    }
    return qint64(megabytes) * 1024 * 1024 / 4;
}

// Uniform scale that brings size within pixels, rounded down so the result stays under.
QSize fitWithin(const QSize& size, qint64 pixels) {
    const double factor = std::sqrt(double(pixels) / (double(size.width()) * size.height()));
    return QSize(std::max(1, int(std::floor(size.width() * factor))),
                 std::max(1, int(std::floor(size.height() * factor))));
}
}  // namespace

bool PhotoLoader::jpegIsComplete(const uchar* bytes, qint64 size) {
    if (!bytes || size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        return false;
    }
    qint64 i = 2;
    while (i + 1 < size) {
        if (bytes[i] != 0xFF) {
            return false;
        }
        const uchar marker = bytes[i + 1];
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // no length
            i += 2;
            continue;
        }
        if (marker == 0xD9) {  // end before any scan: no picture in it
            return false;
        }
        if (i + 3 >= size) {
            return false;
        }
        const qint64 length = (qint64(bytes[i + 2]) << 8) | bytes[i + 3];
        if (length < 2) {
            return false;
        }
        if (marker == 0xDA) {
            // Entropy-coded data never holds an unescaped 0xFF 0xD9, so the end marker
            // after the first scan shows that the file was not cut short.
            for (qint64 j = i + 2 + length; j + 1 < size; ++j) {
                if (bytes[j] == 0xFF && bytes[j + 1] == 0xD9) {
                    return true;
                }
            }
            return false;
        }
        i += 2 + length;
    }
    return false;
}

PhotoLoader::Result PhotoLoader::decode(QIODevice& device, const uchar* bytes, qint64 size,
                                        const QString& name, const QSize& cover,
                                        const Limits& limits) {
    Result result;
    if (size == 0) {
        result.error = QStringLiteral("%1 is empty.").arg(subject(name));
        return result;
    }
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        result.error = notAPicture(name);
        return result;
    }
    // The size as stored, before any turn from the orientation metadata.
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.isEmpty()) {
        result.error = damaged(name);
        return result;
    }
    const qint64 pixels = qint64(declared.width()) * declared.height();
    if (declared.width() > limits.maxSide || declared.height() > limits.maxSide ||
        pixels > limits.maxPixels) {
        result.error = tooLarge(name, declared, limits);
        return result;
    }
    const QByteArray format = reader.format();
    if ((format == "jpeg" || format == "jpg") && bytes && !jpegIsComplete(bytes, size)) {
        // Qt's JPEG decoder fills a cut-off photo with grey and reports success.
        result.error = damaged(name);
        return result;
    }

    QSize target = declared;
    if (cover.isValid() && !cover.isEmpty()) {
        const double factor = std::max(double(cover.width()) / declared.width(),
                                       double(cover.height()) / declared.height());
        if (factor < 1) {
            target = QSize(std::max(1, int(std::ceil(declared.width() * factor))),
                           std::max(1, int(std::ceil(declared.height() * factor))));
        }
    }
    const qint64 budget = decodeBudget(limits);
    if (qint64(target.width()) * target.height() > budget) {
        target = fitWithin(target, budget);
    }
    const bool shrinks = target != declared;
    if (shrinks) {
        // Formats that cannot decode at a reduced size would need the whole picture in
        // memory first, which is what the budget forbids.
        const bool overBudget = pixels > budget;
        if (overBudget && !reader.supportsOption(QImageIOHandler::ScaledSize)) {
            result.error = tooLarge(name, declared, limits);
            return result;
        }
        reader.setScaledSize(target);
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        // Qt gives the same error for missing data and for a decoder that needed the whole
        // picture in memory after all (some formats do, even when asked for a smaller one).
        result.error = pixels > budget ? tooLargeOrDamaged(name, declared) : damaged(name);
        return result;
    }
    // Some formats declare one size and decode another (a GIF's screen may be larger than
    // the frame its header reports): the picture itself must keep the limits too.
    const QSize decoded = image.size();
    if (decoded.width() > limits.maxSide || decoded.height() > limits.maxSide ||
        qint64(decoded.width()) * decoded.height() > std::min(limits.maxPixels, budget)) {
        result.error = tooLarge(name, decoded, limits);
        return result;
    }
    result.image = std::move(image);
    return result;
}

PhotoLoader::Result PhotoLoader::load(const QString& path, const Limits& limits) {
    return loadThumbnail(path, QSize(), limits);
}

PhotoLoader::Result PhotoLoader::loadThumbnail(const QString& path, const QSize& pixelSize,
                                               const Limits& limits) {
    Result result;
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    if (!info.exists()) {
        result.error = QStringLiteral("%1 could not be found.").arg(subject(name));
        return result;
    }
    if (info.isDir()) {
        result.error = QStringLiteral("%1 is a folder, not a picture.").arg(subject(name));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error =
            QStringLiteral("%1 could not be read: %2.").arg(subject(name), file.errorString());
        return result;
    }
    const qint64 size = file.size();
    // Mapping costs no memory and lets the JPEG check see the whole file.
    uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    const uchar* bytes = mapped;
    QByteArray copy;
    if (!mapped && size > 0 && size <= kMaxUnmappedBytes) {
        copy = file.readAll();
        file.seek(0);
        bytes = reinterpret_cast<const uchar*>(copy.constData());
    }
    result = decode(file, bytes, size, name, pixelSize, limits);
    if (mapped) {
        file.unmap(mapped);
    }
    return result;
}

PhotoLoader::Result PhotoLoader::loadData(const QByteArray& data, const QString& name,
                                          const Limits& limits) {
    QByteArray copy = data;  // QBuffer needs a non-const array
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return decode(buffer, reinterpret_cast<const uchar*>(copy.constData()), copy.size(), name,
                  QSize(), limits);
}
