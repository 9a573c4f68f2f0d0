#include "widgets/button.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

Button::Button(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoSystemBackground);
}

void Button::setImage(const QIcon& image) {
    setIcon(image);
    update();
}

void Button::setImageEdgeInsets(const QMarginsF& insets) {
    imageEdgeInsets_ = insets;
    update();
}

void Button::setBackgroundColor(const std::optional<Color>& color) {
    backgroundColor_ = color;
    invalidateShadow();
    update();
}

void Button::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    invalidateShadow();
    update();
}

void Button::setBorder(double width, const Color& color) {
    borderWidth_ = width;
    borderColor_ = color;
    update();
}

void Button::setShadow(const Color& color, double radius, double opacity, QPointF offset) {
    const QRectF keep = frame();
    shadowColor_ = color;
    shadowRadius_ = radius;
    shadowOpacity_ = opacity;
    shadowOffset_ = offset;
    invalidateShadow();
    setFrame(keep);
}

void Button::setAlpha(qreal alpha) {
    alpha_ = alpha;
    update();
}

int Button::shadowMargin() const {
    if (!shadowColor_) {
        return 0;
    }
    return static_cast<int>(std::ceil(
        shadowRadius_ * 2 + std::max(std::abs(shadowOffset_.x()), std::abs(shadowOffset_.y()))));
}

QRectF Button::localFrame() const {
    return frame_.translated(-QPointF(pos()));
}

QRectF Button::frame() const {
    return frame_;
}

void Button::setFrame(const QRectF& frame) {
    frame_ = frame;
    const int m = shadowMargin();
    placing_ = true;
    setGeometry(frame.marginsAdded(QMarginsF(m, m, m, m)).toAlignedRect());
    placing_ = false;
    update();
}

void Button::adoptGeometry() {
    if (placing_) {
        return;
    }
    const int m = shadowMargin();
    const QMarginsF margin(m, m, m, m);
    if (geometry() == frame_.marginsAdded(margin).toAlignedRect()) {
        return;  // a late event for the frame we set
    }
    // Someone else placed the widget: its frame follows.
    frame_ = QRectF(geometry()).marginsRemoved(margin);
}

void Button::moveEvent(QMoveEvent* event) {
    QAbstractButton::moveEvent(event);
    adoptGeometry();
}

void Button::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    adoptGeometry();
    invalidateShadow();
}

QPointF Button::center() const {
    return frame().center();
}

void Button::setCenter(QPointF center) {
    QRectF f = frame();
    f.moveCenter(center);
    setFrame(f);
}

void Button::setUserInteractionEnabled(bool enabled) {
    userInteractionEnabled_ = enabled;
    // Without interaction, touches fall through to whatever lies below.
    setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
}

void Button::invalidateShadow() {
    shadowCache_ = QImage();
}

bool Button::hitButton(const QPoint& pos) const {
    const QRectF f = localFrame();
    if (cornerRadius_ <= 0) {
        return f.contains(pos);
    }
    QPainterPath shape;
    shape.addRoundedRect(f, cornerRadius_, cornerRadius_);
    return shape.contains(pos);
}

void Button::paintEvent(QPaintEvent*) {
    if (alpha_ <= 0) {
        return;
    }
    if (!backgroundColor_ && icon().isNull() && borderWidth_ <= 0 && !isDown()) {
        return;  // nothing shows: the menu button under the fan's tools
    }
    QPainter painter(this);
    const std::optional<qreal> scale = DevicePicture::scaleOf(painter);
    if (alpha_ < 1 || !scale) {
        // Fading, or drawn through other than whole device pixels: layer by layer as ever,
        // each showing through the others as it fades.
        painter.setOpacity(alpha_);
        drawLook(painter, localFrame());
        return;
    }
    const Look look{
        size(),           *scale,         devicePixelRatioF(), localFrame(),      imageEdgeInsets_,
        backgroundColor_, cornerRadius_,  borderWidth_,        borderColor_,      shadowColor_,
        shadowRadius_,    shadowOpacity_, shadowOffset_,       icon().cacheKey(), isDown()};
    if (lookPicture_.isNull() || !(look == pictureLook_)) {
        // Painted once per look: the shadow, the round shapes and the icon cost far more,
        // and a round shape cut by the fan's masks costs Qt a trip through its thread pool.
        QPainter picture(&lookPicture_.restart(size(), *scale));
        drawLook(picture, look.frame);
        pictureLook_ = look;
    }
    lookPicture_.draw(painter, !mask().isEmpty());
}

void Button::drawLook(QPainter& painter, const QRectF& f) {
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(f, cornerRadius_, cornerRadius_);

    if (shadowColor_ && shadowOpacity_ > 0 && backgroundColor_) {
        if (shadowCache_.isNull() || shadowCache_.size() != size() * devicePixelRatioF()) {
            // A soft shadow: the shape drawn many times with falling opacity around its edge.
            shadowCache_ =
                QImage(size() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
            shadowCache_.setDevicePixelRatio(devicePixelRatioF());
            shadowCache_.fill(Qt::transparent);
            QPainter shadow(&shadowCache_);
            shadow.setRenderHint(QPainter::Antialiasing);
            shadow.setPen(Qt::NoPen);
            QColor c = shadowColor_->toQColor();
            const int steps = std::max(1, static_cast<int>(shadowRadius_ * 2));
            for (int i = steps; i >= 0; --i) {
                const double grow = shadowRadius_ * (static_cast<double>(i) / steps);
                const double t = 1.0 - static_cast<double>(i) / (steps + 1);
                c.setAlphaF(static_cast<float>(shadowOpacity_ * t * t / steps * 2.2));
                shadow.setBrush(c);
                const QRectF r = f.translated(shadowOffset_).adjusted(-grow, -grow, grow, grow);
                shadow.drawRoundedRect(r, cornerRadius_ + grow, cornerRadius_ + grow);
            }
        }
        painter.drawImage(QPointF(0, 0), shadowCache_);
    }
    if (backgroundColor_) {
        painter.fillPath(shape, backgroundColor_->toQColor());
    }
    if (!icon().isNull()) {
        const QRectF imageRect = f.marginsRemoved(imageEdgeInsets_);
        const QPixmap pixmap = icon().pixmap(imageRect.size().toSize(), devicePixelRatioF(),
                                             isDown() ? QIcon::Active : QIcon::Normal);
        painter.drawPixmap(imageRect, pixmap, QRectF(QPointF(0, 0), pixmap.size()));
    }
    if (borderWidth_ > 0) {
        QPen pen(borderColor_.toQColor(), borderWidth_);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const double inset = borderWidth_ / 2;
        painter.drawRoundedRect(f.adjusted(inset, inset, -inset, -inset), cornerRadius_ - inset,
                                cornerRadius_ - inset);
    }
    if (isDown()) {
        // Pressed feedback for every kind of button, visible on any background.
        painter.fillPath(shape, QColor(0, 0, 0, 28));
    }
}
