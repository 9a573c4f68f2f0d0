#include "pixelate/photo_view.h"

#include <QPainter>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

#include "platform/animation.h"

namespace {

QSize deviceSizeOf(const QWidget* widget) {
    const qreal ratio = widget->devicePixelRatioF();
    return QSize(static_cast<int>(std::ceil(widget->width() * ratio)),
                 static_cast<int>(std::ceil(widget->height() * ratio)));
}

}  // namespace

PhotoView::PhotoView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

PhotoView::~PhotoView() = default;

void PhotoView::setImage(const QImage& image, InterpolationQuality quality) {
    if (!image.isNull() && image.cacheKey() == image_.cacheKey() && quality == quality_) {
        return;
    }
    stopTransition();
    image_ = image;
    quality_ = quality;
    frame_ = renderFrame(image_);
    update();
    emit imageChanged();
}

void PhotoView::transition(const QImage& image, double seconds, InterpolationQuality quality) {
    if (!Animation::enabled() || seconds <= 0 || !isVisible()) {
        setImage(image, quality);
        return;
    }
    // Start from exactly what is on screen, even in the middle of another cross-dissolve.
    QImage from = composedFrame();
    stopTransition();
    previousFrame_ = std::move(from);
    image_ = image;
    quality_ = quality;
    frame_ = renderFrame(image_);
    progress_ = 0;

    fade_ = new QVariantAnimation(this);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    fade_->setDuration(static_cast<int>(seconds * 1000));
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        progress_ = value.toDouble();
        update();
    });
    connect(fade_, &QVariantAnimation::finished, this, [this] { stopTransition(); });
    fade_->start(QAbstractAnimation::DeleteWhenStopped);
    update();
    emit imageChanged();
}

bool PhotoView::isTransitioning() const {
    return fade_ != nullptr;
}

void PhotoView::stopTransition() {
    if (fade_) {
        QVariantAnimation* fade = fade_;
        fade_ = nullptr;
        fade->disconnect(this);
        fade->stop();  // deletes itself
    }
    previousFrame_ = QImage();
    progress_ = 1;
    update();
}

void PhotoView::setAspectFill(bool fill) {
    aspectFill_ = fill;
    frame_ = renderFrame(image_);
    update();
}

void PhotoView::setSoft(bool soft) {
    soft_ = soft;
    frame_ = renderFrame(image_);
    update();
}

void PhotoView::setDimming(double dimming) {
    dimming_ = std::clamp(dimming, 0.0, 1.0);
    update();
}

void PhotoView::setPlaceholderText(const QString& text) {
    placeholderText_ = text;
    update();
}

QRectF PhotoView::imageRect() const {
    if (image_.isNull() || width() <= 0 || height() <= 0) {
        return {};
    }
    const QSizeF picture = image_.deviceIndependentSize();
    const QSizeF bounds = size();
    const QSizeF drawn =
        picture.scaled(bounds, aspectFill_ ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio);
    return QRectF(
        QPointF((bounds.width() - drawn.width()) / 2, (bounds.height() - drawn.height()) / 2),
        drawn);
}

QImage PhotoView::renderFrame(const QImage& image) const {
    const QSize deviceSize = deviceSizeOf(this);
    if (image.isNull() || deviceSize.isEmpty()) {
        return {};
    }
    const qreal ratio = devicePixelRatioF();
    QImage frame(deviceSize, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);

    // On whole device pixels: an offset of a fraction would blend every pixel with its
    // neighbour when drawn.
    const QRectF rect = imageRect();
    const QRect targetPixels(qRound(rect.left() * ratio), qRound(rect.top() * ratio),
                             std::max(1, qRound(rect.width() * ratio)),
                             std::max(1, qRound(rect.height() * ratio)));
    // Smooth scaling is fast on these two formats and several times slower on the others.
    QImage source = image;
    if (source.format() != QImage::Format_RGB32 &&
        source.format() != QImage::Format_ARGB32_Premultiplied) {
        source.convertTo(QImage::Format_ARGB32_Premultiplied);
    }
    if (soft_) {
        // Averaging down to a few dozen pixels and smoothing back up reads as a wide blur.
        const QSize tiny = source.size().scaled(24, 24, Qt::KeepAspectRatioByExpanding);
        source = source.scaled(tiny, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // Nearest neighbour gives every device pixel the colour of one source pixel, so blocks keep
    // their edges even when their size does not divide the view's.
    const bool crisp = quality_ == InterpolationQuality::none && !soft_;
    QImage scaled = source.scaled(targetPixels.size(), Qt::IgnoreAspectRatio,
                                  crisp ? Qt::FastTransformation : Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(1);
    {
        QPainter painter(&frame);  // in device pixels until the ratio is set below
        painter.drawImage(targetPixels.topLeft(), scaled);
    }
    frame.setDevicePixelRatio(ratio);
    return frame;
}

QImage PhotoView::composedFrame() {
    if (!fade_ || previousFrame_.isNull()) {
        return frame_;
    }
    QImage layer(deviceSizeOf(this), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    layer.setDevicePixelRatio(devicePixelRatioF());
    QPainter painter(&layer);
    painter.setOpacity(1 - progress_);
    painter.drawImage(QPointF(0, 0), previousFrame_);
    if (!frame_.isNull()) {
        // Adding the two weighted frames keeps full opacity where both have a picture.
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
        painter.setOpacity(progress_);
        painter.drawImage(QPointF(0, 0), frame_);
    }
    return layer;
}

void PhotoView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stopTransition();
    frame_ = renderFrame(image_);
}

void PhotoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!frame_.isNull() && frame_.size() != deviceSizeOf(this)) {
        frame_ = renderFrame(image_);  // the device pixel ratio changed
    }
    const QImage shown = composedFrame();
    if (!shown.isNull()) {
        painter.drawImage(QPointF(0, 0), shown);
    } else if (!placeholderText_.isEmpty()) {
        painter.setPen(QColor(255, 255, 255, 150));
        QFont font = painter.font();
        font.setPointSizeF(font.pointSizeF() * 1.15);
        painter.setFont(font);
        painter.drawText(rect().adjusted(24, 0, -24, 0), Qt::AlignCenter | Qt::TextWordWrap,
                         placeholderText_);
    }
    if (dimming_ > 0) {
        painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, static_cast<float>(dimming_)));
    }
}
