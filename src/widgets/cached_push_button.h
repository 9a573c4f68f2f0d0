#pragma once

#include <QImage>
#include <QPushButton>
#include <QSize>
#include <QStyle>
#include <QStyleOptionButton>

#include "widgets/device_picture.h"

// A push button that keeps a picture of its bevel, the costly part of what a style sheet
// paints (rounded, antialiased shapes), and paints the picture until anything the bevel may
// read changes: state, size, palette, font, style or style sheet, or the scale it is shown
// at. The label and the focus frame are painted as ever, composed as Qt's common style
// composes a push button, so text keeps the screen's own antialiasing.
class CachedPushButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Look {
        QSize size;
        qreal deviceScale = 0;
        QStyle::State state;
        QStyleOptionButton::ButtonFeatures features;
        qint64 palette = 0;
        QString font;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        // Changes of style, style sheet, or properties a sheet may select on.
        int styleChanges = 0;
        bool operator==(const Look&) const = default;
    };

    DevicePicture bevel_;
    Look bevelLook_;
    int styleChanges_ = 0;
};
