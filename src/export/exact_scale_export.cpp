#include "export/exact_scale_export.h"

#include <QColorSpace>
#include <QImageReader>
#include <algorithm>
#include <cstring>
#include <vector>

#include "export/picture_exporter.h"

namespace ExactScaleExport {

int64_t openablePixels() {
    const int megabytes = QImageReader::allocationLimit();
    return megabytes <= 0 ? kMaxSide * kMaxSide : int64_t(megabytes) * 1024 * 1024 / 4;
}

int largestScale(int64_t width, int64_t height, int64_t maxPixels) {
    if (width <= 0 || height <= 0 || maxPixels <= 0) {
        return 0;
    }
    int64_t scale = kMaxSide / std::max(width, height);
    // A picture the app could not open again would not come back as the drawing.
    while (scale > 0 && width * scale * height * scale > maxPixels) {
        --scale;
    }
    return int(scale);
}

std::optional<QImage> exportAtScale(const PictureExporter& exporter, int scale) {
    const int64_t columns = exporter.canvasWidth;
    const int64_t rows = exporter.canvasHeight;
    if (scale < 1 || scale > largestScale(columns, rows)) {
        return std::nullopt;
    }
    const std::vector<RawPixel>& cells = exporter.rawPixelArray();
    if (int64_t(cells.size()) < columns * rows) {
        return std::nullopt;
    }
    QImage picture(int(columns * scale), int(rows * scale), QImage::Format_RGB32);
    if (picture.isNull()) {
        return std::nullopt;
    }
    // Cells are kept column by column from the bottom; the picture's top row is the grid's top.
    std::vector<QRgb> line(size_t(picture.width()));
    for (int64_t row = 0; row < rows; ++row) {
        const int64_t y = rows - 1 - row;
        for (int64_t x = 0; x < columns; ++x) {
            const QRgb color = PictureExporter::opaqueColor(cells[size_t(x * rows + y)]);
            std::fill_n(line.begin() + x * scale, scale, color);
        }
        for (int k = 0; k < scale; ++k) {
            std::memcpy(picture.scanLine(int(row * scale + k)), line.data(),
                        line.size() * sizeof(QRgb));
        }
    }
    picture.setColorSpace(exporter.rgbColorSpace);
    PictureExporter::tagGrid(picture, columns, rows);
    return picture;
}

}  // namespace ExactScaleExport
