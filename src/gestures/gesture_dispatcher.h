#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <map>
#include <vector>

#include "gestures/gesture_recognizer.h"

class QMouseEvent;
class QNativeGestureEvent;
class QPointingDevice;
class QTouchEvent;
class QWheelEvent;
class QWidget;
class PinchGestureRecognizer;

// Routes the application's input to the attached recognisers and arbitrates between them. One
// instance watches every event of the application; it holds at most one touch sequence at a
// time (fingers, or the mouse standing in for one or two fingers). Recognisers and views use it
// through addGestureRecognizer and friends; nothing else needs to call it.
//
// Input as the recognisers see it:
// - touch screen: each finger is a touch;
// - left mouse button: one finger; right or middle button, or the left one while Space is held:
//   two fingers side by side moving together (a two-finger pan that never pinches);
// - mouse wheel (with or without Ctrl) and the trackpad's pinch: drive the pinch recognisers
//   directly, one step per event, ending a short while after the last one.
class GestureDispatcher : public QObject {
public:
    static GestureDispatcher& instance();

    void attach(QWidget* view, GestureRecognizer* recognizer);
    void detach(QWidget* view, GestureRecognizer* recognizer);
    QList<GestureRecognizer*> recognizersOf(const QWidget* view) const;

    // Arbitration within the running touch sequence. A recogniser may begin unless a running
    // one that may not run with it is under way; once it has begun, every recogniser still
    // possible that may not run with it fails.
    bool mayBegin(GestureRecognizer& recognizer) const;
    void didBegin(GestureRecognizer& recognizer);

    bool isSpaceHeld() const { return spaceHeld_; }

    // One wheel notch (120 eighths of a degree) zooms by this factor.
    static constexpr double kWheelZoomPerNotch = 1.2;
    // The two fingers a mouse button stands in for sit this far apart, level with each other.
    static constexpr double kMouseFingerSpread = 40.0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    GestureDispatcher();

    struct Sequence {
        bool active = false;
        bool mouse = false;
        Qt::MouseButton button = Qt::NoButton;
        int fingers = 0;
        const QPointingDevice* device = nullptr;
        std::vector<QPointer<GestureRecognizer>> recognizers;
        std::map<int, GestureTouch> touches;
    };

    // What lies under a point: the recognisers that see a touch there, innermost first, and
    // whether a control takes the touch instead.
    struct Hit {
        std::vector<QPointer<GestureRecognizer>> recognizers;
        bool blocked = false;
    };
    Hit hitAt(QWidget* receiver, QPointF localPosition) const;
    bool isAttached(const QWidget* widget) const;
    bool isInsideAttachedView(const QWidget* widget) const;

    bool handleTouch(QWidget* receiver, QTouchEvent* event);
    bool handleMouse(QWidget* receiver, QMouseEvent* event);
    bool handleWheel(QWidget* receiver, QWheelEvent* event);
    bool handleNativeGesture(QWidget* receiver, QNativeGestureEvent* event);
    bool handleKey(QObject* receiver, QEvent* event);
    std::vector<PinchGestureRecognizer*> pinchesAt(QWidget* receiver, QPointF localPosition) const;

    void startSequence(std::vector<QPointer<GestureRecognizer>> recognizers);
    void deliverBegan(const std::vector<GestureTouch>& touches);
    void deliverMoved(const std::vector<GestureTouch>& touches);
    void deliverEnded(const std::vector<GestureTouch>& touches);
    // Moves the sequence's touches among `touches` to their new places and returns them;
    // `forget` drops them from the sequence (they lifted).
    std::vector<GestureTouch> advanceKnownTouches(const std::vector<GestureTouch>& touches,
                                                  bool forget);
    void deliverToSequence(GestureRecognizer::Phase phase,
                           const std::vector<GestureTouch>& touches);
    void cancelSequence();
    // A sequence whose recognisers have all gone (their view closed mid-gesture) is dropped,
    // so that it cannot swallow the touches that follow.
    void dropOrphanedSequence();
    void finishSequenceIfDone();
    std::vector<GestureTouch> mouseTouches(QPointF global) const;

    struct Attachment {
        std::vector<QPointer<GestureRecognizer>> recognizers;
        // Whether the view took touches before; it goes back to that when its last one leaves.
        bool acceptedTouches = false;
    };
    std::map<const QWidget*, Attachment> attached_;
    Sequence sequence_;
    bool spaceHeld_ = false;
};
