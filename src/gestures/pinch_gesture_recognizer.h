#pragma once

#include "gestures/gesture_clock.h"
#include "gestures/gesture_recognizer.h"

// Two or more fingers moving apart or together. It begins once their spread has changed by a
// few points; scale() is the spread now over the spread when it began (or when the scale was
// last set). It ends when fewer than two fingers remain.
//
// On a desktop the mouse wheel and the trackpad's pinch drive it too: the first step begins it
// with that step's factor, each further step multiplies the scale, and a short pause ends it.
class PinchGestureRecognizer : public GestureRecognizer {
    Q_OBJECT
public:
    explicit PinchGestureRecognizer(QObject* parent = nullptr) : GestureRecognizer(parent) {}

    double scale() const { return scale_; }
    // Handlers set 1 to have the next event carry only the factor since this one. Values that
    // are not a positive number are ignored.
    void setScale(double scale);

    // Fingers must spread or close by more than this before a pinch begins.
    static constexpr double kSpreadSlop = 8.0;
    // A wheel or trackpad zoom ends this long after its last step.
    static constexpr double kZoomIdleSeconds = 0.3;

protected:
    void touchesBegan(const std::vector<GestureTouch>& touches) override;
    void touchesMoved(const std::vector<GestureTouch>& touches) override;
    void touchesEnded(const std::vector<GestureTouch>& touches) override;
    void reset() override;

private:
    friend class GestureDispatcher;
    // One step of a wheel or trackpad zoom at a global point.
    void zoomBy(double factor, QPointF location);
    void endZoom();

    // How far apart the fingers are: twice their mean distance from their centre, which for
    // two fingers is the distance between them.
    double spread() const;

    double scale_ = 1;
    double startSpread_ = 0;
    // The spread at which scale() would read 1.
    double baseSpread_ = 0;
    bool zooming_ = false;
    GestureTimer idleTimer_;
};
