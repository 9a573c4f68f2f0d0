#include "widgets/asset_image_view.h"

#include <QEvent>
#include <QPainter>
#include <QPixmapCache>

#include "imaging/image_asset.h"
#include "platform/screen_metrics.h"

namespace {
// Room for a few screen-sized backgrounds on the largest screens.
constexpr int kCacheKilobytes = 64 * 1024;
}  // namespace

AssetImageView::AssetImageView(const QString& assetName, QWidget* parent)
    : QWidget(parent), assetName_(assetName) {
    // Decoration only: touches go to whatever lies on top or pass to the screen.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

AssetImageView* AssetImageView::screenBackground(const QString& assetName, QWidget* screen) {
    const ScreenMetrics& metrics = ScreenMetrics::main();
    auto* view = new AssetImageView(assetName, screen);
    view->setObjectName(QStringLiteral("backgroundView"));
    // A screen not laid out yet has no size of its own; it takes the screen's when it does.
    if (screen->testAttribute(Qt::WA_Resized)) {
        view->setGeometry(screen->rect());
    } else {
        view->setGeometry(0, 0, static_cast<int>(metrics.width), static_cast<int>(metrics.height));
    }
    screen->installEventFilter(view);
    view->lower();
    view->show();
    return view;
}

bool AssetImageView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == parent()) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
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
        // Screens share their backgrounds: drawing a full-screen picture from its vector
        // source costs more than everything else a new screen does before it shows.
        const QString key = QStringLiteral("AssetImageView:%1:%2x%3@%4")
                                .arg(assetName_)
                                .arg(pixels.width())
                                .arg(pixels.height())
                                .arg(scale);
        // The cache's own limit is too small for a full-screen picture at scale 3.
        if (QPixmapCache::cacheLimit() < kCacheKilobytes) {
            QPixmapCache::setCacheLimit(kCacheKilobytes);
        }
        if (!QPixmapCache::find(key, &rendered_)) {
            rendered_ = QPixmap(pixels);
            rendered_.setDevicePixelRatio(scale);
            rendered_.fill(Qt::transparent);
            QPainter painter(&rendered_);
            ImageAsset::drawAspectFill(painter, assetName_, QRectF(QPointF(0, 0), QSizeF(size())));
            painter.end();
            QPixmapCache::insert(key, rendered_);
        }
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, rendered_);
}
