#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <set>
#include <type_traits>
#include <vector>

#include "gestures/gesture.h"

class GestureRecognizer;

// Decides whether two recognisers may run at the same time. Asked both ways round: one yes is
// enough. Held weakly.
class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldRecognizeSimultaneouslyWith(GestureRecognizer& recognizer,
                                                                    GestureRecognizer& other) = 0;
};

// One finger as the recognisers see it. Positions are global (screen) points.
struct GestureTouch {
    int id = 0;
    QPointF position;
    QPointF previousPosition;
    QPointF startPosition;
    // The mouse standing in for a finger: it moves precisely, so smaller movements count.
    bool precise = false;

    // How far the touch may wander and still count as standing still.
    double slop() const { return precise ? 4.0 : 10.0; }
    double distanceMoved() const;
};

// The base of the tap, pan, pinch and long-press recognisers. Attached to a view (see
// addGestureRecognizer), a recogniser sees the touches that start in that view or in any view
// inside it, moves through the gesture states, and calls its targets on began, changed, ended
// and cancelled. Once a gesture is over (ended, cancelled or failed) the recogniser goes back to
// possible when the last finger of the sequence lifts.
class GestureRecognizer : public QObject, public Gesture {
    Q_OBJECT
public:
    using Action = std::function<void(GestureRecognizer&)>;

    explicit GestureRecognizer(QObject* parent = nullptr);
    ~GestureRecognizer() override;

    GestureState state() const override { return state_; }
    // Where the gesture is, in the view it is attached to (global points when detached): the
    // centre of its touches, or where they were last.
    QPointF locationInView() const override;
    QPointF locationInView(const QWidget* view) const;
    // Touches currently down that this recogniser follows.
    int numberOfTouches() const { return static_cast<int>(touches_.size()); }

    QWidget* view() const { return view_; }

    bool isEnabled() const { return enabled_; }
    // Disabling a running gesture cancels it; a possible one fails.
    void setEnabled(bool enabled);

    GestureRecognizerDelegate* delegate() const;
    void setDelegate(GestureRecognizerDelegate* delegate);

    // Called on began, changed, ended and cancelled, in the order added.
    void addTarget(Action action);
    // Calls (target->*action)(recognizer). A QObject target that has gone away is not called.
    template <class Target, class Recognizer>
    void addTarget(Target* target, void (Target::*action)(Recognizer&));

    // Whether the two may recognise together: either delegate saying yes is enough.
    static bool canRecognizeSimultaneously(GestureRecognizer& a, GestureRecognizer& b);

protected:
    // Moves the gesture on. Leaving possible for began (or straight for ended) is subject to the
    // other recognisers of the touch sequence; a recogniser that may not begin fails instead.
    void setState(GestureState state);
    bool isRunning() const {
        return state_ == GestureState::began || state_ == GestureState::changed;
    }
    bool isInTouchSequence() const { return inSequence_; }

    // Hooks, called after the touches below have been brought up to date: new touches are in
    // touches(), moved ones carry their new positions, lifted ones are gone already.
    virtual void touchesBegan(const std::vector<GestureTouch>& touches) = 0;
    virtual void touchesMoved(const std::vector<GestureTouch>& touches) = 0;
    virtual void touchesEnded(const std::vector<GestureTouch>& touches) = 0;
    // The system took the touches away: a running gesture is cancelled, a possible one fails.
    virtual void touchesCancelled();
    // Back to a fresh start; subclasses clear their own state and call the base.
    virtual void reset();

    const std::map<int, GestureTouch>& touches() const { return touches_; }
    // Stops following the touch for the rest of the sequence.
    void ignoreTouch(int id);
    // The centre of the followed touches, global.
    QPointF centroid() const;
    // For gestures driven without touches (the wheel): where the gesture is, global.
    void setGlobalLocation(QPointF location) { location_ = location; }

private:
    friend class GestureDispatcher;
    friend void addGestureRecognizer(QWidget* view, GestureRecognizer* recognizer);
    friend void removeGestureRecognizer(QWidget* view, GestureRecognizer* recognizer);

    enum class Phase { began, moved, ended };
    bool takesTouches() const;
    void deliver(Phase phase, const std::vector<GestureTouch>& touches);
    void deliverCancelled();
    void enterSequence();
    void leaveSequence();
    // Ends what runs when the recogniser leaves the game mid-gesture (disabled, detached).
    void abandon();
    void sendActions();

    GestureState state_ = GestureState::possible;
    bool enabled_ = true;
    bool inSequence_ = false;
    QPointer<QWidget> view_;
    GestureRecognizerDelegate* delegate_ = nullptr;
    // Set when the delegate is a QObject, so that a delegate that has gone is never asked.
    QPointer<QObject> delegateObject_;
    bool delegateIsObject_ = false;
    std::vector<Action> actions_;
    std::map<int, GestureTouch> touches_;
    std::set<int> ignored_;
    QPointF location_;
};

template <class Target, class Recognizer>
void GestureRecognizer::addTarget(Target* target, void (Target::*action)(Recognizer&)) {
    static_assert(std::is_base_of_v<Gesture, Recognizer>, "the action takes a gesture");
    if constexpr (std::is_base_of_v<QObject, Target>) {
        QPointer<Target> guard(target);
        addTarget([guard, action](GestureRecognizer& recognizer) {
            auto* gesture = dynamic_cast<Recognizer*>(&recognizer);
            Q_ASSERT_X(gesture, "GestureRecognizer::addTarget", "action of the wrong type");
            if (guard && gesture) {
                (guard.data()->*action)(*gesture);
            }
        });
    } else {
        addTarget([target, action](GestureRecognizer& recognizer) {
            auto* gesture = dynamic_cast<Recognizer*>(&recognizer);
            Q_ASSERT_X(gesture, "GestureRecognizer::addTarget", "action of the wrong type");
            if (gesture) {
                (target->*action)(*gesture);
            }
        });
    }
}

// Attaches recognizer to view, which takes ownership (it becomes the recogniser's parent) and
// from then on accepts touch events. A recogniser belongs to one view at a time; attaching it
// elsewhere moves it. Recognisers of a view and of every view around it see the touches that
// start in it, the innermost view's first, each view's in the order attached. Touches that start
// on a control (button, slider, text field, spin box, combo box, any widget with the property
// "blocksGestures" set to true, any widget handling touches itself) go to the control instead.
void addGestureRecognizer(QWidget* view, GestureRecognizer* recognizer);
// Detaches recognizer from view (cancelling what it is doing) and deletes it later.
void removeGestureRecognizer(QWidget* view, GestureRecognizer* recognizer);
// The recognisers attached to view, in the order attached.
QList<GestureRecognizer*> gestureRecognizers(const QWidget* view);
