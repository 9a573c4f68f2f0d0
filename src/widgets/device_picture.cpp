#include "widgets/device_picture.h"

#include <algorithm>
#include <cmath>

std::optional<qreal> DevicePicture::scaleOf(const QPainter& painter) {
    const QTransform toDevice = painter.deviceTransform();
    const qreal scale = toDevice.m11();
    const bool whole = toDevice.type() <= QTransform::TxScale && scale > 0 &&
                       toDevice.m22() == scale && toDevice.dx() == std::round(toDevice.dx()) &&
                       toDevice.dy() == std::round(toDevice.dy());
    return whole ? std::optional(scale) : std::nullopt;
}

QImage& DevicePicture::restart(QSize size, qreal scale) {
    const QSize pixels = (QSizeF(size) * scale).toSize();
    if (image_.size() != pixels) {
        image_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    image_.setDevicePixelRatio(scale);
    image_.fill(Qt::transparent);
    return image_;
}

void DevicePicture::draw(QPainter& painter, bool masked) const {
    // In device coordinates, one picture pixel to a device pixel: Qt blends it row by row
    // rather than scaling it pixel by pixel.
    const QTransform toDevice = painter.deviceTransform();
    painter.save();
    painter.setWorldTransform(toDevice.inverted());
    // The same pixels at one pixel a point, without a copy.
    const QImage pixels(image_.constBits(), image_.width(), image_.height(), image_.bytesPerLine(),
                        image_.format());
    const QPointF corner(toDevice.dx(), toDevice.dy());
    if (!masked) {
        painter.drawImage(corner, pixels);
    } else {
        // Cut by a mask, a picture is blended span by span, and Qt hands more than about a
        // hundred spans at once to its thread pool: for a picture this small the hand-over
        // costs more than the blend. Bands of fewer rows stay on this thread.
        constexpr int kRowsAtOnce = 64;
        for (int top = 0; top < pixels.height(); top += kRowsAtOnce) {
            const QRect rows(0, top, pixels.width(), std::min(kRowsAtOnce, pixels.height() - top));
            painter.drawImage(corner + QPointF(0, top), pixels, rows);
        }
    }
    painter.restore();
}
