#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>
#include <optional>

// A picture of a widget's look kept in device pixels, for widgets that paint the same thing
// on most repaints: made once, then blended onto the widget pixel for pixel, the fastest way
// Qt has to put a picture on screen.
class DevicePicture {
public:
    // How many device pixels a point takes on the painter's device, when the widget lies on
    // whole device pixels at the same scale across and down: only then does the picture land
    // on the pixels painting would have covered.
    static std::optional<qreal> scaleOf(const QPainter& painter);

    bool isNull() const { return image_.isNull(); }
    // Starts the picture again, transparent, for a widget of a size at a scale: the image to
    // paint on, in the widget's coordinates.
    QImage& restart(QSize size, qreal scale);
    // Puts the picture on the widget the painter paints on, at its top-left corner; masked
    // when the widget has a mask.
    void draw(QPainter& painter, bool masked) const;

private:
    QImage image_;
};
