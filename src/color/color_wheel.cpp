#include "color/color_wheel.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "color/hsb.h"
#include "platform/screen_metrics.h"

namespace {
// Far beyond any wheel the app shows (600 pixels at scale 3); keeps a hostile size from
// asking for gigabytes.
constexpr int kLargestBitmapSide = 8192;

// The hue at a normalised offset from the centre: the angle from 3 o'clock, clockwise on
// screen because y grows downward.
double hueAt(double nx, double ny, double s) {
    if (s == 0) {
        return 0;
    }
    double hue = std::acos(std::clamp(nx / s, -1.0, 1.0)) / std::numbers::pi * 0.5;
    if (ny < 0) {
        hue = 1 - hue;
    }
    return hue;
}

uchar byteOf(double component) {
    return static_cast<uchar>(std::clamp(std::trunc(component * 255), 0.0, 255.0));
}

}  // namespace

ColorWheel::ColorWheel(const QRectF& frame, const Color& color, QWidget* parent)
    : TouchView(parent), scale_(ScreenMetrics::main().scale) {
    setGeometry(frame.toRect());
    setAccessibleName(QStringLiteral("Colour wheel"));
    color_ = color;

    wheelLayer_.frame = QRectF(0, 0, frame.width(), frame.height());
    wheelLayer_.contents = wheelImage(frame.size());

    // The disc darkens the whole wheel, so the rim never stays brighter than its inside.
    const double d = std::min(frame.width(), frame.height());
    brightnessLayer_.path.addEllipse(QPointF(d / 2, d / 2), d / 2, d / 2);
    brightnessLayer_.fillColor = Color::withWhite(0, 0);

    indicatorLayer_.strokeColor = indicatorColor_;
    indicatorLayer_.lineWidth = indicatorBorderWidth_;
    indicatorLayer_.fillColor = Color::clear();

    setViewColor(color);
}

ColorWheel::~ColorWheel() = default;

QImage ColorWheel::wheelImage(const QSizeF& size) const {
    const double across = std::min(size.width() * scale_, size.height() * scale_);
    // A hair of tolerance so that 200 points at a scale like 1.1 do not lose a pixel to
    // rounding in the product.
    const double side = std::isfinite(across) ? std::floor(across + 1e-9) : 0.0;
    if (side < 1) {
        return {};
    }
    const int d = static_cast<int>(std::min(side, static_cast<double>(kLargestBitmapSide)));
    return wheelBitmap(d, wheelLayer_.frame.width() * scale_ / 2);
}

QImage ColorWheel::wheelBitmap(int side, double c) {
    if (side < 1) {
        return {};
    }
    QImage image(side, side, QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    if (!(c > 0) || !std::isfinite(c)) {
        return image;
    }
    for (int y = 0; y < side; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < side; ++x) {
            const double nx = (x - c) / c;
            const double ny = (y - c) / c;
            const double s = std::sqrt(nx * nx + ny * ny);
            if (s >= 1) {
                continue;
            }
            const double hue = hueAt(nx, ny, s);
            const double alpha = s <= 0.99 ? 1.0 : 100 * (1 - s);
            const Color::RGBA rgb = hsbToRGB(hue, s, 1.0);
            uchar* pixel = row + static_cast<ptrdiff_t>(x) * 4;
            pixel[0] = byteOf(rgb.red);
            pixel[1] = byteOf(rgb.green);
            pixel[2] = byteOf(rgb.blue);
            pixel[3] = byteOf(alpha);
        }
    }
    return image;
}

ColorWheel::IndicatorCoordinate ColorWheel::indicatorCoordinate(QPointF point) const {
    const QRectF& layer = wheelLayer_.frame;
    const double r = std::min(layer.width(), layer.height()) / 2;
    const QPointF center(r + layer.x(), r + layer.y());
    const double dx = point.x() - center.x();
    const double dy = point.y() - center.y();
    const double dist = std::hypot(dx, dy);
    if (dist < kCenterSnapDistance) {
        return {center, true};
    }
    if (dist > r) {
        const double a = std::atan2(dy, dx);
        point = center + QPointF(r * std::cos(a), r * std::sin(a));
    }
    return {point, false};
}

ColorWheel::HueAndSaturation ColorWheel::hueAndSaturation(QPointF pixel) const {
    const double c = wheelLayer_.frame.width() * scale_ / 2;
    if (!(c > 0)) {
        return {};
    }
    const double nx = (pixel.x() - c) / c;
    const double ny = (pixel.y() - c) / c;
    const double s = std::sqrt(nx * nx + ny * ny);
    // On the rim the distance can come out a rounding error above 1.
    return {hueAt(nx, ny, s), std::min(s, 1.0)};
}

QPointF ColorWheel::pointForHueAndSaturation(double hue, double saturation) const {
    // The spot the bitmap and the touch mapping give for this hue and saturation, so that a
    // colour set from outside lands where touching it would put the indicator.
    const QRectF& layer = wheelLayer_.frame;
    const double d = std::min(layer.width(), layer.height());
    const double radius = d * saturation / 2;
    const double angle = 2 * std::numbers::pi * hue;
    return QPointF(layer.x() + d / 2 + radius * std::cos(angle),
                   layer.y() + d / 2 + radius * std::sin(angle));
}

void ColorWheel::drawIndicator() {
    if (!point_) {
        return;
    }
    const double r = indicatorCircleRadius_;
    QPainterPath path;
    path.addRoundedRect(QRectF(point_->x() - r, point_->y() - r, 2 * r, 2 * r), r, r);
    indicatorLayer_.path = path;
    indicatorLayer_.fillColor = color_.value_or(Color::clear());
    // The spot is the value; assistive technology hears it with the description.
    if (const std::optional<HSB> shown = color_ ? HSB::fromColor(*color_) : std::nullopt) {
        setAccessibleDescription(
            QStringLiteral("Hue %1°, saturation %2%; touch or drag to choose hue and saturation")
                .arg(qRound(shown->hue * 360) % 360)
                .arg(qRound(shown->saturation * 100)));
    }
    update();
    emit indicatorChanged();
}

void ColorWheel::handleTouch(const std::vector<QPointF>& touches) {
    if (!touches.empty()) {
        point_ = touches.front();
    }
    if (!point_) {
        return;
    }
    const IndicatorCoordinate coordinate = indicatorCoordinate(*point_);
    point_ = coordinate.point;
    HueAndSaturation selected;
    if (!coordinate.isCenter) {
        selected = hueAndSaturation(QPointF(point_->x() * scale_, point_->y() * scale_));
    }
    color_ = HSB{selected.hue, selected.saturation, brightness_}.toColor(1.0);
    if (ColorWheelDelegate* d = delegate_.get()) {
        d->hueAndSaturationSelected(selected.hue, selected.saturation);
    }
    if (ColorWheelSelectedDelegate* d = colorDelegate_.get()) {
        d->colorSelected(*color_);
    }
    drawIndicator();
}

void ColorWheel::touchesBegan(const std::vector<QPointF>& touches) {
    indicatorCircleRadius_ = kTouchingIndicatorRadius;
    handleTouch(touches);
}

void ColorWheel::touchesMoved(const std::vector<QPointF>& touches) {
    handleTouch(touches);
}

void ColorWheel::touchesEnded(const std::vector<QPointF>& touches) {
    indicatorCircleRadius_ = kRestingIndicatorRadius;
    handleTouch(touches);
}

void ColorWheel::touchesCancelled() {
    // The finger is gone: shrink the indicator back, select nothing new.
    indicatorCircleRadius_ = kRestingIndicatorRadius;
    drawIndicator();
}

void ColorWheel::setViewColor(const Color& color) {
    const HSB hsb = HSB::fromColorOrZero(color);
    color_ = color;
    brightness_ = hsb.brightness;
    fillBrightnessLayer();
    point_ = pointForHueAndSaturation(hsb.hue, hsb.saturation);
    drawIndicator();
}

void ColorWheel::setViewBrightness(double brightness) {
    const HSB current = HSB::fromColorOrZero(color_.value_or(Color::clear()));
    brightness_ = brightness;
    fillBrightnessLayer();
    color_ = HSB{current.hue, current.saturation, brightness}.toColor(1.0);
    if (ColorWheelSelectedDelegate* d = colorDelegate_.get()) {
        d->colorSelected(*color_);
    }
    drawIndicator();
}

void ColorWheel::fillBrightnessLayer() {
    brightnessLayer_.fillColor = Color::withWhite(0, 1 - brightness_);
    update();
}

void ColorWheel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    wheelLayer_.paint(painter);
    brightnessLayer_.paint(painter);
    indicatorLayer_.paint(painter);
}
