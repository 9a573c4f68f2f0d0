#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <optional>
#include <vector>

#include "color/view_layers.h"
#include "color/weak_delegate.h"
#include "gestures/touch_view.h"
#include "platform/color.h"

// Told the hue and saturation under the finger on every touch, before the selection delegate.
class ColorWheelDelegate {
public:
    virtual ~ColorWheelDelegate() = default;
    virtual void hueAndSaturationSelected(double hue, double saturation) = 0;
};

// Told the selected colour on every touch and on every brightness change.
class ColorWheelSelectedDelegate {
public:
    virtual ~ColorWheelSelectedDelegate() = default;
    virtual void colorSelected(const Color& color) = 0;
};

// The hue and saturation wheel: the angle around the centre is the hue (red at 3 o'clock,
// growing clockwise), the distance from the centre the saturation. A black disc over it
// darkens it by the chosen brightness, and a round indicator marks the selected spot.
// Coordinates are view points with the origin at the wheel's top-left corner.
class ColorWheel : public TouchView {
    Q_OBJECT
public:
    static constexpr double kRestingIndicatorRadius = 12.0;
    static constexpr double kTouchingIndicatorRadius = 18.0;
    // Touches closer than this to the centre select white (grey below full brightness).
    static constexpr double kCenterSnapDistance = 10.0;

    ColorWheel(const QRectF& frame, const Color& color, QWidget* parent = nullptr);
    ~ColorWheel() override;

    // Shows a colour set from outside; tells neither delegate.
    void setViewColor(const Color& color);
    // Applies a brightness in 0...1 chosen on the bar, keeping hue and saturation; tells
    // the colour delegate.
    void setViewBrightness(double brightness);

    // Both held weakly.
    ColorWheelDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(ColorWheelDelegate* delegate) { delegate_.reset(delegate); }
    ColorWheelSelectedDelegate* colorDelegate() const { return colorDelegate_.get(); }
    void setColorDelegate(ColorWheelSelectedDelegate* delegate) { colorDelegate_.reset(delegate); }

    const std::optional<Color>& color() const { return color_; }
    double brightness() const { return brightness_; }
    const std::optional<QPointF>& point() const { return point_; }
    double indicatorCircleRadius() const { return indicatorCircleRadius_; }
    const Color& indicatorColor() const { return indicatorColor_; }
    double indicatorBorderWidth() const { return indicatorBorderWidth_; }
    double scale() const { return scale_; }

    const ImageLayer& wheelLayer() const { return wheelLayer_; }
    const ShapeLayer& brightnessLayer() const { return brightnessLayer_; }
    const ShapeLayer& indicatorLayer() const { return indicatorLayer_; }

    // The wheel bitmap for a size in points at this wheel's scale: straight (not
    // premultiplied) RGBA bytes, transparent outside the disc, with a one-percent soft rim.
    QImage wheelImage(const QSizeF& size) const;
    // The bitmap itself: side x side pixels around a centre of c pixels, which is also the
    // radius. Every write stays inside the image whatever c is.
    static QImage wheelBitmap(int side, double c);

    // A touch location pulled onto the disc; centre flag set within the snap distance.
    struct IndicatorCoordinate {
        QPointF point;
        bool isCenter = false;
    };
    IndicatorCoordinate indicatorCoordinate(QPointF point) const;

    struct HueAndSaturation {
        double hue = 0;
        double saturation = 0;
    };
    // At a position in wheel-bitmap pixels; matches the bitmap pixel there.
    HueAndSaturation hueAndSaturation(QPointF pixel) const;
    // The spot of the wheel that shows this hue and saturation, in view points.
    QPointF pointForHueAndSaturation(double hue, double saturation) const;

    void drawIndicator();
    void handleTouch(const std::vector<QPointF>& touches);

    // From the platform's touch handling (touches, or the mouse as one finger).
    void touchesBegan(const std::vector<QPointF>& touches) override;
    void touchesMoved(const std::vector<QPointF>& touches) override;
    void touchesEnded(const std::vector<QPointF>& touches) override;
    void touchesCancelled() override;

signals:
    // The indicator's path or fill changed.
    void indicatorChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fillBrightnessLayer();

    std::optional<Color> color_;
    ImageLayer wheelLayer_;
    ShapeLayer brightnessLayer_;
    double brightness_ = 1.0;
    ShapeLayer indicatorLayer_;
    std::optional<QPointF> point_;
    double indicatorCircleRadius_ = kRestingIndicatorRadius;
    Color indicatorColor_ = Color::lightGray();
    double indicatorBorderWidth_ = 2.0;
    double scale_ = 1.0;
    WeakDelegate<ColorWheelDelegate> delegate_;
    WeakDelegate<ColorWheelSelectedDelegate> colorDelegate_;
};
