#include "platform/app_paths.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString overrideDirectory() {
    return qEnvironmentVariable("TILEBLOOM_DATA_DIR");
}

QString ensured(const QString& path) {
    QDir().mkpath(path);
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
