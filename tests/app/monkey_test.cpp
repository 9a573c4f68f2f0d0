// A seeded random storm of touch, mouse and key events over the whole app in its real window:
// whatever the user does, nothing crashes, and in the editor undoing everything always brings
// back the colours it opened with. TILEBLOOM_MONKEY_EVENTS sets the number of events
// (default 10,000) and TILEBLOOM_MONKEY_SEED the seed.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSlider>
#include <QSqlQuery>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "app/app_delegate.h"
#include "app/scene_delegate.h"
#include "app/settings_view_controller.h"
#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "editor/drawing_view_controller.h"
#include "file_faults.h"
#include "picture_fixtures.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/activity_view_controller.h"
#include "platform/animation.h"
#include "platform/app_window.h"
#include "platform/gesture_clock.h"
#include "platform/image_picker_controller.h"
#include "platform/screen_stack.h"
#include "platform/settings_manager.h"
#include "platform/storyboard.h"
#include "platform/swipe_action_row.h"
#include "store/color_archive.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/persistent_container.h"
#include "store/thumbnail.h"
#include "test_support.h"

namespace {
int eventBudget(int fallback) {
    bool ok = false;
    const int events = qEnvironmentVariableIntValue("TILEBLOOM_MONKEY_EVENTS", &ok);
    return ok && events > 0 ? events : fallback;
}

unsigned seed() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("TILEBLOOM_MONKEY_SEED", &ok);
    return ok ? static_cast<unsigned>(value) : 20240611u;
}

// The app as main() starts it: its delegate owning the store, the scene's window with the
// home screen, every screen registered; plus a gesture clock the monkey moves on.
struct App {
    ManualGestureClock clock;
    AppDelegate delegate;
    SceneDelegate scene;

    App() {
        Application::shared().setDelegate(&delegate);
        delegate.applicationDidFinishLaunching(Application::shared());
        AppDelegate::registerScreens(Storyboard::main());
        scene.willConnect(ScreenMetrics::phone());
        scene.window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(scene.window.get()));
    }
    ~App() {
        scene.window.reset();
        processEvents();
        Application::shared().setDelegate(nullptr);
        SettingsManager::applyGridSize(20);
    }
    AppWindow& window() { return *scene.window; }
};

class Monkey {
public:
    Monkey(App& app, unsigned seed) : app_(app), random_(seed) {}

    int events() const { return events_; }
    int undoChecks() const { return undoChecks_; }
    const std::map<QString, int>& visits() const { return visits_; }

    // One random action on whatever screen is on top; false once a check failed.
    bool step() {
        PlatformViewController* top = app_.window().screenStack()->topViewController();
        if (!top) {
            ADD_FAILURE() << "the window shows no screen";
            return false;
        }
        ++visits_[QString::fromLatin1(top->metaObject()->className())];
        note(QStringLiteral("on %1").arg(QLatin1String(top->metaObject()->className())));
        tame(top);
        track(top);
        const int roll = pick(100);
        if (roll < 30) {
            pressControl(top);
        } else if (roll < 52) {
            touchGesture();
        } else if (roll < 67) {
            mouseGesture();
        } else if (roll < 82) {
            key();
        } else if (roll < 87) {
            wheel();
        } else if (roll < 90) {
            app_.clock.advance(pick(1000) / 1000.0);
        } else if (roll < 93 && qobject_cast<PixelViewController*>(top)) {
            QTest::qWait(150);  // the photo's first load and renders run on real timers
        } else {
            touchGesture();
        }
        processEvents();
        // After every action, so that a failure names the action that caused it.
        if (auto* editor = qobject_cast<DrawingViewController*>(
                app_.window().screenStack()->topViewController())) {
            undoEverything(editor);
        }
        return !testing::Test::HasFailure();
    }

    // The editor on top, if any, undoes everything it did and must show its first colours;
    // redoing everything must bring back what it showed.
    bool undoEverything(DrawingViewController* editor) {
        if (editor != editor_ || !editor->canvasView) {
            return true;
        }
        Canvas* canvas = editor->canvasView->canvas();
        const std::vector<Color> shown = canvas->getColorArray();
        // Through the editor's own undo, as the button and the shortcut reach it.
        const CommandManager& history = editor->commandManager;
        do {
            editor->undoButtonPressedWithSender();
        } while (!history.commandStack().empty());
        ++undoChecks_;
        expectSame(canvas->getColorArray(), startColors_, "undoing every step");
        // The steps undone here come back first; steps the monkey had undone before stay so.
        while (!history.undoStack().empty() && !(canvas->getColorArray() == shown)) {
            editor->redoButtonPressedWithSender();
        }
        expectSame(canvas->getColorArray(), shown, "redoing every step");
        return !testing::Test::HasFailure();
    }

    // What the monkey did last, for the report of a failure.
    std::string recent() const {
        QString text;
        for (const QString& action : log_) {
            text += QStringLiteral("  %1\n").arg(action);
        }
        return text.toStdString();
    }

    // The editor on top at the end gets its check too.
    bool finish() {
        auto* editor =
            qobject_cast<DrawingViewController*>(app_.window().screenStack()->topViewController());
        return editor ? undoEverything(editor) : true;
    }

private:
    void expectSame(const std::vector<Color>& shown, const std::vector<Color>& expected,
                    const char* after) {
        ASSERT_EQ(shown.size(), expected.size()) << after;
        size_t differ = 0;
        size_t first = 0;
        for (size_t i = 0; i < shown.size(); ++i) {
            if (!(shown[i] == expected[i]) && differ++ == 0) {
                first = i;
            }
        }
        QString cells;
        for (size_t i = 0; i < shown.size() && differ > 0; ++i) {
            if (!(shown[i] == expected[i])) {
                const auto c = shown[i].components();
                const auto e = expected[i].components();
                cells += QStringLiteral(" %1: %2/%3/%4 was %5/%6/%7")
                             .arg(i)
                             .arg(c[0])
                             .arg(c[1])
                             .arg(c[2])
                             .arg(e[0])
                             .arg(e[1])
                             .arg(e[2]);
            }
        }
        EXPECT_EQ(differ, 0u) << after << " left " << differ << " cells changed, the first at "
                              << first << ";" << cells.toStdString() << "; the last actions:\n"
                              << recent();
    }
    void note(const QString& action) {
        log_.push_back(action);
        if (log_.size() > 30) {
            log_.erase(log_.begin());
        }
    }
    static QString at(QPoint p) { return QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y()); }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    QPoint anywhere() { return QPoint(pick(390), pick(844)); }
    QPoint near(QPoint p, int spread) {
        return QPoint(std::clamp(p.x() + pick(2 * spread + 1) - spread, 0, 389),
                      std::clamp(p.y() + pick(2 * spread + 1) - spread, 0, 843));
    }
    QWidget& window() { return app_.window(); }

    // Nothing the monkey does may leave the app: file dialogs, the desktop's URL handler
    // and external links answer at once instead.
    void tame(PlatformViewController* top) {
        // A property rather than the address: a new screen may reuse a closed one's.
        if (top->property("tamedByMonkey").toBool()) {
            return;
        }
        top->setProperty("tamedByMonkey", true);
        if (auto* picker = qobject_cast<ImagePickerController*>(top)) {
            picker->setOpenFileNameProvider(
                [](QWidget*, const QString&, const QString&) { return QString(); });
        } else if (auto* sheet = qobject_cast<ActivityViewController*>(top)) {
            sheet->setSaveFileNameProvider([](QWidget*, const QString&) { return QString(); });
            sheet->setUrlOpener([](const QUrl&) { return true; });
        } else if (auto* settings = qobject_cast<SettingsViewController*>(top)) {
            settings->setUrlOpener([](const QUrl&) { return true; });
        }
    }

    // Remembers the colours an editor opened with.
    void track(PlatformViewController* top) {
        auto* editor = qobject_cast<DrawingViewController*>(top);
        if (!editor || editor == editor_ || !editor->canvasView) {
            return;
        }
        editor_ = editor;
        startColors_ = editor->canvasView->canvas()->getColorArray();
    }

    // A click or tap on one of the top screen's controls, so that every screen is reached.
    void pressControl(PlatformViewController* top) {
        std::vector<QWidget*> controls;
        for (QWidget* widget : top->findChildren<QWidget*>()) {
            if (!widget->isVisible() || !widget->isEnabled() || widget->width() <= 0) {
                continue;
            }
            if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QSlider*>(widget) ||
                qobject_cast<QLineEdit*>(widget) || qobject_cast<SwipeActionRow*>(widget) ||
                qobject_cast<QListWidget*>(widget)) {
                controls.push_back(widget);
            }
        }
        if (controls.empty()) {
            touchGesture();
            return;
        }
        QWidget* control = controls[static_cast<size_t>(pick(static_cast<int>(controls.size())))];
        QPoint local = control->rect().center();
        if (auto* list = qobject_cast<QListWidget*>(control); list && list->count() > 0) {
            const QRect item = list->visualItemRect(list->item(pick(list->count())));
            local = list->viewport()->mapTo(list, item.center());
        } else if (qobject_cast<QSlider*>(control)) {
            local = QPoint(pick(std::max(1, control->width())), control->height() / 2);
        }
        const QPoint point = control->mapTo(&window(), local);
        note(QStringLiteral("press %1 \"%2\" %3")
                 .arg(QLatin1String(control->metaObject()->className()), control->accessibleName(),
                      at(point)));
        if (pick(2) == 0) {
            QTest::mouseClick(&window(), Qt::LeftButton, Qt::NoModifier, point);
            events_ += 2;
        } else {
            touch().press(0, point);
            touch().release(0, point);
            events_ += 2;
        }
    }

    static QPointingDevice* touchScreen() {
        static QPointingDevice* device = QTest::createTouchDevice();
        return device;
    }
    QTest::QTouchEventWidgetSequence touch() { return QTest::touchEvent(&window(), touchScreen()); }

    // Taps, strokes, long presses, two-finger pans and pinches, and a third finger now and then.
    void touchGesture() {
        const int kind = pick(6);
        QPoint a = anywhere();
        note(QStringLiteral("touch kind %1 from %2").arg(kind).arg(at(a)));
        if (kind == 0) {  // tap
            touch().press(0, a);
            touch().release(0, a);
            events_ += 2;
        } else if (kind == 1) {  // stroke
            touch().press(0, a);
            const int moves = 1 + pick(12);
            for (int i = 0; i < moves; ++i) {
                a = near(a, 40);
                touch().move(0, a);
                log_.back() += QLatin1Char(' ') + at(a);
            }
            touch().release(0, a);
            events_ += 2 + moves;
        } else if (kind == 2) {  // long press, maybe sliding
            touch().press(0, a);
            app_.clock.advance(0.3 + pick(700) / 1000.0);
            processEvents();
            const int moves = pick(4);
            for (int i = 0; i < moves; ++i) {
                a = near(a, 25);
                touch().move(0, a);
            }
            touch().release(0, a);
            events_ += 2 + moves;
        } else {  // two fingers (three now and then): pan, pinch or both
            const int fingers = kind == 5 ? 3 : 2;
            std::vector<QPoint> points = {a};
            for (int f = 1; f < fingers; ++f) {
                points.push_back(near(a, 150));
            }
            {
                auto sequence = touch();
                for (int f = 0; f < fingers; ++f) {
                    sequence.press(f, points[size_t(f)]);
                    log_.back() += QLatin1Char(' ') + at(points[size_t(f)]);
                }
            }
            const int moves = 1 + pick(8);
            const QPoint shift(pick(41) - 20, pick(41) - 20);
            const double zoom = 0.8 + pick(40) / 100.0;
            for (int i = 0; i < moves; ++i) {
                auto sequence = touch();
                const QPointF centre = (points[0] + points[1]) / 2.0;
                log_.back() += QStringLiteral(" |");
                for (int f = 0; f < fingers; ++f) {
                    const QPointF moved = centre + (points[size_t(f)] - centre) * zoom + shift;
                    points[size_t(f)] = near(moved.toPoint(), 2);
                    sequence.move(f, points[size_t(f)]);
                    log_.back() += QLatin1Char(' ') + at(points[size_t(f)]);
                }
            }
            {
                auto sequence = touch();
                for (int f = 0; f < fingers; ++f) {
                    sequence.release(f, points[size_t(f)]);
                }
            }
            events_ += fingers * (2 + moves);
        }
    }

    // Clicks and drags with the left button, right-button drags (a pan) and double clicks.
    void mouseGesture() {
        QPoint a = anywhere();
        const Qt::MouseButton button = pick(4) == 0 ? Qt::RightButton : Qt::LeftButton;
        const int kind = pick(3);
        note(QStringLiteral("mouse kind %1 button %2 from %3")
                 .arg(kind)
                 .arg(int(button))
                 .arg(at(a)));
        if (kind == 0) {
            QTest::mouseClick(&window(), button, Qt::NoModifier, a);
            events_ += 2;
        } else if (kind == 1) {
            QTest::mouseDClick(&window(), button, Qt::NoModifier, a);
            events_ += 4;
        } else {
            QTest::mousePress(&window(), button, Qt::NoModifier, a);
            const int moves = 1 + pick(10);
            for (int i = 0; i < moves; ++i) {
                a = near(a, 50);
                QTest::mouseMove(&window(), a);
                log_.back() += QLatin1Char(' ') + at(a);
            }
            QTest::mouseRelease(&window(), button, Qt::NoModifier, a);
            events_ += 2 + moves;
        }
    }

    void wheel() {
        const QPoint a = anywhere();
        QWidget* target = window().childAt(a) ? window().childAt(a) : &window();
        const QPoint local = target->mapFrom(&window(), a);
        QWheelEvent event(local, window().mapToGlobal(a), QPoint(),
                          QPoint(0, pick(2) == 0 ? 120 : -120), Qt::NoButton,
                          pick(3) == 0 ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(target, &event);
        note(QStringLiteral("wheel at %1").arg(at(a)));
        ++events_;
    }

    // Undo and redo shortcuts, navigation and editing keys, and typing.
    void key() {
        static const std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys = {
            {Qt::Key_Z, Qt::ControlModifier}, {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier},
            {Qt::Key_Y, Qt::ControlModifier}, {Qt::Key_Escape, Qt::NoModifier},
            {Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Space, Qt::NoModifier},
            {Qt::Key_Tab, Qt::NoModifier},    {Qt::Key_Backspace, Qt::NoModifier},
            {Qt::Key_Left, Qt::NoModifier},   {Qt::Key_Right, Qt::NoModifier},
            {Qt::Key_Up, Qt::NoModifier},     {Qt::Key_Down, Qt::NoModifier},
            {Qt::Key_Plus, Qt::NoModifier},   {Qt::Key_Minus, Qt::NoModifier},
        };
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window();
        note(QStringLiteral("key to %1").arg(QLatin1String(target->metaObject()->className())));
        if (pick(3) == 0) {
            const char letter = static_cast<char>('a' + pick(26));
            QTest::keyClick(target, letter);
        } else {
            const auto& [code, modifiers] = keys[static_cast<size_t>(pick(int(keys.size())))];
            QTest::keyClick(target, code, modifiers);
        }
        events_ += 2;
    }

    App& app_;
    std::mt19937 random_;
    int events_ = 0;
    int undoChecks_ = 0;
    std::map<QString, int> visits_;
    std::vector<QString> log_;
    QPointer<DrawingViewController> editor_;
    std::vector<Color> startColors_;
};

// Fills the store with what the gallery and the editor must cope with: sound drawings, one
// of a size the app never offers, one whose size cannot be shown, one whose colours do not
// decode, and one whose picture does not.
void storeDrawings(AppDelegate& delegate) {
    const auto save = [](const QString& title, const std::vector<Color>& colors, int64_t side,
                         const QByteArray& png) {
        Drawing* drawing = Drawing::create(colors, side, side);
        Thumbnail* thumbnail = Thumbnail::create(title, "today", png);
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
        return drawing;
    };
    const QByteArray png = picture_fixtures::encoded(picture_fixtures::halves(60, 60), "png");
    std::vector<Color> colors;
    for (int i = 0; i < 24 * 24; ++i) {
        colors.push_back(Color::withRGB((i % 24) / 24.0, (i / 24) / 24.0, 0.5));
    }
    save("Sunset", colors, 24, png);
    save("Odd size", std::vector<Color>(21 * 21, Color::red()), 21, png);
    const QUuid unshowable = save("Unshowable", colors, 24, png)->id();
    const QUuid undecodable = save("Undecodable", colors, 24, png)->id();
    save("No picture", colors, 24, "not a png");
    QSqlQuery query(delegate.persistentContainer()->database());
    query.prepare("UPDATE Drawing SET width = 0, height = -3 WHERE id = ?");
    query.addBindValue(unshowable.toString(QUuid::WithoutBraces));
    EXPECT_TRUE(query.exec());
    query.prepare("UPDATE Drawing SET colorArray = ? WHERE id = ?");
    query.addBindValue(QByteArray("TBCA\x01\xff\xff\xff\xff", 9));
    query.addBindValue(undecodable.toString(QUuid::WithoutBraces));
    EXPECT_TRUE(query.exec());
}

// Photos for the picker: two good ones and one cut short.
void fillPictures(const QString& folder) {
    using namespace picture_fixtures;
    writeFile(folder + "/meadow.jpg", encoded(halves(640, 480), "jpg"));
    writeFile(folder + "/tall.png", encoded(halves(120, 400), "png"));
    const QByteArray jpeg = encoded(halves(300, 300), "jpg");
    writeFile(folder + "/cut.jpg", jpeg.left(jpeg.size() / 2));
}

struct MonkeyTest : testing::Test {
    ScopedDataDir data;
    picture_fixtures::ScopedPicturesDir pictures;
    void SetUp() override { fillPictures(pictures.path()); }

    // Runs the monkey for budget events; returns what the app printed.
    std::string run(int budget, App& app) {
        Monkey monkey(app, seed());
        QElapsedTimer timer;
        timer.start();
        std::string printed = captureStdout([&] {
            while (monkey.events() < budget && monkey.step()) {
            }
            monkey.finish();
        });
        if (HasFailure()) {  // the failure messages went into the captured output
            std::cout << printed.substr(printed.size() > 20000 ? printed.size() - 20000 : 0);
        }
        std::cout << monkey.events() << " events (seed " << seed() << ") in " << timer.elapsed()
                  << " ms, " << monkey.undoChecks() << " undo-everything checks; screens:";
        for (const auto& [screen, count] : monkey.visits()) {
            std::cout << " " << screen.toStdString() << " " << count;
        }
        std::cout << "\n";
        return printed;
    }
};
}  // namespace

TEST_F(MonkeyTest, ARandomStormOverEveryScreenBreaksNothing) {
    App app;
    storeDrawings(app.delegate);
    run(eventBudget(10000), app);
}

// The same storm over a store file that cannot be read: the app starts, says so once, keeps
// working without its store, and never writes to or replaces the user's file.
TEST_F(MonkeyTest, AStormOverAnUnreadableStoreKeepsTheUsersFile) {
    QByteArray garbage(32 * 1024, Qt::Uninitialized);
    std::mt19937 bytes(5);
    for (char& byte : garbage) {
        byte = static_cast<char>(bytes() & 0xff);
    }
    const QString path = data.path() + "/tesselet.sqlite";
    picture_fixtures::writeFile(path, garbage);
    App app;
    // What the first screen that needs the store does.
    const std::string opening = captureStdout([&] { app.delegate.persistentContainer(); });
    EXPECT_EQ(opening.rfind("Unresolved error file is not a database, {", 0), 0u) << opening;
    const std::string printed = run(eventBudget(10000) / 5, app);
    EXPECT_EQ(printed.find("Unresolved error"), std::string::npos) << "said once, at the start";
    EXPECT_EQ(file_faults::bytesOf(path), garbage);
    QDir dir(data.path());
    EXPECT_FALSE(dir.exists("tesselet.sqlite-wal"));
}
