#include "export/picture_exporter.h"

#include <QByteArray>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>

#include "platform/console.h"
#include "platform/screen_metrics.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

const QString kErrorDomain = QStringLiteral("RawPixel Conversion");
constexpr int kErrorCode = 2619;

// The cell bytes as bitmap info 1 lays them out.
constexpr QImage::Format kCellFormat = QImage::Format_RGBA8888_Premultiplied;

uint8_t toByte(double component) {
    if (!std::isfinite(component)) {
        return 0;
    }
    return uint8_t(std::trunc(std::clamp(component, 0.0, 1.0) * 255.0));
}

// Which quarter turn an angle is, when it is one: 1 clockwise, 2 half, 3 counter-clockwise.
std::optional<int> quarterTurns(double angle) {
    if (!std::isfinite(angle)) {
        return std::nullopt;
    }
    const double quarters = angle / (std::numbers::pi / 2);
    const double nearest = std::round(quarters);
    if (std::abs(quarters - nearest) > 1e-9) {
        return std::nullopt;
    }
    const auto turns = int(std::fmod(nearest, 4.0));
    return (turns + 4) % 4;
}

QImage turnedByQuarters(const QImage& image, int turns) {
    const QImage source =
        image.depth() == 32 ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = source.width();
    const int h = source.height();
    const bool sideways = turns % 2 == 1;
    QImage result(sideways ? h : w, sideways ? w : h, source.format());
    if (result.isNull()) {
        return result;
    }
    for (int row = 0; row < result.height(); ++row) {
        auto* out = reinterpret_cast<uint32_t*>(result.scanLine(row));
        for (int column = 0; column < result.width(); ++column) {
            int sourceRow = row;
            int sourceColumn = column;
            switch (turns) {
                case 1:  // clockwise: the top-left corner goes to the top right
                    sourceRow = h - 1 - column;
                    sourceColumn = row;
                    break;
                case 2:
                    sourceRow = h - 1 - row;
                    sourceColumn = w - 1 - column;
                    break;
                case 3:  // counter-clockwise: the top-right corner goes to the top left
                    sourceRow = column;
                    sourceColumn = w - 1 - row;
                    break;
                default:
                    break;
            }
            out[column] =
                reinterpret_cast<const uint32_t*>(source.constScanLine(sourceRow))[sourceColumn];
        }
    }
    result.setColorSpace(source.colorSpace());
    return result;
}

// Edges that are whole numbers but for rounding must stay whole: a turn by -pi/2 leaves
// 1e-16 where 0 belongs, and its floor would widen the canvas by a point.
double snapped(double value) {
    const double nearest = std::round(value);
    return std::abs(value - nearest) < 1e-9 ? nearest : value;
}

void releasePixels(void* pixels) {
    std::free(pixels);
}

// A fresh pixel buffer for the final image. Large ones sit on huge pages where the system
// offers them: a 3000 x 3000 share is 36 MB, which malloc maps afresh every time, and
// faulting it in 4 KB pages costs several times what filling it does. Smaller buffers (a
// 900 x 900 thumbnail) are cheap to fault and malloc tends to recycle them, while a huge
// page would be cleared whole each time.
QImage allocateOpaqueImage(int width, int height) {
    const size_t bytes = size_t(width) * size_t(height) * 4;
    constexpr size_t kHugePage = size_t(2) << 20;
    const size_t alignment = bytes >= 4 * kHugePage ? kHugePage : 64;
    void* pixels = std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
    if (!pixels) {
        return {};
    }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (alignment == kHugePage) {
        madvise(pixels, bytes, MADV_HUGEPAGE);
    }
#endif
    QImage image(static_cast<uchar*>(pixels), width, height, qsizetype(width) * 4,
                 QImage::Format_RGB32, releasePixels, pixels);
    if (image.isNull()) {
        std::free(pixels);
    }
    return image;
}

// Nearest neighbour: output pixel i of n takes source pixel floor((i + 0.5) * cells / n),
// computed in integers so that it is exact.
std::vector<int> nearestIndices(int64_t n, int64_t cells) {
    std::vector<int> indices(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        indices[size_t(i)] = int(((2 * i + 1) * cells) / (2 * n));
    }
    return indices;
}

// The turned cells laid over the red background, as opaque RGB32 values. The cell bytes
// are premultiplied, so the background adds (1 - alpha) of itself, saturating for bytes that
// exceed their alpha.
std::vector<QRgb> overBackground(const QImage& turned) {
    std::vector<QRgb> colors;
    colors.reserve(size_t(turned.width()) * size_t(turned.height()));
    for (int row = 0; row < turned.height(); ++row) {
        const uchar* bytes = turned.constScanLine(row);
        for (int column = 0; column < turned.width(); ++column, bytes += 4) {
            colors.push_back(
                PictureExporter::opaqueColor(RawPixel{bytes[0], bytes[1], bytes[2], bytes[3]}));
        }
    }
    return colors;
}

}  // namespace

PictureExporter::PictureExporter(const std::vector<Color>& colors, int64_t width, int64_t height)
    : canvasWidth(width), canvasHeight(height), rgbColorSpace(QColorSpace::SRgb) {
    convertToRawPixels(colors);
}

QString PictureExporter::conversionErrorDescription() {
    return QStringLiteral("The operation could not be completed. (%1 error %2.)")
        .arg(kErrorDomain)
        .arg(kErrorCode);
}

void PictureExporter::tagGrid(QImage& picture, int64_t width, int64_t height) {
    picture.setText(QStringLiteral("Tilebloom grid"),
                    QStringLiteral("%1x%2").arg(width).arg(height));
}

void PictureExporter::convertToRawPixels(const std::vector<Color>& colors) {
    rawPixelArray_.reserve(rawPixelArray_.size() + colors.size());
    for (const Color& color : colors) {
        const auto components = rgbaComponents(color);
        if (!components) {
            printLine(QStringLiteral("RawPixel conversion failed. ") +
                      conversionErrorDescription());
            continue;
        }
        rawPixelArray_.push_back(RawPixel{uint8_t(components->red), uint8_t(components->green),
                                          uint8_t(components->blue), uint8_t(components->alpha)});
    }
    // A buffer exactly as long as its cells: no spare room hides a read beyond the end.
    rawPixelArray_.shrink_to_fit();
}

std::optional<QSize> PictureExporter::squareCellSize(int64_t longSide) const {
    if (canvasWidth <= 0 || canvasHeight <= 0 || longSide <= 0 || longSide > kMaximumSide) {
        return std::nullopt;
    }
    const auto shorter = [longSide](int64_t part, int64_t whole) {
        return int(
            std::max<int64_t>(1, std::llround(double(longSide) * double(part) / double(whole))));
    };
    if (canvasWidth >= canvasHeight) {
        return QSize(int(longSide), shorter(canvasHeight, canvasWidth));
    }
    return QSize(shorter(canvasWidth, canvasHeight), int(longSide));
}

std::optional<PictureExporter::Components> PictureExporter::rgbaComponents(const Color& color) {
    const auto rgba = color.getRGBA();
    if (!rgba) {
        return std::nullopt;
    }
    return Components{toByte(rgba->red), toByte(rgba->green), toByte(rgba->blue),
                      toByte(rgba->alpha)};
}

std::optional<QImage> PictureExporter::rotatedImage(const QImage& image, double angle) {
    if (image.isNull()) {
        return std::nullopt;
    }
    if (const auto turns = quarterTurns(angle)) {
        QImage turned = turnedByQuarters(image, *turns);
        if (turned.isNull()) {
            return std::nullopt;
        }
        return turned;
    }
    const QRectF bounds =
        QTransform().rotateRadians(angle).mapRect(QRectF(0, 0, image.width(), image.height()));
    const double left = std::floor(snapped(bounds.left()));
    const double top = std::floor(snapped(bounds.top()));
    const double right = std::ceil(snapped(bounds.right()));
    const double bottom = std::ceil(snapped(bounds.bottom()));
    const double width = right - left;
    const double height = bottom - top;
    // Written so that an angle that is not a number fails here too.
    if (!(width >= 1 && height >= 1 && width <= double(kMaximumSide) &&
          height <= double(kMaximumSide))) {
        return std::nullopt;
    }
    QImage canvas(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) {
        return std::nullopt;
    }
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    if (!painter.isActive()) {
        return std::nullopt;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(width / 2, height / 2);
    painter.rotate(angle * 180.0 / std::numbers::pi);
    painter.drawImage(
        QRectF(-image.width() / 2.0, -image.height() / 2.0, image.width(), image.height()), image);
    painter.end();
    canvas.setColorSpace(image.colorSpace());
    return canvas;
}

std::optional<QImage> PictureExporter::exportImage(
    int64_t width, int64_t height, const std::function<void(double)>& progress) const {
    const auto pixels = [width, height](double scale) -> std::optional<QSize> {
        if (width <= 0 || height <= 0 || double(width) * scale > double(kMaximumSide) ||
            double(height) * scale > double(kMaximumSide)) {
            return std::nullopt;
        }
        return QSize(int(std::max<int64_t>(1, std::llround(double(width) * scale))),
                     int(std::max<int64_t>(1, std::llround(double(height) * scale))));
    };
    return render(pixels, progress);
}

std::optional<QImage> PictureExporter::exportSquareCells(
    int64_t longSide, const std::function<void(double)>& progress) const {
    const int64_t longer = std::max(canvasWidth, canvasHeight);
    const int64_t shorter = std::min(canvasWidth, canvasHeight);
    const bool wide = canvasWidth >= canvasHeight;
    const auto pixels = [=](double scale) -> std::optional<QSize> {
        if (shorter <= 0 || longSide <= 0 || double(longSide) * scale > double(kMaximumSide)) {
            return std::nullopt;
        }
        const int64_t along = std::max<int64_t>(1, std::llround(double(longSide) * scale));
        // Rounded from the pixels of the longer side, in whole numbers: along / longer lies
        // between two whole numbers of pixels a cell, and so does across / shorter then, so
        // that blocks either way differ by a pixel at most.
        const int64_t across = std::max<int64_t>(1, (2 * along * shorter + longer) / (2 * longer));
        return wide ? QSize(int(along), int(across)) : QSize(int(across), int(along));
    };
    return render(pixels, progress);
}

std::optional<QImage> PictureExporter::render(const PixelSize& pixels,
                                              const std::function<void(double)>& progress) const {
    const auto report = [&progress](double fraction) {
        if (progress) {
            progress(fraction);
        }
    };

    // The cell bytes as one immutable block, without a copy: the exporter outlives the call.
    constexpr auto kMaximumBytes = size_t(std::numeric_limits<qsizetype>::max());
    if (rawPixelArray_.size() > kMaximumBytes / sizeof(RawPixel)) {
        printLine(QStringLiteral("DataProvider could not be built."));
        return std::nullopt;
    }
    const QByteArray provider =
        QByteArray::fromRawData(reinterpret_cast<const char*>(rawPixelArray_.data()),
                                qsizetype(rawPixelArray_.size() * sizeof(RawPixel)));
    report(0.25);

    // One pixel per cell. Each row of this image is one column of the grid, bottom cell first,
    // so that the quarter turn below stands the picture up; for the square grids the app makes
    // this is the canvasWidth x canvasHeight image read row by row from the buffer. A short
    // buffer (a colour that could not be converted) is refused, never read past its end.
    const int64_t cellsPerRow = canvasHeight;
    const int64_t rows = canvasWidth;
    const bool fits = cellsPerRow > 0 && rows > 0 && cellsPerRow <= kMaximumSide &&
                      rows <= kMaximumSide &&
                      size_t(provider.size()) / sizeof(RawPixel) >= size_t(cellsPerRow * rows);
    QImage cells;
    if (fits) {
        cells = QImage(reinterpret_cast<const uchar*>(provider.constData()), int(cellsPerRow),
                       int(rows), qsizetype(cellsPerRow) * 4, kCellFormat);
    }
    if (cells.isNull()) {
        printLine(QStringLiteral("CGImage could not be created."));
        return std::nullopt;
    }
    cells.setColorSpace(rgbColorSpace);
    report(0.5);

    const auto turned = rotatedImage(cells, -std::numbers::pi / 2);
    if (!turned) {
        return std::nullopt;
    }

    const double scale = ScreenMetrics::main().scale;
    if (!std::isfinite(scale) || scale <= 0) {
        return std::nullopt;
    }
    const std::optional<QSize> size = pixels(scale);
    if (!size) {
        return std::nullopt;
    }
    const auto outWidth = int64_t(size->width());
    const auto outHeight = int64_t(size->height());
    if (outWidth * outHeight > kMaximumPixels) {
        return std::nullopt;
    }

    const QImage turnedCells = turned->convertToFormat(kCellFormat);
    const std::vector<QRgb> colors = overBackground(turnedCells);
    const auto cellColumns = int64_t(turnedCells.width());
    const std::vector<int> columnOf = nearestIndices(outWidth, cellColumns);
    const std::vector<int> rowOf = nearestIndices(outHeight, turnedCells.height());

    QImage picture = allocateOpaqueImage(int(outWidth), int(outHeight));
    if (picture.isNull()) {
        return std::nullopt;
    }
    // Each cell row is built once; the rows below it that show the same cells are copies.
    const size_t rowBytes = size_t(outWidth) * sizeof(QRgb);
    auto* lines = reinterpret_cast<QRgb*>(picture.bits());
    int previous = -1;
    for (size_t y = 0; y < size_t(outHeight); ++y) {
        QRgb* line = lines + y * size_t(outWidth);
        const int cellRow = rowOf[y];
        if (cellRow == previous) {
            std::memcpy(line, line - outWidth, rowBytes);
            continue;
        }
        const QRgb* source = colors.data() + size_t(cellRow) * size_t(cellColumns);
        for (size_t x = 0; x < size_t(outWidth); ++x) {
            line[x] = source[columnOf[x]];
        }
        previous = cellRow;
    }
    picture.setDevicePixelRatio(scale);
    picture.setColorSpace(rgbColorSpace);
    tagGrid(picture, canvasWidth, canvasHeight);

    report(0.75);
    report(1.0);
    return picture;
}
