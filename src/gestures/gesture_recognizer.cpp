#include "gestures/gesture_recognizer.h"

#include <QLineF>
#include <QWidget>

#include "gestures/gesture_dispatcher.h"

double GestureTouch::distanceMoved() const {
    return QLineF(startPosition, position).length();
}

GestureRecognizer::GestureRecognizer(QObject* parent) : QObject(parent) {}

GestureRecognizer::~GestureRecognizer() = default;

QPointF GestureRecognizer::locationInView() const {
    return locationInView(view_);
}

QPointF GestureRecognizer::locationInView(const QWidget* view) const {
    return view ? view->mapFromGlobal(location_) : location_;
}

void GestureRecognizer::setEnabled(bool enabled) {
    if (enabled_ == enabled) {
        return;
    }
    enabled_ = enabled;
    if (!enabled) {
        abandon();
    }
}

GestureRecognizerDelegate* GestureRecognizer::delegate() const {
    if (delegateIsObject_ && !delegateObject_) {
        return nullptr;
    }
    return delegate_;
}

void GestureRecognizer::setDelegate(GestureRecognizerDelegate* delegate) {
    delegate_ = delegate;
    auto* object = dynamic_cast<QObject*>(delegate);
    delegateObject_ = object;
    delegateIsObject_ = object != nullptr;
}

void GestureRecognizer::addTarget(Action action) {
    if (action) {
        actions_.push_back(std::move(action));
    }
}

bool GestureRecognizer::canRecognizeSimultaneously(GestureRecognizer& a, GestureRecognizer& b) {
    auto allows = [](GestureRecognizer& recognizer, GestureRecognizer& other) {
        GestureRecognizerDelegate* delegate = recognizer.delegate();
        return delegate &&
               delegate->gestureRecognizerShouldRecognizeSimultaneouslyWith(recognizer, other);
    };
    return allows(a, b) || allows(b, a);
}

void GestureRecognizer::setState(GestureState next) {
    const GestureState previous = state_;
    const bool starting = previous == GestureState::possible &&
                          (next == GestureState::began || next == GestureState::ended);
    if (starting && inSequence_) {
        GestureDispatcher& dispatcher = GestureDispatcher::instance();
        if (!dispatcher.mayBegin(*this)) {
            state_ = GestureState::failed;
            return;
        }
        state_ = next;
        dispatcher.didBegin(*this);
    } else {
        state_ = next;
    }

    QPointer<GestureRecognizer> self(this);
    if (next != GestureState::possible && next != GestureState::failed) {
        sendActions();
    }
    // Outside a touch sequence nothing else will bring it back to possible.
    const bool finished = next == GestureState::ended || next == GestureState::cancelled ||
                          next == GestureState::failed;
    if (self && finished && !inSequence_) {
        reset();
    }
}

void GestureRecognizer::sendActions() {
    QPointer<GestureRecognizer> self(this);
    const std::vector<Action> actions = actions_;
    for (const Action& action : actions) {
        if (!self) {
            return;
        }
        action(*this);
    }
}

void GestureRecognizer::touchesCancelled() {
    if (isRunning()) {
        setState(GestureState::cancelled);
    } else if (state_ == GestureState::possible) {
        setState(GestureState::failed);
    }
}

void GestureRecognizer::reset() {
    state_ = GestureState::possible;
    touches_.clear();
    ignored_.clear();
}

void GestureRecognizer::ignoreTouch(int id) {
    ignored_.insert(id);
    touches_.erase(id);
    if (!touches_.empty()) {
        location_ = centroid();
    }
}

QPointF GestureRecognizer::centroid() const {
    if (touches_.empty()) {
        return location_;
    }
    QPointF sum;
    for (const auto& [id, touch] : touches_) {
        sum += touch.position;
    }
    return sum / static_cast<double>(touches_.size());
}

bool GestureRecognizer::takesTouches() const {
    return enabled_ && inSequence_ && (state_ == GestureState::possible || isRunning());
}

void GestureRecognizer::deliver(Phase phase, const std::vector<GestureTouch>& touches) {
    std::vector<GestureTouch> mine;
    switch (phase) {
        case Phase::began:
            for (const GestureTouch& touch : touches) {
                if (!ignored_.contains(touch.id)) {
                    touches_[touch.id] = touch;
                    mine.push_back(touch);
                }
            }
            if (mine.empty()) {
                return;
            }
            location_ = centroid();
            touchesBegan(mine);
            break;
        case Phase::moved:
            for (auto& [id, touch] : touches_) {
                touch.previousPosition = touch.position;
            }
            for (const GestureTouch& touch : touches) {
                auto found = touches_.find(touch.id);
                if (found != touches_.end()) {
                    found->second.position = touch.position;
                    mine.push_back(found->second);
                }
            }
            if (mine.empty()) {
                return;
            }
            location_ = centroid();
            touchesMoved(mine);
            break;
        case Phase::ended:
            for (const GestureTouch& touch : touches) {
                auto found = touches_.find(touch.id);
                if (found != touches_.end()) {
                    found->second.previousPosition = found->second.position;
                    found->second.position = touch.position;
                    mine.push_back(found->second);
                }
            }
            if (mine.empty()) {
                return;
            }
            location_ = centroid();
            for (const GestureTouch& touch : mine) {
                touches_.erase(touch.id);
            }
            touchesEnded(mine);
            break;
    }
}

void GestureRecognizer::deliverCancelled() {
    touches_.clear();
    touchesCancelled();
}

void GestureRecognizer::enterSequence() {
    inSequence_ = true;
    touches_.clear();
    ignored_.clear();
}

void GestureRecognizer::leaveSequence() {
    QPointer<GestureRecognizer> self(this);
    if (isRunning()) {
        setState(GestureState::cancelled);
    }
    if (self) {
        inSequence_ = false;
        reset();
    }
}

void GestureRecognizer::abandon() {
    QPointer<GestureRecognizer> self(this);
    touches_.clear();
    if (isRunning()) {
        setState(GestureState::cancelled);
    } else if (state_ == GestureState::possible && inSequence_) {
        setState(GestureState::failed);
    }
    if (self && !inSequence_ && state_ != GestureState::possible) {
        reset();
    }
}

void addGestureRecognizer(QWidget* view, GestureRecognizer* recognizer) {
    if (!view || !recognizer || recognizer->view_ == view) {
        return;
    }
    GestureDispatcher& dispatcher = GestureDispatcher::instance();
    if (QWidget* previous = recognizer->view_) {
        recognizer->abandon();
        dispatcher.detach(previous, recognizer);
    }
    recognizer->setParent(view);
    recognizer->view_ = view;
    dispatcher.attach(view, recognizer);
}

void removeGestureRecognizer(QWidget* view, GestureRecognizer* recognizer) {
    if (!view || !recognizer || recognizer->view_ != view) {
        return;
    }
    recognizer->abandon();
    GestureDispatcher::instance().detach(view, recognizer);
    recognizer->view_ = nullptr;
    recognizer->deleteLater();
}

QList<GestureRecognizer*> gestureRecognizers(const QWidget* view) {
    return GestureDispatcher::instance().recognizersOf(view);
}
