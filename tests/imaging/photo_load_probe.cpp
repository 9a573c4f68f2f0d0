// Loads one photo the way the picker does and reports what came of it, the most memory the
// process ever held, and the work the load itself did (bytes read through read() and pages
// touched, mapped files included), so that a test can bound what a hostile file costs:
//   ok <width> <height>   or   refused <message>
//   peak-kb <kilobytes>
//   read-kb <kilobytes>
//   page-faults <count>
#include <sys/resource.h>

#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "imaging/photo_loader.h"

namespace {
// Bytes this process has read so far, from /proc/self/io.
long long bytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: ")) {
            return line.mid(7).toLongLong();
        }
    }
    return 0;
}

long pageFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: photo_load_probe FILE\n");
        return 2;
    }
    const long long readBefore = bytesRead();
    const long faultsBefore = pageFaults();
    const PhotoLoader::Result result = PhotoLoader::load(QString::fromLocal8Bit(argv[1]));
    const long faults = pageFaults() - faultsBefore;
    const long long read = bytesRead() - readBefore;
    if (result.ok()) {
        std::printf("ok %d %d\n", result.image.width(), result.image.height());
    } else {
        std::printf("refused %s\n", result.error.toUtf8().constData());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak-kb %ld\n", usage.ru_maxrss);
    std::printf("read-kb %lld\n", read / 1024);
    std::printf("page-faults %ld\n", faults);
    return 0;
}
