#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <optional>

#include "platform/user_defaults.h"
#include "screen_fixture.h"
#include "screens/alert_controller.h"
#include "screens/photo_library.h"
#include "test_support.h"

namespace {
using Status = PhotoLibrary::AuthorizationStatus;

struct AuthorizationTest : ScreenFixture<> {
    ScopedDataDir data;
    std::optional<Status> answer;

    void request() {
        answer.reset();
        PhotoLibrary::requestAuthorization([this](Status status) { answer = status; });
    }
    AlertController* question() {
        return qobject_cast<AlertController*>(stack.topViewController());
    }
};
}  // namespace

TEST_F(AuthorizationTest, NotDeterminedAsksOnceAndRemembersTheAnswer) {
    ASSERT_EQ(PhotoLibrary::authorizationStatus(), Status::notDetermined);
    request();
    // A request while the question is open waits for the same answer.
    std::optional<Status> second;
    PhotoLibrary::requestAuthorization([&](Status status) { second = status; });
    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(question()->message(), PhotoLibrary::requestMessage);
    QTest::mouseClick(question()->actionButton("Allow"), Qt::LeftButton);
    EXPECT_FALSE(answer.has_value());  // answered from the event loop, never in the middle
    processEvents();
    EXPECT_EQ(answer, Status::authorized);
    EXPECT_EQ(second, Status::authorized);
    EXPECT_EQ(stack.depth(), 1);

    // Kept in the settings, as a new run would read them; never asked again.
    UserDefaults::standard().reload();
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::authorized);
    request();
    EXPECT_EQ(stack.depth(), 1);
    processEvents();
    EXPECT_EQ(answer, Status::authorized);
}

TEST_F(AuthorizationTest, AValueNeverWrittenByTheAppReadsAsUndeterminedAndIsAskedAgain) {
    UserDefaults::standard().setInteger(9, PhotoLibrary::settingsKey);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::notDetermined);
    request();
    ASSERT_NE(question(), nullptr);
    question()->triggerAction("Allow");
    processEvents();
    EXPECT_EQ(answer, Status::authorized);
}
