#include "imaging/pictures_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString PicturesFolder::location() {
    const QString custom = qEnvironmentVariable("TILEBLOOM_PICTURES_DIR");
    if (!custom.isEmpty()) {
        return QDir::cleanPath(custom);
    }
    // A run isolated from the user's data (every test run is) stays away from their
    // pictures too.
    const QString data = qEnvironmentVariable("TILEBLOOM_DATA_DIR");
    if (!data.isEmpty()) {
        return QDir::cleanPath(QDir(data).filePath(QStringLiteral("Pictures")));
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty()) {
        folder = QDir::home().filePath(QStringLiteral("Pictures"));
    }
    return QDir::cleanPath(folder);
}

QString PicturesFolder::saveFolder(const QString& picturesFolder) {
    return QDir(picturesFolder).filePath(QStringLiteral("Tilebloom"));
}

bool PicturesFolder::isUsable(const QString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    QFileInfo info(QDir::cleanPath(QDir(folder).absolutePath()));
    if (info.exists()) {
        return info.isDir() && info.isReadable();
    }
    // Walk up to the first thing that exists; the folder can be made only inside a
    // writable folder.
    QString path = info.absoluteFilePath();
    while (!QFileInfo::exists(path)) {
        const QString parent = QFileInfo(path).path();
        if (parent == path) {
            return false;
        }
        path = parent;
    }
    const QFileInfo ancestor(path);
    return ancestor.isDir() && ancestor.isWritable();
}

QString PicturesFolder::displayPath(const QString& path) {
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QStringLiteral("/") &&
        (path == home || path.startsWith(home + QLatin1Char('/')))) {
        return QStringLiteral("~") + path.mid(home.size());
    }
    return QDir::toNativeSeparators(path);
}
