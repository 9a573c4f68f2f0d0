#pragma once

#include <QPointer>
#include <QRectF>
#include <QWidget>

// Where a sheet shown as a popover (on tablet-sized windows) points: a rectangle in the
// source view's coordinates, the whole view when the rectangle is empty. The view is held
// weakly.
class PopoverPresentationController {
public:
    QWidget* sourceView() const { return sourceView_; }
    void setSourceView(QWidget* view) { sourceView_ = view; }
    QRectF sourceRect() const { return sourceRect_; }
    void setSourceRect(const QRectF& rect) { sourceRect_ = rect; }

private:
    QPointer<QWidget> sourceView_;
    QRectF sourceRect_;
};
