#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

// Writes pictures as PNG files. Every PNG the platform layer writes is encoded by
// encodePng, so the encoder can be swapped in one place.
//
// The folders written to may hold files placed by others (a synced or unpacked folder), so
// a picture is written completely under a hidden name of its own, made fresh and never
// through a link, flushed to the disk and only then given its final name by an operation
// that neither follows nor replaces what is already there.
class PictureFileWriter {
public:
    PictureFileWriter() = delete;

    struct Result {
        QString path;   // the file written
        QString error;  // why nothing was written, readable by users
        bool ok() const { return error.isEmpty() && !path.isEmpty(); }
    };

    // Who may read a new file: what the user's umask allows (pictures they export), or only
    // the user (the app's own copies).
    enum class Access {
        userUmask,
        ownerOnly,
    };

    // The PNG bytes of image; empty when it cannot be encoded.
    static QByteArray encodePng(const QImage& image);

    // "Tilebloom 2024-05-01 at 14.03.22.png", with " (n)" before the suffix for n > 1.
    static QString fileName(const QDateTime& when, int n = 1);

    // Writes image into folder (made when missing) under a new time-stamped name. Never
    // replaces or writes through anything already there (a file, a folder, a link, even a
    // dangling one: the next name is taken), and never leaves a half-written file under that
    // name. The folder itself must not be a link.
    static Result writeNew(const QImage& image, const QString& folder,
                           const QDateTime& when = QDateTime::currentDateTime(),
                           Access access = Access::userUmask);

    // Writes image to path, replacing what is there only once the new file is complete
    // (the user chose the path and agreed to replace it). A link at path is replaced by the
    // picture, never written through; a file's permissions are kept.
    static Result writeTo(const QImage& image, const QString& path);

    // How many names writeNew tries before giving up.
    static constexpr int kMaxNameAttempts = 1000;
};
