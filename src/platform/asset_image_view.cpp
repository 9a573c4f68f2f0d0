#include "platform/asset_image_view.h"

#include <QPainter>

#include "platform/image_asset.h"

AssetImageView::AssetImageView(const QString& assetName, QWidget* parent)
    : QWidget(parent), assetName_(assetName) {
    // Decoration only: touches go to whatever lies on top or pass to the screen.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void AssetImageView::setAssetName(const QString& name) {
    if (name != assetName_) {
        assetName_ = name;
        rendered_ = {};
        update();
    }
}

void AssetImageView::paintEvent(QPaintEvent*) {
    const qreal scale = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * scale).toSize();
    if (rendered_.size() != pixels || rendered_.devicePixelRatio() != scale) {
        rendered_ = QPixmap(pixels);
        rendered_.setDevicePixelRatio(scale);
        rendered_.fill(Qt::transparent);
        QPainter painter(&rendered_);
        ImageAsset::drawAspectFill(painter, assetName_, QRectF(QPointF(0, 0), QSizeF(size())));
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, rendered_);
}
