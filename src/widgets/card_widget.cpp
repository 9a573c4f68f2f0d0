#include "widgets/card_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "widgets/sheet_style.h"

CardWidget::CardWidget(QWidget* parent) : QWidget(parent), color_(SheetStyle::card()) {}

void CardWidget::setColor(const QColor& color) {
    color_ = color;
    update();
}

void CardWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), SheetStyle::kCornerRadius, SheetStyle::kCornerRadius);
    painter.fillPath(path, color_);
}

void CardWidget::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void CardWidget::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
