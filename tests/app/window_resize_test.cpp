// The window is resized by users (maximised) and desktops (split screens): every screen
// follows its size.
#include "app_fixture.h"
#include "widgets/asset_image_view.h"

namespace {
struct ResizeTest : AppFixture {
    void resize(int width, int height) {
        window().resize(width, height);
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

// The editor's refit, and a stroke beyond the old width, are driven in the real window.
TEST_F(ResizeTest, HomeGalleryAndSettingsFollowTheWindowBothWays) {
    const QSize size(1200, 900);
    resize(size.width(), size.height());
    EXPECT_EQ(ScreenMetrics::main().width, size.width());
    expectFills(home(), size);
    // A screen opened at this size, and one resized while it shows.
    for (const QString& name : {QStringLiteral("Gallery"), QStringLiteral("Settings")}) {
        press(name);
        PlatformViewController* screen = top();
        ASSERT_NE(screen, home());
        expectFills(screen, size);
        resize(500, 700);
        expectFills(screen, QSize(500, 700));
        expectFills(home(), QSize(500, 700));
        resize(size.width(), size.height());
        press(QStringLiteral("Back"));
        ASSERT_EQ(top(), home());
    }
}

TEST_F(ResizeTest, TheWindowKeepsAMinimumSizeThatLaysOutEveryScreen) {
    resize(100, 100);
    EXPECT_GE(window().width(), AppWindow::kMinimumWidth);
    EXPECT_GE(window().height(), AppWindow::kMinimumHeight);
    expectFills(top(), window().size());
}
