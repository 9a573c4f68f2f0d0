// A seeded random storm of touch, mouse and key events over the whole app in its real window:
// whatever the user does, nothing crashes, and in the editor undoing everything always brings
// back the colours it opened with. TILEBLOOM_MONKEY_EVENTS sets the number of events
// (default 10,000) and TILEBLOOM_MONKEY_SEED the seed. A failure names the event count it
// came after; real timers (photo loading) make a run only roughly repeatable.
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSlider>
#include <QSqlQuery>
#include <QWheelEvent>
#include <iostream>
#include <random>

#include "app/settings_view_controller.h"
#include "app_fixture.h"
#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "editor/drawing_view_controller.h"
#include "gestures/gesture_clock.h"
#include "picture_fixtures.h"
#include "pixelate/pixel_view_controller.h"
#include "screens/activity_view_controller.h"
#include "screens/image_picker_controller.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/persistent_container.h"
#include "store/thumbnail.h"
#include "widgets/swipe_action_row.h"

namespace {
const int kEvents = positiveFromEnvironment("TILEBLOOM_MONKEY_EVENTS", 10000);
const unsigned kSeed = static_cast<unsigned>(positiveFromEnvironment("TILEBLOOM_MONKEY_SEED", 5));

struct MonkeyTest : AppFixture {
    MonkeyTest() : AppFixture(false) {}
    picture_fixtures::ScopedPicturesDir pictures;
    ManualGestureClock clock;
    std::mt19937 random{kSeed};
    int events = 0;
    int undoChecks = 0;
    QPointer<DrawingViewController> editor;  // the editor whose first colours are known
    std::vector<Color> startColors;

    void SetUp() override {  // photos for the picker, one cut short
        AppFixture::SetUp();
        using namespace picture_fixtures;
        writeFile(pictures.path() + "/meadow.jpg", encoded(halves(640, 480), "jpg"));
        writeFile(pictures.path() + "/tall.png", encoded(halves(120, 400), "png"));
        const QByteArray jpeg = encoded(halves(300, 300), "jpg");
        writeFile(pictures.path() + "/cut.jpg", jpeg.left(jpeg.size() / 2));
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    QPoint anywhere() { return QPoint(pick(390), pick(844)); }
    QPoint near(QPoint p, int spread) {
        return QPoint(std::clamp(p.x() + pick(2 * spread + 1) - spread, 0, 389),
                      std::clamp(p.y() + pick(2 * spread + 1) - spread, 0, 843));
    }
    QTest::QTouchEventWidgetSequence touch() {
        static QPointingDevice* device = QTest::createTouchDevice();
        return QTest::touchEvent(&window(), device);
    }

    void run(int budget) {
        const std::string printed = captureStdout([&] {
            while (events < budget && step()) {
            }
            undoEverything();  // the editor on top at the end gets its check too
        });
        if (HasFailure()) {  // the failure messages went into the captured output
            std::cout << printed.substr(printed.size() > 20000 ? printed.size() - 20000 : 0);
        }
        std::cout << events << " events (seed " << kSeed << "), " << undoChecks
                  << " undo-everything checks\n";
        EXPECT_GE(events, budget) << "the storm stopped early";
    }

    // One random action on whatever screen is on top; false once a check failed.
    bool step() {
        PlatformViewController* screen = top();
        if (!screen) {
            return false;
        }
        tame(screen);
        if (auto* shown = qobject_cast<DrawingViewController*>(screen);
            shown && shown != editor && shown->canvasView) {
            editor = shown;
            startColors = shown->canvasView->canvas()->getColorArray();
        }
        const int roll = pick(100);
        if (roll < 30) {
            pressControl(screen);
        } else if (roll >= 52 && roll < 72) {
            mouseGesture();
        } else if (roll >= 72 && roll < 87) {
            key();
        } else if (roll >= 87 && roll < 90) {
            clock.advance(pick(1000) / 1000.0);
        } else if (roll >= 90 && roll < 93 && qobject_cast<PixelViewController*>(screen)) {
            QTest::qWait(150);  // the photo's first load and renders run on real timers
        } else {
            touchGesture();
        }
        processEvents();
        undoEverything();  // after every action, so that a failure names the action
        return !HasFailure();
    }

    // Through the editor's own undo, as the button and the shortcut reach it.
    void undoEverything() {
        if (!editor || editor != top() || !editor->canvasView) {
            return;
        }
        Canvas* canvas = editor->canvasView->canvas();
        const std::vector<Color> shown = canvas->getColorArray();
        const CommandManager& history = editor->commandManager;
        do {
            editor->undoButtonPressedWithSender();
        } while (!history.commandStack().empty());
        ++undoChecks;
        EXPECT_TRUE(canvas->getColorArray() == startColors)
            << "undoing every step after " << events << " events left cells changed";
        // The steps undone here come back first; steps the monkey had undone before stay so.
        while (!history.undoStack().empty() && !(canvas->getColorArray() == shown)) {
            editor->redoButtonPressedWithSender();
        }
        EXPECT_TRUE(canvas->getColorArray() == shown)
            << "redoing every step after " << events << " events did not restore the cells";
    }

    // Nothing the monkey does may leave the app: file dialogs, the desktop's URL handler
    // and external links answer at once instead.
    void tame(PlatformViewController* screen) {
        // A property rather than the address: a new screen may reuse a closed one's.
        if (screen->property("tamedByMonkey").toBool()) {
            return;
        }
        screen->setProperty("tamedByMonkey", true);
        if (auto* picker = qobject_cast<ImagePickerController*>(screen)) {
            picker->setOpenFileNameProvider(
                [](QWidget*, const QString&, const QString&) { return QString(); });
        } else if (auto* sheet = qobject_cast<ActivityViewController*>(screen)) {
            sheet->setSaveFileNameProvider([](QWidget*, const QString&) { return QString(); });
            sheet->setUrlOpener([](const QUrl&) { return true; });
        } else if (auto* home = qobject_cast<ViewController*>(screen)) {
            home->setOpenFileNameProvider([](QWidget*, const QString&) { return QString(); });
        } else if (auto* settings = qobject_cast<SettingsViewController*>(screen)) {
            settings->setUrlOpener([](const QUrl&) { return true; });
        }
    }

    // A click or tap on one of the top screen's controls, so that every screen is reached.
    void pressControl(PlatformViewController* screen) {
        std::vector<QWidget*> controls;
        for (QWidget* widget : screen->findChildren<QWidget*>()) {
            if (widget->isVisible() && widget->isEnabled() && widget->width() > 0 &&
                (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QSlider*>(widget) ||
                 qobject_cast<QLineEdit*>(widget) || qobject_cast<SwipeActionRow*>(widget) ||
                 qobject_cast<QListWidget*>(widget))) {
                controls.push_back(widget);
            }
        }
        if (controls.empty()) {
            return touchGesture();
        }
        QWidget* control = controls[size_t(pick(int(controls.size())))];
        QPoint local = control->rect().center();
        if (auto* list = qobject_cast<QListWidget*>(control); list && list->count() > 0) {
            const QRect item = list->visualItemRect(list->item(pick(list->count())));
            local = list->viewport()->mapTo(list, item.center());
        } else if (qobject_cast<QSlider*>(control)) {
            local = QPoint(pick(std::max(1, control->width())), control->height() / 2);
        }
        const QPoint point = control->mapTo(&window(), local);
        if (pick(2) == 0) {
            QTest::mouseClick(&window(), Qt::LeftButton, Qt::NoModifier, point);
        } else {
            touch().press(0, point);
            touch().release(0, point);
        }
        events += 2;
    }

    // Taps, strokes, long presses; pans and pinches with two fingers, now and then three.
    void touchGesture() {
        const int kind = pick(6);
        const int fingers = kind < 3 ? 1 : kind == 5 ? 3 : 2;
        std::vector<QPoint> points = {anywhere()};
        for (int f = 1; f < fingers; ++f) {
            points.push_back(near(points[0], 150));
        }
        const int moves = kind == 0 ? 0 : kind == 2 ? pick(4) : 1 + pick(kind == 1 ? 12 : 8);
        const QPoint shift(pick(41) - 20, pick(41) - 20);
        const double zoom = 0.8 + pick(40) / 100.0;
        for (int i = -1; i <= moves; ++i) {  // press, moves, release
            {
                auto sequence = touch();
                const QPointF centre = (points[0] + points.back()) / 2.0;
                for (int f = 0; f < fingers; ++f) {
                    QPoint& p = points[size_t(f)];
                    if (i < 0) {
                        sequence.press(f, p);
                    } else if (i == moves) {
                        sequence.release(f, p);
                    } else if (fingers == 1) {
                        sequence.move(f, p = near(p, kind == 1 ? 40 : 25));
                    } else {
                        sequence.move(
                            f, p = near((centre + (p - centre) * zoom + shift).toPoint(), 2));
                    }
                }
            }
            if (i < 0 && kind == 2) {
                clock.advance(0.3 + pick(700) / 1000.0);
                processEvents();
            }
        }
        events += fingers * (2 + moves);
    }

    // Clicks, double clicks and drags with the left button, or the right (a pan); the wheel.
    void mouseGesture() {
        QPoint a = anywhere();
        const Qt::MouseButton button = pick(4) == 0 ? Qt::RightButton : Qt::LeftButton;
        const int kind = pick(4);
        if (kind == 0) {
            QTest::mouseClick(&window(), button, Qt::NoModifier, a);
        } else if (kind == 1) {
            QTest::mouseDClick(&window(), button, Qt::NoModifier, a);
        } else if (kind == 2) {
            QTest::mousePress(&window(), button, Qt::NoModifier, a);
            const int moves = 1 + pick(10);
            for (int i = 0; i < moves; ++i) {
                QTest::mouseMove(&window(), a = near(a, 50));
            }
            QTest::mouseRelease(&window(), button, Qt::NoModifier, a);
            events += moves;
        } else {
            QWidget* target = window().childAt(a) ? window().childAt(a) : &window();
            QWheelEvent event(target->mapFrom(&window(), a), window().mapToGlobal(a), QPoint(),
                              QPoint(0, pick(2) == 0 ? 120 : -120), Qt::NoButton,
                              pick(3) == 0 ? Qt::ControlModifier : Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &event);
        }
        events += kind == 1 ? 4 : kind == 3 ? 1 : 2;
    }

    // Undo and redo shortcuts, navigation and editing keys, and typing.
    void key() {
        static const QStringList keys = {"Ctrl+Z", "Ctrl+Shift+Z", "Ctrl+Y",    "Esc",  "Return",
                                         "Space",  "Tab",          "Backspace", "Left", "Right",
                                         "Up",     "Down",         "+",         "-"};
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window();
        if (pick(3) == 0) {
            QTest::keyClick(target, static_cast<char>('a' + pick(26)));
        } else {
            QTest::keySequence(target, QKeySequence(keys[pick(int(keys.size()))]));
        }
        events += 2;
    }
};
}  // namespace

// Among the drawings: a size the app never offers, one that cannot be shown, colours and a
// picture that do not decode.
TEST_F(MonkeyTest, ARandomStormOverEveryScreenBreaksNothing) {
    start();
    const QByteArray png = picture_fixtures::encoded(picture_fixtures::halves(60, 60), "png");
    for (const int64_t side : {24, 21, 22, 23, 25}) {  // 22 and 23 are spoiled below
        Drawing* drawing = Drawing::create(
            std::vector<Color>(size_t(side * side), Color::withRGB(0.2, 0.6, 0.4)), side, side);
        Thumbnail* thumbnail = Thumbnail::create(QString::number(side), "today",
                                                 side == 25 ? QByteArray("not a png") : png);
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
    }
    QSqlQuery query(delegate->persistentContainer()->database());
    EXPECT_TRUE(query.exec("UPDATE Drawing SET width = 0, height = -3 WHERE width = 22"));
    EXPECT_TRUE(
        query.exec("UPDATE Drawing SET colorArray = X'5442434101FFFFFFFF', width = 24, "
                   "height = 24 WHERE width = 23"));
    run(kEvents);
}
