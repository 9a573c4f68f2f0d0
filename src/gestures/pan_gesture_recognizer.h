#pragma once

#include <limits>

#include "gestures/gesture_recognizer.h"

// A drag with between minimumNumberOfTouches and maximumNumberOfTouches fingers. It begins once
// the fingers' centre has moved beyond a small threshold, changes as they move, and ends when
// fewer than the minimum remain. A finger beyond the maximum cancels a running pan (and fails
// one not yet begun), so a second finger on a one-finger drag ends the drag as cancelled.
class PanGestureRecognizer : public GestureRecognizer {
    Q_OBJECT
public:
    explicit PanGestureRecognizer(QObject* parent = nullptr) : GestureRecognizer(parent) {}

    int minimumNumberOfTouches() const { return minimumTouches_; }
    void setMinimumNumberOfTouches(int count) { minimumTouches_ = count < 1 ? 1 : count; }
    int maximumNumberOfTouches() const { return maximumTouches_; }
    void setMaximumNumberOfTouches(int count) { maximumTouches_ = count < 1 ? 1 : count; }

    // How far the fingers' centre has moved since the pan started or since the translation was
    // last set. Views do not scale, so the vector is the same in every view.
    QPointF translationInView(const QWidget* view) const;
    // Handlers set (0, 0) to have the next event carry only the movement since this one.
    void setTranslation(QPointF translation, const QWidget* view);

protected:
    void touchesBegan(const std::vector<GestureTouch>& touches) override;
    void touchesMoved(const std::vector<GestureTouch>& touches) override;
    void touchesEnded(const std::vector<GestureTouch>& touches) override;
    void reset() override;

private:
    bool countInRange(int count) const {
        return count >= minimumTouches_ && count <= maximumTouches_;
    }

    int minimumTouches_ = 1;
    int maximumTouches_ = std::numeric_limits<int>::max();
    QPointF translation_;
};
