#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QShortcut>
#include <QSqlQuery>
#include <QTest>
#include <functional>
#include <map>
#include <numbers>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editing/bucket.h"
#include "editing/paintbrush.h"
#include "editor/drawing_view_controller.h"
#include "screens/activity_type.h"
#include "screens/activity_view_controller.h"
#include "screens/alert_controller.h"
#include "platform/animation.h"
#include "screens/app_window.h"
#include "gestures/gesture_clock.h"
#include "screens/screen_stack.h"
#include "platform/settings_manager.h"
#include "screens/storyboard.h"
#include "scene/scene.h"
#include "screenshot.h"
#include "store/color_archive.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"

namespace {
const Color kCyan = Color::systemCyan();

// The editor over a plain home screen in a phone-sized window; the test moves the clock.
struct EditorTest : testing::Test {
    ScopedDataDir dataDir;
    StoreTestDelegate store;
    ManualGestureClock clock;
    AppWindow window{ScreenMetrics::phone()};
    PlatformViewController* home = new PlatformViewController;
    QPointer<DrawingViewController> editor;

    void SetUp() override {
        Storyboard::main().registerScreen("colorpicker",
                                          [] { return new ColorPickerViewController; });
        window.screenStack()->setRootViewController(home);
        window.show();
        window.activateWindow();  // keys reach the active window only (on X11 too)
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        openEditor(nullptr);
    }
    void TearDown() override { SettingsManager::applyGridSize(20); }

    void openEditor(Drawing* stored) {
        if (editor) {
            editor->dismiss(false);
            processEvents();
        }
        editor = new DrawingViewController;
        editor->previousDrawing = stored;
        home->present(editor, false);
        processEvents();
    }

    Canvas& canvas() { return *editor->canvasView->canvas(); }
    Pixel* cell(int64_t x, int64_t y) { return canvas().getPixel(x, y); }
    std::vector<Color> all(const Color& color) {
        return std::vector<Color>(size_t(canvas().width * canvas().height), color);
    }
    // A cell's centre in the editor's coordinates.
    QPoint at(int64_t x, int64_t y) {
        const QPointF centre = cell(x, y)->position() + QPointF(150, 150);
        return editor->canvasView->convertPointFromScene(canvas().convertPointToScene(centre))
            .toPoint();
    }

    QTest::QTouchEventWidgetSequence touch() {
        static QPointingDevice* device = QTest::createTouchDevice();
        return QTest::touchEvent(&window, device);
    }
    QWidget* target() { return editor->canvasView; }
    void tap(QPoint point) { drag({point}); }
    void drag(const std::vector<QPoint>& points) {
        touch().press(0, points.front(), target());
        for (size_t i = 1; i < points.size(); ++i) {
            touch().move(0, points[i], target());
        }
        touch().release(0, points.back(), target());
    }
    void click(QWidget* widget) {
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        processEvents();
    }
    void press(const char* name) { click(editor->findChild<QWidget*>(name)); }
    template <typename T>
    T* top() {
        return qobject_cast<T*>(window.screenStack()->topViewController());
    }

    std::pair<int, int> rows() {
        QSqlQuery query(store.persistentContainer()->database());
        query.exec("SELECT (SELECT COUNT(*) FROM Drawing), (SELECT COUNT(*) FROM Thumbnail)");
        return query.next() ? std::pair(query.value(0).toInt(), query.value(1).toInt())
                            : std::pair(-1, -1);
    }
    std::vector<Thumbnail*> thumbnails() {
        return CoreDataManager::loadThumbnails().value_or(std::vector<Thumbnail*>{});
    }
    Drawing* storeWhite() {
        Drawing* drawing = Drawing::create(std::vector<Color>(400, Color::white()), 20, 20);
        Thumbnail* thumbnail = Thumbnail::create("stored", "now", "png");
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
        return drawing;
    }

    void save(const QString& title) {
        press("saveButton");
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "Save Tilebloom");
        ASSERT_EQ(alert->textFields().size(), 1);
        EXPECT_EQ(alert->textFields()[0]->placeholderText(), "Title");
        alert->textFields()[0]->setText(title);
        alert->triggerAction("Save");
        processEvents();
    }
    // A failed save leaves the editor open on the drawing as painted and says so.
    void saveFails(const QString& title, const char* says) {
        tap(at(3, 3));
        const std::string out = captureStdout([&] { save(title); });
        EXPECT_NE(out.find(says), std::string::npos) << out;
        ASSERT_TRUE(editor);
        EXPECT_EQ(cell(3, 3)->fillColor(), kCyan);
        auto* notice = top<AlertController>();
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->title(), "Could not save");
        notice->triggerAction("OK");
        processEvents();
    }
};

// The stroke recogniser as the editor sees it, in whatever state and place a test gives it.
struct StrokeStandIn : PanGestureRecognizer {
    GestureState now = GestureState::possible;
    QPointF where;
    GestureState state() const override { return now; }
    QPointF locationInView() const override { return where; }
    void move(DrawingViewController& editor, GestureState state, QPointF point) {
        now = state;
        where = point;
        editor.handleDrawFrom(*this);
    }
};
}  // namespace

// A stroke paints every cell it passes, also across one big jump or over repeated cells.
TEST_F(EditorTest, TapsAndStrokesAreOneUndoStepEach) {
    cell(2, 10)->setFillColor(Color::red());
    const std::vector<Color> start = canvas().getColorArray();
    tap(at(4, 7));
    drag({at(0, 10), at(1, 10), at(2, 10), at(3, 10), at(2, 10), at(1, 10)});
    drag({at(0, 3), at(12, 3)});
    EXPECT_EQ(cell(4, 7)->fillColor(), kCyan);
    for (int x = 0; x <= 12; ++x) {
        EXPECT_EQ(cell(x, 3)->fillColor(), kCyan) << x;
        EXPECT_EQ(cell(x, 10)->fillColor(), x <= 3 ? kCyan : Color::white()) << x;
    }
    EXPECT_EQ(cell(13, 3)->fillColor(), Color::white());
    EXPECT_EQ(cell(6, 4)->fillColor(), Color::white());
    ASSERT_EQ(editor->commandManager.commandStack().size(), 3u);
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell(12, 3)->fillColor(), Color::white());
    EXPECT_EQ(cell(3, 10)->fillColor(), kCyan);
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(cell(12, 3)->fillColor(), kCyan);
    for (int i = 0; i < 3; ++i) {
        press("undoButton");
    }
    EXPECT_EQ(canvas().getColorArray(), start);
    tap(at(1, 1));  // a new edit leaves nothing to redo
    press("redoButton");
    EXPECT_EQ(cell(4, 7)->fillColor(), Color::white());
}

// On X11 the standard redo keys are Ctrl+Shift+Z alone: bound a second time beside them, the
// sequence was ambiguous and neither binding fired, and Ctrl+Y was not bound at all. Each
// action has one shortcut, and no sequence is bound twice, whatever the platform's keys.
TEST_F(EditorTest, UndoAndRedoKeysAreEachBoundOnceAndWork) {
    std::map<QString, std::vector<QShortcut*>> bound;
    for (QShortcut* shortcut : editor->findChildren<QShortcut*>()) {
        for (const QKeySequence& keys : shortcut->keys()) {
            bound[keys.toString()].push_back(shortcut);
        }
    }
    for (const auto& [keys, shortcuts] : bound) {
        EXPECT_EQ(shortcuts.size(), 1u) << keys.toStdString();
    }
    for (const char* keys : {"Ctrl+Z", "Ctrl+Shift+Z", "Ctrl+Y"}) {
        EXPECT_TRUE(bound.contains(keys)) << keys;
    }
    EXPECT_EQ(bound["Ctrl+Shift+Z"], bound["Ctrl+Y"]) << "two shortcuts redo";

    tap(at(1, 1));
    tap(at(2, 2));
    const std::vector<Color> painted = canvas().getColorArray();
    QTest::keySequence(editor, QKeySequence("Ctrl+Z"));
    EXPECT_EQ(cell(2, 2)->fillColor(), Color::white());
    EXPECT_EQ(cell(1, 1)->fillColor(), kCyan);
    QTest::keySequence(editor, QKeySequence("Ctrl+Z"));
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));
    QTest::keySequence(editor, QKeySequence("Ctrl+Shift+Z"));
    EXPECT_EQ(cell(1, 1)->fillColor(), kCyan);
    EXPECT_EQ(cell(2, 2)->fillColor(), Color::white());
    QTest::keySequence(editor, QKeySequence("Ctrl+Y"));
    EXPECT_EQ(canvas().getColorArray(), painted);
}

// A second finger landing ends the stroke as one step rather than leaving stray marks.
TEST_F(EditorTest, EveryPaintedCellBelongsToAnUndoStepWhateverThePans) {
    touch().press(0, at(0, 5), target());
    touch().move(0, at(1, 5), target());
    touch().move(0, at(2, 5), target());
    touch().stationary(0).press(1, at(8, 5), target());
    touch().move(0, at(2, 8), target()).move(1, at(8, 8), target());
    touch().move(0, at(2, 11), target()).move(1, at(8, 11), target());
    touch().release(0, at(2, 11), target()).release(1, at(8, 11), target());
    EXPECT_EQ(cell(1, 5)->fillColor(), kCyan);
    ASSERT_EQ(editor->commandManager.commandStack().size(), 1u);
    EXPECT_TRUE(editor->canDraw);
    press("undoButton");
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));

    // Found by the random input test: a pan that ends before the stroke beside it painted the
    // end of a stroke that never began, outside every undo step. And a stroke still open when
    // undo is pressed is undone as a whole, not left behind.
    drag({at(2, 2), at(3, 2), at(4, 2)});
    const std::vector<Color> afterStroke = canvas().getColorArray();
    StrokeStandIn stroke;
    editor->canDraw = false;  // the pan has begun
    stroke.move(*editor, GestureState::began, at(15, 15));
    editor->canDraw = true;  // the pan has ended
    stroke.move(*editor, GestureState::changed, at(16, 16));
    stroke.move(*editor, GestureState::ended, at(16, 16));
    EXPECT_EQ(canvas().getColorArray(), afterStroke);
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);
    stroke.move(*editor, GestureState::began, at(10, 10));
    stroke.move(*editor, GestureState::changed, at(10, 12));
    EXPECT_EQ(cell(10, 11)->fillColor(), kCyan);
    press("undoButton");  // before the finger lifts
    EXPECT_EQ(canvas().getColorArray(), afterStroke);
    press("undoButton");
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));

    click(editor->fanMenuButton);
    click(editor->fillButton);
    editor->canDraw = false;  // a pan under way: taps still fill, drags paint nothing
    tap(at(5, 5));
    EXPECT_EQ(canvas().getColorArray(), all(kCyan));
    click(editor->fanMenuButton);
    click(editor->paintBrushButton);
    editor->currentDrawingColor = Color::red();
    drag({at(1, 1), at(2, 1), at(3, 1)});
    editor->canDraw = true;
    click(editor->fanMenuButton);
    click(editor->fillButton);
    drag({at(1, 1), at(2, 1), at(3, 1)});  // a drag with the bucket does nothing
    EXPECT_EQ(canvas().getColorArray(), all(kCyan));
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);

    // A two-finger pan the system cancels switches drawing back on.
    StrokeStandIn pan;
    pan.now = GestureState::began;
    editor->panCanvas(pan);
    EXPECT_FALSE(editor->canDraw);
    pan.now = GestureState::cancelled;
    editor->panCanvas(pan);
    EXPECT_TRUE(editor->canDraw);
}

// Found in a real window: a bucket drag cut short by undo or a second finger entered the last
// fill into the history again, though it had been undone or painted over since.
TEST_F(EditorTest, AnInterruptedBucketDragBringsBackNoOldFill) {
    const std::pair<const char*, std::function<void()>> interruptions[] = {
        {"undo button", [&] { press("undoButton"); }},
        {"Ctrl+Z", [&] { QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier); }},
        {"second finger",
         [&] {
             touch().stationary(0).press(1, at(8, 8), target());
             touch().stationary(0).release(1, at(8, 8), target());
         }},
    };
    for (const auto& [name, interrupt] : interruptions) {
        SCOPED_TRACE(name);
        openEditor(nullptr);
        const auto choose = [&](Button* tool, const Color& colour) {
            click(editor->fanMenuButton);
            click(tool);
            editor->currentDrawingColor = colour;
        };
        const auto bucketDrag = [&] {
            choose(editor->fillButton, Color::blue());
            touch().press(0, at(3, 3), target());
            touch().move(0, at(4, 3), target());
            touch().move(0, at(5, 3), target());
            interrupt();
            touch().release(0, at(5, 3), target());
        };
        const bool undoes = std::string(name) != "second finger";
        choose(editor->fillButton, Color::red());
        tap(at(5, 5));
        press("undoButton");
        choose(editor->paintBrushButton, Color::red());
        tap(at(1, 1));
        press("undoButton");
        bucketDrag();
        EXPECT_EQ(canvas().getColorArray(), all(Color::white()));
        EXPECT_TRUE(editor->commandManager.commandStack().empty());
        press("redoButton");  // the tap, still redoable; the fill is gone for good
        std::vector<Color> tapped = all(Color::white());
        tapped[1 * 20 + 1] = Color::red();
        EXPECT_EQ(canvas().getColorArray(), tapped);

        // A fill, a cell painted inside it, and the drag: the fill must not cover the cell.
        choose(editor->fillButton, Color::blue());
        tap(at(5, 5));
        const std::vector<Color> filled = canvas().getColorArray();
        choose(editor->paintBrushButton, Color::red());
        tap(at(2, 2));
        const std::vector<Color> painted = canvas().getColorArray();
        bucketDrag();
        EXPECT_EQ(canvas().getColorArray(), undoes ? filled : painted);
        EXPECT_EQ(editor->commandManager.commandStack().size(), undoes ? 2u : 3u);
        press("undoButton");
        press("undoButton");
        EXPECT_EQ(canvas().getColorArray(), undoes ? all(Color::white()) : tapped);
    }
}

// A stroke cut short by choosing another tool (a second finger on the menu) or by a stray
// touch that lifts without panning is one step of its own, before anything that follows.
TEST_F(EditorTest, AStrokeCutShortByAToolChoiceOrAStrayTouchIsOneStep) {
    touch().press(0, at(0, 5), target());
    touch().move(0, at(1, 5), target());
    touch().move(0, at(2, 5), target());
    click(editor->fanMenuButton);
    click(editor->fillButton);
    touch().move(0, at(3, 5), target());
    touch().release(0, at(3, 5), target());
    std::vector<Color> stroke = all(Color::white());
    for (int x = 0; x <= 2; ++x) {
        stroke[size_t(x * 20 + 5)] = kCyan;
    }
    EXPECT_EQ(canvas().getColorArray(), stroke);
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);
    // The bucket's drag goes on with the paintbrush: the rest of it paints nothing.
    touch().press(0, at(0, 8), target());
    touch().move(0, at(1, 8), target());
    click(editor->fanMenuButton);
    click(editor->paintBrushButton);
    touch().move(0, at(2, 8), target());
    touch().release(0, at(2, 8), target());
    EXPECT_EQ(canvas().getColorArray(), stroke);
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);
    press("undoButton");
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));

    touch().press(0, at(0, 5), target());
    touch().move(0, at(1, 5), target());
    touch().move(0, at(2, 5), target());
    touch().stationary(0).press(1, at(9, 9), target());
    touch().stationary(0).release(1, at(9, 9), target());
    touch().release(0, at(2, 5), target());
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);
    click(editor->fanMenuButton);
    click(editor->fillButton);
    editor->currentDrawingColor = Color::red();
    tap(at(10, 10));
    press("undoButton");
    EXPECT_EQ(canvas().getColorArray(), stroke);
    press("undoButton");
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));
}

// A diagonal past the limit keeps its free part; the last zoom step may pass a limit.
TEST_F(EditorTest, PanAndZoomStopAtTheirLimits) {
    const auto pan = [&](QPoint a, QPoint step, int steps) {
        touch().press(0, a, target()).press(1, a + QPoint(100, 0), target());
        for (int i = 0; i < steps; ++i, a += step) {
            touch().move(0, a + step, target()).move(1, a + step + QPoint(100, 0), target());
        }
        touch().release(0, a, target()).release(1, a + QPoint(100, 0), target());
    };
    const QPointF start = canvas().position();
    pan(QPoint(100, 400), QPoint(20, 0), 20);
    EXPECT_LE(canvas().position().x(), start.x() + 195);  // half the grid's width
    EXPECT_GT(canvas().position().x(), start.x() + 150);
    EXPECT_EQ(canvas().position().y(), start.y());
    EXPECT_TRUE(editor->canDraw);
    const QPointF before = canvas().position();
    pan(QPoint(100, 300), QPoint(20, 20), 5);  // down on screen is down in the scene
    EXPECT_EQ(canvas().position().x(), before.x());
    EXPECT_LT(canvas().position().y(), before.y() - 50);
    EXPECT_TRUE(allowedCanvasMoveFor(start, start, {6000, 6000}, {0.13, 0.13}, 390, 0).x);
    EXPECT_FALSE(allowedCanvasMoveFor(start, start, {6000, 6000}, {0.065, 0.065}, 390, 0).x);

    const auto wheel = [&](int notches) {
        for (int i = 0; i < std::abs(notches); ++i) {
            QWheelEvent event(QPointF(195, 422), target()->mapToGlobal(QPointF(195, 422)), {},
                              QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(target(), &event);
        }
        clock.advance(0.5);  // the zoom ends after a short pause
        return canvas().xScale();
    };
    const QPointF panned = canvas().position();
    const double in = wheel(30);  // one cell wider than a quarter of the screen stops it
    EXPECT_GT(in * 300, 0.25 * 390);
    EXPECT_LE(in * 300, 0.25 * 390 * 1.25);
    EXPECT_LT(wheel(-1), in);
    const double out = wheel(-40);  // narrower than three quarters of the screen stops it
    EXPECT_LT(out * 6000, 0.75 * 390);
    EXPECT_GE(out * 6000, 0.75 * 390 / 1.25);
    EXPECT_GT(wheel(1), out);
    EXPECT_EQ(canvas().position(), panned) << "zooming keeps the canvas where it is";
}

TEST_F(EditorTest, ThePipettePicksSlidesOffTheEdgeAndKeepsTheLastColour) {
    touch().press(0, QPoint(195, 100), target());
    clock.advance(0.45);
    touch().move(0, QPoint(195, 300), target());
    touch().release(0, QPoint(195, 300), target());
    EXPECT_FALSE(editor->pipetteCircle);
    EXPECT_EQ(editor->currentDrawingColor, kCyan);

    cell(5, 5)->setFillColor(Color::red());
    cell(19, 19)->setFillColor(Color::blue());
    touch().press(0, at(5, 5), target());
    clock.advance(0.45);
    ASSERT_TRUE(editor->pipetteCircle);
    const auto circle = [&] { return qobject_cast<Button*>(editor->pipetteCircle)->center(); };
    EXPECT_EQ(editor->currentDrawingColor, Color::red());
    EXPECT_EQ(circle(), QPointF(at(5, 5)) - QPointF(0, 10));
    touch().move(0, QPoint(380, 300), target());
    touch().move(0, QPoint(500, 100), target());
    const Edges edges = editor->canvasView->canvasBoundsInView();
    EXPECT_EQ(circle(), QPointF(edges.right - 5, edges.top + 5 - 10));
    EXPECT_EQ(clampIntoEdges(QPointF(-40, 900), edges), QPointF(5, edges.bottom - 5));
    touch().release(0, QPoint(500, 100), target());
    processEvents();
    EXPECT_FALSE(editor->pipetteCircle);
    EXPECT_EQ(editor->currentDrawingColor, Color::blue());
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), Color::blue());
    EXPECT_TRUE(editor->commandManager.commandStack().empty());
}

// Found in a real window: on a turned canvas the bounds came back with top below bottom or left
// right of right, so the circle stuck far from the finger and a press that slid off the canvas
// picked the wrong cell. In every orientation the circle follows the finger, stays on the part
// of the canvas that shows, and off the canvas picks the corner cell on screen.
TEST_F(EditorTest, ThePipetteFollowsTheFingerWhicheverWayTheCanvasIsTurned) {
    const Color green = Color::withRGB(0, 1, 0, 1);
    const Color black = Color::black();
    cell(0, 0)->setFillColor(Color::red());
    cell(19, 0)->setFillColor(Color::blue());
    cell(0, 19)->setFillColor(green);
    cell(19, 19)->setFillColor(black);
    double now = 1000;
    const auto turn = [&](DeviceOrientation orientation) {
        DeviceOrientationCenter::shared().simulateOrientation(orientation);
        editor->canvasView->canvasScene()->update(now += 1);
        editor->canvasView->canvasScene()->update(now += 1);  // the turn has finished
    };
    const auto circle = [&] { return qobject_cast<Button*>(editor->pipetteCircle)->center(); };
    // The grid is 390 points square around (195, 422), however it is turned.
    const struct {
        DeviceOrientation orientation;
        Color topLeft, bottomRight;  // the corner cells on screen
    } turns[] = {
        {DeviceOrientation::portrait, green, Color::blue()},
        {DeviceOrientation::landscapeLeft, Color::red(), black},
        {DeviceOrientation::landscapeRight, black, Color::red()},
        {DeviceOrientation::portraitUpsideDown, black, Color::red()},  // stays turned right
    };
    for (const auto& t : turns) {
        SCOPED_TRACE(int(t.orientation));
        turn(t.orientation);
        touch().press(0, QPoint(150, 300), target());
        clock.advance(0.45);
        ASSERT_TRUE(editor->pipetteCircle);
        touch().move(0, QPoint(160, 300), target());
        EXPECT_EQ(circle(), QPointF(160, 290));
        touch().move(0, QPoint(1, 1), target());
        EXPECT_EQ(circle(), QPointF(5, 227 + 5 - 10));
        EXPECT_EQ(editor->currentDrawingColor, t.topLeft);
        touch().move(0, QPoint(389, 700), target());
        EXPECT_EQ(circle(), QPointF(385, 617 - 5 - 10));
        EXPECT_EQ(editor->currentDrawingColor, t.bottomRight);
        touch().release(0, QPoint(389, 700), target());
    }

    // Turned, a tall grid is wider than the screen; zoomed in, one runs under the toolbar. The
    // circle stays where the canvas shows.
    Drawing* tall = Drawing::create(std::vector<Color>(20 * 28, Color::white()), 20, 28);
    openEditor(tall);
    turn(DeviceOrientation::landscapeLeft);
    touch().press(0, QPoint(150, 300), target());
    clock.advance(0.45);
    ASSERT_TRUE(editor->pipetteCircle);
    touch().move(0, QPoint(-30, 300), target());
    EXPECT_EQ(circle(), QPointF(5, 290));
    touch().release(0, QPoint(-30, 300), target());
    turn(DeviceOrientation::portrait);
    for (int notch = 0; notch < 3; ++notch) {
        QWheelEvent event(QPointF(195, 422), target()->mapToGlobal(QPointF(195, 422)), {},
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target(), &event);
    }
    clock.advance(0.5);
    const double toolbarTop = editor->lowerToolbar->geometry().top();
    ASSERT_GT(editor->canvasView->canvasBoundsInView().bottom, toolbarTop);
    touch().press(0, QPoint(150, 500), target());
    clock.advance(0.45);
    touch().move(0, QPoint(150, 843), target());
    EXPECT_EQ(circle(), QPointF(150, toolbarTop - 5 - 10));
    touch().release(0, QPoint(150, 843), target());
}

TEST_F(EditorTest, TheCanvasTurnsWithTheDeviceButNotUpsideDown) {
    const std::pair<DeviceOrientation, double> turns[] = {
        {DeviceOrientation::landscapeLeft, -std::numbers::pi / 2},
        {DeviceOrientation::portraitUpsideDown, -std::numbers::pi / 2},  // stays as it was
        {DeviceOrientation::landscapeRight, std::numbers::pi / 2},
        {DeviceOrientation::faceUp, 0}};
    for (const auto& [orientation, angle] : turns) {
        DeviceOrientationCenter::shared().simulateOrientation(orientation);
        editor->canvasView->canvasScene()->update(1000);
        editor->canvasView->canvasScene()->update(1001);
        EXPECT_NEAR(canvas().zRotation(), angle, 1e-9) << int(orientation);
    }
    DeviceOrientationCenter::shared().simulateOrientation(DeviceOrientation::portrait);
    const int withEditor = DeviceOrientationCenter::shared().observerCount();
    editor->dismiss(false);
    processEvents();
    EXPECT_EQ(DeviceOrientationCenter::shared().observerCount(), withEditor - 1);
}

// Folded tools must not take taps; a layout pass while open folds them; a grey chosen in the
// picker paints in its RGB form.
TEST_F(EditorTest, TheFanMenuFoldsOnAChoiceAndThePickerComesBackWithAColour) {
    // The toolbar's half points are kept, not rounded away.
    EXPECT_EQ(editor->findChild<Button*>("redoButton")->center(),
              QPointF(117.5, 844 - 844 / 9.0 + 30));
    Button* brush = editor->paintBrushButton;
    Button* bucket = editor->fillButton;
    const QPointF c = editor->fanMenuButton->center();
    EXPECT_TRUE(bucket->center() == c && bucket->alpha() == 0 && brush->alpha() == 1);
    EXPECT_FALSE(brush->isUserInteractionEnabled());
    click(editor->fanMenuButton);
    click(editor->fanMenuButton);
    saveScreenshotIfAsked(window, "editor");
    EXPECT_EQ(brush->center(), c + QPointF(-50, -70));
    EXPECT_EQ(bucket->center(), c + QPointF(50, -70));
    EXPECT_TRUE(bucket->alpha() == 1 && bucket->isUserInteractionEnabled());
    click(bucket);
    EXPECT_TRUE(dynamic_cast<Bucket*>(editor->currentTool.get()));
    EXPECT_TRUE(bucket->center() == c && brush->alpha() == 0);
    EXPECT_FALSE(bucket->isUserInteractionEnabled());
    click(editor->fanMenuButton);
    editor->resize(390, 845);
    EXPECT_TRUE(brush->center() == editor->fanMenuButton->center() && brush->alpha() == 1);
    click(brush);
    EXPECT_TRUE(dynamic_cast<Paintbrush*>(editor->currentTool.get()));

    Animation::setEnabled(true);
    openEditor(nullptr);
    EXPECT_EQ(editor->paintBrushButton->center(), editor->fanMenuButton->center());
    EXPECT_EQ(editor->fillButton->center(), editor->fanMenuButton->center());
    Animation::setEnabled(false);

    click(editor->colorPickerButton);
    auto* picker = top<ColorPickerViewController>();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->geometry(), QRectF(0, 844 / 3.0, 390, 844).toRect());
    EXPECT_EQ(picker->initialColor(), kCyan);
    editor->colorChosen(Color::gray());
    EXPECT_EQ(editor->currentDrawingColor, Color::withRGB(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), Color::gray());
}

TEST_F(EditorTest, SavingStoresOneDrawingAndASecondSaveKeepsItsId) {
    tap(at(0, 19));
    press("shareButton");
    auto* sheet = top<ActivityViewController>();
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->offeredActivityTypes().contains(ActivityType::copyToPasteboard));
    EXPECT_FALSE(sheet->offeredActivityTypes().contains(ActivityType::assignToContact));
    sheet->closeSheet();
    processEvents();
    EXPECT_EQ(rows(), std::pair(0, 0));
    save("First");
    EXPECT_EQ(window.screenStack()->topViewController(), home);
    EXPECT_EQ(rows(), std::pair(1, 1));
    const auto stored = thumbnails();
    ASSERT_TRUE(stored.size() == 1 && stored[0]->drawing());
    EXPECT_EQ(stored[0]->fileName(), "First");
    EXPECT_FALSE(stored[0]->date().isEmpty());
    Drawing* drawing = stored[0]->drawing();
    EXPECT_EQ(drawing->colorArray()[19], kCyan);  // column 0, top row
    // A PNG of 300 x 300 points (scale 1 here), the top-left cell painted.
    const QImage image = QImage::fromData(stored[0]->imageData(), "PNG");
    ASSERT_EQ(image.size(), QSize(300, 300));
    EXPECT_EQ(image.pixelColor(2, 2), kCyan.toQColor());

    const QUuid id = drawing->id();
    const QUuid firstThumbnail = stored[0]->id();
    SettingsManager::applyGridSize(28);
    openEditor(drawing);
    EXPECT_TRUE(canvas().width == 20 && canvas().height == 20);
    EXPECT_EQ(cell(0, 19)->fillColor(), kCyan);
    tap(at(19, 0));
    save(QString());
    EXPECT_EQ(rows(), std::pair(1, 1));
    const auto again = thumbnails();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->drawing()->id(), id);
    EXPECT_NE(again[0]->id(), firstThumbnail);
    EXPECT_EQ(again[0]->fileName(), QString());  // an empty title is stored empty
    EXPECT_EQ(again[0]->drawing()->colorArray()[19 * 20], kCyan);
}

// Sharing brought the record up to date in memory; leaving must put it back, or a later save
// of the same context would store the discarded edits.
TEST_F(EditorTest, BackAsksAndExitLeavesNothingOfTheEditsBehind) {
    for (const bool reopened : {false, true}) {
        SCOPED_TRACE(reopened);
        openEditor(reopened ? storeWhite() : nullptr);
        tap(at(2, 2));
        press("shareButton");
        top<ActivityViewController>()->closeSheet();
        processEvents();
        press("backButton");
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "Are you sure?");
        EXPECT_EQ(alert->message(), "Your draw will be lost if you don\u2019t save them.");
        alert->triggerAction("Cancel");
        processEvents();
        ASSERT_TRUE(editor);
        EXPECT_EQ(cell(2, 2)->fillColor(), kCyan);
        press("backButton");
        top<AlertController>()->triggerAction("Exit");
        processEvents();
        EXPECT_FALSE(editor);
        CoreDataManager::saveColor(Color::red());  // an unrelated save of the same context
        store.closeContainer();
        const auto stored = thumbnails();
        ASSERT_EQ(stored.size(), reopened ? 1u : 0u);
        if (reopened) {
            EXPECT_EQ(stored[0]->drawing()->colorArray(), std::vector<Color>(400, Color::white()));
        }
    }
}

TEST_F(EditorTest, AFailedSaveKeepsTheEditorOpenAndARetryStoresOneDrawing) {
    // A long title needs pages of its own, so a store that cannot grow must refuse it.
    const QString title = QString("changed ").repeated(2000);
    const struct {
        const char* fault;
        const char* lift;
        const char* says;
    } faults[] = {
        {"PRAGMA query_only = ON", "PRAGMA query_only = OFF", "Could not save. "},
        {"PRAGMA max_page_count = PAGES", "PRAGMA max_page_count = 100000",
         "database or disk is full"},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.fault);
        ScopedDataDir fresh;
        openEditor(nullptr);
        store.closeContainer();
        QSqlQuery query(store.persistentContainer()->database());
        ASSERT_TRUE(query.exec("PRAGMA page_count") && query.next());
        ASSERT_TRUE(query.exec(QString(f.fault).replace("PAGES", query.value(0).toString())));
        query.finish();  // an open statement would hold a read snapshot that drafts outdate
        saveFails(title, f.says);
        EXPECT_EQ(rows(), std::pair(0, 0));
        ASSERT_TRUE(query.exec(f.lift));
        save(title);
        EXPECT_FALSE(editor);
        EXPECT_EQ(rows(), std::pair(1, 1));
        store.closeContainer();
        ASSERT_EQ(thumbnails().size(), 1u);
        EXPECT_EQ(thumbnails()[0]->drawing()->colorArray()[3 * 20 + 3], kCyan);
        store.closeContainer();
    }
}

TEST_F(EditorTest, AStoreThatCannotBeOpenedKeepsTheOpenDrawingAndTheFolder) {
    ScopedDataDir elsewhere;
    QDir(elsewhere.path()).mkdir("tesselet.sqlite");
    openEditor(nullptr);
    const std::string opening = captureStdout([&] { store.persistentContainer(); });
    EXPECT_EQ(opening.rfind("Unresolved error ", 0), 0u) << opening;
    saveFails("changed", "Could not save. ");
    EXPECT_TRUE(QFileInfo(elsewhere.path() + "/tesselet.sqlite").isDir());
    editor->dismiss(false);
    store.closeContainer();
}

// Records no save of this app writes: each opens with a line saying what was wrong, shows a
// sound grid, and a save writes a record that holds every cell.
TEST_F(EditorTest, MalformedStoredDrawingsOpenSoundlyAndSaveWhatIsShown) {
    const auto archive = [](size_t count) {
        std::vector<Color> colors(count, Color::white());
        colors[0] = Color::red();
        return ColorArchive::encode(colors);
    };
    const struct {
        qint64 width, height;
        QByteArray colors;  // stored bytes
        int64_t shownWidth, shownHeight;
        const char* says;  // part of the line that opening prints
    } cases[] = {
        {21, 21, archive(441), 21, 21, ""},
        {20, 20, archive(10), 20, 20, "is 20 x 20 but holds 10 colors"},
        {24, 24, archive(900), 24, 24, "is 24 x 24 but holds 900 colors"},
        {0, 0, archive(400), 20, 20, "a drawing width of 0 cannot be shown"},
        {-5, 28, archive(140), 20, 28, "a drawing width of -5 cannot be shown"},
        {4'000'000'000, 4'000'000'000, archive(400), 20, 20, "cannot be shown"},
        {20, 20, QByteArray("not an archive"), 20, 20, "Malformed color archive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const QUuid id = storeWhite()->id();
        QSqlQuery query(store.persistentContainer()->database());
        query.prepare("UPDATE Drawing SET width = ?, height = ?, colorArray = ? WHERE id = ?");
        for (const QVariant& value : {QVariant(c.width), QVariant(c.height), QVariant(c.colors),
                                      QVariant(id.toString(QUuid::WithoutBraces))}) {
            query.addBindValue(value);
        }
        ASSERT_TRUE(query.exec());
        store.closeContainer();
        const std::string opening =
            captureStdout([&] { openEditor(thumbnails().at(0)->drawing()); });
        EXPECT_NE(opening.find(c.says), std::string::npos) << opening;
        EXPECT_EQ(canvas().width, c.shownWidth);
        EXPECT_EQ(canvas().height, c.shownHeight);
        ASSERT_EQ(canvas().pixelArray().size(), size_t(c.shownWidth * c.shownHeight));
        tap(at(1, 1));
        save("fixed");
        ASSERT_FALSE(editor) << "the save did not go through";
        store.closeContainer();
        Drawing* drawing = thumbnails().at(0)->drawing();
        ASSERT_EQ(drawing->id(), id);
        EXPECT_EQ(drawing->width(), c.shownWidth);
        EXPECT_EQ(drawing->height(), c.shownHeight);
        ASSERT_EQ(drawing->colorArray().size(), size_t(c.shownWidth * c.shownHeight));
        EXPECT_EQ(drawing->colorArray()[size_t(c.shownHeight + 1)], kCyan);
        CoreDataManager::deleteThumbnail(thumbnails().at(0));
        store.closeContainer();
    }
}
