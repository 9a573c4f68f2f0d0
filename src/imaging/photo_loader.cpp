#include "imaging/photo_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/private_files.h"

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

// A picture's bytes at any offset: from memory, or from a file through pread, so that a file
// cut short meanwhile simply ends early.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual qint64 size() const = 0;
    // Bytes copied into `into`; 0 at the end or on a read error.
    virtual qint64 readAt(qint64 offset, char* into, qint64 length) = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(const QByteArray& bytes) : bytes_(bytes) {}
    qint64 size() const override { return bytes_.size(); }
    qint64 readAt(qint64 offset, char* into, qint64 length) override {
        if (offset < 0 || offset >= bytes_.size()) {
            return 0;
        }
        const qint64 n = std::min(length, qint64(bytes_.size()) - offset);
        std::memcpy(into, bytes_.constData() + offset, size_t(n));
        return n;
    }

private:
    const QByteArray& bytes_;
};

class FileSource : public ByteSource {
public:
    FileSource(int fd, qint64 size) : fd_(fd), size_(size) {}
    qint64 size() const override { return size_; }
    qint64 readAt(qint64 offset, char* into, qint64 length) override {
        for (;;) {
            const ssize_t n = ::pread(fd_, into, size_t(length), off_t(offset));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return n < 0 ? 0 : qint64(n);
        }
    }

private:
    int fd_;
    qint64 size_;
};

// Byte by byte over a source, a small window at a time.
class ByteWindow {
public:
    explicit ByteWindow(ByteSource& source) : source_(source), buffer_(kWindow) {}
    // The byte at offset i, or -1 past the end.
    int at(qint64 i) {
        if (i < start_ || i >= start_ + filled_) {
            start_ = i;
            filled_ = source_.readAt(i, buffer_.data(), kWindow);
            if (filled_ <= 0) {
                filled_ = 0;
                return -1;
            }
        }
        return uchar(buffer_[size_t(i - start_)]);
    }

private:
    static constexpr qint64 kWindow = 4096;
    ByteSource& source_;
    std::vector<char> buffer_;
    qint64 start_ = 0;
    qint64 filled_ = 0;
};

// Whether 0xFF 0xD9 occurs in [from, to), read in large blocks.
bool findEndMarker(ByteSource& source, qint64 from, qint64 to) {
    constexpr qint64 kBlock = 1 << 16;
    std::vector<char> block(kBlock + 1);
    bool pendingFF = false;  // the block before ended in 0xFF
    for (qint64 at = from; at < to;) {
        const qint64 n = source.readAt(at, block.data(), std::min(kBlock, to - at));
        if (n <= 0) {
            return false;  // the file ends early: cut short
        }
        const auto* bytes = reinterpret_cast<const uchar*>(block.data());
        if (pendingFF && bytes[0] == 0xD9) {
            return true;
        }
        for (qint64 j = 0; j + 1 < n; ++j) {
            if (bytes[j] == 0xFF && bytes[j + 1] == 0xD9) {
                return true;
            }
        }
        pendingFF = bytes[n - 1] == 0xFF;
        at += n;
    }
    return false;
}

// Whether a JPEG runs to its end marker. Entropy-coded data never holds an unescaped
// 0xFF 0xD9, so the end marker after the first scan shows that the file was not cut short.
// The walk reads at most `budget` bytes from the start (far more than the declared pixels
// can need) and then the file's last bytes, so that an enormous file costs no more than a
// real photo of its declared size.
bool jpegIsComplete(ByteSource& source, qint64 budget) {
    constexpr qint64 kTailBytes = 64 * 1024;
    const qint64 size = source.size();
    ByteWindow bytes(source);
    if (size < 4 || bytes.at(0) != 0xFF || bytes.at(1) != 0xD8) {
        return false;
    }
    const qint64 limit = std::min(size, budget);
    qint64 i = 2;
    while (i + 1 < limit) {
        if (bytes.at(i) != 0xFF) {
            return false;
        }
        const int marker = bytes.at(i + 1);
        if (marker < 0) {
            return false;
        }
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
        const int high = bytes.at(i + 2);
        const int low = bytes.at(i + 3);
        if (high < 0 || low < 0) {
            return false;
        }
        const qint64 length = (qint64(high) << 8) | low;
        if (length < 2) {
            return false;
        }
        if (marker == 0xDA) {
            const qint64 scan = i + 2 + length;
            if (findEndMarker(source, scan, limit)) {
                return true;
            }
            return limit < size && findEndMarker(source, std::max(limit, size - kTailBytes), size);
        }
        i += 2 + length;
    }
    return false;
}

// Bytes a JPEG of this many pixels may reasonably take, headers included: a few bytes a
// pixel covers the finest quality of pure noise.
qint64 jpegScanBudget(const QSize& declared) {
    return qint64(declared.width()) * declared.height() * 4 + 4 * 1024 * 1024;
}

PhotoLoader::Result decode(QIODevice& device, ByteSource& source, const QString& name,
                           const QSize& cover, const PhotoLoader::Limits& limits) {
    PhotoLoader::Result result;
    if (source.size() == 0) {
        result.error = QStringLiteral("%1 is empty.").arg(subject(name));
        return result;
    }
    QByteArray head(32, '\0');
    head.resize(source.readAt(0, head.data(), head.size()));
    const QByteArray format = PhotoLoader::rasterFormat(head);
    if (format.isEmpty()) {
        result.error = notAPicture(name);
        return result;
    }
    // Only the handler of the format found in the bytes: no guess from the name, and no
    // fallback to the other handlers, SVG's among them.
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
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
    if (format == "jpeg" && !jpegIsComplete(source, jpegScanBudget(declared))) {
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

// The error for what sits at path when it is not a regular file (stat follows links).
QString notARegularFile(const QString& name, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        return QStringLiteral("%1 is a folder, not a picture.").arg(subject(name));
    }
    return QStringLiteral("%1 is %2, not a picture file.")
        .arg(subject(name), PrivateFiles::kindOf(info.st_mode));
}
}  // namespace

QByteArray PhotoLoader::rasterFormat(const QByteArray& head) {
    const auto starts = [&](const char* magic, qsizetype length, qsizetype at = 0) {
        return head.size() >= at + length && std::memcmp(head.constData() + at, magic, length) == 0;
    };
    if (starts("\x89PNG\r\n\x1A\n", 8)) {
        return "png";
    }
    if (starts("\xFF\xD8\xFF", 3)) {
        return "jpeg";
    }
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) {
        return "gif";
    }
    if (starts("RIFF", 4) && starts("WEBP", 4, 8)) {
        return "webp";
    }
    if (starts("II*\0", 4) || starts("MM\0*", 4)) {
        return "tiff";
    }
    if (starts("BM", 2) && head.size() >= 18) {
        // The size of the header that follows tells a bitmap from text that starts "BM".
        const quint32 info = quint32(uchar(head[14])) | quint32(uchar(head[15])) << 8 |
                             quint32(uchar(head[16])) << 16 | quint32(uchar(head[17])) << 24;
        if (info == 12 || info == 40 || info == 52 || info == 56 || info == 64 || info == 108 ||
            info == 124) {
            return "bmp";
        }
    }
    if (head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' &&
        QByteArrayView(" \t\r\n").contains(head[2])) {
        switch (head[1]) {
            case '1':
            case '4':
                return "pbm";
            case '2':
            case '5':
                return "pgm";
            default:
                return "ppm";
        }
    }
    if (starts("ftyp", 4, 4) && head.size() >= 12) {
        const QByteArray brand = head.mid(8, 4);
        if (brand == "avif" || brand == "avis") {
            return "avif";
        }
        if (brand == "heic" || brand == "heix" || brand == "mif1" || brand == "msf1") {
            return "heic";
        }
    }
    if (starts("\xFF\x0A", 2) || starts("\0\0\0\x0CJXL \r\n\x87\n", 12)) {
        return "jxl";
    }
    return QByteArray();
}

PhotoLoader::Result PhotoLoader::load(const QString& path, const Limits& limits) {
    return loadThumbnail(path, QSize(), limits);
}

PhotoLoader::Result PhotoLoader::loadThumbnail(const QString& path, const QSize& pixelSize,
                                               const Limits& limits) {
    Result result;
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    const QByteArray local = QFile::encodeName(path);
    // Looked at before it is opened, so that a device is never opened at all.
    struct stat before {};
    if (::stat(local.constData(), &before) != 0) {
        const int reason = errno;
        struct stat link {};
        if (reason == ENOENT && ::lstat(local.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
            result.error =
                QStringLiteral("%1 is a link to a file that is not there.").arg(subject(name));
        } else if (reason == ENOENT) {
            result.error = QStringLiteral("%1 could not be found.").arg(subject(name));
        } else {
            result.error = QStringLiteral("%1 could not be read: %2.")
                               .arg(subject(name), QString::fromLocal8Bit(std::strerror(reason)));
        }
        return result;
    }
    if (!S_ISREG(before.st_mode)) {
        result.error = notARegularFile(name, before);
        return result;
    }
    // O_NONBLOCK: should a FIFO take the file's place meanwhile, the open still returns at
    // once, and the check on the open file refuses it. Links to photos are fine to follow.
    const int fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.error = QStringLiteral("%1 could not be read: %2.")
                           .arg(subject(name), QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.error =
            QStringLiteral("%1 could not be read: %2.").arg(subject(name), file.errorString());
        return result;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        result.error = notARegularFile(name, opened);
        return result;
    }
    FileSource source(fd, qint64(opened.st_size));
    return decode(file, source, name, pixelSize, limits);
}

PhotoLoader::Result PhotoLoader::loadData(const QByteArray& data, const QString& name,
                                          const Limits& limits) {
    QByteArray copy = data;  // QBuffer needs a non-const array
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    MemorySource source(copy);
    return decode(buffer, source, name, QSize(), limits);
}
