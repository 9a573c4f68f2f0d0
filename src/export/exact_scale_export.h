#pragma once

#include <QImage>
#include <cstdint>
#include <optional>

class PictureExporter;

// Pictures whose blocks are all the same size: every cell becomes scale x scale pixels, for
// files that other pixel editors and scaling tools read back without guessing.
namespace ExactScaleExport {

// No side of an exact-scale picture is larger than this.
inline constexpr int64_t kMaxSide = 8192;

// How many pixels a picture may have for the app to open it again: what Qt's image
// allocation limit lets a decoder fill at four bytes a pixel.
int64_t openablePixels();

// The largest whole scale that keeps a width x height grid within kMaxSide pixels a side and
// within maxPixels in all; 0 when even one pixel a cell does not fit or the grid is empty.
int largestScale(int64_t width, int64_t height, int64_t maxPixels = openablePixels());

// The exporter's cells at scale pixels each, opaque, laid out as the 1000-point picture shows
// them (cells that are not fully opaque lie over the same background), tagged with the grid
// size as that picture is. Nothing for a scale outside 1...largestScale or a short cell buffer.
std::optional<QImage> exportAtScale(const PictureExporter& exporter, int scale);

}  // namespace ExactScaleExport
