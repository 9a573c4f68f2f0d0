#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QWidget>

// With TILEBLOOM_SCREENSHOT_DIR set, the screen tests leave a picture of each screen there, so
// that a person can look at what users will see.
inline void saveScreenshotIfAsked(QWidget& widget, const QString& name) {
    const QString folder = qEnvironmentVariable("TILEBLOOM_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        return;
    }
    // Let pending layouts settle first.
    QCoreApplication::processEvents();
    QDir().mkpath(folder);
    widget.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")), "PNG");
}
