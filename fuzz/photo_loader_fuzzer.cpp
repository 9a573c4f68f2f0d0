// Any bytes may be handed over as a photo. Loading them must give either a picture within
// the limits or a message, never both and never neither, and never touch memory it does
// not own. Limits smaller than the app's keep each run quick.
#include <QGuiApplication>
#include <QImageReader>
#include <cstdint>
#include <cstdlib>

#include "imaging/photo_loader.h"

namespace {
PhotoLoader::Limits limits() {
    PhotoLoader::Limits small;
    small.maxSide = 4096;
    small.maxPixels = 8'000'000;
    small.decodeBudgetPixels = 2'000'000;
    return small;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.gui.imageio*=false");
    static QGuiApplication app(*argc, *argv);
    // Qt refuses to allocate more than this for one picture, whatever the header said: a
    // picture that grows past the limits while decoding is refused early, not after seconds.
    QImageReader::setAllocationLimit(16);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const PhotoLoader::Limits small = limits();
    const PhotoLoader::Result result = PhotoLoader::loadData(bytes, QStringLiteral("fuzz"), small);
    if (result.ok() == !result.error.isEmpty()) {
        std::abort();  // a picture with a message, or neither
    }
    if (result.ok()) {
        const QSize size = result.image.size();
        // Orientation metadata may turn the picture, so either side may be the long one.
        if (size.width() > small.maxSide || size.height() > small.maxSide ||
            qint64(size.width()) * size.height() > small.decodeBudgetPixels) {
            std::abort();
        }
    }
    return 0;
}
