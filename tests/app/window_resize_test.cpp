// The window is resized by users (maximised) and desktops (split screens): every screen
// follows its size.
#include "app_fixture.h"
#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editor/drawing_view_controller.h"
#include "widgets/asset_image_view.h"

namespace {
struct ResizeTest : AppFixture {
    void resize(int width, int height) {
        window().resize(width, height);
        processEvents();
    }
    void tap(QWidget* target, QPoint point) {
        static QPointingDevice* device = QTest::createTouchDevice();
        QTest::touchEvent(&window(), device).press(0, point, target);
        QTest::touchEvent(&window(), device).release(0, point, target);
        processEvents();
    }
    // The screen covers the window and its background (when it has one) covers the screen.
    void expectFills(PlatformViewController* screen, QSize size) {
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->geometry(), QRect(QPoint(0, 0), size));
        if (auto* background = screen->findChild<AssetImageView*>(QStringLiteral("backgroundView"),
                                                                  Qt::FindDirectChildrenOnly)) {
            EXPECT_EQ(background->geometry(), QRect(QPoint(0, 0), size));
        }
    }
};
}  // namespace

TEST_F(ResizeTest, HomeGalleryAndSettingsFollowTheWindowBothWays) {
    for (const QSize size : {QSize(1200, 900), QSize(500, 700), QSize(390, 844)}) {
        SCOPED_TRACE(size.width());
        resize(size.width(), size.height());
        EXPECT_EQ(ScreenMetrics::main().width, size.width());
        EXPECT_EQ(ScreenMetrics::main().height, size.height());
        expectFills(home(), size);
        // A screen opened at this size, and one resized while it shows.
        for (const QString& name : {QStringLiteral("Gallery"), QStringLiteral("Settings")}) {
            press(name);
            PlatformViewController* screen = top();
            ASSERT_NE(screen, home());
            expectFills(screen, size);
            resize(size.width() + 100, size.height() + 50);
            expectFills(screen, size + QSize(100, 50));
            expectFills(home(), size + QSize(100, 50));
            resize(size.width(), size.height());
            press(QStringLiteral("Back"));
            ASSERT_EQ(top(), home());
        }
    }
}

TEST_F(ResizeTest, TheWindowKeepsAMinimumSizeThatLaysOutEveryScreen) {
    resize(100, 100);
    EXPECT_GE(window().width(), AppWindow::kMinimumWidth);
    EXPECT_GE(window().height(), AppWindow::kMinimumHeight);
    expectFills(top(), window().size());
}

TEST_F(ResizeTest, TheEditorRefitsItsCanvasAndKeepsTheDrawingAndItsHistory) {
    press(QStringLiteral("New drawing"));
    auto* editor = top<DrawingViewController>();
    ASSERT_NE(editor, nullptr);
    Canvas& canvas = *editor->canvasView->canvas();
    const auto at = [&](int64_t x, int64_t y) {
        const QPointF centre = canvas.getPixel(x, y)->position() + QPointF(150, 150);
        return editor->canvasView->convertPointFromScene(canvas.convertPointToScene(centre))
            .toPoint();
    };
    const QPoint startCorner = at(0, 0);
    tap(editor->canvasView, at(10, 10));
    const Color painted = canvas.getPixel(10, 10)->fillColor();
    ASSERT_FALSE(painted == Color::white());
    ASSERT_EQ(editor->commandManager.commandStack().size(), 1u);

    resize(1000, 800);
    expectFills(editor, QSize(1000, 800));
    EXPECT_EQ(editor->canvasView->geometry(), QRect(0, 0, 1000, 800));
    EXPECT_EQ(editor->lowerToolbar->geometry().width(), 1000);
    EXPECT_EQ(editor->lowerToolbar->geometry().bottom(), 799);
    EXPECT_EQ(editor->fanMenuButton->center().x(), 500);
    auto* save = editor->findChild<QWidget*>(QStringLiteral("saveButton"));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->geometry().right(), 1000 - 12 - 1);
    // The whole grid shows between the top and the toolbar, centred.
    const QPoint corner = at(0, 0);
    const QPoint opposite = at(19, 19);
    EXPECT_GT(corner.x(), 0);
    EXPECT_LT(opposite.x(), 1000);
    EXPECT_GT(opposite.y(), 0);
    EXPECT_LT(corner.y(), editor->lowerToolbar->geometry().top());
    EXPECT_NEAR((corner.x() + opposite.x()) / 2.0, 500, 2);
    EXPECT_TRUE(canvas.getPixel(10, 10)->fillColor() == painted);
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);

    // Cells beyond the old width take touches.
    ASSERT_GT(at(19, 10).x(), 390);
    tap(editor->canvasView, at(19, 10));
    EXPECT_TRUE(canvas.getPixel(19, 10)->fillColor() == painted);
    EXPECT_EQ(editor->commandManager.commandStack().size(), 2u);

    resize(390, 844);
    EXPECT_EQ(at(0, 0), startCorner);
    EXPECT_EQ(editor->lowerToolbar->geometry().width(), 390);
}
