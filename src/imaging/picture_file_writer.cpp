#include "imaging/picture_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstring>

#include "imaging/png_encoder.h"

namespace {
QString quoted(const QString& text) {
    return QStringLiteral("\u201C%1\u201D").arg(QDir::toNativeSeparators(text));
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the kernel took every byte (close can report a late
    // write error on some file systems).
    bool reset() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// The folder, made when missing (its parents too), opened without following a link at its
// own name, so that later names are resolved inside the very folder that was checked.
Descriptor openFolder(const QString& folder, QString& error) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    const QString parent = QFileInfo(clean).path();
    const QByteArray local = QFile::encodeName(clean);
    if ((parent != clean && !QDir().mkpath(parent)) ||
        (::mkdir(local.constData(), 0777) != 0 && errno != EEXIST)) {
        error = QStringLiteral("The folder %1 could not be created.").arg(quoted(folder));
        return Descriptor();
    }
    Descriptor dir(::open(local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid()) {
        const int reason = errno;
        struct stat info {};
        if (::lstat(local.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            error = QStringLiteral("%1 is a link, not a folder; nothing is saved through it.")
                        .arg(quoted(folder));
        } else if (reason == ENOTDIR) {
            error = QStringLiteral("%1 is a file, not a folder.").arg(quoted(folder));
        } else {
            error = QStringLiteral("The folder %1 can\u2019t be opened: %2.")
                        .arg(quoted(folder), systemError(reason));
        }
    }
    return dir;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, size_t(left));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = EIO;
            }
            return false;
        }
        data += done;
        left -= done;
    }
    return true;
}

// Writes bytes to a new hidden file in dir and flushes it to the disk; returns its name, or
// an empty name with error set (nothing left behind).
QByteArray writePart(int dir, const QByteArray& bytes, mode_t mode, const QString& folder,
                     QString& error) {
    const QByteArray name =
        ".tilebloom-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + ".part";
    // O_EXCL with O_NOFOLLOW: a fresh file of ours, never whatever sits at that name.
    Descriptor part(::openat(dir, name.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!part.valid()) {
        error = QStringLiteral("The folder %1 can\u2019t be written to: %2.")
                    .arg(quoted(folder), systemError(errno));
        return QByteArray();
    }
    const bool written = writeAll(part.get(), bytes) && ::fsync(part.get()) == 0;
    const int reason = errno;
    if (!part.reset() || !written) {
        error = QStringLiteral("The picture could not be written into %1: %2.")
                    .arg(quoted(folder), systemError(written ? errno : reason));
        ::unlinkat(dir, name.constData(), 0);
        return QByteArray();
    }
    return name;
}

// Gives the finished part its final name unless that name is taken in any way. link(2)
// neither follows nor replaces an existing name (a dangling link included); file systems
// without hard links get the same promise from rename with RENAME_NOREPLACE. Returns 0, or
// the errno (EEXIST: the name is taken).
int publish(int dir, const QByteArray& part, const QByteArray& target) {
    if (::linkat(dir, part.constData(), dir, target.constData(), 0) == 0) {
        ::unlinkat(dir, part.constData(), 0);
        return 0;
    }
    const int reason = errno;
    if (reason != EPERM && reason != EOPNOTSUPP && reason != ENOSYS && reason != EMLINK) {
        return reason;
    }
#ifdef SYS_renameat2
    constexpr unsigned kRenameNoReplace = 1;
    if (::syscall(SYS_renameat2, dir, part.constData(), dir, target.constData(),
                  kRenameNoReplace) == 0) {
        return 0;
    }
    return errno;
#else
    return reason;
#endif
}
}  // namespace

QByteArray PictureFileWriter::encodePng(const QImage& image) {
    return PngEncoder::encode(image);
}

QString PictureFileWriter::fileName(const QDateTime& when, int n) {
    QString name =
        QStringLiteral("Tilebloom ") + when.toString(QStringLiteral("yyyy-MM-dd 'at' HH.mm.ss"));
    if (n > 1) {
        name += QStringLiteral(" (%1)").arg(n);
    }
    return name + QStringLiteral(".png");
}

PictureFileWriter::Result PictureFileWriter::writeNew(const QImage& image, const QString& folder,
                                                      const QDateTime& when, Access access) {
    Result result;
    const QByteArray png = encodePng(image);
    if (png.isEmpty()) {
        result.error = QStringLiteral("The picture could not be turned into a PNG file.");
        return result;
    }
    Descriptor dir = openFolder(folder, result.error);
    if (!dir.valid()) {
        return result;
    }
    const QByteArray part =
        writePart(dir.get(), png, access == Access::ownerOnly ? 0600 : 0666, folder, result.error);
    if (part.isEmpty()) {
        return result;
    }
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        const QString name = fileName(when, n);
        const int reason = publish(dir.get(), part, QFile::encodeName(name));
        if (reason == 0) {
            ::fsync(dir.get());  // the new name survives a crash too
            result.path = QDir(folder).filePath(name);
            return result;
        }
        if (reason != EEXIST) {
            ::unlinkat(dir.get(), part.constData(), 0);
            result.error = QStringLiteral("The picture could not be saved in %1: %2.")
                               .arg(quoted(folder), systemError(reason));
            return result;
        }
    }
    ::unlinkat(dir.get(), part.constData(), 0);
    result.error = QStringLiteral("No free file name was found in %1.").arg(quoted(folder));
    return result;
}

PictureFileWriter::Result PictureFileWriter::writeTo(const QImage& image, const QString& path) {
    Result result;
    const QByteArray png = encodePng(image);
    if (png.isEmpty()) {
        result.error = QStringLiteral("The picture could not be turned into a PNG file.");
        return result;
    }
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    const QByteArray name = QFile::encodeName(target.fileName());
    // The user chose this folder, links on the way included; only the file's own name is
    // handled without following anything.
    Descriptor dir(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (name.isEmpty() || !dir.valid()) {
        result.error = QStringLiteral("The folder %1 does not exist.").arg(quoted(folder));
        return result;
    }
    struct stat existing {};
    const bool exists = ::fstatat(dir.get(), name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        result.error = QStringLiteral("%1 is a folder.").arg(quoted(target.fileName()));
        return result;
    }
    const bool replacesFile = exists && S_ISREG(existing.st_mode);
    const QByteArray part = writePart(dir.get(), png, 0666, folder, result.error);
    if (part.isEmpty()) {
        return result;
    }
    if (replacesFile) {
        // Best effort: a file the user shared with others stays shared.
        Descriptor fd(::openat(dir.get(), part.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.valid()) {
            ::fchmod(fd.get(), existing.st_mode & 07777);
        }
    }
    // rename(2) replaces the name itself: a link there is replaced, not followed.
    if (::renameat(dir.get(), part.constData(), dir.get(), name.constData()) != 0) {
        const int reason = errno;
        ::unlinkat(dir.get(), part.constData(), 0);
        result.error = QStringLiteral("%1 could not be written: %2.")
                           .arg(quoted(target.fileName()), systemError(reason));
        return result;
    }
    ::fsync(dir.get());
    result.path = path;
    return result;
}
