#pragma once

#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QTest>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "color/color_picker_view_controller.h"
#include "editor/drawing_view_controller.h"
#include "platform/alert_controller.h"
#include "platform/app_window.h"
#include "platform/gesture_clock.h"
#include "platform/screen_stack.h"
#include "platform/settings_manager.h"
#include "platform/storyboard.h"
#include "store_test_delegate.h"
#include "test_support.h"

// The editor presented full screen over a plain home screen in a phone-sized window, with a
// store in a temporary folder and a gesture clock the test moves on.
struct EditorFixture : testing::Test {
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
        openEditor(nullptr);
    }
    void TearDown() override { SettingsManager::applyGridSize(20); }

    // Opens a fresh editor, for a stored drawing or a blank canvas.
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

    CanvasView& view() { return *editor->canvasView; }
    Canvas& canvas() { return *editor->canvasView->canvas(); }
    Pixel* cell(int64_t x, int64_t y) { return canvas().getPixel(x, y); }
    std::vector<Color> all(const Color& color) {
        return std::vector<Color>(size_t(canvas().width * canvas().height), color);
    }

    // A cell's centre in the editor's coordinates.
    QPoint at(int64_t x, int64_t y) {
        const QPointF scene =
            canvas().convertPointToScene(cell(x, y)->position() + QPointF(150, 150));
        return view().convertPointFromScene(scene).toPoint();
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

    template <typename T>
    T* top() {
        return qobject_cast<T*>(window.screenStack()->topViewController());
    }
    Button* button(const char* name) { return editor->findChild<Button*>(QLatin1String(name)); }
    void click(QWidget* widget) {
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        processEvents();
    }
    int rows(const char* table) {
        QSqlQuery query(store.persistentContainer()->database());
        query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)));
        return query.next() ? query.value(0).toInt() : -1;
    }
};
