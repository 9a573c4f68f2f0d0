#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPointer>
#include <QSqlQuery>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <optional>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "color/color_picker_view_controller.h"
#include "editor/drawing_view_controller.h"
#include "gestures/gesture_clock.h"
#include "platform/device_orientation_center.h"
#include "platform/settings_manager.h"
#include "scene/scene.h"
#include "screens/alert_controller.h"
#include "screens/app_window.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/persistent_container.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"

// The drawing screen over a plain home screen in an active window (keys reach the active
// window only, on X11 too), a store in a fresh data folder, and a clock the test moves.
struct EditorFixture : testing::Test {
    explicit EditorFixture(bool withStore = true,
                           const ScreenMetrics& screen = ScreenMetrics::phone())
        : storeDelegate(withStore ? new StoreTestDelegate : nullptr), window(screen) {}
    ScopedDataDir dataDir;
    std::unique_ptr<StoreTestDelegate> storeDelegate;  // outlives the window and its editor
    ManualGestureClock clock;
    AppWindow window;
    PlatformViewController* home = new PlatformViewController;
    QPointer<DrawingViewController> editor;
    double sceneTime = 1000;

    void SetUp() override {
        Storyboard::main().registerScreen("colorpicker",
                                          [] { return new ColorPickerViewController; });
        window.screenStack()->setRootViewController(home);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void TearDown() override {
        DeviceOrientationCenter::shared().simulateOrientation(DeviceOrientation::portrait);
        SettingsManager::applyGridSize(20);
    }

    StoreTestDelegate& store() { return *storeDelegate; }
    // A new editor, on a stored drawing or a draft when given; an open one goes first.
    void openEditor(Drawing* stored = nullptr, std::optional<Draft> draft = std::nullopt) {
        if (editor) {
            leave();
        }
        editor = new DrawingViewController;
        editor->previousDrawing = stored;
        if (stored) {
            keepRecordFor(editor, stored);
        }
        if (draft) {
            editor->restoreDraft(std::move(*draft));
        }
        home->present(editor, false);
        processEvents();
    }
    // The editor goes without Save or Exit, as when the window closes.
    void leave() {
        editor->dismiss(false);
        processEvents();
        ASSERT_FALSE(editor);
    }

    Canvas& canvas() { return *editor->canvasView->canvas(); }
    Pixel* cell(int64_t x, int64_t y) { return canvas().getPixel(x, y); }
    Color colour(int64_t x, int64_t y) { return cell(x, y)->fillColor(); }
    std::vector<Color> all(const Color& color) {
        return std::vector<Color>(size_t(canvas().width * canvas().height), color);
    }
    size_t steps() { return editor->commandManager.commandStack().size(); }
    // A cell's centre in the editor's coordinates.
    QPoint at(int64_t x, int64_t y) {
        const QPointF centre = cell(x, y)->position() + QPointF(150, 150);
        return editor->canvasView->convertPointFromScene(canvas().convertPointToScene(centre))
            .toPoint();
    }

    static QPointingDevice* device() {
        static QPointingDevice* touchScreen = QTest::createTouchDevice();
        return touchScreen;
    }
    QTest::QTouchEventWidgetSequence touch() { return QTest::touchEvent(&window, device()); }
    QWidget* target() { return editor->canvasView; }
    void drag(const std::vector<QPoint>& points) {
        touch().press(0, points.front(), target());
        for (size_t i = 1; i < points.size(); ++i) {
            touch().move(0, points[i], target());
        }
        touch().release(0, points.back(), target());
        processEvents();
    }
    void tap(QPoint point) { drag({point}); }
    // Notches of the wheel at the middle of the screen, up zooming in; then the zoom ends.
    void wheel(int notches) {
        const QPointF middle(editor->width() / 2.0, editor->height() / 2.0);
        for (int i = 0; i < std::abs(notches); ++i) {
            QWheelEvent event(middle, target()->mapToGlobal(middle), {},
                              QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(target(), &event);
        }
        clock.advance(0.5);
    }
    // The device turned, and the canvas with it.
    void turn(DeviceOrientation orientation) {
        DeviceOrientationCenter::shared().simulateOrientation(orientation);
        editor->canvasView->canvasScene()->update(sceneTime += 1);
        editor->canvasView->canvasScene()->update(sceneTime += 1);  // the turn has finished
    }
    void tap(int64_t x, int64_t y) { tap(at(x, y)); }
    void click(QWidget* widget) {
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        processEvents();
    }
    void press(const char* name) { click(editor->findChild<QWidget*>(name)); }
    Button* button(const char* name) { return editor->findChild<Button*>(name); }
    void choose(const char* toolButton) {
        click(editor->fanMenuButton);
        click(button(toolButton));
    }
    template <typename T>
    T* top() {
        return qobject_cast<T*>(window.screenStack()->topViewController());
    }

    void save(const QString& title) {
        press("saveButton");
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert && alert->textFields().size() == 1);
        alert->textFields()[0]->setText(title);
        alert->triggerAction("Save");
        processEvents();
    }
    // The store refuses the save: the editor stays, the console and the notice say why. The
    // notice's message, after "OK".
    std::string saveRefused(const QString& title, const char* says = "Could not save. ") {
        const std::string out = captureStdout([&] { save(title); });
        EXPECT_NE(out.find(says), std::string::npos) << out;
        auto* notice = top<AlertController>();
        if (!editor || !notice || notice->title() != "Could not save") {
            ADD_FAILURE() << "the save was not refused";
            return {};
        }
        const std::string message = notice->message().toStdString();
        notice->triggerAction("OK");
        processEvents();
        return message;
    }
    void exitEditor() {
        press("backButton");
        top<AlertController>()->triggerAction("Exit");
        processEvents();
        ASSERT_FALSE(editor);
    }

    QSqlQuery query() { return QSqlQuery(store().persistentContainer()->database()); }
    int rows(const char* table) {
        QSqlQuery q = query();
        return q.exec(QString("SELECT count(*) FROM ") + table) && q.next() ? q.value(0).toInt()
                                                                            : -1;
    }
    // The store cannot grow: a save that needs new pages is refused as on a full disk.
    void fillStore(bool full) {
        QSqlQuery q = query();
        ASSERT_TRUE(q.exec("PRAGMA page_count") && q.next());
        ASSERT_TRUE(q.exec("PRAGMA max_page_count = " +
                           (full ? q.value(0).toString() : QString("1000000"))));
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
};

// The same with an editor open from the start.
struct OpenEditorFixture : EditorFixture {
    using EditorFixture::EditorFixture;
    void SetUp() override {
        EditorFixture::SetUp();
        openEditor();
    }
};
