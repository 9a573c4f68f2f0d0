#pragma once

#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <optional>
#include <vector>

#include "color/view_layers.h"
#include "color/weak_delegate.h"
#include "gestures/touch_view.h"
#include "platform/color.h"

// Told the brightness chosen on the bar, on every touch began and moved.
class BrightnessViewDelegate {
public:
    virtual ~BrightnessViewDelegate() = default;
    virtual void brightnessSelected(double brightness) = 0;
};

// The brightness bar: a gradient from black on the left to the selected hue and saturation
// at full brightness on the right, and an upright bar marking the chosen brightness.
// Brightness and position are tied by x = brightness x W, W being the width at construction.
class BrightnessView : public TouchView {
    Q_OBJECT
public:
    static constexpr double kGradientTop = 2.0;
    static constexpr double kGradientHeight = 24.0;
    static constexpr double kIndicatorWidth = 6.0;
    static constexpr double kIndicatorHeight = 28.0;
    static constexpr double kIndicatorCornerRadius = 3.0;

    BrightnessView(const QRectF& frame, const Color& color, QWidget* parent = nullptr);
    ~BrightnessView() override;

    // Recolours the gradient for a colour; the indicator stays where it is.
    void setViewColor(const Color& color);
    // (brightness x W, H / 2); not limited to the bar.
    QPointF pointForColor(const Color& color) const;

    // Moves the indicator to a point (only its x matters) and redraws it there.
    void setPoint(QPointF point);
    const std::optional<QPointF>& point() const { return point_; }

    // Held weakly.
    BrightnessViewDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(BrightnessViewDelegate* delegate) { delegate_.reset(delegate); }

    const GradientLayer& colorLayer() const { return colorLayer_; }
    const ShapeLayer& indicator() const { return indicator_; }
    const Color& indicatorColor() const { return indicatorColor_; }
    double indicatorBorderWidth() const { return indicatorBorderWidth_; }
    // The width the bar had at construction, which the gradient and the mapping keep.
    double barWidth() const { return barWidth_; }

    // The indicator's rectangle for an indicator at x: (x - 3, 0, 6, 28).
    static QRectF indicatorRect(double x);

    void handleTouch(const std::vector<QPointF>& touches);

    // From the platform's touch handling (touches, or the mouse as one finger).
    void touchesBegan(const std::vector<QPointF>& touches) override;
    void touchesMoved(const std::vector<QPointF>& touches) override;

signals:
    // The indicator moved.
    void indicatorChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setIndicatorPath(double x);
    static Color gradientEndColor(const Color& color);

    WeakDelegate<BrightnessViewDelegate> delegate_;
    GradientLayer colorLayer_;
    std::optional<QPointF> point_;
    ShapeLayer indicator_;
    Color indicatorColor_ = Color::lightGray();
    double indicatorBorderWidth_ = 2.0;
    double barWidth_ = 0;
    double barHeight_ = 0;
};
