#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

#include "imaging/grid_recovery.h"
#include "platform/color.h"

class QMimeData;

// Opens a picture file, bytes or a clipboard's picture as the cells of a new drawing. Every way
// in takes the photo loader's guards (what is not a picture, damaged, or declares an enormous
// size is refused with a sentence users can read); files are read only when they are regular
// files no larger than kMaxFileBytes, and never in a way that waits on a pipe or a device.
// Safe to call from any thread.
class PictureOpener {
public:
    PictureOpener() = delete;

    struct Options {
        // The longer side of a picture that is reduced rather than recovered.
        int gridSide = 20;
        int maxColors = GridRecovery::kDefaultPaletteSize;
    };

    struct Result {
        PictureCells cells;
        QString error;  // empty on success
        bool ok() const { return error.isEmpty() && !cells.isEmpty(); }
    };

    static constexpr qint64 kMaxFileBytes = qint64(256) * 1024 * 1024;

    static Result openFile(const QString& path, const Options& options);
    static Result openData(const QByteArray& bytes, const QString& name, const Options& options);
    // A picture already decoded (one the clipboard held in memory): the same size limits.
    static Result openImage(const QImage& image, const Options& options);
    // A blocky picture made here (the pixelation screen's preview): one cell per block when
    // it has at most GridRecovery::kMaxCells a side, else reduced to that many; then at most
    // maxColors colours.
    static Result openPixelated(const QImage& picture, int maxColors);
    // The clipboard's picture: encoded bytes first (PNG, then the other formats), a local file
    // it names next, a decoded picture last.
    static Result openMimeData(const QMimeData* data, const Options& options);

    // The cells in a canvas's order (column by column, each from the bottom row up), as
    // colours that export back to the same bytes.
    static std::vector<Color> canvasColors(const PictureCells& cells);

    // The file's bytes when it is a regular file that may be read; otherwise the reason.
    static QByteArray readRegularFile(const QString& path, QString* error);
};
