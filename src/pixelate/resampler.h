#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>

// How a picture is sampled when it is drawn at another size.
enum class InterpolationQuality : int {
    smooth = 0,  // the default: area-averaged when shrinking, bilinear when enlarging
    none = 1,    // nearest neighbour: every target pixel copies one source pixel
};

// Draws pictures at new sizes the way an offscreen context at the screen's scale does, without
// a painter: the result is a new picture of scale 1 whose size in points equals its size in
// pixels.
//
// Sizes: the target's pixel size is its size in points times the screen scale, each side
// rounded to the nearest whole pixel (so 389.9999 becomes 390), and the picture is stretched
// over all of it, so no partly covered edge row or column is left transparent. A target with
// a side that rounds to 0, a factor that is not a finite positive number, or more than
// maxPixelCount pixels cannot be made: the result is a null image and the caller skips it.
//
// Results are 32-bit (RGB32 for opaque input, premultiplied ARGB otherwise). Large nearest
// neighbour results are written into reused buffers, so repeated renders of one size do not
// pay for fresh memory each time.
class Resampler {
public:
    Resampler() = delete;

    // 64 Mi pixels (256 MB), the most any one resized picture may hold.
    static constexpr qint64 maxPixelCount = qint64{64} * 1024 * 1024;

    // The pixel size of a target of pointSize at scale, or an empty size when it cannot be made.
    static QSize pixelSize(const QSizeF& pointSize, double scale);

    // The picture drawn at its size in points times the factors, at the main screen's scale.
    static QImage resized(const QImage& image, InterpolationQuality quality, double factorX,
                          double factorY);
    // The same at an explicit screen scale.
    static QImage resized(const QImage& image, InterpolationQuality quality, double factorX,
                          double factorY, double screenScale);

    // The blocky picture for block size v: shrunk by 1/v, then enlarged by v, both nearest
    // neighbour at screenScale, so each pixel of the small picture becomes a block of
    // v * screenScale pixels. v = 0 gives the picture itself; a negative or non-finite v, or a
    // step that cannot be made, gives a null image.
    static QImage pixelated(const QImage& picture, double blockSize, double screenScale);

    // Lets go of the buffers kept for reuse (the ones still in use go when their images do).
    static void releaseCachedBuffers();

    // The large result buffers: held by images now, kept spare for reuse, and the most held
    // at once since the peak was last reset.
    struct BufferStatistics {
        int inUse = 0;
        int spare = 0;
        int peak = 0;
    };
    static BufferStatistics largeBufferStatistics(bool resetPeak = false);
};
