#include "canvas/canvas.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "canvas/pixel.h"
#include "platform/console.h"
#include "scene/scene.h"

namespace {
// The sprite's own colour; the cells cover it completely.
Color spriteColor() {
    return Color::withRGB(0, 1, 1, 1);
}

QSizeF spriteSize(int64_t width, int64_t height) {
    return QSizeF(static_cast<double>(width) * Pixel::kSize,
                  static_cast<double>(height) * Pixel::kSize);
}

// Device rows put together at a time: a band of a phone-wide canvas stays in the caches.
constexpr int kBandRows = 48;

bool axisAligned(const QTransform& t) {
    constexpr double kEpsilon = 1e-9;
    return (std::abs(t.m12()) < kEpsilon && std::abs(t.m21()) < kEpsilon) ||
           (std::abs(t.m11()) < kEpsilon && std::abs(t.m22()) < kEpsilon);
}

// Where the edges between cells fall along one device axis, snapped to whole pixels as every
// cell's own square always was: edge i of count cells at scale * (origin + 300 i) + offset.
std::vector<int> edgesAlong(double origin, int64_t count, double scale, double offset) {
    std::vector<int> edges(static_cast<size_t>(count) + 1);
    for (int64_t i = 0; i <= count; ++i) {
        edges[size_t(i)] =
            qRound(scale * (origin + Pixel::kSize * static_cast<double>(i)) + offset);
    }
    return edges;
}

// For the device pixels first ... first + n - 1 along that axis, the cell each lies in; -1
// outside the grid. Edges fall rather than rise when the axis is mirrored.
void cellsAlong(const std::vector<int>& edges, int first, int n, std::vector<int>& out) {
    out.assign(size_t(n), -1);
    const bool rising = edges.back() >= edges.front();
    for (size_t k = 0; k + 1 < edges.size(); ++k) {
        const int from = std::max(rising ? edges[k] : edges[k + 1], first);
        const int to = std::min(rising ? edges[k + 1] : edges[k], first + n);
        for (int d = from; d < to; ++d) {
            out[size_t(d - first)] = int(k);
        }
    }
}

// A premultiplied colour over another: what a see-through cell shows of the sprite.
QRgb over(QRgb top, QRgb below) {
    const int rest = 255 - qAlpha(top);
    const auto add = [rest](int a, int b) { return std::min(255, a + (b * rest + 127) / 255); };
    return qRgba(add(qRed(top), qRed(below)), add(qGreen(top), qGreen(below)),
                 add(qBlue(top), qBlue(below)), add(qAlpha(top), qAlpha(below)));
}
}  // namespace

Canvas::GridLines Canvas::gridLinesFor(double cellDevicePixels) {
    if (!(cellDevicePixels >= kNoLinesBelowPixels)) {
        return GridLines::hidden;
    }
    return cellDevicePixels < kThinLinesBelowPixels ? GridLines::thin : GridLines::outline;
}

Canvas::Canvas(int64_t width, int64_t height)
    : SpriteNode(spriteColor(), spriteSize(width, height)), width(width), height(height) {
    setupPixels(nullptr);
}

Canvas::Canvas(const std::vector<Color>& colors, int64_t width, int64_t height)
    : SpriteNode(spriteColor(), spriteSize(width, height)), width(width), height(height) {
    setupPixels(&colors);
}

Canvas::~Canvas() {
    if (Scene* owner = scene()) {
        owner->withdrawInvalidation(this);
    }
    // The cells go with the children after this; none may call back into a canvas half gone.
    for (Pixel* cell : pixelArray_) {
        cell->setFillObserver(nullptr, 0);
    }
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
    origin_ = QPointF(static_cast<double>(halfWidth), static_cast<double>(halfHeight));
    const size_t more = static_cast<size_t>(std::max<int64_t>(count, 0));
    pixelArray_.reserve(pixelArray_.size() + more);
    shown_.reserve(shown_.size() + more);
    colors_.reserve(colors_.size() + more);
    for (int64_t x = 0; x < width; ++x) {
        for (int64_t y = 0; y < height; ++y) {
            auto pixel = std::make_unique<Pixel>();
            pixel->setPosition(QPointF(static_cast<double>(halfWidth + 300 * x),
                                       static_cast<double>(halfHeight + 300 * y)));
            const auto index = static_cast<size_t>(x * height + y);
            if (colors && index < colors->size()) {
                pixel->setFillColor((*colors)[index]);
            }
            pixel->setFillObserver(this, static_cast<uint32_t>(pixelArray_.size()));
            const QRgb shown = shownColor(pixel->fillColor());
            seeThrough_ += qAlpha(shown) < 255;
            shown_.push_back(shown);
            colors_.push_back(pixel->fillColor());
            pixelArray_.push_back(addChild(std::move(pixel)));
        }
    }
}

std::vector<Color> Canvas::getColorArray() const {
    return colors_;
}

QRgb Canvas::shownOver(size_t index, QRgb backdrop) const {
    QRgb shown = index < shown_.size() ? shown_[index] : 0;
    if (qAlpha(shown) != 255) {
        shown = over(shown, qPremultiply(color().toQColor().rgba()));
    }
    return qAlpha(shown) == 255 ? shown : over(shown, backdrop | 0xff000000u);
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

std::optional<int64_t> Canvas::indexOf(const Pixel* pixel) const {
    if (!pixel || pixel->fillObserver() != this || pixel->fillObserverTag() >= pixelArray_.size()) {
        return std::nullopt;
    }
    return static_cast<int64_t>(pixel->fillObserverTag());
}

void Canvas::collectNodesAt(QPointF pointInParent, std::vector<Node*>& found) {
    bool invertible = false;
    const QTransform inverse = transformToParent().inverted(&invertible);
    if (!invertible) {
        return;
    }
    const QPointF local = inverse.map(pointInParent);
    for (Pixel* cell : pixelsAt(local)) {
        found.push_back(cell);
    }
    if (containsLocalPoint(local)) {
        found.push_back(this);
    }
}

QRgb Canvas::premultiplied(const Color& color) {
    return qPremultiply(color.toQColor().rgba());
}

void Canvas::fillColorChanged(const ShapeNode& cell, uint32_t tag) {
    const size_t index = tag;
    if (index >= shown_.size()) {
        return;
    }
    colors_[index] = cell.fillColor();
    const QRgb shown = shownColor(cell.fillColor());
    seeThrough_ += int64_t(qAlpha(shown) < 255) - int64_t(qAlpha(shown_[index]) < 255);
    shown_[index] = shown;
    Scene* owner = scene();
    if (!owner) {
        return;
    }
    // A second set-up stacks its cells on the first. One division: a fill or an undo comes
    // here for every cell it recolours.
    auto place = static_cast<int64_t>(index);
    if (place >= width * height) {
        place %= width * height;
    }
    const int64_t column = place / height;
    const int64_t row = place - column * height;
    if (!changed_) {
        changed_ = CellRange{column, column, row, row};
        owner->invalidateLater(this);
        return;
    }
    changed_->left = std::min(changed_->left, column);
    changed_->right = std::max(changed_->right, column);
    changed_->bottom = std::min(changed_->bottom, row);
    changed_->top = std::max(changed_->top, row);
}

QRectF Canvas::takeChangedSceneRect() {
    if (!changed_) {
        return {};
    }
    // The cells' squares with their outlines, which reach half a line past them.
    const double half = Pixel::kLineWidth / 2;
    const CellRange cells = *changed_;
    changed_.reset();
    const QRectF area(origin_.x() + Pixel::kSize * double(cells.left) - half,
                      origin_.y() + Pixel::kSize * double(cells.bottom) - half,
                      Pixel::kSize * double(cells.right - cells.left + 1) + Pixel::kLineWidth,
                      Pixel::kSize * double(cells.top - cells.bottom + 1) + Pixel::kLineWidth);
    return transformToScene().mapRect(area);
}

void Canvas::drawTree(QPainter& painter, const QTransform& parentToDevice,
                      const QRectF& clip) const {
    const QTransform toDevice = transformToParent() * parentToDevice;
    const auto cells = static_cast<size_t>(std::max<int64_t>(width * height, 0));
    if (cells == 0 || pixelArray_.size() < cells) {
        Node::drawTree(painter, parentToDevice, clip);
        return;
    }
    // The outlines reach half a line past the cells, and snapping one pixel further.
    const double half = Pixel::kLineWidth / 2;
    const QRectF reach =
        toDevice.mapRect(localBounds().adjusted(-half, -half, half, half)).adjusted(-1, -1, 1, 1);
    if (reach.intersects(clip)) {
        if (axisAligned(toDevice)) {
            drawAxisAligned(painter, toDevice, clip);
        } else {
            drawTransformed(painter, toDevice);
        }
    }
    // Every other child is an ordinary node drawn over the cells: cells beyond the grid (set
    // up twice), and what the editor lays on the canvas, such as the mirror axis. The grid's
    // cells were added one after another, so they are one run of the children.
    const auto& nodes = children();
    size_t first = 0;
    while (first < nodes.size() && nodes[first].get() != pixelArray_.front()) {
        ++first;
    }
    for (size_t i = 0; i < first; ++i) {
        nodes[i]->drawTree(painter, toDevice, clip);
    }
    for (size_t i = std::min(first + cells, nodes.size()); i < nodes.size(); ++i) {
        nodes[i]->drawTree(painter, toDevice, clip);
    }
}

void Canvas::drawAxisAligned(QPainter& painter, const QTransform& toDevice,
                             const QRectF& clip) const {
    // Columns run along device x unless the canvas is turned a quarter.
    const bool columnsAlongX = std::abs(toDevice.m11()) >= 1e-9;
    const QPointF origin = pixelArray_.front()->position();
    const double columnScale = columnsAlongX ? toDevice.m11() : toDevice.m12();
    const double rowScale = columnsAlongX ? toDevice.m22() : toDevice.m21();
    const std::vector<int> columnEdges =
        edgesAlong(origin.x(), width, columnScale, columnsAlongX ? toDevice.dx() : toDevice.dy());
    const std::vector<int> rowEdges =
        edgesAlong(origin.y(), height, rowScale, columnsAlongX ? toDevice.dy() : toDevice.dx());
    const std::vector<int>& xEdges = columnsAlongX ? columnEdges : rowEdges;
    const std::vector<int>& yEdges = columnsAlongX ? rowEdges : columnEdges;
    const GridLineSpans lines = gridLineSpans(xEdges, yEdges, std::abs(columnScale) * Pixel::kSize);
    const QColor grey = pixelArray_.front()->strokeColor().toQColor();
    // Opaque lines go into the cells' rows as they are put together: filled over them
    // afterwards, the lines across the rows would cost a fill call for every row they cross.
    const bool linesInRows = !lines.x.empty() && grey.alpha() == 255;

    const QRect clipPixels(
        QPoint(int(std::floor(clip.left())), int(std::floor(clip.top()))),
        QPoint(int(std::ceil(clip.right())) - 1, int(std::ceil(clip.bottom())) - 1));
    const int left = std::max(std::min(xEdges.front(), xEdges.back()), clipPixels.left());
    const int right = std::min(std::max(xEdges.front(), xEdges.back()), clipPixels.right() + 1);
    const int top = std::max(std::min(yEdges.front(), yEdges.back()), clipPixels.top());
    const int bottom = std::min(std::max(yEdges.front(), yEdges.back()), clipPixels.bottom() + 1);
    if (left < right && top < bottom) {
        const int w = right - left;
        const int h = bottom - top;
        std::vector<int> xCells;
        std::vector<int> yCells;
        cellsAlong(xEdges, left, w, xCells);
        cellsAlong(yEdges, top, h, yCells);
        if (linesInRows) {
            markLines(lines.x, left, xCells);
            markLines(lines.y, top, yCells);
        }
        // Along a device row the pixels form runs, each showing one cell or a line:
        // shown_[rowStart(y) + offset] for a cell.
        const auto stride = static_cast<int>(height);
        struct Run {
            int from;
            int length;
            int offset;  // kOnLine for a line
        };
        std::vector<Run> runs;
        for (int i = 0; i < w;) {
            int end = i + 1;
            while (end < w && xCells[size_t(end)] == xCells[size_t(i)]) {
                ++end;
            }
            const int cell = xCells[size_t(i)];
            runs.push_back(
                {i, end - i, cell == kOnLine ? kOnLine : (columnsAlongX ? cell * stride : cell)});
            i = end;
        }
        const QRgb sprite = qPremultiply(color().toQColor().rgba());
        const QRgb lineColor = qPremultiply(grey.rgba());
        const bool opaque = seeThrough_ == 0 || qAlpha(sprite) == 255;
        const QImage::Format format =
            opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
        if (band_.format() != format || band_.width() < w || band_.height() < kBandRows) {
            band_ = QImage(std::max(w, band_.width()), kBandRows, format);
        }
        const QRgb* shown = shown_.data();
        for (int bandTop = 0; bandTop < h; bandTop += kBandRows) {
            const int rows = std::min(kBandRows, h - bandTop);
            int previous = kNoCell;
            for (int r = 0; r < rows; ++r) {
                auto* line = reinterpret_cast<QRgb*>(band_.scanLine(r));
                const int cell = yCells[size_t(bandTop + r)];
                if (cell == previous) {
                    // Rows showing the same cells are copies.
                    std::memcpy(line, band_.constScanLine(r - 1), size_t(w) * sizeof(QRgb));
                    continue;
                }
                previous = cell;
                if (cell == kOnLine) {
                    std::fill_n(line, w, lineColor);
                    continue;
                }
                const QRgb* start = shown + (columnsAlongX ? cell : cell * stride);
                for (const Run& run : runs) {
                    QRgb value = lineColor;
                    if (run.offset != kOnLine) {
                        value = start[run.offset];
                        if (qAlpha(value) != 255) {
                            value = over(value, sprite);
                        }
                    }
                    std::fill_n(line + run.from, run.length, value);
                }
            }
            painter.drawImage(QPoint(left, top + bandTop), band_, QRect(0, 0, w, rows));
        }
    }
    if (linesInRows) {
        fillOuterGridLines(painter, lines, xEdges, yEdges, grey);
    } else {
        for (const auto& [from, to] : lines.x) {
            painter.fillRect(QRect(from, lines.reach.top(), to - from, lines.reach.height()), grey);
        }
        for (const auto& [from, to] : lines.y) {
            painter.fillRect(QRect(lines.reach.left(), from, lines.reach.width(), to - from), grey);
        }
    }
}

Canvas::GridLineSpans Canvas::gridLineSpans(const std::vector<int>& xEdges,
                                            const std::vector<int>& yEdges, double cellPixels) {
    GridLineSpans spans;
    const GridLines lines = gridLinesFor(cellPixels);
    if (lines == GridLines::hidden) {
        return spans;
    }
    // Pixels a line takes before and after its edge; an outer edge's outside differs. The
    // outline keeps each cell's own: half the line width, at least one pixel inside.
    int outside = 0;
    int inside = 1;
    if (lines == GridLines::outline) {
        const double halfPixels = Pixel::kLineWidth * cellPixels / Pixel::kSize / 2;
        outside = qRound(halfPixels);
        inside = std::max(1, qRound(halfPixels));
    }
    // A line's span before and after edge i of n: thin lines sit just inside the grid.
    const auto along = [&](std::vector<int> edges) {
        std::sort(edges.begin(), edges.end());
        std::vector<std::pair<int, int>> out;
        const size_t last = edges.size() - 1;
        for (size_t i = 0; i <= last; ++i) {
            int before = inside;
            int after = inside;
            if (lines == GridLines::thin) {
                before = i == last ? 1 : 0;
                after = i == last ? 0 : 1;
            } else if (i == 0) {
                before = outside;
            } else if (i == last) {
                after = outside;
            }
            out.emplace_back(edges[i] - before, edges[i] + after);
        }
        return out;
    };
    spans.x = along(xEdges);
    spans.y = along(yEdges);
    const int spread = lines == GridLines::outline ? outside : 0;
    const auto [xLow, xHigh] = std::minmax(xEdges.front(), xEdges.back());
    const auto [yLow, yHigh] = std::minmax(yEdges.front(), yEdges.back());
    spans.reach =
        QRect(QPoint(xLow - spread, yLow - spread), QPoint(xHigh + spread - 1, yHigh + spread - 1));
    return spans;
}

void Canvas::markLines(const std::vector<std::pair<int, int>>& spans, int first,
                       std::vector<int>& cells) {
    const int n = static_cast<int>(cells.size());
    for (const auto& [from, to] : spans) {
        for (int d = std::max(from, first); d < std::min(to, first + n); ++d) {
            cells[size_t(d - first)] = kOnLine;
        }
    }
}

void Canvas::fillOuterGridLines(QPainter& painter, const GridLineSpans& lines,
                                const std::vector<int>& xEdges, const std::vector<int>& yEdges,
                                const QColor& grey) {
    // The parts of the lines beyond the cells, a frame around them: the rows carried the rest.
    const auto [xLow, xHigh] = std::minmax(xEdges.front(), xEdges.back());
    const auto [yLow, yHigh] = std::minmax(yEdges.front(), yEdges.back());
    const QRect& reach = lines.reach;
    const QRect above(QPoint(reach.left(), reach.top()), QPoint(reach.right(), yLow - 1));
    const QRect below(QPoint(reach.left(), yHigh), QPoint(reach.right(), reach.bottom()));
    const QRect before(QPoint(reach.left(), yLow), QPoint(xLow - 1, yHigh - 1));
    const QRect after(QPoint(xHigh, yLow), QPoint(reach.right(), yHigh - 1));
    for (const QRect& part : {above, below, before, after}) {
        if (part.isValid()) {
            painter.fillRect(part, grey);
        }
    }
}

void Canvas::drawTransformed(QPainter& painter, const QTransform& toDevice) const {
    // Turning (the device rotating): the cells as one image, one pixel each, drawn through
    // the transform without smoothing, and the lines on top. Edges are not snapped here.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setTransform(toDevice, true);
    if (seeThrough_ > 0) {
        painter.fillRect(localBounds(), color().toQColor());
    }
    const QPointF origin = pixelArray_.front()->position();
    const auto columns = static_cast<int>(width);
    const auto rows = static_cast<int>(height);
    // shown_ is column-major: each image line is one column, so image x is the row.
    const QImage cells(
        reinterpret_cast<const uchar*>(shown_.data()), rows, columns, qsizetype(rows) * 4,
        seeThrough_ == 0 ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    painter.save();
    painter.setTransform(QTransform(0, Pixel::kSize, Pixel::kSize, 0, origin.x(), origin.y()),
                         true);
    painter.drawImage(QPointF(0, 0), cells);
    painter.restore();

    const double cellPixels = std::hypot(toDevice.m11(), toDevice.m12()) * Pixel::kSize;
    const GridLines lines = gridLinesFor(cellPixels);
    if (lines != GridLines::hidden) {
        const double lineWidth =
            lines == GridLines::outline ? Pixel::kLineWidth : Pixel::kSize / cellPixels;
        const double half = lineWidth / 2;
        const QColor grey = pixelArray_.front()->strokeColor().toQColor();
        const double w = double(columns) * Pixel::kSize;
        const double h = double(rows) * Pixel::kSize;
        for (int i = 0; i <= columns; ++i) {
            painter.fillRect(QRectF(origin.x() + Pixel::kSize * i - half, origin.y() - half,
                                    lineWidth, h + lineWidth),
                             grey);
        }
        for (int i = 0; i <= rows; ++i) {
            painter.fillRect(QRectF(origin.x() - half, origin.y() + Pixel::kSize * i - half,
                                    w + lineWidth, lineWidth),
                             grey);
        }
    }
    painter.restore();
}
