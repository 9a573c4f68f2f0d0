#pragma once

#include <QImage>
#include <QRgb>
#include <QString>
#include <optional>
#include <vector>

// Cells recovered from a picture: opaque colours, row by row from the top, as the picture
// shows them.
struct PictureCells {
    int width = 0;
    int height = 0;
    std::vector<QRgb> cells;
    // Blocks found and read back exactly; false when the picture was reduced.
    bool exact = false;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    QRgb at(int x, int y) const { return cells[size_t(y) * size_t(width) + size_t(x)]; }
};

// Turns a picture back into cells. An enlarged pixel picture (blocks of one colour, possibly
// uneven by a pixel, as nearest-neighbour enlarging makes them) gives its cells exactly;
// anything else is reduced to a grid and a small palette. Pure: no files, no screens; safe on
// any thread.
namespace GridRecovery {

// The most cells a side a drawing may have.
inline constexpr int kMaxCells = 256;
// The picture text the app's own exports carry, "WxH" in cells; the picture exporter writes
// the same key.
inline constexpr char kGridTextKey[] = "Tilebloom grid";

// The cell each of n pixels shows when `cells` cells are enlarged to n pixels by nearest
// neighbour (pixel i takes cell floor((2i + 1) * cells / 2n)), as the picture exporter does.
int nearestCell(int pixel, int pixels, int cells);

// The picture's own blocks, when it is an enlarged pixel picture with at most maxCells a side:
// first the grid its text declares (kept only when every pixel agrees with it), then the
// coarsest grid whose lines hold every colour change. A picture that is not enlarged on
// either side counts only when it has at most 256 colours. Transparent pixels lie over white.
std::optional<PictureCells> findBlocks(const QImage& picture, int maxCells = kMaxCells);

// The picture reduced to at most gridSide cells on its longer side (aspect kept, at least one
// cell a side) by averaging in linear light, then to at most maxColors colours.
PictureCells reduce(const QImage& picture, int gridSide, int maxColors);

// findBlocks, and reduce when there are no blocks.
PictureCells recover(const QImage& picture, int gridSide, int maxColors);

// The cells' colours replaced by at most maxColors colours chosen in OKLab (median cut refined
// by k-means), each cell taking the nearest; no dithering. Fewer colours stay as they are.
void reducePalette(std::vector<QRgb>& cells, int maxColors);

// The palette sizes users choose from, and the one taken when none was chosen.
inline constexpr int kPaletteSizes[] = {8, 16, 32, 64};
inline constexpr int kDefaultPaletteSize = 32;

// Perceptual distance between two opaque colours: Euclidean in OKLab, scaled so that black to
// white is 100.
double perceptualDistance(QRgb a, QRgb b);

}  // namespace GridRecovery
