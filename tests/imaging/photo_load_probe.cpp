// Loads one photo the way the picker does and reports what came of it and the most memory
// the process ever held, so that a test can bound what a hostile file costs:
//   ok <width> <height>   or   refused <message>
//   peak-kb <kilobytes>
#include <sys/resource.h>

#include <QGuiApplication>
#include <cstdio>

#include "imaging/photo_loader.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: photo_load_probe FILE\n");
        return 2;
    }
    const PhotoLoader::Result result = PhotoLoader::load(QString::fromLocal8Bit(argv[1]));
    if (result.ok()) {
        std::printf("ok %d %d\n", result.image.width(), result.image.height());
    } else {
        std::printf("refused %s\n", result.error.toUtf8().constData());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak-kb %ld\n", usage.ru_maxrss);
    return 0;
}
