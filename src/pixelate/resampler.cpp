#include "pixelate/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/screen_metrics.h"

namespace {

// Fresh memory costs a page fault per page on first touch, which for a 66 MB render is
// several times the cost of filling it. Big results therefore live in buffers that come back
// here when their last image goes and serve the next render of about the same size. The
// pool never holds more than kMaxHeld of them, in use and spare together, beyond what callers
// keep: the preview shows one result while the next one is rendered.
class BufferPool {
public:
    struct Buffer {
        uchar* data;
        size_t capacity;
    };

    static BufferPool& shared() {
        // Never destroyed: images may outlive static destruction and still hand buffers back.
        static auto* pool = new BufferPool;
        return *pool;
    }

    Buffer* acquire(size_t bytes) {
        std::vector<Buffer*> dropped;
        Buffer* found = nullptr;
        {
            std::lock_guard lock(mutex_);
            for (auto it = free_.begin(); it != free_.end(); ++it) {
                // Block sizes next to each other give results a few per cent apart.
                if ((*it)->capacity >= bytes && (*it)->capacity - bytes <= bytes / 4) {
                    found = *it;
                    free_.erase(it);
                    break;
                }
            }
            if (!found) {
                // A new buffer is coming: spares that do not fit make room for it.
                while (!free_.empty() && inUse_ + free_.size() >= kMaxHeld) {
                    dropped.push_back(free_.back());
                    free_.pop_back();
                }
            }
            ++inUse_;
            peak_ = std::max(peak_, inUse_ + free_.size());
        }
        for (Buffer* old : dropped) {
            destroy(old);
        }
        if (found) {
            return found;
        }
        auto* data =
            static_cast<uchar*>(::operator new (bytes, std::align_val_t{kAlignment}, std::nothrow));
        if (!data) {
            std::lock_guard lock(mutex_);
            --inUse_;
            return nullptr;
        }
        return new Buffer{data, bytes};
    }

    void release(Buffer* buffer) {
        bool keep = false;
        {
            std::lock_guard lock(mutex_);
            --inUse_;
            keep = inUse_ + free_.size() < kMaxHeld;
            if (keep) {
                free_.push_back(buffer);
            }
        }
        if (!keep) {
            destroy(buffer);
        }
    }

    void clear() {
        std::vector<Buffer*> dropped;
        {
            std::lock_guard lock(mutex_);
            dropped.swap(free_);
        }
        for (Buffer* old : dropped) {
            destroy(old);
        }
    }

    Resampler::BufferStatistics statistics(bool resetPeak) {
        std::lock_guard lock(mutex_);
        const Resampler::BufferStatistics result{int(inUse_), int(free_.size()), int(peak_)};
        if (resetPeak) {
            peak_ = inUse_ + free_.size();
        }
        return result;
    }

private:
    static constexpr size_t kAlignment = 64;
    static constexpr size_t kMaxHeld = 2;

    static void destroy(Buffer* buffer) {
        ::operator delete (buffer->data, std::align_val_t{kAlignment});
        delete buffer;
    }

    std::mutex mutex_;
    std::vector<Buffer*> free_;
    size_t inUse_ = 0;
    size_t peak_ = 0;
};

// Below this, an ordinary allocation is cheap enough.
constexpr size_t kPooledBytes = size_t{1} << 20;

// Whether a result may come from the pool: only results, not the steps on the way to them.
enum class Pooling { allowed, never };

QImage newImage(const QSize& size, QImage::Format format, Pooling pooling) {
    const size_t bytesPerLine = static_cast<size_t>(size.width()) * 4;
    const size_t bytes = bytesPerLine * static_cast<size_t>(size.height());
    if (bytes < kPooledBytes || pooling == Pooling::never) {
        return QImage(size, format);  // null when the memory is not there
    }
    BufferPool::Buffer* buffer = BufferPool::shared().acquire(bytes);
    if (!buffer) {
        return {};
    }
    return QImage(
        buffer->data, size.width(), size.height(), static_cast<qsizetype>(bytesPerLine), format,
        [](void* info) { BufferPool::shared().release(static_cast<BufferPool::Buffer*>(info)); },
        buffer);
}

bool isOpaque(const QImage& argb32) {
    const int width = argb32.width();  // hoisted: the call would run per pixel
    for (int y = 0; y < argb32.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb32.constScanLine(y));
        quint32 alpha = 0xff000000u;
        for (int x = 0; x < width; ++x) {
            alpha &= line[x];
        }
        if (alpha != 0xff000000u) {
            return false;
        }
    }
    return true;
}

// Both samplers work on 32-bit pixels; other formats are converted once up front. An
// ARGB32 picture that is opaque throughout (many PNGs) is read as RGB32 in place: a scan
// costs far less than a premultiplied copy. The view borrows image's pixels, so it must not
// outlive image.
QImage as32Bit(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return image;
        case QImage::Format_ARGB32:
            if (isOpaque(image)) {
                return QImage(image.constBits(), image.width(), image.height(),
                              image.bytesPerLine(), QImage::Format_RGB32);
            }
            return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        default:
            return image.convertToFormat(image.hasAlphaChannel()
                                             ? QImage::Format_ARGB32_Premultiplied
                                             : QImage::Format_RGB32);
    }
}

// Target pixel i samples the source pixel under its centre: floor((i + 0.5) * from / to).
std::vector<int> sampleTable(int to, int from) {
    std::vector<int> table(static_cast<size_t>(to));
    for (int i = 0; i < to; ++i) {
        table[static_cast<size_t>(i)] =
            static_cast<int>((2 * qint64{i} + 1) * from / (2 * qint64{to}));
    }
    return table;
}

QImage nearestNeighbour(const QImage& source, const QSize& target, Pooling pooling) {
    QImage result = newImage(target, source.format(), pooling);
    if (result.isNull()) {
        return {};
    }
    const std::vector<int> columns = sampleTable(target.width(), source.width());
    const std::vector<int> rows = sampleTable(target.height(), source.height());
    const size_t rowBytes = static_cast<size_t>(target.width()) * 4;
    const qsizetype stride = result.bytesPerLine();
    uchar* out = result.bits();
    const uchar* previous = nullptr;
    int previousRow = -1;
    for (int y = 0; y < target.height(); ++y, out += stride) {
        const int sourceRow = rows[static_cast<size_t>(y)];
        if (sourceRow == previousRow) {
            // Enlarging repeats whole rows; the row just written is still in cache.
            std::memcpy(out, previous, rowBytes);
        } else {
            const auto* in = reinterpret_cast<const quint32*>(source.constScanLine(sourceRow));
            auto* pixels = reinterpret_cast<quint32*>(out);
            for (size_t x = 0; x < columns.size(); ++x) {
                pixels[x] = in[columns[x]];
            }
            previousRow = sourceRow;
        }
        previous = out;
    }
    return result;
}

QImage smoothScaled(const QImage& source, const QSize& target) {
    QImage result = source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (result.constBits() == source.constBits()) {
        result = result.copy();  // same size: never hand out borrowed pixels
    }
    result.setDevicePixelRatio(1);
    return result;
}

QImage resample(const QImage& image, InterpolationQuality quality, double factorX, double factorY,
                double screenScale, Pooling pooling) {
    if (image.isNull() || !(factorX > 0) || !(factorY > 0)) {
        return {};
    }
    const QSizeF points = image.deviceIndependentSize();
    const QSize target = Resampler::pixelSize(
        QSizeF(points.width() * factorX, points.height() * factorY), screenScale);
    if (target.isEmpty()) {
        return {};
    }
    const QImage source = as32Bit(image);
    if (source.isNull()) {
        return {};
    }
    return quality == InterpolationQuality::none ? nearestNeighbour(source, target, pooling)
                                                 : smoothScaled(source, target);
}

}  // namespace

QSize Resampler::pixelSize(const QSizeF& pointSize, double scale) {
    const double width = std::round(pointSize.width() * scale);
    const double height = std::round(pointSize.height() * scale);
    if (!std::isfinite(width) || !std::isfinite(height) || width < 1 || height < 1 ||
        width * height > static_cast<double>(maxPixelCount)) {
        return {};
    }
    return QSize(static_cast<int>(width), static_cast<int>(height));
}

QImage Resampler::resized(const QImage& image, InterpolationQuality quality, double factorX,
                          double factorY) {
    return resized(image, quality, factorX, factorY, ScreenMetrics::main().scale);
}

QImage Resampler::resized(const QImage& image, InterpolationQuality quality, double factorX,
                          double factorY, double screenScale) {
    return resample(image, quality, factorX, factorY, screenScale, Pooling::allowed);
}

QImage Resampler::pixelated(const QImage& picture, double blockSize, double screenScale) {
    if (!std::isfinite(blockSize) || blockSize < 0) {
        return {};
    }
    if (blockSize == 0) {
        return picture;
    }
    // The step on the way is not kept for reuse: only results count against the pool's two.
    const QImage small = resample(picture, InterpolationQuality::none, 1 / blockSize, 1 / blockSize,
                                  screenScale, Pooling::never);
    if (small.isNull()) {
        return {};
    }
    return resized(small, InterpolationQuality::none, blockSize, blockSize, screenScale);
}

void Resampler::releaseCachedBuffers() {
    BufferPool::shared().clear();
}

Resampler::BufferStatistics Resampler::largeBufferStatistics(bool resetPeak) {
    return BufferPool::shared().statistics(resetPeak);
}
