#include "imaging/picture_opener.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "imaging/photo_loader.h"

namespace {
QString quotedName(const QString& name) {
    return name.isEmpty() ? QStringLiteral("This picture")
                          : QStringLiteral("\u201C%1\u201D").arg(name);
}

QString displayName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

PictureOpener::Result cellsOf(const QImage& image, const PictureOpener::Options& options) {
    PictureOpener::Result result;
    result.cells = GridRecovery::recover(image, options.gridSide, options.maxColors);
    if (result.cells.isEmpty()) {
        result.error = QStringLiteral("This picture could not be turned into a drawing.");
    }
    return result;
}
}  // namespace

namespace {
// An open, non-blocking descriptor of path when it is a regular file of at most maxBytes;
// otherwise -1 and the reason.
int openRegularFile(const QString& path, qint64 maxBytes, QString* error, qint64* size) {
    const QString name = displayName(path);
    const QByteArray native = QFile::encodeName(path);
    // Non-blocking, so that a pipe or a device named like a picture cannot hold the app up
    // before the check below turns it away.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        *error = code == ENOENT
                     ? QStringLiteral("%1 could not be found.").arg(quotedName(name))
                     : QStringLiteral("%1 could not be read: %2.")
                           .arg(quotedName(name), QString::fromLocal8Bit(std::strerror(code)));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        *error = QStringLiteral("%1 could not be read.").arg(quotedName(name));
    } else if (S_ISDIR(info.st_mode)) {
        *error = QStringLiteral("%1 is a folder, not a picture.").arg(quotedName(name));
    } else if (!S_ISREG(info.st_mode)) {
        *error = QStringLiteral("%1 is not a file Tilebloom can open.").arg(quotedName(name));
    } else if (info.st_size > maxBytes) {
        *error = QStringLiteral("%1 is too large to open (%2 MB). Pictures can be up to %3 MB.")
                     .arg(quotedName(name))
                     .arg(QLocale::system().toString(qint64(info.st_size) / (1024 * 1024)))
                     .arg(maxBytes / (1024 * 1024));
    } else {
        error->clear();
        *size = qint64(info.st_size);
        return fd;
    }
    ::close(fd);
    return -1;
}

QByteArray readAll(int fd, qint64 size) {
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // the file shrank while it was read: what is there is checked as is
        }
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

bool startsAsJpeg(int fd) {
    unsigned char magic[3] = {};
    return ::pread(fd, magic, sizeof magic, 0) == ssize_t(sizeof magic) && magic[0] == 0xFF &&
           magic[1] == 0xD8 && magic[2] == 0xFF;
}
}  // namespace

QByteArray PictureOpener::readRegularFile(const QString& path, QString* error) {
    QString problem;
    qint64 size = 0;
    const int fd = openRegularFile(path, kMaxFileBytes, &problem, &size);
    if (error) {
        *error = problem;
    }
    if (fd < 0) {
        return {};
    }
    QByteArray bytes = readAll(fd, size);
    ::close(fd);
    return bytes;
}

PictureOpener::Result PictureOpener::openFile(const QString& path, const Options& options) {
    Result result;
    qint64 size = 0;
    const int fd = openRegularFile(path, kMaxFileBytes, &result.error, &size);
    if (fd < 0) {
        return result;
    }
    const QString name = displayName(path);
    // A JPEG's blocks never come back exact, so it is only ever reduced, and for that it can
    // be decoded at a fraction of its size, which the format does as it decodes. The loader
    // reads the very file checked above, through its descriptor.
    const QString self = QStringLiteral("/proc/self/fd/%1").arg(fd);
    if (startsAsJpeg(fd) && QFileInfo::exists(self)) {
        const int cover = std::max(1, options.gridSide) * 4;
        PhotoLoader::Result loaded = PhotoLoader::loadThumbnail(self, QSize(cover, cover));
        ::close(fd);
        if (!loaded.ok()) {
            result.error = loaded.error.replace(QStringLiteral("\u201C%1\u201D").arg(fd),
                                                QStringLiteral("\u201C%1\u201D").arg(name));
            if (result.error.isEmpty()) {
                result.error = QStringLiteral("%1 could not be opened.").arg(quotedName(name));
            }
            return result;
        }
        result.cells = GridRecovery::reduce(loaded.image, options.gridSide, options.maxColors);
        if (result.cells.isEmpty()) {
            result.error = QStringLiteral("This picture could not be turned into a drawing.");
        }
        return result;
    }
    const QByteArray bytes = readAll(fd, size);
    ::close(fd);
    return openData(bytes, name, options);
}

PictureOpener::Result PictureOpener::openData(const QByteArray& bytes, const QString& name,
                                              const Options& options) {
    const PhotoLoader::Result loaded = PhotoLoader::loadData(bytes, name);
    if (!loaded.ok()) {
        Result result;
        result.error = loaded.error.isEmpty()
                           ? QStringLiteral("%1 could not be opened.").arg(quotedName(name))
                           : loaded.error;
        return result;
    }
    return cellsOf(loaded.image, options);
}

PictureOpener::Result PictureOpener::openImage(const QImage& image, const Options& options) {
    Result result;
    const PhotoLoadLimits limits;
    if (image.isNull() || image.width() < 1 || image.height() < 1) {
        result.error = QStringLiteral("There is no picture to open.");
        return result;
    }
    if (image.width() > limits.maxSide || image.height() > limits.maxSide ||
        qint64(image.width()) * image.height() > limits.maxPixels) {
        const QLocale locale = QLocale::system();
        result.error = QStringLiteral(
                           "This picture is too large to open (%1 \u00D7 %2 pixels). Pictures "
                           "can be up to %3 pixels on a side and %4 megapixels.")
                           .arg(locale.toString(image.width()), locale.toString(image.height()),
                                locale.toString(limits.maxSide),
                                locale.toString(limits.maxPixels / 1'000'000));
        return result;
    }
    return cellsOf(image, options);
}

PictureOpener::Result PictureOpener::openPixelated(const QImage& picture, int maxColors) {
    Result result;
    if (picture.isNull()) {
        result.error = QStringLiteral("There is no picture to open.");
        return result;
    }
    if (auto blocks = GridRecovery::findBlocks(picture)) {
        result.cells = std::move(*blocks);
        GridRecovery::reducePalette(result.cells.cells, maxColors);
        result.cells.exact = false;
    } else {
        result.cells = GridRecovery::reduce(picture, GridRecovery::kMaxCells, maxColors);
    }
    if (result.cells.isEmpty()) {
        result.error = QStringLiteral("This picture could not be turned into a drawing.");
    }
    return result;
}

PictureOpener::Result PictureOpener::openMimeData(const QMimeData* data, const Options& options) {
    Result result;
    if (!data) {
        result.error = QStringLiteral("The clipboard holds no picture.");
        return result;
    }
    // Encoded bytes go through the same decoder guards as a file.
    for (const char* type : {"image/png", "image/webp", "image/gif", "image/bmp", "image/jpeg"}) {
        const QString mime = QLatin1String(type);
        if (data->hasFormat(mime)) {
            const QByteArray bytes = data->data(mime);
            if (!bytes.isEmpty()) {
                return openData(bytes, QString(), options);
            }
        }
    }
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                return openFile(url.toLocalFile(), options);
            }
        }
    }
    if (data->hasImage()) {
        return openImage(qvariant_cast<QImage>(data->imageData()), options);
    }
    result.error = QStringLiteral("The clipboard holds no picture.");
    return result;
}

std::vector<Color> PictureOpener::canvasColors(const PictureCells& cells) {
    std::vector<Color> colors;
    colors.reserve(cells.cells.size());
    for (int x = 0; x < cells.width; ++x) {
        for (int y = cells.height - 1; y >= 0; --y) {
            const QRgb c = cells.at(x, y);
            colors.push_back(Color::withRGB(qRed(c) / 255.0, qGreen(c) / 255.0, qBlue(c) / 255.0));
        }
    }
    return colors;
}
