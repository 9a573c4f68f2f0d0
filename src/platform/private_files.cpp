#include "platform/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {
QString quoted(const QString& path) {
    return QStringLiteral("\u201C%1\u201D").arg(QDir::toNativeSeparators(path));
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

QString PrivateFiles::makeFolder(const QString& folder, Links links) {
    if (folder.isEmpty()) {
        return QStringLiteral("No folder was given.");
    }
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !QDir().mkpath(parent)) {
        return QStringLiteral("The folder %1 could not be created.").arg(quoted(parent));
    }
    const QByteArray local = QFile::encodeName(clean);
    if (::mkdir(local.constData(), 0700) != 0 && errno != EEXIST) {
        return QStringLiteral("The folder %1 could not be created: %2.")
            .arg(quoted(clean), systemError(errno));
    }
    // Checked and narrowed through one descriptor, so that what is checked is what is changed.
    const int flags =
        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (links == Links::refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(local.constData(), flags);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (::lstat(local.constData(), &info) == 0 && !S_ISDIR(info.st_mode)) {
            return QStringLiteral("%1 is %2, not a folder.")
                .arg(quoted(clean), PrivateFiles::kindOf(info.st_mode));
        }
        return QStringLiteral("The folder %1 can\u2019t be opened: %2.")
            .arg(quoted(clean), systemError(error));
    }
    QString error;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = QStringLiteral("The folder %1 can\u2019t be checked: %2.")
                    .arg(quoted(clean), systemError(errno));
    } else if (info.st_uid != ::geteuid()) {
        error = QStringLiteral("The folder %1 belongs to another user.").arg(quoted(clean));
    } else if ((info.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0) {
        error = QStringLiteral("The folder %1 can\u2019t be made private: %2.")
                    .arg(quoted(clean), systemError(errno));
    }
    ::close(fd);
    return error;
}

QString PrivateFiles::makeFile(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO put there must not stall the open; it is refused below.
    int fd = ::open(local.constData(),
                    O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) {
        fd = ::open(local.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    }
    if (fd < 0) {
        const int error = errno;
        const QString kind = nonRegularKind(path);
        if (!kind.isEmpty()) {
            return QStringLiteral("%1 is %2, not a regular file.").arg(quoted(path), kind);
        }
        return QStringLiteral("%1 can\u2019t be created: %2.")
            .arg(quoted(path), systemError(error));
    }
    QString error;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error =
            QStringLiteral("%1 can\u2019t be checked: %2.").arg(quoted(path), systemError(errno));
    } else if (!S_ISREG(info.st_mode)) {
        error = QStringLiteral("%1 is %2, not a regular file.")
                    .arg(quoted(path), PrivateFiles::kindOf(info.st_mode));
    } else if (info.st_uid != ::geteuid()) {
        error = QStringLiteral("%1 belongs to another user.").arg(quoted(path));
    } else if ((info.st_mode & 07777) != 0600) {
        // Best effort: a file that cannot be changed (a read-only disk, an immutable file)
        // is still the user's own and still usable.
        ::fchmod(fd, 0600);
    }
    ::close(fd);
    return error;
}

QString PrivateFiles::nonRegularKind(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return QString();
    }
    return PrivateFiles::kindOf(info.st_mode);
}

QString PrivateFiles::kindOf(unsigned mode) {
    if (S_ISLNK(mode)) {
        return QStringLiteral("a symbolic link");
    }
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a FIFO");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("a device");
    }
    return S_ISREG(mode) ? QString() : QStringLiteral("not a regular file");
}
