#include "color/brightness_view.h"

#include <QPainter>
#include <algorithm>

#include "color/hsb.h"

BrightnessView::BrightnessView(const QRectF& frame, const Color& color, QWidget* parent)
    : TouchView(parent), barWidth_(frame.width()), barHeight_(frame.height()) {
    indicator_.fillColor = indicatorColor_;
    indicator_.strokeColor = indicatorColor_;
    indicator_.lineWidth = indicatorBorderWidth_;

    setGeometry(frame.toRect());
    setAccessibleName(QStringLiteral("Brightness"));
    point_ = pointForColor(color);

    colorLayer_.colors = {Color::black(), gradientEndColor(color)};
    colorLayer_.locations = {0.0, 1.0};
    colorLayer_.startPoint = QPointF(0, 0.5);
    colorLayer_.endPoint = QPointF(1, 0.5);
    colorLayer_.frame = QRectF(0, kGradientTop, barWidth_, kGradientHeight);

    setIndicatorPath(point_->x());
}

BrightnessView::~BrightnessView() = default;

Color BrightnessView::gradientEndColor(const Color& color) {
    const HSB hsb = HSB::fromColorOrZero(color);
    return HSB{hsb.hue, hsb.saturation, 1.0}.toColor(1.0);
}

void BrightnessView::setViewColor(const Color& color) {
    colorLayer_.colors = {Color::black(), gradientEndColor(color)};
    update();
}

QPointF BrightnessView::pointForColor(const Color& color) const {
    const HSB hsb = HSB::fromColorOrZero(color);
    return QPointF(hsb.brightness * barWidth_, barHeight_ * 0.5);
}

void BrightnessView::setPoint(QPointF point) {
    point_ = point;
    setIndicatorPath(point.x());
}

QRectF BrightnessView::indicatorRect(double x) {
    return QRectF(x - kIndicatorWidth / 2, 0, kIndicatorWidth, kIndicatorHeight);
}

void BrightnessView::setIndicatorPath(double x) {
    QPainterPath path;
    path.addRoundedRect(indicatorRect(x), kIndicatorCornerRadius, kIndicatorCornerRadius);
    indicator_.path = path;
    // The position is the value; assistive technology hears it with the description.
    const double brightness = barWidth_ > 0 ? std::clamp(x / barWidth_, 0.0, 1.0) : 0;
    setAccessibleDescription(QStringLiteral("%1%; touch or drag to choose the brightness")
                                 .arg(qRound(brightness * 100)));
    update();
    emit indicatorChanged();
}

void BrightnessView::handleTouch(const std::vector<QPointF>& touches) {
    if (!touches.empty()) {
        point_ = touches.front();
    }
    if (!point_ || !(barWidth_ > 0)) {
        return;
    }
    point_->setY(barHeight_ * 0.5);
    // Never exactly 0 or 1: a brightness of 0 would lose the wheel's hue and saturation.
    double x = point_->x();
    if (x < 1.0) {
        x = 1.0;
    } else if (x > barWidth_ - 1.0) {
        x = barWidth_ - 1.0;
    }
    point_->setX(x);
    if (BrightnessViewDelegate* d = delegate_.get()) {
        d->brightnessSelected(x / barWidth_);
    }
    setIndicatorPath(x);
}

void BrightnessView::touchesBegan(const std::vector<QPointF>& touches) {
    handleTouch(touches);
}

void BrightnessView::touchesMoved(const std::vector<QPointF>& touches) {
    handleTouch(touches);
}

void BrightnessView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    colorLayer_.paint(painter);
    indicator_.paint(painter);
}
