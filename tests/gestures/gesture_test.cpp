#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "gestures/gesture_clock.h"
#include "gestures/gesture_recognizer.h"
#include "gestures/long_press_gesture_recognizer.h"
#include "gestures/pan_gesture_recognizer.h"
#include "gestures/pinch_gesture_recognizer.h"
#include "gestures/tap_gesture_recognizer.h"
#include "test_support.h"

namespace {
using S = GestureState;
using Path = std::vector<QPoint>;
const char* const kStates[] = {"possible", "began", "changed", "ended", "cancelled", "failed"};

QPointingDevice* touchScreen() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

// A window laid out like the drawing screen: a content view holding a canvas view, a toolbar
// that keeps gestures out, and a plain button. Five recognisers as the editor sets them up.
struct GestureFixture : testing::Test, GestureRecognizerDelegate {
    ManualGestureClock clock;
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
    QStringList log;
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
        pinch->setDelegate(this);
        twoFingerPan->setMinimumNumberOfTouches(2);
        twoFingerPan->setDelegate(this);
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

    bool gestureRecognizerShouldRecognizeSimultaneouslyWith(GestureRecognizer&,
                                                            GestureRecognizer&) override {
        return true;
    }

    // Logs "who state x,y", then "by dx,dy" for a pan and "x scale" for a pinch; resets those
    // as the editor's handlers do, so each entry shows the increment.
    void record(GestureRecognizer* recognizer, const QString& who) {
        recognizer->addTarget([this, who](GestureRecognizer& r) {
            const QPointF at = r.locationInView();
            QString entry =
                QString("%1 %2 %3,%4").arg(who, kStates[int(r.state())]).arg(at.x()).arg(at.y());
            if (auto* pan = qobject_cast<PanGestureRecognizer*>(&r)) {
                const QPointF moved = pan->translationInView(r.view());
                entry += QString(" by %1,%2").arg(moved.x()).arg(moved.y());
                pan->setTranslation(QPointF(), r.view());
            }
            if (auto* zoom = qobject_cast<PinchGestureRecognizer*>(&r)) {
                entry += QString(" x%1").arg(zoom->scale());
                zoom->setScale(1);
            }
            log << entry;
        });
    }
    std::string trace() const { return log.join("; ").toStdString(); }

    QTest::QTouchEventWidgetSequence touch() { return QTest::touchEvent(&window, touchScreen()); }

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

TEST_F(GestureFixture, ADragPansFromTheThresholdAndFailsTheTapAndLongPress) {
    touch().press(0, QPoint(100, 200), canvas);
    touch().move(0, QPoint(106, 200), canvas);  // within the threshold: nothing yet
    EXPECT_EQ(trace(), "");
    touch().move(0, QPoint(120, 200), canvas);
    touch().move(0, QPoint(150, 230), canvas);
    clock.advance(1.0);  // the long press's time passes while the finger moves
    touch().release(0, QPoint(160, 240), canvas);
    EXPECT_EQ(trace(),
              "draw began 120,200 by 20,0; draw changed 150,230 by 30,30; "
              "draw ended 160,240 by 0,0");
}

TEST_F(GestureFixture, ASecondFingerCancelsTheStrokeWhileTwoFingerPanAndPinchBeginTogether) {
    touch().press(0, QPoint(100, 200), canvas);
    touch().move(0, QPoint(130, 200), canvas);
    touch().stationary(0).press(1, QPoint(230, 200), canvas);
    // The cancelled stroke reports its own finger, not the centre of both.
    EXPECT_EQ(trace(), "draw began 130,200 by 30,0; draw cancelled 130,200 by 0,0");

    // Both fingers move down and apart: pan and pinch begin on the same event. One finger
    // lifts: the two-finger gestures end and the remaining finger draws nothing.
    log.clear();
    touch().move(0, QPoint(120, 230), canvas).move(1, QPoint(240, 230), canvas);
    touch().move(0, QPoint(110, 260), canvas).move(1, QPoint(250, 260), canvas);
    touch().release(1, QPoint(250, 260), canvas).stationary(0);
    touch().move(0, QPoint(60, 400), canvas);
    touch().release(0, QPoint(60, 400), canvas);
    EXPECT_EQ(trace(),
              "pinch began 180,230 x1.2; pan2 began 180,230 by 0,30; "
              "pinch changed 180,260 x1.16667; pan2 changed 180,260 by 0,30; "
              "pinch ended 180,260 x1; pan2 ended 180,260 by 0,0");
    EXPECT_EQ(drawPan->state(), S::possible);
}

TEST_F(GestureFixture, ALongPressBeginsAfterItsDurationAndFollowsTheFinger) {
    touch().press(0, QPoint(100, 200), canvas);
    touch().move(0, QPoint(105, 203), canvas);  // small wobble allowed
    clock.advance(0.39);
    EXPECT_EQ(trace(), "");
    clock.advance(0.02);
    EXPECT_EQ(trace(), "press began 105,203");
    touch().move(0, QPoint(200, 500), canvas);  // far: the press follows, nothing else starts
    touch().release(0, QPoint(210, 510), canvas);
    EXPECT_EQ(trace(), "press began 105,203; press changed 200,500; press ended 210,510");

    // Once the press has begun, lifting on the spot is no tap as well.
    log.clear();
    touch().press(0, QPoint(100, 200), canvas);
    clock.advance(0.45);
    touch().release(0, QPoint(100, 200), canvas);
    EXPECT_EQ(trace(), "press began 100,200; press ended 100,200");

    // Lifting before the duration fails it: a tap, which a little wobble does not spoil, ends
    // where the finger lifted.
    log.clear();
    touch().press(0, QPoint(100, 200), canvas);
    touch().move(0, QPoint(104, 203), canvas);
    clock.advance(0.2);
    touch().release(0, QPoint(104, 203), canvas);
    clock.advance(1);
    EXPECT_EQ(trace(), "tap ended 104,203");
}

TEST_F(GestureFixture, InputMeantForControlsNeverReachesTheRecognisers) {
    touch().press(0, QPoint(20, 15), button);
    touch().release(0, QPoint(20, 15), button);
    touch().press(0, QPoint(200, 50), toolbar);
    touch().move(0, QPoint(100, 50), toolbar);
    touch().release(0, QPoint(100, 50), toolbar);
    QTest::mouseClick(toolbarButton, Qt::LeftButton, {}, QPoint(20, 15));
    mouseDrag(toolbar, Qt::LeftButton, {{200, 50}, {100, 40}});
    wheel(toolbar, QPoint(200, 50), 120);
    clock.advance(1);
    EXPECT_EQ(trace(), "");
    EXPECT_EQ(buttonClicks, 2);  // the touch tap and the mouse click

    // A touchpad's raw fingers are no touches on the screen (they move the pointer instead).
    static QPointingDevice* touchpad = QTest::createTouchDevice(QInputDevice::DeviceType::TouchPad);
    QTest::touchEvent(&window, touchpad).press(0, QPoint(100, 200), canvas);
    QTest::touchEvent(&window, touchpad).release(0, QPoint(100, 200), canvas);
    EXPECT_EQ(trace(), "");
}

TEST_F(GestureFixture, TheMouseIsOneFinger) {
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    EXPECT_EQ(trace(), "tap ended 50,60");

    // A mouse moves precisely, so a few points already make a drag.
    log.clear();
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    QTest::mouseMove(canvas, QPoint(53, 60));
    EXPECT_EQ(trace(), "");
    QTest::mouseMove(canvas, QPoint(56, 60));
    QTest::mouseMove(canvas, QPoint(90, 80));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(90, 80));
    EXPECT_EQ(trace(),
              "draw began 56,60 by 6,0; draw changed 90,80 by 34,20; "
              "draw ended 90,80 by 0,0");

    // The second click of a double click arrives as a double-click event: a tap as well.
    log.clear();
    QTest::mouseDClick(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(50, 60));
    EXPECT_EQ(trace(), "tap ended 50,60");
}

// A right drag is a pan too; the history model test fails if it draws.
TEST_F(GestureFixture, SpaceDragIsATwoFingerPan) {
    // Space held over the canvas turns the left button into two fingers, and a focused button
    // there is not pressed by it.
    button->setFocus();
    QTest::keyPress(button, Qt::Key_Space);
    mouseDrag(canvas, Qt::LeftButton, {{100, 100}, {130, 100}});
    QTest::keyRelease(button, Qt::Key_Space);
    EXPECT_EQ(trace(), "pan2 began 130,100 by 30,0; pan2 ended 130,100 by 0,0");
    EXPECT_EQ(buttonClicks, 0);

    log.clear();
    mouseDrag(canvas, Qt::LeftButton, {{100, 100}, {130, 100}});
    EXPECT_EQ(trace(), "draw began 130,100 by 30,0; draw ended 130,100 by 0,0");
}

TEST_F(GestureFixture, WheelAndTrackpadZoomDriveThePinch) {
    wheel(canvas, QPoint(100, 200), 120);
    wheel(canvas, QPoint(100, 200), 240, Qt::ControlModifier);
    wheel(canvas, QPoint(100, 200), -120);
    clock.advance(0.29);
    EXPECT_EQ(pinch->state(), S::changed);
    clock.advance(0.02);
    EXPECT_EQ(trace(),
              "pinch began 100,200 x1.2; pinch changed 100,200 x1.44; "
              "pinch changed 100,200 x0.833333; pinch ended 100,200 x1");
    EXPECT_EQ(pinch->state(), S::possible);

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
    EXPECT_EQ(trace(),
              "pinch began 150,250 x1.1; pinch changed 150,250 x0.5; "
              "pinch ended 150,250 x1");
}

TEST_F(GestureFixture, DisablingOrRemovingARunningGestureCancelsIt) {
    for (bool remove : {false, true}) {
        log.clear();
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 60));
        QTest::mouseMove(canvas, QPoint(90, 60));
        remove ? removeGestureRecognizer(content, drawPan) : drawPan->setEnabled(false);
        QTest::mouseMove(canvas, QPoint(120, 60));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(120, 60));
        mouseDrag(canvas, Qt::LeftButton, {{50, 60}, {90, 60}});  // off, it sees nothing
        EXPECT_EQ(trace(), "draw began 90,60 by 40,0; draw cancelled 90,60 by 0,0") << remove;
        drawPan->setEnabled(true);
    }

    // Without its own recogniser the canvas passes touches on to the content's again.
    log.clear();
    removeGestureRecognizer(canvas, longPress);
    touch().press(0, QPoint(100, 200), canvas);
    touch().release(0, QPoint(100, 200), canvas);
    EXPECT_EQ(trace(), "tap ended 100,200");
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
    other.reset();  // gone before the finger lifted

    touch().press(1, QPoint(100, 200), canvas);
    touch().release(1, QPoint(100, 200), canvas);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(60, 70));
    EXPECT_EQ(trace(), "other began 90,50 by 40,0; tap ended 100,200; tap ended 60,70");
}

TEST_F(GestureFixture, ThroughTheWindowADragKeepsGoingOverControlsAndClicksStillWork) {
    // The way the window system delivers the mouse: the widget under the pointer, then a grab.
    QWindow* handle = window.windowHandle();
    mouseDrag(handle, Qt::LeftButton, {{50, 60}, {90, 60}, {90, 780}});  // ends over the toolbar
    QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(320, 720));
    EXPECT_EQ(trace(),
              "draw began 90,60 by 40,0; draw changed 90,780 by 0,720; "
              "draw ended 90,780 by 0,0");
    EXPECT_EQ(buttonClicks, 1);
}
