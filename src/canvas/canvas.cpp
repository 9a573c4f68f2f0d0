#include "canvas/canvas.h"

#include <algorithm>
#include <cmath>

#include "canvas/pixel.h"
#include "platform/console.h"

namespace {
// The sprite's own colour; the cells cover it completely.
Color spriteColor() {
    return Color::withRGB(0, 1, 1, 1);
}

QSizeF spriteSize(int64_t width, int64_t height) {
    return QSizeF(static_cast<double>(width) * Pixel::kSize,
                  static_cast<double>(height) * Pixel::kSize);
}
}  // namespace

Canvas::Canvas(int64_t width, int64_t height)
    : SpriteNode(spriteColor(), spriteSize(width, height)), width(width), height(height) {
    setupPixels(nullptr);
}

Canvas::Canvas(const std::vector<Color>& colors, int64_t width, int64_t height)
    : SpriteNode(spriteColor(), spriteSize(width, height)), width(width), height(height) {
    setupPixels(&colors);
}

void Canvas::setupPixels(const std::vector<Color>* colors) {
    const int64_t count = width * height;
    if (colors && static_cast<int64_t>(colors->size()) != count) {
        // A list that does not fit the grid is used as far as it goes; the rest stays white.
        printLine(
            QStringLiteral("Canvas: the colour list holds %1 colours, expected %2 for %3 x %4;"
                           " cells without a colour stay white.")
                .arg(colors->size())
                .arg(count)
                .arg(width)
                .arg(height));
    }
    // Truncation toward zero, as the cells have always been placed.
    const auto halfWidth = static_cast<int64_t>(-0.5 * size().width());
    const auto halfHeight = static_cast<int64_t>(-0.5 * size().height());
    pixelArray_.reserve(pixelArray_.size() + static_cast<size_t>(std::max<int64_t>(count, 0)));
    for (int64_t x = 0; x < width; ++x) {
        for (int64_t y = 0; y < height; ++y) {
            auto pixel = std::make_unique<Pixel>();
            pixel->setPosition(QPointF(static_cast<double>(halfWidth + 300 * x),
                                       static_cast<double>(halfHeight + 300 * y)));
            const auto index = static_cast<size_t>(x * height + y);
            if (colors && index < colors->size()) {
                pixel->setFillColor((*colors)[index]);
            }
            pixelArray_.push_back(addChild(std::move(pixel)));
        }
    }
}

std::vector<Color> Canvas::getColorArray() const {
    std::vector<Color> colors;
    colors.reserve(pixelArray_.size());
    for (const Pixel* pixel : pixelArray_) {
        colors.push_back(pixel->fillColor());
    }
    return colors;
}

std::vector<Pixel*> Canvas::pixelsAt(QPointF point) const {
    std::vector<Pixel*> found;
    if (pixelArray_.empty() || !std::isfinite(point.x()) || !std::isfinite(point.y())) {
        return found;
    }
    // The cell the grid arithmetic points at and its neighbours, tested exactly as the hit
    // test tests them, so that a point on a shared edge lands where the hit test puts it.
    const QPointF origin = pixelArray_.front()->position();
    const double column = std::floor((point.x() - origin.x()) / Pixel::kSize);
    const double row = std::floor((point.y() - origin.y()) / Pixel::kSize);
    if (column < -1 || row < -1 || column > double(width) || row > double(height)) {
        return found;
    }
    const auto x0 = static_cast<int64_t>(column);
    const auto y0 = static_cast<int64_t>(row);
    // Later children lie on top and come first in the hit test.
    for (int64_t x = x0 + 1; x >= x0 - 1; --x) {
        for (int64_t y = y0 + 1; y >= y0 - 1; --y) {
            Pixel* cell = getPixel(x, y);
            bool invertible = false;
            const QTransform inverse =
                cell ? cell->transformToParent().inverted(&invertible) : QTransform();
            if (invertible && cell->containsLocalPoint(inverse.map(point))) {
                found.push_back(cell);
            }
        }
    }
    return found;
}

void Canvas::draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const {
    if (!cellsHideSprite(toDevice, clip)) {
        SpriteNode::draw(painter, toDevice, clip);
    }
}

bool Canvas::cellsHideSprite(const QTransform& toDevice, const QRectF& clip) const {
    // The cells tile the sprite. Drawn on whole device pixels with opaque colours, they cover
    // every pixel of it, and painting it first would only cost memory traffic. Only the cells
    // in the clip matter: a one-cell repaint looks at a handful.
    bool invertible = false;
    const QRectF area = toDevice.inverted(&invertible).mapRect(clip);
    if (!invertible || pixelArray_.empty() ||
        static_cast<int64_t>(pixelArray_.size()) != width * height) {
        return false;
    }
    const QPointF origin = pixelArray_.front()->position();
    const auto cellAt = [](double offset, int64_t count) {
        return static_cast<int64_t>(
            std::clamp(std::floor(offset / Pixel::kSize), 0.0, double(count - 1)));
    };
    const int64_t left = cellAt(area.left() - origin.x(), width);
    const int64_t right = cellAt(area.right() - origin.x(), width);
    const int64_t bottom = cellAt(area.top() - origin.y(), height);
    const int64_t top = cellAt(area.bottom() - origin.y(), height);
    for (int64_t x = left; x <= right; ++x) {
        for (int64_t y = bottom; y <= top; ++y) {
            const Pixel* cell = getPixel(x, y);
            if (cell->transformToParent().type() > QTransform::TxTranslate ||
                !cell->drawsOpaqueSnappedPath(toDevice)) {
                return false;
            }
        }
    }
    return true;
}

std::optional<int64_t> Canvas::indexOf(const Pixel* pixel) const {
    const auto found = std::find(pixelArray_.begin(), pixelArray_.end(), pixel);
    if (found == pixelArray_.end()) {
        return std::nullopt;
    }
    return static_cast<int64_t>(found - pixelArray_.begin());
}
