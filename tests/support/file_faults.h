#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>

// Faults of the file system that hold even for root, who reads and writes past every
// permission bit: tests run as root in CI.
namespace file_faults {

inline QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Makes a file immutable while it lives: nobody, root included, can open it for writing,
// rename, delete or replace it. Not every file system offers the flag; ok() tells.
class ImmutableFile {
public:
    explicit ImmutableFile(const QString& path) : path_(path.toLocal8Bit()) { ok_ = set(true); }
    ~ImmutableFile() {
        if (ok_) {
            set(false);
        }
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    bool ok() const { return ok_; }

private:
    bool set(bool on) {
        const int fd = ::open(path_.constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QByteArray path_;
    bool ok_ = false;
};

}  // namespace file_faults
