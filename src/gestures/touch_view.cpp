#include "gestures/touch_view.h"

#include <QMouseEvent>
#include <QTouchEvent>

namespace {
std::vector<QPointF> pointsOf(const QTouchEvent* event) {
    std::vector<QPointF> points;
    for (const QEventPoint& p : event->points()) {
        points.push_back(p.position());
    }
    return points;
}
}  // namespace

TouchView::TouchView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_AcceptTouchEvents);
}

void TouchView::touchesEnded(const std::vector<QPointF>&) {}

void TouchView::touchesCancelled() {}

bool TouchView::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::TouchBegin:
            touchesBegan(pointsOf(static_cast<QTouchEvent*>(event)));
            break;
        case QEvent::TouchUpdate:
            touchesMoved(pointsOf(static_cast<QTouchEvent*>(event)));
            break;
        case QEvent::TouchEnd:
            touchesEnded(pointsOf(static_cast<QTouchEvent*>(event)));
            break;
        case QEvent::TouchCancel:
            touchesCancelled();
            break;
        default:
            return QWidget::event(event);
    }
    event->accept();
    return true;
}

void TouchView::mousePressEvent(QMouseEvent* event) {
    // Mouse events made up from touches would repeat what the touch events already did.
    if (event->button() != Qt::LeftButton || event->source() != Qt::MouseEventNotSynthesized) {
        event->ignore();
        return;
    }
    mouseDown_ = true;
    touchesBegan({event->position()});
}

void TouchView::mouseMoveEvent(QMouseEvent* event) {
    if (!mouseDown_ || event->source() != Qt::MouseEventNotSynthesized) {
        event->ignore();
        return;
    }
    touchesMoved({event->position()});
}

void TouchView::mouseReleaseEvent(QMouseEvent* event) {
    if (!mouseDown_ || event->button() != Qt::LeftButton ||
        event->source() != Qt::MouseEventNotSynthesized) {
        event->ignore();
        return;
    }
    mouseDown_ = false;
    touchesEnded({event->position()});
}
