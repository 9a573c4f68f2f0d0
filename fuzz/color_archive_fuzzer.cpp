// Any bytes may sit in the store's colour columns. Decoding them must stay within the bytes
// (compressed, within what the format can hold), yield only colours the app can paint, and
// what it yields must store and read back unchanged.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "store/color_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ColorArchive::Decoded decoded = ColorArchive::decode(bytes);

    const bool compact = size > 4 && data[4] == ColorArchive::compactVersion;
    const size_t whole = size < ColorArchive::headerSize
                             ? 0
                             : (size - ColorArchive::headerSize) / ColorArchive::entrySize;
    if (decoded.colors.size() > (compact ? size_t(ColorArchive::maximumColors) : whole)) {
        std::abort();  // more colours than the bytes or the format can hold
    }
    if (!compact && decoded.problem.isEmpty() &&
        size != ColorArchive::headerSize + decoded.colors.size() * ColorArchive::entrySize) {
        std::abort();  // bytes left over, and nothing said
    }
    for (const Color& color : decoded.colors) {
        for (double component : color.components()) {
            if (!std::isfinite(component) || component < 0.0 || component > 1.0) {
                std::abort();
            }
        }
    }
    const ColorArchive::Decoded again = ColorArchive::decode(ColorArchive::encode(decoded.colors));
    if (!again.problem.isEmpty() || again.colors != decoded.colors) {
        std::abort();
    }
    return 0;
}
