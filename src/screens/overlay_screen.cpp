#include "screens/overlay_screen.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/animation.h"
#include "widgets/sheet_style.h"

OverlayScreen::OverlayScreen(QWidget* parent) : PlatformViewController(parent) {
    setModalPresentationStyle(ModalPresentationStyle::overFullScreen);
    setFocusPolicy(Qt::StrongFocus);
}

void OverlayScreen::setDimming(double dimming) {
    dimming_ = dimming;
    update();
}

void OverlayScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor color = SheetStyle::backdrop();
    color.setAlphaF(float(color.alphaF() * dimming_));
    painter.fillRect(rect(), color);
}

void OverlayScreen::showEvent(QShowEvent* event) {
    PlatformViewController::showEvent(event);
    if (Animation::enabled()) {
        setDimming(0);
        Animation::animate(this, "dimming", 1.0, kFadeSeconds);
    }
}

void OverlayScreen::mousePressEvent(QMouseEvent* event) {
    // Only presses that reach this widget itself land outside the cards.
    pressOnBackdrop_ = event->button() == Qt::LeftButton;
    event->accept();
}

void OverlayScreen::mouseReleaseEvent(QMouseEvent* event) {
    const bool tapped = pressOnBackdrop_ && event->button() == Qt::LeftButton &&
                        rect().contains(event->position().toPoint());
    pressOnBackdrop_ = false;
    event->accept();
    if (tapped) {
        backdropTapped();
    }
}
