#include "gestures/pan_gesture_recognizer.h"

#include <QLineF>
#include <algorithm>

QPointF PanGestureRecognizer::translationInView(const QWidget*) const {
    return translation_;
}

void PanGestureRecognizer::setTranslation(QPointF translation, const QWidget*) {
    translation_ = translation;
}

void PanGestureRecognizer::touchesBegan(const std::vector<GestureTouch>& touches) {
    const int count = numberOfTouches();
    if (count > maximumTouches_) {
        if (isRunning()) {
            // The pan reports where its own fingers were, not the centre with the newcomer.
            for (const GestureTouch& touch : touches) {
                ignoreTouch(touch.id);
            }
            setState(GestureState::cancelled);
        } else if (state() == GestureState::possible) {
            setState(GestureState::failed);
        }
        return;
    }
    const int before = count - static_cast<int>(touches.size());
    if (state() == GestureState::possible && before < minimumTouches_ && countInRange(count)) {
        // The drag is measured from the moment enough fingers are down.
        translation_ = QPointF();
    }
}

void PanGestureRecognizer::touchesMoved(const std::vector<GestureTouch>& touches) {
    const int count = numberOfTouches();
    if (!countInRange(count)) {
        return;
    }
    // The centre of all fingers moves by the mean of their steps (resting fingers step 0).
    QPointF step;
    for (const GestureTouch& touch : touches) {
        step += touch.position - touch.previousPosition;
    }
    translation_ += step / static_cast<double>(count);

    if (state() == GestureState::possible) {
        double slop = 0;
        bool first = true;
        for (const auto& [id, touch] : this->touches()) {
            slop = first ? touch.slop() : std::min(slop, touch.slop());
            first = false;
        }
        if (QLineF(QPointF(), translation_).length() > slop) {
            setState(GestureState::began);
        }
    } else if (isRunning()) {
        setState(GestureState::changed);
    }
}

void PanGestureRecognizer::touchesEnded(const std::vector<GestureTouch>&) {
    const int count = numberOfTouches();
    if (isRunning() && count < minimumTouches_) {
        setState(GestureState::ended);
    } else if (state() == GestureState::possible && count == 0) {
        setState(GestureState::failed);
    }
}

void PanGestureRecognizer::reset() {
    translation_ = QPointF();
    GestureRecognizer::reset();
}
