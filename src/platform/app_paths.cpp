#include "platform/app_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/private_files.h"

namespace {
QString overrideDirectory() {
    return qEnvironmentVariable("TILEBLOOM_DATA_DIR");
}

// A folder that cannot be made is reported by whoever opens a file in it (the store says
// so on its console line; the settings then start with the defaults).
QString ensured(const QString& path) {
    PrivateFiles::makeFolder(path);
    return path;
}
}  // namespace

QString AppPaths::dataDirectory() {
    const QString custom = overrideDirectory();
    if (!custom.isEmpty()) {
        return ensured(custom);
    }
    return ensured(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString AppPaths::settingsFile() {
    const QString custom = overrideDirectory();
    const QString dir = custom.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                            : custom;
    return ensured(dir) + QStringLiteral("/settings.ini");
}

QString AppPaths::viewerDirectory() {
    const QString custom = overrideDirectory();
    if (!custom.isEmpty()) {
        return QDir(custom).filePath(QStringLiteral("Viewer"));
    }
    // The runtime folder is the user's own and emptied at log-out, which suits copies that
    // only live while a viewer shows them.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir()) {
        return QDir(runtime).filePath(QStringLiteral("tilebloom-viewer"));
    }
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("Viewer"));
}
