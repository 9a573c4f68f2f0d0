#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

// What PhotoLoader accepts.
struct PhotoLoadLimits {
    int maxSide = 12000;
    qint64 maxPixels = 100'000'000;
    // Pixels a decoded picture may have; 0 means what Qt's allocation limit allows at four
    // bytes a pixel.
    qint64 decodeBudgetPixels = 0;
};

// Decodes photos from files or bytes for the picker and every screen that opens a photo.
// It honours orientation metadata, refuses what is not a picture, is damaged or truncated,
// or declares an enormous size (checked before any pixel is decoded), and keeps Qt's
// allocation limit: a photo whose full size would not fit under it is decoded at a reduced
// size when the format can do that cheaply, and refused otherwise. Safe to call from any
// thread.
//
// Files may be hostile: only regular files are opened (a FIFO or a device is refused
// without blocking), they are read, never mapped (a file cut short meanwhile is damaged, not
// a crash), the work done on a file is bounded by the size of the picture it declares, and
// only raster formats recognised by their first bytes are decoded, whatever the file's name.
class PhotoLoader {
public:
    PhotoLoader() = delete;

    using Limits = PhotoLoadLimits;

    struct Result {
        QImage image;
        QString error;  // empty on success; a sentence users can read
        bool ok() const { return !image.isNull(); }
    };

    static Result load(const QString& path, const Limits& limits = Limits());
    // The same checks for bytes already in memory; name is used in messages.
    static Result loadData(const QByteArray& data, const QString& name = QString(),
                           const Limits& limits = Limits());
    // A small copy that covers pixelSize (aspect kept, at least as large on both sides,
    // never enlarged), decoded at that size where the format allows it.
    static Result loadThumbnail(const QString& path, const QSize& pixelSize,
                                const Limits& limits = Limits());

    // The format of a picture the loader decodes ("png", "jpeg", "gif", ...), told by its
    // first bytes; empty for anything else (SVG and other formats that can reach for other
    // files or hide a renderer among them).
    static QByteArray rasterFormat(const QByteArray& head);
};
