#pragma once

#include <QColorSpace>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "export/raw_pixel.h"
#include "platform/color.h"

// Turns the cell colours of one drawing into a bitmap: packs every colour into a RawPixel,
// wraps them as a one-pixel-per-cell image, turns it a quarter so that it stands as the grid
// does on screen, and enlarges it without smoothing to a size in points at the display scale.
//
// An exporter is a snapshot: it converts the colours once, when it is built; exporting never
// changes it, so it can be asked again. Build a new one to export newer colours.
class PictureExporter {
public:
    // Colour components as whole numbers in 0...255.
    struct Components {
        int red = 0;
        int green = 0;
        int blue = 0;
        int alpha = 0;
        bool operator==(const Components&) const = default;
    };

    // Bitmap info 1: alpha last and premultiplied, bytes R, G, B, A in memory, which is
    // QImage::Format_RGBA8888_Premultiplied.
    static constexpr uint32_t kPremultipliedLast = 1;
    // The side of the biggest image exportImage makes, in pixels (a 1000-point share at
    // scale 3 is 3000); anything larger is refused rather than tried.
    static constexpr int64_t kMaximumSide = 32767;
    static constexpr int64_t kMaximumPixels = int64_t(1) << 28;

    // colors lists the cells column by column, each column from the bottom row up.
    PictureExporter(const std::vector<Color>& colors, int64_t width, int64_t height);

    // The converted cells in input order; shorter than the colours when some had no RGB form.
    const std::vector<RawPixel>& rawPixelArray() const { return rawPixelArray_; }
    const int64_t canvasWidth;
    const int64_t canvasHeight;
    // The colour space the cell bytes are read in and the image is tagged with.
    const QColorSpace rgbColorSpace;
    const uint32_t bitmapInfo = kPremultipliedLast;

    // Appends one RawPixel per colour that has an RGB form; prints a line for each that has
    // none and goes on.
    void convertToRawPixels(const std::vector<Color>& colors);

    // The picture at width x height points, width x s by height x s pixels for the main
    // screen's scale s (the image's devicePixelRatio), every pixel opaque (Format_RGB32).
    // Nothing when it cannot be made (a short cell buffer, a size of zero or less or beyond
    // kMaximumSide / kMaximumPixels); a failure of the first two steps prints its line.
    // progress hears 0.25, 0.5, 0.75 and 1.0 as the steps complete.
    std::optional<QImage> exportImage(int64_t width, int64_t height,
                                      const std::function<void(double)>& progress = {}) const;

    // The size in points of a picture whose longer side is longSide and whose cells are
    // square: a 96 x 40 grid in 1000 points is 1000 x 417. Nothing for an empty grid or a
    // side of zero or less.
    std::optional<QSize> squareCellSize(int64_t longSide) const;

    // The picture with longSide points on the grid's longer side and the shorter side in
    // proportion, as exportImage makes it otherwise. Sized in pixels, not points, so that
    // every block is within a pixel of every other, across and down, at any screen scale
    // (squareCellSize's whole points, scaled, can be off by a pixel and a half). A square
    // grid gives exportImage(longSide, longSide). Nothing for an empty grid or a side of zero
    // or less.
    std::optional<QImage> exportSquareCells(int64_t longSide,
                                            const std::function<void(double)>& progress = {}) const;

    // Each component times 255, truncated toward zero; nothing for a colour without RGB form.
    // Components outside 0...1 are clamped into it and ones that are not finite read as 0,
    // as when the canvas paints the colour, so the picture matches the screen.
    static std::optional<Components> rgbaComponents(const Color& color);

    // The image turned by angle radians (negative turns counter-clockwise on screen) onto a
    // transparent canvas the size of its bounding box. Quarter turns are exact permutations of
    // the pixels and keep the format; other angles are drawn smoothly. Nothing for a null image
    // or when no canvas can be had.
    static std::optional<QImage> rotatedImage(const QImage& image, double angle);

    // One cell as the picture shows it: premultiplied bytes over the red background that shows
    // through cells that are not fully opaque.
    static QRgb opaqueColor(const RawPixel& cell) {
        const int red = std::min(255, cell.r + 255 * (255 - cell.a) / 255);
        return qRgb(red, cell.g, cell.b);
    }
    // The text exported pictures carry so that opening one gives back its grid exactly, even
    // where neighbouring cells share a colour: "WxH" in cells under "Tilebloom grid".
    static void tagGrid(QImage& picture, int64_t width, int64_t height);

    // The readable description of the error a colour without RGB form raises.
    static QString conversionErrorDescription();

private:
    // The picture's size in pixels at a screen scale; nothing when it cannot be made.
    using PixelSize = std::function<std::optional<QSize>(double scale)>;
    std::optional<QImage> render(const PixelSize& pixels,
                                 const std::function<void(double)>& progress) const;

    std::vector<RawPixel> rawPixelArray_;
};
