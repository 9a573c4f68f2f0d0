#include <gtest/gtest.h>

#include <QCommandLinkButton>
#include <QSet>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <vector>

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

TEST_F(SettingsFixture, AFirstStartShowsTwentyWithTheStepperAtItsStart) {
    open();
    EXPECT_EQ(settings->pixelLabel->text(), "20x20");
    EXPECT_EQ(settings->stepperL->value(), 0);
    EXPECT_TRUE(settings->stepperL->isEnabled());
    EXPECT_EQ(settings->stepperL->minimumValue(), 0);
    EXPECT_EQ(settings->stepperL->maximumValue(), 2);
    EXPECT_EQ(settings->stepperL->stepValue(), 1);
    EXPECT_FALSE(UserDefaults::standard().hasValue("stepper")) << "showing stores nothing";
    saveScreenshotIfAsked(stack, "settings");
}

TEST_F(SettingsFixture, EachStepIsShownStoredAndAppliedAtOnce) {
    open();
    press(settings->stepperL->incrementButton());
    EXPECT_EQ(settings->pixelLabel->text(), "24x24");
    EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), 1);
    EXPECT_EQ(SettingsManager::gridWidth, 24);
    EXPECT_EQ(SettingsManager::gridHeight, 24);

    press(settings->stepperL->incrementButton());
    EXPECT_EQ(settings->pixelLabel->text(), "28x28");
    EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), 2);
    EXPECT_EQ(SettingsManager::gridWidth, 28);

    press(settings->stepperL->decrementButton());
    press(settings->stepperL->decrementButton());
    EXPECT_EQ(settings->pixelLabel->text(), "20x20");
    EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), 0);
    EXPECT_EQ(SettingsManager::gridHeight, 20);

    // What was stored is what the next opening shows.
    press(settings->stepperL->incrementButton());
    settings->back();
    processEvents();
    ASSERT_EQ(stack.topViewController(), root);
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
        settings->dismiss(false);
        processEvents();
    }
}

TEST_F(SettingsFixture, TheSevenLinkRowsOpenValidDistinctAddresses) {
    open();
    QSet<QString> seen;
    for (int row = 0; row < SettingsViewController::kLinkCount; ++row) {
        const QUrl url(SettingsViewController::linkForRow(row), QUrl::StrictMode);
        EXPECT_TRUE(url.isValid()) << row;
        EXPECT_EQ(url.scheme(), "https") << row;
        EXPECT_FALSE(url.host().isEmpty()) << row;
        seen.insert(url.toString());
    }
    EXPECT_EQ(seen.size(), 7);

    // Pressing the rows themselves, as a user does.
    std::vector<QCommandLinkButton*> rows;
    for (int row = 0; row < SettingsViewController::kLinkCount; ++row) {
        auto* button =
            settings->findChild<QCommandLinkButton*>(QStringLiteral("linkRow%1").arg(row));
        ASSERT_NE(button, nullptr) << row;
        EXPECT_FALSE(button->accessibleName().isEmpty());
        press(button);
        ASSERT_EQ(opened.size(), static_cast<size_t>(row + 1));
        EXPECT_EQ(opened.back().toString(), SettingsViewController::linkForRow(row));
    }
}

TEST_F(SettingsFixture, RowsOutsideTheLinkSectionOnlyDeselect) {
    open();
    settings->didSelectRow(0, 0);
    settings->didSelectRow(1, 7);
    settings->didSelectRow(1, -1);
    settings->didSelectRow(2, 0);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(settings->pixelLabel->text(), "20x20");
    EXPECT_TRUE(SettingsViewController::linkForRow(7).isEmpty());
}
