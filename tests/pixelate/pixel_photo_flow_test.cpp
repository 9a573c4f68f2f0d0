#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "picture_fixtures.h"
#include "pixelate_test_support.h"
#include "platform/settings_link.h"
#include "screens/activity_view_controller.h"
#include "screens/alert_controller.h"
#include "screens/image_picker_controller.h"
#include "screens/photo_library.h"
#include "screens/screen_stack.h"

using namespace pixelate_test;
using Status = PhotoLibrary::AuthorizationStatus;

namespace {

// The pixel screen presented in a shown window, where the photo library can ask its question.
struct PhotoFlow : PixelScreen {
    ScopedDataDir data;
    ScreenStack stack;
    PlatformViewController* root = new PlatformViewController;

    void SetUp() override {
        PixelScreen::SetUp();
        stack.resize(390, 844);
        stack.setRootViewController(root);
        stack.show();
        root->present(screen, false);
    }
    void TearDown() override { SettingsLink::setHandler({}); }  // the window owns the screen

    template <typename T>
    T* top() const {
        return qobject_cast<T*>(stack.topViewController());
    }
    void tap(const char* button) {
        QTest::mouseClick(screen->findChild<QPushButton*>(button), Qt::LeftButton);
        processEvents();
    }
};

}  // namespace

// Access decides what the load button opens: the picker of saved photos, answering to this
// screen, or the alert whose "Cancel" only closes it. Undecided access is asked first.
TEST_F(PhotoFlow, AccessDecidesWhetherThePickerOpensOrTheAlertLeadsToSettings) {
    const std::pair<Status, bool> cases[] = {// the status, and the answer when asked
                                             {Status::notDetermined, true},
                                             {Status::notDetermined, false},
                                             {Status::limited, false}};
    for (const auto& [status, allow] : cases) {
        SCOPED_TRACE(int(status));
        PhotoLibrary::setAuthorizationStatus(status);
        tap("loadButton");
        if (status == Status::notDetermined) {
            auto* question = top<AlertController>();
            ASSERT_TRUE(question && question->title() == PhotoLibrary::requestTitle);
            question->triggerAction(allow ? PhotoLibrary::allowTitle : PhotoLibrary::denyTitle);
            processEvents();
        }
        if (auto* picker = top<ImagePickerController>()) {
            EXPECT_TRUE(status == Status::authorized || allow);
            EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::authorized);
            EXPECT_EQ(picker->delegate(), screen.data());
            picker->cancel();
        } else {
            AlertController* alert = top<AlertController>();
            ASSERT_NE(alert, nullptr);
            EXPECT_FALSE(allow);
            EXPECT_EQ(alert->title(), "Allow Camera Roll Access");
            alert->triggerAction("Cancel");
        }
        processEvents();
        EXPECT_EQ(stack.topViewController(), screen.data());
    }

    // "Settings" takes the user to where the answer is changed.
    int settingsOpened = 0;
    SettingsLink::setHandler([&] { return ++settingsOpened > 0; });
    tap("loadButton");
    ASSERT_TRUE(top<AlertController>()->triggerAction("Settings"));
    processEvents();
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(stack.topViewController(), screen.data());
}

// Picks that bring no usable picture (none, undecodable, too narrow) change nothing and say why:
// the slider, its label, the photo and the preview stay. A good photo after them resets the slider
// and shows without blocks, and the slider still works.
TEST_F(PhotoFlow, BadPicksChangeNothingAndAGoodOneAfterThemResetsTheSlider) {
    using namespace picture_fixtures;
    ScopedPicturesDir pictures;
    const auto add = [&](const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(writeFile(pictures.path() + "/" + name, bytes));
        return pictures.path() + "/" + name;
    };
    const QByteArray jpeg = encoded(randomPixels(400, 300, 3), "jpg");
    screen->loadSourceImage(randomPixels(390, 520, 1), false);
    ASSERT_EQ(showBlocks(1, 10), 10);
    const qint64 source = screen->sourceImage.cacheKey();
    const qint64 shown = preview().cacheKey();
    PhotoLibrary::setAuthorizationStatus(Status::authorized);

    QImage sliver(19000, 1, QImage::Format_RGB32);
    sliver.fill(Qt::gray);
    const auto picked = [](const QImage& image) {
        return QVariantMap{{ImagePickerController::originalImageKey, image}};
    };
    const std::pair<QVariantMap, QString> picks[] = {{QVariantMap(), ""},
                                                     {picked(QImage()), "could not be read"},
                                                     {picked(sliver), "too narrow"}};
    for (const auto& [info, says] : picks) {
        SCOPED_TRACE(says.toStdString());
        tap("loadButton");
        captureStdout([&] {
            screen->imagePickerControllerDidFinishPickingMediaWithInfo(top<ImagePickerController>(),
                                                                       info);
        });
        processEvents();
        EXPECT_EQ(stack.topViewController(), screen.data());  // the picker has closed
        EXPECT_EQ(screen->sourceImage.cacheKey(), source);
        EXPECT_EQ(preview().cacheKey(), shown);
        EXPECT_EQ(screen->findChild<QLabel*>("blockSizeValueLabel")->text(), "10");
        EXPECT_TRUE(says.isEmpty() ? screen->message().isEmpty() : screen->message().contains(says))
            << screen->message().toStdString();
    }
    EXPECT_EQ(renders.size(), 2u);

    tap("loadButton");
    QPointer<ImagePickerController> picker = top<ImagePickerController>();
    ASSERT_TRUE(picker);
    clock->setTime(2);
    picker->pickPhoto(add("good.jpg", jpeg));
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker.isNull(); }, 10000));
    processEvents();
    EXPECT_EQ(stack.topViewController(), screen.data());
    EXPECT_EQ(screen->pixelSizeSlider->value(), 0);
    EXPECT_TRUE(screen->message().isEmpty());
    EXPECT_EQ(screen->sourceImage.size(), QSize(390, 293));
    finishRenders();
    EXPECT_EQ(preview().cacheKey(), screen->sourceImage.cacheKey());
    EXPECT_EQ(showBlocks(3, 10), 10);
}

// The values the screen shows in text reach assistive technology too, and follow changes.
TEST_F(PhotoFlow, TheBlockSizeAndTheMessageReachAssistiveTechnology) {
    const auto says = [this](const char* name) {
        QAccessibleInterface* control =
            QAccessible::queryAccessibleInterface(screen->findChild<QLabel*>(name));
        return control ? control->text(QAccessible::Name) + " | " +
                             control->text(QAccessible::Description)
                       : QString();
    };
    EXPECT_TRUE(says("blockSizeValueLabel").endsWith("| Off"))
        << says("blockSizeValueLabel").toStdString();
    screen->loadSourceImage(randomPixels(390, 520), false);
    showBlocks(1, 12);
    EXPECT_TRUE(says("blockSizeValueLabel").endsWith("| 12"));
    EXPECT_TRUE(says("blockSizeValueLabel").startsWith("Block size"));
    captureStdout([&] { screen->loadSourceImage(QImage(19000, 1, QImage::Format_RGB32), false); });
    EXPECT_TRUE(says("messageLabel").contains("too narrow or too tall"));
}

TEST_F(PhotoFlow, ShareHandsOverThePreviewPictureOnceThereIsOne) {
    EXPECT_FALSE(screen->findChild<QPushButton*>("shareButton")->isEnabled());
    screen->saveAction();  // no picture yet: ignored
    EXPECT_EQ(stack.topViewController(), screen.data());

    screen->loadSourceImage(randomPixels(390, 520), false);
    showBlocks(1, 5);
    tap("shareButton");
    auto* sheet = top<ActivityViewController>();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->activityItems().size(), 1);
    EXPECT_EQ(sheet->activityItems().first().cacheKey(), preview().cacheKey());
    sheet->closeSheet();
    processEvents();

    tap("backButton");
    EXPECT_TRUE(screen.isNull());
    EXPECT_EQ(stack.topViewController(), root);
}
