#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/color.h"
#include "scene/shape_node.h"
#include "scene/sprite_node.h"

class Pixel;

// The picture being edited: a sprite carrying one Pixel per grid position. Cells are kept
// column-major: the cell in column x and row y (from the bottom) is pixelArray[x * height + y].
//
// The cells are the model the tools and the history work on; the canvas draws them itself,
// from one colour per cell kept up to date as cells change, with the lines between them on
// top: drawing 65,536 cells one node at a time would take many frames' worth of time.
class Canvas : public SpriteNode, private FillObserver {
public:
    // How the lines between cells are drawn, by how many device pixels a cell spans: as each
    // cell's outline (10 of its 300 units, at least a pixel on each side of an edge), one
    // pixel wide, or not at all once they would cover much of a cell.
    enum class GridLines { outline, thin, hidden };
    static constexpr double kThinLinesBelowPixels = 12;
    static constexpr double kNoLinesBelowPixels = 5;
    static GridLines gridLinesFor(double cellDevicePixels);

    // A blank canvas: every cell white.
    Canvas(int64_t width, int64_t height);
    // A canvas showing a colour list in cell order.
    Canvas(const std::vector<Color>& colors, int64_t width, int64_t height);
    ~Canvas() override;

    const int64_t width;
    const int64_t height;
    // Non-owning: the cells are the canvas's children, which own them.
    const std::vector<Pixel*>& pixelArray() const { return pixelArray_; }

    // Appends width x height cells; gives them the list's colours when one is passed.
    void setupPixels(const std::vector<Color>* colors);
    // Inline: the flood fill looks up every neighbour of every cell it fills.
    Pixel* getPixel(int64_t x, int64_t y) const {
        if (x < 0 || x >= width || y < 0 || y >= height) {
            return nullptr;
        }
        const auto index = static_cast<size_t>(x * height + y);
        return index < pixelArray_.size() ? pixelArray_[index] : nullptr;
    }
    std::vector<Color> getColorArray() const;
    // Every cell's colour in pixelArray order, kept as the cells change: what a fill searches
    // through without visiting the cells themselves.
    const std::vector<Color>& colors() const { return colors_; }
    // What the cell at index shows on screen, opaque: a see-through cell over the canvas's
    // own colour, and that over backdrop where it too lets light through.
    QRgb shownOver(size_t index, QRgb backdrop) const;
    // The cells whose squares hold a point given in the canvas's own coordinates, in the
    // order the scene's hit test lists them; found from the grid rather than by testing
    // every cell, since the cells never move after set-up.
    std::vector<Pixel*> pixelsAt(QPointF point) const;
    // Index of a cell in pixelArray, by identity; nothing for a foreign cell.
    std::optional<int64_t> indexOf(const Pixel* pixel) const;

    // The sprite, the cells and the grid lines; the cells are not visited one by one.
    void drawTree(QPainter& painter, const QTransform& parentToDevice,
                  const QRectF& clip) const override;
    // The cells under the point from the grid, then the canvas itself.
    void collectNodesAt(QPointF pointInParent, std::vector<Node*>& found) override;
    // The cells recoloured since the scene last asked, as one rectangle.
    QRectF takeChangedSceneRect() override;

private:
    // A cell's colour changed: what it shows, and the record of what to redraw.
    void fillColorChanged(const ShapeNode& cell, uint32_t index) override;
    // Inline: a fill or an undo asks for every cell it recolours, mostly the same colour.
    QRgb shownColor(const Color& color) {
        if (!(color == lastColor_)) {
            lastColor_ = color;
            lastShown_ = premultiplied(color);
        }
        return lastShown_;
    }
    static QRgb premultiplied(const Color& color);
    void drawAxisAligned(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const;
    void drawTransformed(QPainter& painter, const QTransform& toDevice) const;
    // The device pixels the lines between cells take: spans across x for the lines down the
    // grid and across y for those along it, each line reaching over the whole grid; none when
    // the lines are hidden.
    struct GridLineSpans {
        std::vector<std::pair<int, int>> x;
        std::vector<std::pair<int, int>> y;
        QRect reach;
    };
    static GridLineSpans gridLineSpans(const std::vector<int>& xEdges,
                                       const std::vector<int>& yEdges, double cellPixels);
    // Marks the pixels first, first + 1, ... that lie on a line as kOnLine.
    static void markLines(const std::vector<std::pair<int, int>>& spans, int first,
                          std::vector<int>& cells);
    static void fillOuterGridLines(QPainter& painter, const GridLineSpans& lines,
                                   const std::vector<int>& xEdges, const std::vector<int>& yEdges,
                                   const QColor& grey);
    // Cell numbers along a device row or column that are not cells.
    static constexpr int kOnLine = -2;
    static constexpr int kNoCell = -3;

    std::vector<Pixel*> pixelArray_;
    std::vector<Color> colors_;
    // Where the first cell stands; the others follow at 300-unit steps.
    QPointF origin_;
    // What each cell shows, in pixelArray order: its colour premultiplied, as ARGB32.
    std::vector<QRgb> shown_;
    // How many of them are not opaque: the sprite shows through those.
    int64_t seeThrough_ = 0;
    // The last colour converted: fills and undos give hundreds of cells the same colour.
    Color lastColor_;  // opaque black
    QRgb lastShown_ = qRgb(0, 0, 0);
    // The columns and rows of the cells recoloured since the scene last asked, inclusive: a
    // fill recolours thousands, and the scene hears of them once.
    struct CellRange {
        int64_t left = 0;
        int64_t right = 0;
        int64_t bottom = 0;
        int64_t top = 0;
    };
    std::optional<CellRange> changed_;
    // A band of device rows being put together before it is drawn.
    mutable QImage band_;
};
