#pragma once

#include <QByteArray>
#include <QImage>

// The platform's PNG representation of an image: what a thumbnail is stored as and what the
// share sheet writes. Pictures of at most 256 colours (every drawing of plain cells, most
// blocky photos) become 8-bit indexed PNGs, which are smaller and several times faster to
// write than true colour; other pictures are written as RGB, or RGBA when any pixel is not
// opaque. Pixels always decode back exactly (straight, not premultiplied, alpha).
class PngEncoder {
public:
    PngEncoder() = delete;

    // The PNG bytes; empty for a null or empty image or when encoding fails. An sRGB colour
    // space is recorded as such, any other valid colour space as its ICC profile.
    static QByteArray encode(const QImage& image);
};
