#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QMarginsF>
#include <optional>

#include "platform/color.h"
#include "widgets/device_picture.h"

// A plain button drawn the way the editor's controls look: an image inside edge insets, an
// optional background, round corners, a border, and a shadow that may spill past its frame.
// Its frame is what layout and the centre refer to; the widget itself is larger by the
// shadow's margin. Alpha and centre are properties so that they can be animated.
class Button : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(qreal alpha READ alpha WRITE setAlpha)
    Q_PROPERTY(QPointF center READ center WRITE setCenter)
public:
    explicit Button(QWidget* parent = nullptr);

    void setImage(const QIcon& image);
    void setImageEdgeInsets(const QMarginsF& insets);
    std::optional<Color> backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const std::optional<Color>& color);
    void setCornerRadius(double radius);
    double cornerRadius() const { return cornerRadius_; }
    void setBorder(double width, const Color& color);
    void setShadow(const Color& color, double radius, double opacity, QPointF offset);

    qreal alpha() const { return alpha_; }
    void setAlpha(qreal alpha);

    // The frame in the parent's coordinates, without the shadow's margin.
    QRectF frame() const;
    void setFrame(const QRectF& frame);
    QPointF center() const;
    void setCenter(QPointF center);

    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Everything the button's look depends on. At full strength the button shows a picture made
    // again whenever any of this differs from what it was made from.
    struct Look {
        QSize size;
        qreal deviceScale = 0;
        qreal devicePixelRatio = 0;
        QRectF frame;
        QMarginsF imageEdgeInsets;
        std::optional<Color> backgroundColor;
        double cornerRadius = 0;
        double borderWidth = 0;
        Color borderColor;
        std::optional<Color> shadowColor;
        double shadowRadius = 0;
        double shadowOpacity = 0;
        QPointF shadowOffset;
        qint64 image = 0;
        bool down = false;
        bool operator==(const Look&) const = default;
    };

    int shadowMargin() const;
    QRectF localFrame() const;
    void invalidateShadow();
    void adoptGeometry();
    void drawLook(QPainter& painter, const QRectF& f);

    QMarginsF imageEdgeInsets_;
    std::optional<Color> backgroundColor_;
    double cornerRadius_ = 0;
    double borderWidth_ = 0;
    Color borderColor_ = Color::clear();
    std::optional<Color> shadowColor_;
    double shadowRadius_ = 0;
    double shadowOpacity_ = 0;
    QPointF shadowOffset_;
    QImage shadowCache_;
    DevicePicture lookPicture_;
    Look pictureLook_;
    // Widgets sit on whole points; the frame keeps the exact position it was given.
    QRectF frame_;
    bool placing_ = false;
    qreal alpha_ = 1;
    bool userInteractionEnabled_ = true;
};
