#include "gestures/gesture_dispatcher.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QTouchEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "gestures/pinch_gesture_recognizer.h"

namespace {
// Touch ids from devices are never negative, so the mouse's fingers cannot collide with them.
constexpr int kMouseFirstTouchId = -1;
constexpr int kMouseSecondTouchId = -2;

bool isTextInput(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QAbstractScrollArea*>(widget) ||
           (qobject_cast<const QComboBox*>(widget) &&
            static_cast<const QComboBox*>(widget)->isEditable());
}

// Widgets that handle presses themselves: touches that start on them are theirs.
bool takesTouchesItself(const QWidget* widget) {
    return widget->property("blocksGestures").toBool() ||
           qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractScrollArea*>(widget) ||
           widget->testAttribute(Qt::WA_AcceptTouchEvents);
}

bool fromTouch(const QMouseEvent* event) {
    const QPointingDevice* device = event->pointingDevice();
    const QInputDevice::DeviceType type = device ? device->type() : QInputDevice::DeviceType::Mouse;
    if (type == QInputDevice::DeviceType::TouchScreen) {
        return true;
    }
    // Qt also stands the mouse in for a pen; that one is welcome.
    const bool pen = type == QInputDevice::DeviceType::Stylus ||
                     type == QInputDevice::DeviceType::Airbrush ||
                     type == QInputDevice::DeviceType::Puck;
    return event->source() == Qt::MouseEventSynthesizedByQt && !pen;
}
}  // namespace

GestureDispatcher& GestureDispatcher::instance() {
    static QPointer<GestureDispatcher> dispatcher;
    if (!dispatcher) {
        dispatcher = new GestureDispatcher;
    }
    return *dispatcher;
}

GestureDispatcher::GestureDispatcher() : QObject(QCoreApplication::instance()) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    }
}

void GestureDispatcher::attach(QWidget* view, GestureRecognizer* recognizer) {
    auto [entry, inserted] = attached_.try_emplace(view);
    if (inserted) {
        connect(view, &QObject::destroyed, this, [this, view] { attached_.erase(view); });
    }
    if (!isAttached(view)) {
        entry->second.acceptedTouches = view->testAttribute(Qt::WA_AcceptTouchEvents);
        view->setAttribute(Qt::WA_AcceptTouchEvents);
    }
    entry->second.recognizers.emplace_back(recognizer);
}

void GestureDispatcher::detach(QWidget* view, GestureRecognizer* recognizer) {
    auto entry = attached_.find(view);
    if (entry == attached_.end()) {
        return;
    }
    std::erase_if(entry->second.recognizers,
                  [recognizer](const QPointer<GestureRecognizer>& attached) {
                      return !attached || attached == recognizer;
                  });
    if (entry->second.recognizers.empty()) {
        // Otherwise it would pass for a widget handling touches itself and keep them from
        // the recognisers around it.
        view->setAttribute(Qt::WA_AcceptTouchEvents, entry->second.acceptedTouches);
    }
}

QList<GestureRecognizer*> GestureDispatcher::recognizersOf(const QWidget* view) const {
    QList<GestureRecognizer*> result;
    auto entry = attached_.find(view);
    if (entry != attached_.end()) {
        for (const QPointer<GestureRecognizer>& recognizer : entry->second.recognizers) {
            if (recognizer) {
                result.append(recognizer);
            }
        }
    }
    return result;
}

bool GestureDispatcher::isAttached(const QWidget* widget) const {
    auto entry = attached_.find(widget);
    return entry != attached_.end() &&
           std::any_of(entry->second.recognizers.begin(), entry->second.recognizers.end(),
                       [](const QPointer<GestureRecognizer>& recognizer) { return !!recognizer; });
}

bool GestureDispatcher::isInsideAttachedView(const QWidget* widget) const {
    for (const QWidget* w = widget; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (isAttached(w)) {
            return true;
        }
    }
    return false;
}

GestureDispatcher::Hit GestureDispatcher::hitAt(QWidget* receiver, QPointF localPosition) const {
    Hit hit;
    QWidget* target = receiver->childAt(localPosition.toPoint());
    if (!target) {
        target = receiver;
    }
    std::vector<QWidget*> chain;
    for (QWidget* w = target; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        chain.push_back(w);
    }
    std::ptrdiff_t outermost = -1;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        if (isAttached(chain[i])) {
            outermost = static_cast<std::ptrdiff_t>(i);
        }
    }
    for (std::ptrdiff_t i = 0; i < outermost; ++i) {
        if (!isAttached(chain[i]) && takesTouchesItself(chain[i])) {
            hit.blocked = true;
            return hit;
        }
    }
    for (std::ptrdiff_t i = 0; i <= outermost; ++i) {
        auto entry = attached_.find(chain[i]);
        if (entry == attached_.end()) {
            continue;
        }
        for (const QPointer<GestureRecognizer>& recognizer : entry->second.recognizers) {
            if (recognizer && recognizer->isEnabled()) {
                hit.recognizers.push_back(recognizer);
            }
        }
    }
    return hit;
}

bool GestureDispatcher::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return handleKey(watched, event);
        case QEvent::ApplicationDeactivate:
            spaceHeld_ = false;
            return false;
        default:
            break;
    }
    if (attached_.empty() || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return handleTouch(widget, static_cast<QTouchEvent*>(event));
        case QEvent::TouchCancel:
            if (sequence_.active && !sequence_.mouse) {
                cancelSequence();
                event->accept();
                return true;
            }
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return handleMouse(widget, static_cast<QMouseEvent*>(event));
        case QEvent::Wheel:
            return handleWheel(widget, static_cast<QWheelEvent*>(event));
        case QEvent::NativeGesture:
            return handleNativeGesture(widget, static_cast<QNativeGestureEvent*>(event));
        default:
            return false;
    }
}

bool GestureDispatcher::handleKey(QObject* receiver, QEvent* event) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space) {
        return false;
    }
    if (!key->isAutoRepeat()) {
        spaceHeld_ = event->type() == QEvent::KeyPress;
    }
    // Inside the gesture views Space means "pan", not "press the focused button"; text fields
    // keep their spaces.
    auto* widget = qobject_cast<QWidget*>(receiver);
    return widget && !isTextInput(widget) && isInsideAttachedView(widget);
}

bool GestureDispatcher::handleTouch(QWidget* receiver, QTouchEvent* event) {
    if (event->type() == QEvent::TouchBegin) {
        dropOrphanedSequence();
        // A finger we think is down lands again: its lift never reached us.
        for (const QEventPoint& point : event->points()) {
            if (sequence_.active && !sequence_.mouse &&
                point.state() == QEventPoint::State::Pressed &&
                sequence_.touches.contains(point.id())) {
                cancelSequence();
            }
        }
    }
    // A touchpad's fingers already move the pointer; its pinch arrives as a native gesture.
    const QPointingDevice* device = event->pointingDevice();
    if (device && device->type() != QInputDevice::DeviceType::TouchScreen) {
        return false;
    }
    if (sequence_.active && (sequence_.mouse || device != sequence_.device)) {
        return false;
    }
    std::vector<GestureTouch> began;
    std::vector<GestureTouch> moved;
    std::vector<GestureTouch> ended;
    for (const QEventPoint& point : event->points()) {
        GestureTouch touch;
        touch.id = point.id();
        touch.position = point.globalPosition();
        const bool known = sequence_.touches.contains(touch.id);
        switch (point.state()) {
            case QEventPoint::State::Pressed:
                if (!known) {
                    began.push_back(touch);
                }
                break;
            case QEventPoint::State::Updated:
                if (known && sequence_.touches[touch.id].position != touch.position) {
                    moved.push_back(touch);
                }
                break;
            case QEventPoint::State::Released:
                if (known) {
                    ended.push_back(touch);
                }
                break;
            default:
                break;
        }
    }

    // A finger that lands in another view while others are down joins their sequence, unless
    // it lands on a control.
    if (!began.empty() && (!sequence_.active || event->type() == QEvent::TouchBegin)) {
        const Hit hit = hitAt(receiver, receiver->mapFromGlobal(began.front().position));
        if (hit.blocked || (!sequence_.active && hit.recognizers.empty())) {
            return false;
        }
        if (!sequence_.active) {
            startSequence(hit.recognizers);
            sequence_.device = event->pointingDevice();
        }
    }
    if (!sequence_.active) {
        return false;
    }
    if (!began.empty()) {
        deliverBegan(began);
    }
    if (!moved.empty()) {
        deliverMoved(moved);
    }
    if (!ended.empty()) {
        deliverEnded(ended);
    }
    event->accept();
    return true;
}

std::vector<GestureTouch> GestureDispatcher::mouseTouches(QPointF global) const {
    GestureTouch first;
    first.id = kMouseFirstTouchId;
    first.precise = true;
    if (sequence_.fingers < 2) {
        first.position = global;
        return {first};
    }
    GestureTouch second = first;
    second.id = kMouseSecondTouchId;
    first.position = global - QPointF(kMouseFingerSpread / 2, 0);
    second.position = global + QPointF(kMouseFingerSpread / 2, 0);
    return {first, second};
}

bool GestureDispatcher::handleMouse(QWidget* receiver, QMouseEvent* event) {
    // Mouse events made from touches: the touch itself went through (or was meant for a control).
    if (fromTouch(event)) {
        return false;
    }
    const QPointF global = receiver->mapToGlobal(event->position());
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            dropOrphanedSequence();
            if (sequence_.active) {
                if (!sequence_.mouse) {
                    return false;
                }
                if (event->buttons() & sequence_.button) {
                    return true;  // another button during a drag changes nothing
                }
                // The release of the last press never came (the window lost the mouse).
                cancelSequence();
            }
            int fingers = 0;
            if (event->button() == Qt::LeftButton) {
                fingers = spaceHeld_ ? 2 : 1;
            } else if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
                fingers = 2;
            }
            if (fingers == 0) {
                return false;
            }
            const Hit hit = hitAt(receiver, event->position());
            if (hit.blocked || hit.recognizers.empty()) {
                return false;
            }
            startSequence(hit.recognizers);
            sequence_.mouse = true;
            sequence_.button = event->button();
            sequence_.fingers = fingers;
            deliverBegan(mouseTouches(global));
            event->accept();
            return true;
        }
        case QEvent::MouseMove:
            if (!sequence_.active || !sequence_.mouse) {
                return false;
            }
            if (!(event->buttons() & sequence_.button)) {
                deliverEnded(mouseTouches(global));
            } else {
                deliverMoved(mouseTouches(global));
            }
            event->accept();
            return true;
        case QEvent::MouseButtonRelease:
            if (!sequence_.active || !sequence_.mouse) {
                return false;
            }
            if (event->button() == sequence_.button) {
                deliverEnded(mouseTouches(global));
            }
            event->accept();
            return true;
        default:
            return false;
    }
}

std::vector<PinchGestureRecognizer*> GestureDispatcher::pinchesAt(QWidget* receiver,
                                                                  QPointF localPosition) const {
    std::vector<PinchGestureRecognizer*> pinches;
    const Hit hit = hitAt(receiver, localPosition);
    if (hit.blocked) {
        return pinches;
    }
    for (const QPointer<GestureRecognizer>& recognizer : hit.recognizers) {
        if (auto* pinch = qobject_cast<PinchGestureRecognizer*>(recognizer.data())) {
            pinches.push_back(pinch);
        }
    }
    return pinches;
}

bool GestureDispatcher::handleWheel(QWidget* receiver, QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        return false;
    }
    const std::vector<PinchGestureRecognizer*> pinches = pinchesAt(receiver, event->position());
    if (pinches.empty()) {
        return false;
    }
    const double factor = std::pow(kWheelZoomPerNotch, delta / 120.0);
    const QPointF global = receiver->mapToGlobal(event->position());
    std::vector<QPointer<PinchGestureRecognizer>> guarded(pinches.begin(), pinches.end());
    for (const auto& pinch : guarded) {
        if (pinch) {
            pinch->zoomBy(factor, global);
        }
    }
    event->accept();
    return true;
}

bool GestureDispatcher::handleNativeGesture(QWidget* receiver, QNativeGestureEvent* event) {
    const Qt::NativeGestureType type = event->gestureType();
    if (type != Qt::ZoomNativeGesture && type != Qt::EndNativeGesture) {
        return false;
    }
    const std::vector<PinchGestureRecognizer*> pinches = pinchesAt(receiver, event->position());
    if (pinches.empty()) {
        return false;
    }
    std::vector<QPointer<PinchGestureRecognizer>> guarded(pinches.begin(), pinches.end());
    if (type == Qt::EndNativeGesture) {
        for (const auto& pinch : guarded) {
            if (pinch) {
                pinch->endZoom();
            }
        }
        return false;  // others may want to hear that the gesture is over
    }
    // The value is the change of scale since the last event; nothing at or below -1 is a scale.
    const double factor = 1.0 + event->value();
    if (std::isfinite(factor) && factor > 0) {
        const QPointF global = receiver->mapToGlobal(event->position());
        for (const auto& pinch : guarded) {
            if (pinch) {
                pinch->zoomBy(factor, global);
            }
        }
    }
    event->accept();
    return true;
}

void GestureDispatcher::startSequence(std::vector<QPointer<GestureRecognizer>> recognizers) {
    sequence_ = Sequence{};
    sequence_.active = true;
    for (const QPointer<GestureRecognizer>& recognizer : recognizers) {
        // One already busy (a pinch the wheel is driving) sits this sequence out.
        if (recognizer && recognizer->state() == GestureState::possible) {
            recognizer->enterSequence();
            sequence_.recognizers.push_back(recognizer);
        }
    }
}

void GestureDispatcher::deliverBegan(const std::vector<GestureTouch>& touches) {
    std::vector<GestureTouch> fresh;
    for (GestureTouch touch : touches) {
        touch.startPosition = touch.position;
        touch.previousPosition = touch.position;
        sequence_.touches[touch.id] = touch;
        fresh.push_back(touch);
    }
    deliverToSequence(GestureRecognizer::Phase::began, fresh);
}

void GestureDispatcher::deliverMoved(const std::vector<GestureTouch>& touches) {
    deliverToSequence(GestureRecognizer::Phase::moved, advanceKnownTouches(touches, false));
}

void GestureDispatcher::deliverEnded(const std::vector<GestureTouch>& touches) {
    deliverToSequence(GestureRecognizer::Phase::ended, advanceKnownTouches(touches, true));
    finishSequenceIfDone();
}

std::vector<GestureTouch> GestureDispatcher::advanceKnownTouches(
    const std::vector<GestureTouch>& touches, bool forget) {
    std::vector<GestureTouch> known;
    for (const GestureTouch& touch : touches) {
        auto found = sequence_.touches.find(touch.id);
        if (found == sequence_.touches.end()) {
            continue;
        }
        found->second.previousPosition = found->second.position;
        found->second.position = touch.position;
        known.push_back(found->second);
        if (forget) {
            sequence_.touches.erase(found);
        }
    }
    return known;
}

// A copy of the list: a recogniser's handler may end the sequence while it is delivered.
void GestureDispatcher::deliverToSequence(GestureRecognizer::Phase phase,
                                          const std::vector<GestureTouch>& touches) {
    const auto recognizers = sequence_.recognizers;
    for (const QPointer<GestureRecognizer>& recognizer : recognizers) {
        if (recognizer && recognizer->takesTouches()) {
            recognizer->deliver(phase, touches);
        }
    }
}

void GestureDispatcher::cancelSequence() {
    sequence_.touches.clear();
    const auto recognizers = sequence_.recognizers;
    for (const QPointer<GestureRecognizer>& recognizer : recognizers) {
        if (recognizer && recognizer->takesTouches()) {
            recognizer->deliverCancelled();
        }
    }
    finishSequenceIfDone();
}

void GestureDispatcher::dropOrphanedSequence() {
    if (sequence_.active &&
        std::none_of(sequence_.recognizers.begin(), sequence_.recognizers.end(),
                     [](const QPointer<GestureRecognizer>& recognizer) { return !!recognizer; })) {
        sequence_ = Sequence{};
    }
}

void GestureDispatcher::finishSequenceIfDone() {
    if (!sequence_.active || !sequence_.touches.empty()) {
        return;
    }
    const auto recognizers = std::move(sequence_.recognizers);
    sequence_ = Sequence{};
    for (const QPointer<GestureRecognizer>& recognizer : recognizers) {
        if (recognizer) {
            recognizer->leaveSequence();
        }
    }
}

bool GestureDispatcher::mayBegin(GestureRecognizer& recognizer) const {
    for (const QPointer<GestureRecognizer>& other : sequence_.recognizers) {
        if (other && other != &recognizer && other->inSequence_ && other->isRunning() &&
            !GestureRecognizer::canRecognizeSimultaneously(recognizer, *other)) {
            return false;
        }
    }
    return true;
}

void GestureDispatcher::didBegin(GestureRecognizer& recognizer) {
    const auto recognizers = sequence_.recognizers;
    for (const QPointer<GestureRecognizer>& other : recognizers) {
        if (other && other != &recognizer && other->inSequence_ &&
            other->state() == GestureState::possible &&
            !GestureRecognizer::canRecognizeSimultaneously(recognizer, *other)) {
            other->setState(GestureState::failed);
        }
    }
}
