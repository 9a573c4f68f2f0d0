#include <gtest/gtest.h>

#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <optional>

#include "platform/alert_controller.h"
#include "platform/app_paths.h"
#include "platform/photo_library.h"
#include "platform/screen_stack.h"
#include "platform/settings_link.h"
#include "platform/user_defaults.h"
#include "test_support.h"

namespace {
using Status = PhotoLibrary::AuthorizationStatus;

struct AuthorizationTest : testing::Test {
    ScopedDataDir data;
    ScreenStack stack;
    PlatformViewController* root = new PlatformViewController;

    void SetUp() override {
        stack.resize(390, 844);
        stack.setRootViewController(root);
        stack.show();
    }

    AlertController* question() {
        return qobject_cast<AlertController*>(stack.topViewController());
    }
};
}  // namespace

TEST_F(AuthorizationTest, NotDeterminedAsksOnceAndRemembersAllow) {
    ASSERT_EQ(PhotoLibrary::authorizationStatus(), Status::notDetermined);
    std::optional<Status> first;
    std::optional<Status> second;
    PhotoLibrary::requestAuthorization([&](Status status) { first = status; });
    // A request while the question is open waits for the same answer.
    PhotoLibrary::requestAuthorization([&](Status status) { second = status; });

    AlertController* alert = question();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(stack.depth(), 2);
    EXPECT_EQ(alert->title(), PhotoLibrary::requestTitle);
    EXPECT_EQ(alert->message(), PhotoLibrary::requestMessage);
    ASSERT_NE(alert->actionButton("Allow"), nullptr);
    ASSERT_NE(alert->actionButton("Don\u2019t Allow"), nullptr);

    QTest::mouseClick(alert->actionButton("Allow"), Qt::LeftButton);
    EXPECT_FALSE(first.has_value());  // answered from the event loop, never in the middle
    processEvents();
    EXPECT_EQ(first, Status::authorized);
    EXPECT_EQ(second, Status::authorized);
    EXPECT_EQ(stack.depth(), 1);

    UserDefaults::standard().reload();  // as a new run would read it
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::authorized);
    std::optional<Status> later;
    PhotoLibrary::requestAuthorization([&](Status status) { later = status; });
    EXPECT_EQ(stack.depth(), 1);
    processEvents();
    EXPECT_EQ(later, Status::authorized);
}

TEST_F(AuthorizationTest, DeniedIsRememberedAndNeverAskedAgain) {
    std::optional<Status> answer;
    PhotoLibrary::requestAuthorization([&](Status status) { answer = status; });
    QTest::keyClick(question(), Qt::Key_Escape);  // "Don't Allow" is the cancel action
    processEvents();
    EXPECT_EQ(answer, Status::denied);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::denied);

    answer.reset();
    PhotoLibrary::requestAuthorization([&](Status status) { answer = status; });
    EXPECT_EQ(stack.depth(), 1);
    processEvents();
    EXPECT_EQ(answer, Status::denied);

    // The settings screen can change the answer later, or forget it.
    PhotoLibrary::setAuthorizationStatus(Status::limited);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::limited);
    PhotoLibrary::setAuthorizationStatus(Status::notDetermined);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::notDetermined);
}

TEST_F(AuthorizationTest, AQuestionThatCannotBeAnsweredLeavesItUndetermined) {
    // Its screen closes beneath it.
    auto* screen = new PlatformViewController;
    root->present(screen, false);
    std::optional<Status> answer;
    PhotoLibrary::requestAuthorization([&](Status status) { answer = status; });
    ASSERT_NE(question(), nullptr);
    screen->dismiss(false);
    root->dismiss(false);
    processEvents();
    EXPECT_EQ(answer, Status::notDetermined);
    EXPECT_FALSE(UserDefaults::standard().hasValue(PhotoLibrary::settingsKey));

    // A value never written by the app reads as undetermined, so the user is asked again.
    UserDefaults::standard().setInteger(9, PhotoLibrary::settingsKey);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::notDetermined);
    answer.reset();
    PhotoLibrary::requestAuthorization([&](Status status) { answer = status; });
    ASSERT_NE(question(), nullptr);
    question()->triggerAction("Allow");
    processEvents();
    EXPECT_EQ(answer, Status::authorized);
}

TEST(AuthorizationWithoutScreens, NoWindowMeansNoAnswer) {
    ScopedDataDir data;
    std::optional<Status> answer;
    PhotoLibrary::requestAuthorization([&](Status status) { answer = status; });
    processEvents();
    EXPECT_EQ(answer, Status::notDetermined);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::notDetermined);
}

TEST(SettingsLinkTest, OpensOnlyThroughTheInstalledHandler) {
    EXPECT_FALSE(SettingsLink::canOpen());
    EXPECT_FALSE(SettingsLink::open());
    int shown = 0;
    SettingsLink::setHandler([&] {
        ++shown;
        return true;
    });
    EXPECT_TRUE(SettingsLink::canOpen());
    EXPECT_TRUE(SettingsLink::open());
    EXPECT_EQ(shown, 1);
    SettingsLink::setHandler({});
    EXPECT_FALSE(SettingsLink::open());
}
