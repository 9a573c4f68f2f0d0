#include <gtest/gtest.h>

#include <QCommandLinkButton>
#include <QSet>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "app/settings_view_controller.h"
#include "platform/screen_stack.h"
#include "platform/settings_manager.h"
#include "platform/user_defaults.h"
#include "screenshot.h"
#include "test_support.h"

namespace {
struct SettingsFixture : testing::Test {
    ScopedDataDir dir;
    ScreenStack stack;
    PlatformViewController* root = new PlatformViewController;
    SettingsViewController* settings = nullptr;
    std::vector<QUrl> opened;

    void SetUp() override {
        stack.resize(390, 844);
        stack.setRootViewController(root);
        stack.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stack));
    }
    void TearDown() override { SettingsManager::applyGridSize(20); }

    void open() {
        if (settings) {
            settings->back();
            processEvents();
            ASSERT_EQ(stack.topViewController(), root);
        }
        settings = new SettingsViewController;
        settings->setUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        root->present(settings, true);
    }
    void press(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        processEvents();
    }
};
}  // namespace

// Each step is shown, stored and applied at once; the next opening shows what was stored.
TEST_F(SettingsFixture, TheStepperShowsStoresAndAppliesEachSize) {
    open();
    saveScreenshotIfAsked(stack, "settings");
    EXPECT_EQ(settings->pixelLabel->text(), "20x20");
    EXPECT_FALSE(UserDefaults::standard().hasValue("stepper")) << "showing stores nothing";
    const struct {
        bool up;
        const char* shown;
        int64_t position;
    } steps[] = {{true, "24x24", 1}, {true, "28x28", 2}, {false, "24x24", 1}, {false, "20x20", 0}};
    for (const auto& step : steps) {
        press(step.up ? settings->stepperL->incrementButton()
                      : settings->stepperL->decrementButton());
        EXPECT_EQ(settings->pixelLabel->text(), step.shown);
        EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), step.position);
        EXPECT_EQ(SettingsManager::gridWidth, 20 + 4 * step.position);
        EXPECT_EQ(SettingsManager::gridHeight, 20 + 4 * step.position);
    }
    press(settings->stepperL->incrementButton());
    open();
    EXPECT_EQ(settings->pixelLabel->text(), "24x24");
    EXPECT_EQ(settings->stepperL->value(), 1);
}

TEST_F(SettingsFixture, AStoredPositionOutsideTheRangeShowsTwentyEightAtTheStepperEnd) {
    for (const int64_t stored : {int64_t{2}, int64_t{7}, int64_t{-3}}) {
        UserDefaults::standard().setInteger(stored, "stepper");
        open();
        EXPECT_EQ(settings->pixelLabel->text(), "28x28") << stored;
        EXPECT_EQ(settings->stepperL->value(), 2) << stored;
        EXPECT_FALSE(settings->stepperL->incrementButton()->isEnabled()) << stored;
    }
}

// The seven rows open seven valid, distinct addresses; other rows only deselect.
TEST_F(SettingsFixture, TheLinkRowsOpenValidDistinctAddresses) {
    open();
    QSet<QString> seen;
    for (int row = 0; row < SettingsViewController::kLinkCount; ++row) {
        auto* button =
            settings->findChild<QCommandLinkButton*>(QStringLiteral("linkRow%1").arg(row));
        ASSERT_NE(button, nullptr) << row;
        press(button);
        ASSERT_EQ(opened.size(), static_cast<size_t>(row + 1));
        const QUrl url(opened.back().toString(), QUrl::StrictMode);
        EXPECT_TRUE(url.isValid() && url.scheme() == "https" && !url.host().isEmpty()) << row;
        seen.insert(url.toString());
    }
    EXPECT_EQ(seen.size(), 7);

    settings->didSelectRow(0, 0);
    settings->didSelectRow(1, 7);
    settings->didSelectRow(1, -1);
    settings->didSelectRow(2, 0);
    EXPECT_EQ(opened.size(), 7u);
    EXPECT_EQ(settings->pixelLabel->text(), "20x20");
}
