#include "imaging/image_asset.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

QStringList ImageAsset::names() {
    // Whatever the build bundled: a new icon needs no second list to be kept in step.
    QStringList names;
    const QStringList files = QDir(QStringLiteral(":/assets"))
                                  .entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        names.append(file.chopped(4));
    }
    return names;
}

QString ImageAsset::resourcePath(const QString& name) {
    return QStringLiteral(":/assets/%1.svg").arg(name);
}

bool ImageAsset::exists(const QString& name) {
    return QFile::exists(resourcePath(name));
}

QIcon ImageAsset::icon(const QString& name) {
    if (!exists(name)) {
        return {};
    }
    // One icon per asset for the run: the pixmaps an icon renders are cached under that icon,
    // so a new icon for every editor opened would fill the pixmap cache with copies.
    static QHash<QString, QIcon> icons;
    auto found = icons.find(name);
    if (found == icons.end()) {
        found = icons.insert(name, QIcon(resourcePath(name)));
    }
    return *found;
}

QImage ImageAsset::image(const QString& name, const QSize& pixelSize) {
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid() || pixelSize.isEmpty()) {
        return {};
    }
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixelSize)));
    return image;
}

QSizeF ImageAsset::naturalSize(const QString& name) {
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid()) {
        return {};
    }
    return renderer.viewBoxF().size();
}

void ImageAsset::drawAspectFill(QPainter& painter, const QString& name, const QRectF& target) {
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid() || target.isEmpty()) {
        return;
    }
    const QSizeF natural = renderer.viewBoxF().size();
    if (natural.isEmpty()) {
        return;
    }
    const QSizeF filled = natural.scaled(target.size(), Qt::KeepAspectRatioByExpanding);
    const QRectF drawn(target.center() - QPointF(filled.width() / 2, filled.height() / 2), filled);
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    renderer.render(&painter, drawn);
    painter.restore();
}
