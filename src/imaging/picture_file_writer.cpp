#include "imaging/picture_file_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QUuid>

#include "imaging/png_encoder.h"

namespace {
QString quoted(const QString& text) {
    return QStringLiteral("\u201C%1\u201D").arg(QDir::toNativeSeparators(text));
}

QString folderError(const QString& folder) {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        return QStringLiteral("%1 is a file, not a folder.").arg(quoted(folder));
    }
    if (!info.exists()) {
        return QStringLiteral("The folder %1 could not be created.").arg(quoted(folder));
    }
    return QStringLiteral("The folder %1 can\u2019t be written to.").arg(quoted(folder));
}
}  // namespace

QByteArray PictureFileWriter::encodePng(const QImage& image) {
    return PngEncoder::encode(image);
}

QString PictureFileWriter::fileName(const QDateTime& when, int n) {
    QString name =
        QStringLiteral("Tilebloom ") + when.toString(QStringLiteral("yyyy-MM-dd 'at' HH.mm.ss"));
    if (n > 1) {
        name += QStringLiteral(" (%1)").arg(n);
    }
    return name + QStringLiteral(".png");
}

PictureFileWriter::Result PictureFileWriter::writeNew(const QImage& image, const QString& folder,
                                                      const QDateTime& when) {
    Result result;
    const QByteArray png = encodePng(image);
    if (png.isEmpty()) {
        result.error = QStringLiteral("The picture could not be turned into a PNG file.");
        return result;
    }
    QDir dir(folder);
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        result.error = folderError(folder);
        return result;
    }
    // Write under a hidden name first and move the complete file into place, so that a
    // failure halfway never leaves a broken picture behind.
    const QString partPath =
        dir.filePath(QStringLiteral(".tilebloom-%1.part")
                         .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    QFile part(partPath);
    if (!part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        result.error = folderError(folder);
        return result;
    }
    const bool written = part.write(png) == png.size() && part.flush();
    const QString writeError = part.errorString();
    part.close();
    if (!written || part.error() != QFileDevice::NoError) {
        QFile::remove(partPath);
        result.error = QStringLiteral("The picture could not be written into %1: %2.")
                           .arg(quoted(folder), writeError);
        return result;
    }
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        const QString target = dir.filePath(fileName(when, n));
        if (QFileInfo::exists(target)) {
            continue;
        }
        // rename refuses to replace an existing file, so a file that appears meanwhile
        // is kept and the next name is tried.
        if (QFile::rename(partPath, target)) {
            result.path = target;
            return result;
        }
    }
    QFile::remove(partPath);
    result.error = QStringLiteral("No free file name was found in %1.").arg(quoted(folder));
    return result;
}

PictureFileWriter::Result PictureFileWriter::writeTo(const QImage& image, const QString& path) {
    Result result;
    const QByteArray png = encodePng(image);
    if (png.isEmpty()) {
        result.error = QStringLiteral("The picture could not be turned into a PNG file.");
        return result;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        result.error = QStringLiteral("The folder %1 does not exist.").arg(quoted(folder));
        return result;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("%1 can\u2019t be written: %2.")
                           .arg(quoted(QFileInfo(path).fileName()), file.errorString());
        return result;
    }
    if (file.write(png) != png.size() || !file.commit()) {
        result.error = QStringLiteral("%1 could not be written: %2.")
                           .arg(quoted(QFileInfo(path).fileName()), file.errorString());
        return result;
    }
    result.path = path;
    return result;
}
