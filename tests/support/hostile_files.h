#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Files other people can leave in a user's folders, and a guard that keeps a test that
// meets them from hanging.
namespace hostile_files {

inline bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

inline bool makeLink(const QString& target, const QString& link) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) ==
           0;
}

// A file of size bytes that holds head and then holes: no disk space, all zeros when read.
inline bool makeSparse(const QString& path, const QByteArray& head, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

// The permission bits of path itself (links are not followed); -1 when nothing is there.
// Compare with octal literals (0600 prints as 384).
inline int modeOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return int(info.st_mode & 07777);
}

// Sets the modification time of path itself (a link's own time for a link) to secondsAgo.
inline bool makeOld(const QString& path, qint64 secondsAgo) {
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= secondsAgo;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) ==
           0;
}

inline bool isLink(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

inline mode_t currentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Every name under folder with its size, links as links, one a line: what a test compares
// to show that nothing was written there.
inline std::string snapshot(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries << QStringLiteral("%1 %2 %3")
                       .arg(
                           it.filePath(),
                           info.isSymLink() ? QStringLiteral("link") : QString::number(info.size()),
                           info.isSymLink() ? info.symLinkTarget() : QString());
    }
    entries.sort();
    return entries.join('\n').toStdString();
}

// Keeps a test from hanging on FIFOs: once the time is up it opens every FIFO for writing
// again and again, so that whoever blocked on one gets an end of file, and records that it
// had to. Should the test still not finish, the process is ended with a message.
class Watchdog {
public:
    Watchdog(QStringList fifos, std::chrono::milliseconds patience)
        : fifos_(std::move(fifos)), thread_([this, patience] { run(patience); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Whether the time ran out and blocked readers had to be set free.
    bool fired() const { return fired_.load(); }

private:
    void run(std::chrono::milliseconds patience) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, patience, [this] { return done_; })) {
            return;
        }
        fired_ = true;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done_) {
            for (const QString& fifo : fifos_) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            if (std::chrono::steady_clock::now() > giveUp) {
                std::fprintf(stderr, "Watchdog: the test still hangs; ending it.\n");
                std::_Exit(3);
            }
            wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; });
        }
    }

    QStringList fifos_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::atomic_bool fired_{false};
    std::thread thread_;
};

}  // namespace hostile_files
