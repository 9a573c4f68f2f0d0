#include "color/view_layers.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

void ImageLayer::paint(QPainter& painter) const {
    if (contents.isNull() || frame.isEmpty()) {
        return;
    }
    if (prepared_.isNull() || preparedKey_ != contents.cacheKey()) {
        prepared_ = contents.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        preparedKey_ = contents.cacheKey();
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(frame, prepared_);
    painter.restore();
}

void ShapeLayer::paint(QPainter& painter) const {
    if (path.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(path, fillColor.toQColor());
    if (lineWidth > 0 && strokeColor.alpha() > 0) {
        QPen pen(strokeColor.toQColor(), lineWidth);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(path, pen);
    }
    painter.restore();
}

void GradientLayer::paint(QPainter& painter) const {
    if (frame.isEmpty() || colors.empty()) {
        return;
    }
    const auto unitToFrame = [this](QPointF unit) {
        return QPointF(frame.x() + unit.x() * frame.width(), frame.y() + unit.y() * frame.height());
    };
    QLinearGradient gradient(unitToFrame(startPoint), unitToFrame(endPoint));
    for (size_t i = 0; i < colors.size(); ++i) {
        // Without explicit locations the colours spread evenly.
        double at = colors.size() > 1 ? static_cast<double>(i) / (colors.size() - 1) : 0.0;
        if (i < locations.size()) {
            at = locations[i];
        }
        gradient.setColorAt(std::clamp(at, 0.0, 1.0), colors[i].toQColor());
    }
    painter.fillRect(frame, gradient);
}
