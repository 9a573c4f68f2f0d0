#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

// Writes pictures as PNG files. Every PNG the platform layer writes is encoded by
// encodePng, so the encoder can be swapped in one place.
class PictureFileWriter {
public:
    PictureFileWriter() = delete;

    struct Result {
        QString path;   // the file written
        QString error;  // why nothing was written, readable by users
        bool ok() const { return error.isEmpty() && !path.isEmpty(); }
    };

    // The PNG bytes of image; empty when it cannot be encoded.
    static QByteArray encodePng(const QImage& image);

    // "Tilebloom 2024-05-01 at 14.03.22.png", with " (n)" before the suffix for n > 1.
    static QString fileName(const QDateTime& when, int n = 1);

    // Writes image into folder (made when missing) under a new time-stamped name. Never
    // replaces an existing file, and never leaves a half-written file under that name.
    static Result writeNew(const QImage& image, const QString& folder,
                           const QDateTime& when = QDateTime::currentDateTime());

    // Writes image to path, replacing what is there only once the new file is complete
    // (the user chose the path and agreed to replace it).
    static Result writeTo(const QImage& image, const QString& path);

    // How many names writeNew tries before giving up.
    static constexpr int kMaxNameAttempts = 1000;
};
