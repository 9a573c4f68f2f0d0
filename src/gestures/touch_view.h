#pragma once

#include <QWidget>
#include <vector>

// A view that reads raw touches rather than gestures, with the mouse standing in for one
// finger. Subclasses get the touch points in view coordinates.
class TouchView : public QWidget {
    Q_OBJECT
public:
    explicit TouchView(QWidget* parent = nullptr);

    virtual void touchesBegan(const std::vector<QPointF>& touches) = 0;
    virtual void touchesMoved(const std::vector<QPointF>& touches) = 0;
    virtual void touchesEnded(const std::vector<QPointF>& touches);
    virtual void touchesCancelled();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool mouseDown_ = false;
};
