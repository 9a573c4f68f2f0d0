#include "widgets/cached_push_button.h"

#include <QEvent>
#include <QPainter>

bool CachedPushButton::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::StyleChange:
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::DynamicPropertyChange:
        case QEvent::ParentChange:
        case QEvent::LocaleChange:
            ++styleChanges_;
            break;
        default:
            break;
    }
    return QPushButton::event(event);
}

void CachedPushButton::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Styles pick their own pictures by the painter's device's scale, the widget's own: drawn
    // at any other (a grab at another scale), the button paints as ever.
    const std::optional<qreal> scale = DevicePicture::scaleOf(painter);
    if (!scale || *scale != devicePixelRatioF()) {
        painter.end();
        QPushButton::paintEvent(event);
        return;
    }
    QStyleOptionButton option;
    initStyleOption(&option);
    QStyle* const look = style();
    const Look now{
        size(),       *scale,           option.state, option.features, option.palette.cacheKey(),
        font().key(), option.direction, styleChanges_};
    if (bevel_.isNull() || !(now == bevelLook_)) {
        // As a painter on the widget starts: its font and text colour, its background.
        QPainter picture(&bevel_.restart(size(), *scale));
        picture.setFont(font());
        picture.setPen(QPen(palette().brush(foregroundRole()), 1));
        picture.setBackground(palette().brush(backgroundRole()));
        look->drawControl(QStyle::CE_PushButtonBevel, &option, &picture, this);
        bevelLook_ = now;
    }
    bevel_.draw(painter, !mask().isEmpty());
    QStyleOptionButton label = option;
    label.rect = look->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    look->drawControl(QStyle::CE_PushButtonLabel, &label, &painter, this);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = look->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        look->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
