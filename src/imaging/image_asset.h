#pragma once

#include <QIcon>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;
class QRectF;

// Image assets looked up by name ("bg_main", "ic_undo", ...). The artwork is SVG in the
// app's resources, so it renders crisp at any size and display scale.
class ImageAsset {
public:
    ImageAsset() = delete;

    static QStringList names();
    static bool exists(const QString& name);
    static QString resourcePath(const QString& name);

    static QIcon icon(const QString& name);
    // The asset rendered into an image of pixelSize, stretched to fill it.
    static QImage image(const QString& name, const QSize& pixelSize);
    // The asset's natural size in points; empty when the asset is missing.
    static QSizeF naturalSize(const QString& name);
    // Draws the asset scaled to fill target, keeping its aspect ratio and cropping the rest.
    static void drawAspectFill(QPainter& painter, const QString& name, const QRectF& target);
};
