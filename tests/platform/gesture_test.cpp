#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "platform/gesture_clock.h"
#include "platform/gesture_recognizer.h"
#include "platform/long_press_gesture_recognizer.h"
#include "platform/pan_gesture_recognizer.h"
#include "platform/pinch_gesture_recognizer.h"
#include "platform/tap_gesture_recognizer.h"
#include "test_support.h"

namespace {
using S = GestureState;
using States = std::vector<GestureState>;
using Path = std::vector<QPoint>;

QPointingDevice* touchScreen() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

struct Seen {
    QString who;
    GestureState state;
    QPointF location;
    QPointF translation;
    double scale = 1;
};

class AlwaysTogether : public GestureRecognizerDelegate {
public:
    bool gestureRecognizerShouldRecognizeSimultaneouslyWith(GestureRecognizer&,
                                                            GestureRecognizer&) override {
        return true;
    }
};

// A window laid out like the drawing screen: a content view holding a canvas view, a toolbar
// that keeps gestures out, and a plain button. Five recognisers as the editor sets them up.
struct GestureFixture : testing::Test {
    ManualGestureClock clock;
    AlwaysTogether together;
    QWidget window;
    QWidget* content = new QWidget(&window);
    QWidget* canvas = new QWidget(content);
    QWidget* toolbar = new QWidget(content);
    QPushButton* toolbarButton = new QPushButton(QStringLiteral("Undo"), toolbar);
    QPushButton* button = new QPushButton(QStringLiteral("Colour"), content);
    PinchGestureRecognizer* pinch = new PinchGestureRecognizer;
    PanGestureRecognizer* twoFingerPan = new PanGestureRecognizer;
    PanGestureRecognizer* drawPan = new PanGestureRecognizer;
    TapGestureRecognizer* tap = new TapGestureRecognizer;
    LongPressGestureRecognizer* longPress = new LongPressGestureRecognizer;
    std::vector<Seen> log;
    bool handlersReset = true;
    int buttonClicks = 0;

    void SetUp() override {
        window.resize(390, 844);
        content->setGeometry(0, 0, 390, 844);
        canvas->setGeometry(0, 0, 390, 700);
        button->setGeometry(300, 705, 80, 30);
        toolbar->setGeometry(0, 744, 390, 100);
        toolbar->setProperty("blocksGestures", true);
        toolbarButton->setGeometry(10, 10, 80, 40);
        for (QPushButton* b : {button, toolbarButton}) {
            QObject::connect(b, &QPushButton::clicked, [this] { ++buttonClicks; });
        }
        pinch->setDelegate(&together);
        twoFingerPan->setMinimumNumberOfTouches(2);
        twoFingerPan->setDelegate(&together);
        drawPan->setMaximumNumberOfTouches(1);
        longPress->setMinimumPressDuration(0.4);
        longPress->setAllowableMovement(20);
        const std::pair<GestureRecognizer*, QString> onContent[] = {
            {pinch, "pinch"}, {twoFingerPan, "pan2"}, {drawPan, "draw"}, {tap, "tap"}};
        for (const auto& [recognizer, who] : onContent) {
            addGestureRecognizer(content, recognizer);
            record(recognizer, who);
        }
        addGestureRecognizer(canvas, longPress);
        record(longPress, "press");
        window.show();
    }

    void record(GestureRecognizer* recognizer, const QString& who) {
        recognizer->addTarget([this, who](GestureRecognizer& r) {
            Seen seen{who, r.state(), r.locationInView(), {}, 1};
            if (auto* pan = qobject_cast<PanGestureRecognizer*>(&r)) {
                seen.translation = pan->translationInView(r.view());
                if (handlersReset) {
                    pan->setTranslation(QPointF(), r.view());
                }
            }
            if (auto* zoom = qobject_cast<PinchGestureRecognizer*>(&r)) {
                seen.scale = zoom->scale();
                if (handlersReset) {
                    zoom->setScale(1);
                }
            }
            log.push_back(seen);
        });
    }

    std::vector<Seen> of(const QString& who) const {
        std::vector<Seen> result;
        std::copy_if(log.begin(), log.end(), std::back_inserter(result),
                     [&](const Seen& seen) { return seen.who == who; });
        return result;
    }
    States states(const QString& who) const {
        States result;
        for (const Seen& seen : of(who)) {
            result.push_back(seen.state);
        }
        return result;
    }

    QTest::QTouchEventWidgetSequence touch() { return QTest::touchEvent(&window, touchScreen()); }

    // One finger down at the first point, through the others, up at the last.
    void stroke(const Path& path, QWidget* on) {
        touch().press(0, path.front(), on);
        for (size_t i = 1; i < path.size(); ++i) {
            touch().move(0, path[i], on);
        }
        touch().release(0, path.back(), on);
    }

    // Two fingers the same way, moving together.
    void twoFingers(const Path& first, const Path& second) {
        touch().press(0, first[0], canvas).press(1, second[0], canvas);
        for (size_t i = 1; i < first.size(); ++i) {
            touch().move(0, first[i], canvas).move(1, second[i], canvas);
        }
        touch().release(0, first.back(), canvas).release(1, second.back(), canvas);
    }

    template <class Target>
    void mouseDrag(Target* target, Qt::MouseButton button, const Path& path) {
        QTest::mousePress(target, button, {}, path.front());
        for (size_t i = 1; i < path.size(); ++i) {
            QTest::mouseMove(target, path[i]);
        }
        QTest::mouseRelease(target, button, {}, path.back());
    }

    void wheel(QWidget* target, QPoint at, int delta, Qt::KeyboardModifiers modifiers = {}) {
        QWheelEvent event(at, target->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
    }
};
}  // namespace

TEST_F(GestureFixture, ATapEndsOnceWhereTheFingerLiftedAndStartsNoPan) {
    stroke({{100, 200}, {104, 203}}, canvas);  // a little wobble is still a tap
    ASSERT_EQ(states("tap"), States{S::ended});
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].location, QPointF(104, 203));
    for (GestureRecognizer* r : gestureRecognizers(content)) {
        EXPECT_EQ(r->state(), S::possible);
    }
    EXPECT_EQ(longPress->state(), S::possible);
}

TEST_F(GestureFixture, ADragPansFromTheThresholdAndFailsTheTapAndLongPress) {
    touch().press(0, QPoint(100, 200), canvas);
    touch().move(0, QPoint(106, 200), canvas);  // within the threshold: nothing yet
    EXPECT_TRUE(log.empty());
    touch().move(0, QPoint(120, 200), canvas);
    touch().move(0, QPoint(150, 230), canvas);
    clock.advance(1.0);  // the long press's time passes while the finger moves
    touch().release(0, QPoint(160, 240), canvas);

    ASSERT_EQ(states("draw"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(log.size(), 3u);  // no tap, no long press, no two-finger pan
    const auto draw = of("draw");
    EXPECT_EQ(draw[0].location, QPointF(120, 200));
    EXPECT_EQ(draw[1].location, QPointF(150, 230));
    EXPECT_EQ(draw[2].location, QPointF(160, 240));
    EXPECT_EQ(tap->state(), S::possible);
}

TEST_F(GestureFixture, TranslationAndScaleCarryTheIncrementWhenHandlersResetThem) {
    // Two fingers 100 points apart move down together while spreading to 200 points apart.
    twoFingers({{100, 300}, {80, 320}, {70, 340}, {50, 360}},
               {{200, 300}, {220, 320}, {230, 340}, {250, 360}});
    ASSERT_EQ(states("pan2"), (States{S::began, S::changed, S::changed, S::ended}));
    ASSERT_EQ(states("pinch"), (States{S::began, S::changed, S::changed, S::ended}));
    EXPECT_EQ(log.size(), 8u);  // no stroke, no tap
    const auto pan = of("pan2");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pan[i].translation, QPointF(0, 20));
    }
    EXPECT_EQ(pan[3].translation, QPointF(0, 0));
    const auto zoom = of("pinch");
    EXPECT_DOUBLE_EQ(zoom[0].scale, 1.4);
    EXPECT_DOUBLE_EQ(zoom[1].scale, 160.0 / 140.0);
    EXPECT_DOUBLE_EQ(zoom[0].scale * zoom[1].scale * zoom[2].scale, 2.0);

    // Left alone, both report the total so far.
    log.clear();
    handlersReset = false;
    twoFingers({{100, 300}, {80, 320}, {50, 360}}, {{200, 300}, {220, 320}, {250, 360}});
    EXPECT_EQ(of("pan2")[1].translation, QPointF(0, 60));
    EXPECT_DOUBLE_EQ(of("pinch")[1].scale, 2.0);
}

TEST_F(GestureFixture, ASecondFingerCancelsTheStrokeWhileTwoFingerPanAndPinchBeginTogether) {
    touch().press(0, QPoint(100, 200), canvas);
    touch().move(0, QPoint(130, 200), canvas);
    touch().stationary(0).press(1, QPoint(230, 200), canvas);
    ASSERT_EQ(states("draw"), (States{S::began, S::cancelled}));
    // The cancelled stroke reports its own finger, not the centre of both.
    EXPECT_EQ(of("draw")[1].location, QPointF(130, 200));
    EXPECT_TRUE(states("pan2").empty());

    // Both fingers move down and apart: pan and pinch begin on the same event.
    touch().move(0, QPoint(120, 230), canvas).move(1, QPoint(240, 230), canvas);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].state, S::began);
    EXPECT_EQ(log[3].state, S::began);
    EXPECT_EQ(of("pan2")[0].location, QPointF(180, 230));
    touch().move(0, QPoint(110, 260), canvas).move(1, QPoint(250, 260), canvas);
    // One finger lifts: the two-finger gestures end and the remaining finger draws nothing.
    touch().release(1, QPoint(250, 260), canvas).stationary(0);
    touch().move(0, QPoint(60, 400), canvas);
    touch().release(0, QPoint(60, 400), canvas);

    EXPECT_EQ(states("pan2"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(states("pinch"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(states("draw"), (States{S::began, S::cancelled}));
    EXPECT_TRUE(states("tap").empty());
    EXPECT_EQ(drawPan->state(), S::possible);
}

TEST_F(GestureFixture, WithoutASimultaneityDelegateTheFirstGestureToBeginExcludesTheOthers) {
    pinch->setDelegate(nullptr);
    {
        // A delegate that has gone away is never asked.
        auto gone = std::make_unique<QObject>();
        struct Delegate : QObject, AlwaysTogether {};
        auto* delegate = new Delegate;
        delegate->setParent(gone.get());
        twoFingerPan->setDelegate(delegate);
    }
    EXPECT_EQ(twoFingerPan->delegate(), nullptr);

    twoFingers({{100, 300}, {80, 320}, {70, 340}}, {{200, 300}, {220, 320}, {230, 340}});
    // The pinch is attached first, so it sees the move first and wins.
    EXPECT_EQ(states("pinch"), (States{S::began, S::changed, S::ended}));
    EXPECT_TRUE(states("pan2").empty());
}

TEST_F(GestureFixture, ALongPressBeginsAfterItsDurationAndFollowsTheFinger) {
    touch().press(0, QPoint(100, 200), canvas);
    touch().move(0, QPoint(105, 203), canvas);  // small wobble allowed
    clock.advance(0.39);
    EXPECT_TRUE(log.empty());
    clock.advance(0.02);
    ASSERT_EQ(states("press"), States{S::began});
    EXPECT_EQ(of("press")[0].location, QPointF(105, 203));
    touch().move(0, QPoint(200, 500), canvas);  // far: the press follows, nothing else starts
    touch().release(0, QPoint(210, 510), canvas);

    EXPECT_EQ(states("press"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(of("press")[1].location, QPointF(200, 500));
    EXPECT_EQ(of("press")[2].location, QPointF(210, 510));
    EXPECT_EQ(log.size(), 3u);

    // Once the press has begun, lifting on the spot is no tap as well.
    log.clear();
    touch().press(0, QPoint(100, 200), canvas);
    clock.advance(0.45);
    touch().release(0, QPoint(100, 200), canvas);
    EXPECT_EQ(states("press"), (States{S::began, S::ended}));
    EXPECT_TRUE(states("tap").empty());

    // Lifting before the duration fails it.
    log.clear();
    touch().press(0, QPoint(100, 200), canvas);
    clock.advance(0.2);
    touch().release(0, QPoint(100, 200), canvas);
    clock.advance(1);
    EXPECT_TRUE(states("press").empty());
    EXPECT_EQ(states("tap"), States{S::ended});
}

TEST_F(GestureFixture, MovingBeyondTheAllowableMovementEarlyFailsTheLongPress) {
    // Alone on a view, only its own allowance counts: 15 points is fine, 25 is not.
    QWidget* plain = new QWidget(&window);
    plain->setGeometry(0, 0, 390, 700);
    plain->show();
    auto* press = new LongPressGestureRecognizer;
    press->setMinimumPressDuration(0.4);
    press->setAllowableMovement(20);
    addGestureRecognizer(plain, press);
    record(press, "alone");

    for (int far : {115, 125}) {
        touch().press(0, QPoint(100, 200), plain);
        touch().move(0, QPoint(far, 200), plain);
        clock.advance(0.5);
        touch().release(0, QPoint(far, 200), plain);
        EXPECT_EQ(states("alone"), (States{S::began, S::ended})) << far;
    }
    EXPECT_TRUE(states("draw").empty());  // the view on top took the touches
}

TEST_F(GestureFixture, InputMeantForControlsNeverReachesTheRecognisers) {
    stroke({{20, 15}}, button);
    stroke({{200, 50}, {100, 50}}, toolbar);
    QTest::mouseClick(toolbarButton, Qt::LeftButton, {}, QPoint(20, 15));
    mouseDrag(toolbar, Qt::LeftButton, {{200, 50}, {100, 40}});
    wheel(toolbar, QPoint(200, 50), 120);
    clock.advance(1);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(buttonClicks, 2);  // the touch tap and the mouse click

    // A touchpad's raw fingers are no touches on the screen (they move the pointer instead).
    static QPointingDevice* touchpad = QTest::createTouchDevice(QInputDevice::DeviceType::TouchPad);
    QTest::touchEvent(&window, touchpad).press(0, QPoint(100, 200), canvas);
    QTest::touchEvent(&window, touchpad).release(0, QPoint(100, 200), canvas);
    EXPECT_TRUE(log.empty());
}

TEST_F(GestureFixture, TheMouseIsOneFinger) {
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    ASSERT_EQ(states("tap"), States{S::ended});
    EXPECT_EQ(of("tap")[0].location, QPointF(50, 60));

    // A mouse moves precisely, so a few points already make a drag.
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    QTest::mouseMove(canvas, QPoint(53, 60));
    EXPECT_TRUE(states("draw").empty());
    QTest::mouseMove(canvas, QPoint(56, 60));
    QTest::mouseMove(canvas, QPoint(90, 80));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(90, 80));
    EXPECT_EQ(states("draw"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(of("draw")[0].location, QPointF(56, 60));
    EXPECT_EQ(of("draw")[0].translation, QPointF(6, 0));

    // A double click is two taps.
    QTest::mouseDClick(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    EXPECT_EQ(states("tap").size(), 2u);

    // Press and hold is a long press, which then follows the pointer.
    log.clear();
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    clock.advance(0.4);
    QTest::mouseMove(canvas, QPoint(70, 90));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(70, 90));
    EXPECT_EQ(states("press"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(GestureFixture, RightDragAndSpaceDragAreTwoFingerPans) {
    mouseDrag(canvas, Qt::RightButton, {{100, 100}, {100, 130}, {90, 150}});
    ASSERT_EQ(states("pan2"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(of("pan2")[0].translation, QPointF(0, 30));
    EXPECT_EQ(of("pan2")[1].translation, QPointF(-10, 20));
    EXPECT_EQ(of("pan2")[1].location, QPointF(90, 150));
    EXPECT_EQ(log.size(), 3u);  // no stroke, no tap, no pinch

    // Space held over the canvas turns the left button into two fingers, and a focused button
    // there is not pressed by it.
    log.clear();
    button->setFocus();
    QTest::keyPress(button, Qt::Key_Space);
    mouseDrag(canvas, Qt::LeftButton, {{100, 100}, {130, 100}});
    QTest::keyRelease(button, Qt::Key_Space);
    EXPECT_EQ(states("pan2"), (States{S::began, S::ended}));
    EXPECT_TRUE(states("draw").empty());
    EXPECT_EQ(buttonClicks, 0);

    mouseDrag(canvas, Qt::LeftButton, {{100, 100}, {130, 100}});
    EXPECT_EQ(states("draw"), (States{S::began, S::ended}));
}

TEST_F(GestureFixture, WheelAndTrackpadZoomDriveThePinch) {
    wheel(canvas, QPoint(100, 200), 120);
    wheel(canvas, QPoint(100, 200), 240, Qt::ControlModifier);
    wheel(canvas, QPoint(100, 200), -120);
    clock.advance(0.29);
    EXPECT_EQ(pinch->state(), S::changed);
    clock.advance(0.02);
    ASSERT_EQ(states("pinch"), (States{S::began, S::changed, S::changed, S::ended}));
    const auto zoom = of("pinch");
    EXPECT_DOUBLE_EQ(zoom[0].scale, 1.2);
    EXPECT_DOUBLE_EQ(zoom[1].scale, 1.44);
    EXPECT_DOUBLE_EQ(zoom[2].scale, 1 / 1.2);
    EXPECT_EQ(zoom[0].location, QPointF(100, 200));
    EXPECT_EQ(pinch->state(), S::possible);
    EXPECT_EQ(log.size(), 4u);

    log.clear();
    const QPointF at(150, 250);
    const std::pair<Qt::NativeGestureType, double> steps[] = {
        {Qt::BeginNativeGesture, 0},
        {Qt::ZoomNativeGesture, 0.1},
        {Qt::ZoomNativeGesture, -0.5},
        {Qt::ZoomNativeGesture, -1.5},  // not a scale: ignored
        {Qt::EndNativeGesture, 0}};
    for (auto [type, value] : steps) {
        QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, at, at,
                                  canvas->mapToGlobal(at), value, QPointF());
        QCoreApplication::sendEvent(canvas, &event);
    }
    ASSERT_EQ(states("pinch"), (States{S::began, S::changed, S::ended}));
    EXPECT_DOUBLE_EQ(of("pinch")[0].scale, 1.1);
    EXPECT_DOUBLE_EQ(of("pinch")[1].scale, 0.5);
    EXPECT_EQ(of("pinch")[0].location, at);
}

TEST_F(GestureFixture, DisablingOrRemovingARunningGestureCancelsIt) {
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    QTest::mouseMove(canvas, QPoint(90, 60));
    drawPan->setEnabled(false);
    QTest::mouseMove(canvas, QPoint(120, 60));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(120, 60));
    EXPECT_EQ(states("draw"), (States{S::began, S::cancelled}));

    // Disabled, it sees nothing; enabled again, it works as before.
    mouseDrag(canvas, Qt::LeftButton, {{50, 60}, {90, 60}});
    EXPECT_EQ(states("draw").size(), 2u);
    drawPan->setEnabled(true);

    log.clear();
    QPointer<PanGestureRecognizer> removed = drawPan;
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    QTest::mouseMove(canvas, QPoint(90, 60));
    removeGestureRecognizer(content, drawPan);
    QTest::mouseMove(canvas, QPoint(120, 60));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(120, 60));
    EXPECT_EQ(states("draw"), (States{S::began, S::cancelled}));
    EXPECT_EQ(gestureRecognizers(content).size(), 3);
    processEvents();
    EXPECT_TRUE(removed.isNull());

    // Without its own recogniser the canvas passes touches on to the content's again.
    log.clear();
    removeGestureRecognizer(canvas, longPress);
    stroke({{100, 200}}, canvas);
    EXPECT_EQ(states("tap"), States{S::ended});
}

TEST_F(GestureFixture, AWindowClosedMidGestureDoesNotSwallowLaterInput) {
    auto other = std::make_unique<QWidget>();
    other->resize(200, 200);
    auto* pan = new PanGestureRecognizer;
    addGestureRecognizer(other.get(), pan);
    record(pan, "other");
    other->show();
    QTest::touchEvent(other.get(), touchScreen()).press(0, QPoint(50, 50));
    QTest::touchEvent(other.get(), touchScreen()).move(0, QPoint(90, 50));
    ASSERT_EQ(states("other"), States{S::began});
    other.reset();  // gone before the finger lifted

    touch().press(1, QPoint(100, 200), canvas);
    touch().release(1, QPoint(100, 200), canvas);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(60, 70));
    EXPECT_EQ(states("tap"), (States{S::ended, S::ended}));
}

TEST_F(GestureFixture, ThroughTheWindowADragKeepsGoingOverControlsAndClicksStillWork) {
    // The way the window system delivers the mouse: the widget under the pointer, then a grab.
    QWindow* handle = window.windowHandle();
    mouseDrag(handle, Qt::LeftButton, {{50, 60}, {90, 60}, {90, 780}});  // ends over the toolbar
    EXPECT_EQ(states("draw"), (States{S::began, S::changed, S::ended}));
    EXPECT_EQ(of("draw")[2].location, QPointF(90, 780));

    QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(320, 720));
    EXPECT_EQ(buttonClicks, 1);
    EXPECT_EQ(log.size(), 3u);
}

TEST(GestureClockTest, ManualTimersFireInDueOrderAndStoppedOnesNever) {
    ManualGestureClock clock;
    std::vector<int> fired;
    GestureTimer late;
    GestureTimer early;
    GestureTimer stopped;
    GestureTimer chained;
    late.start(0.3, [&] { fired.push_back(3); });
    early.start(0.1, [&] { fired.push_back(1); });
    stopped.start(0.2, [&] { fired.push_back(99); });
    chained.start(0.15, [&] { chained.start(0.1, [&] { fired.push_back(2); }); });
    stopped.stop();
    clock.advance(0.05);
    EXPECT_TRUE(fired.empty());
    clock.advance(1);
    EXPECT_EQ(fired, (std::vector<int>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(clock.now(), 1.05);
    {
        // A timer that outlives its clock is harmless.
        ManualGestureClock inner;
        late.start(0.1, [&] { fired.push_back(4); });
    }
    late.stop();
    EXPECT_EQ(&GestureClock::current(), &clock);
}
