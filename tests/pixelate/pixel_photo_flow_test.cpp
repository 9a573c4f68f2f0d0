#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "picture_fixtures.h"
#include "pixelate/photo_view.h"
#include "pixelate/pixel_view_controller.h"
#include "pixelate_test_support.h"
#include "platform/activity_view_controller.h"
#include "platform/alert_controller.h"
#include "platform/image_picker_controller.h"
#include "platform/photo_library.h"
#include "platform/screen_stack.h"
#include "platform/settings_link.h"
#include "test_support.h"

using pixelate_test::FakeClock;
using pixelate_test::firstRunLength;
using pixelate_test::ManualRenderQueue;
using pixelate_test::randomPixels;
using Status = PhotoLibrary::AuthorizationStatus;

namespace {

// The pixel screen presented in a shown window, where the photo library can ask its question.
struct PhotoFlow : testing::Test {
    ScopedDataDir data;
    ScreenStack stack;
    PlatformViewController* root = new PlatformViewController;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    ManualRenderQueue renders;
    QPointer<PixelViewController> screen = new PixelViewController;

    void SetUp() override {
        stack.resize(390, 844);
        stack.setRootViewController(root);
        stack.show();
        screen->setClock(clock);
        screen->setRenderQueue(renders.queue());
        root->present(screen, false);
    }
    void TearDown() override { SettingsLink::setHandler({}); }

    template <typename T>
    T* top() const {
        return qobject_cast<T*>(stack.topViewController());
    }
    AlertController* accessAlert() const {
        auto* alert = top<AlertController>();
        return alert && alert->title() == "Allow Camera Roll Access" ? alert : nullptr;
    }
    void tapLoad() {
        QTest::mouseClick(screen->findChild<QPushButton*>("loadButton"), Qt::LeftButton);
        processEvents();
    }
};

}  // namespace

TEST_F(PhotoFlow, AuthorisedAccessOpensTheSavedPhotosPicker) {
    PhotoLibrary::setAuthorizationStatus(Status::authorized);
    tapLoad();
    auto* picker = top<ImagePickerController>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->delegate(), screen.data());
    EXPECT_EQ(picker->sourceType(), ImagePickerController::SourceType::savedPhotosAlbum);
}

TEST_F(PhotoFlow, UndecidedAccessAsksFirstThenOpensThePickerOrExplains) {
    tapLoad();
    auto* question = top<AlertController>();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->title(), PhotoLibrary::requestTitle);
    ASSERT_TRUE(question->triggerAction(PhotoLibrary::allowTitle));
    processEvents();
    ASSERT_NE(top<ImagePickerController>(), nullptr);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), Status::authorized);

    top<ImagePickerController>()->cancel();
    processEvents();
    PhotoLibrary::setAuthorizationStatus(Status::notDetermined);
    tapLoad();
    ASSERT_TRUE(top<AlertController>()->triggerAction(PhotoLibrary::denyTitle));
    processEvents();
    EXPECT_NE(accessAlert(), nullptr);
    EXPECT_EQ(top<ImagePickerController>(), nullptr);
}

TEST_F(PhotoFlow, RefusedAccessShowsTheAlertWhoseCancelOnlyClosesIt) {
    int settingsOpened = 0;
    SettingsLink::setHandler([&] {
        ++settingsOpened;
        return true;
    });
    for (Status status : {Status::denied, Status::restricted, Status::limited}) {
        PhotoLibrary::setAuthorizationStatus(status);
        tapLoad();
        AlertController* alert = accessAlert();
        ASSERT_NE(alert, nullptr) << int(status);
        EXPECT_EQ(alert->message(), "Photos access is necessary for this app to run.");
        ASSERT_EQ(alert->actions().size(), 2u);
        EXPECT_EQ(alert->actions()[0].title(), "Settings");
        EXPECT_EQ(alert->actions()[1].title(), "Cancel");
        for (const AlertAction& action : alert->actions()) {
            EXPECT_EQ(action.style(), AlertActionStyle::defaultStyle);
        }
        ASSERT_TRUE(alert->triggerAction("Cancel"));
        processEvents();
        EXPECT_EQ(stack.topViewController(), screen.data());
        EXPECT_EQ(PhotoLibrary::authorizationStatus(), status);
    }
    EXPECT_EQ(settingsOpened, 0);

    // "Settings" takes the user to where the answer is changed.
    tapLoad();
    ASSERT_TRUE(accessAlert()->triggerAction("Settings"));
    processEvents();
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(stack.topViewController(), screen.data());
}

TEST_F(PhotoFlow, APickedPhotoResetsTheSliderAndShowsWithoutBlocks) {
    screen->loadSourceImage(randomPixels(390, 520, 1), false);
    clock->setTime(1);
    screen->pixelSizeSlider->setValue(10);
    renders.finishAll();
    processEvents();
    ASSERT_EQ(firstRunLength(screen->previewImageView->image()), 10);

    PhotoLibrary::setAuthorizationStatus(Status::authorized);
    tapLoad();
    QPointer<ImagePickerController> picker = top<ImagePickerController>();
    ASSERT_TRUE(picker);
    const QImage photo = randomPixels(780, 1040, 2);
    clock->setTime(2);
    screen->imagePickerControllerDidFinishPickingMediaWithInfo(
        picker, {{ImagePickerController::originalImageKey, photo}});
    processEvents();

    EXPECT_TRUE(picker.isNull());
    EXPECT_EQ(stack.topViewController(), screen.data());
    EXPECT_EQ(screen->pixelSizeSlider->value(), 0);
    EXPECT_EQ(screen->sourceImage.size(), QSize(390, 520));
    EXPECT_EQ(screen->previewImageView->image().cacheKey(), photo.cacheKey());
    renders.finishAll();
    processEvents();
    EXPECT_EQ(screen->previewImageView->image().cacheKey(), screen->sourceImage.cacheKey());
    EXPECT_EQ(firstRunLength(screen->previewImageView->image()), 1);
}

TEST_F(PhotoFlow, PicksWithoutAUsablePictureChangeNothingButCloseThePicker) {
    screen->loadSourceImage(randomPixels(390, 520, 1), false);
    const qint64 source = screen->sourceImage.cacheKey();
    PhotoLibrary::setAuthorizationStatus(Status::authorized);

    tapLoad();
    screen->imagePickerControllerDidFinishPickingMediaWithInfo(top<ImagePickerController>(), {});
    processEvents();
    EXPECT_EQ(stack.topViewController(), screen.data());
    EXPECT_EQ(screen->sourceImage.cacheKey(), source);
    EXPECT_TRUE(screen->message().isEmpty());

    tapLoad();
    captureStdout([&] {
        screen->imagePickerControllerDidFinishPickingMediaWithInfo(
            top<ImagePickerController>(), {{ImagePickerController::originalImageKey, QImage()}});
    });
    processEvents();
    EXPECT_EQ(stack.topViewController(), screen.data());
    EXPECT_EQ(screen->sourceImage.cacheKey(), source);
    EXPECT_EQ(screen->message(), "This photo could not be read.");
}

TEST_F(PhotoFlow, HostilePhotosPickedHereAreExplainedAndTheScreenKeepsWorking) {
    using namespace picture_fixtures;
    ScopedPicturesDir pictures;
    const QByteArray jpeg = encoded(randomPixels(400, 300, 3), "jpg");
    const auto add = [&](const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(writeFile(pictures.path() + "/" + name, bytes));
        return pictures.path() + "/" + name;
    };
    screen->loadSourceImage(randomPixels(390, 520, 1), false);
    const qint64 source = screen->sourceImage.cacheKey();
    PhotoLibrary::setAuthorizationStatus(Status::authorized);
    tapLoad();
    QPointer<ImagePickerController> picker = top<ImagePickerController>();
    ASSERT_TRUE(picker);

    const std::vector<std::pair<QString, QString>> hostile = {
        {add("cut.jpg", jpeg.left(jpeg.size() / 2)), "damaged or incomplete"},
        {add("notes.png", "not pixels"), "not a picture"},
        {add("bomb.png", pngDeclaring(100000, 100000)), "too large"},
    };
    for (const auto& [path, says] : hostile) {
        picker->pickPhoto(path);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !picker->isPicking(); }, 10000));
        EXPECT_TRUE(picker->messageText().contains(says)) << picker->messageText().toStdString();
        EXPECT_EQ(top<ImagePickerController>(), picker.data());
        EXPECT_EQ(screen->sourceImage.cacheKey(), source);
    }

    // A good photo after them opens as usual, and the slider still renders blocks.
    clock->setTime(1);
    picker->pickPhoto(add("good.jpg", jpeg));
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker.isNull(); }, 10000));
    processEvents();
    EXPECT_EQ(stack.topViewController(), screen.data());
    EXPECT_EQ(screen->sourceImage.size(), QSize(390, 293));
    clock->setTime(2);
    screen->pixelSizeSlider->setValue(10);
    renders.finishAll();
    processEvents();
    EXPECT_EQ(firstRunLength(screen->previewImageView->image()), 10);
}

TEST_F(PhotoFlow, ShareHandsOverThePreviewPictureAndBackCloses) {
    screen->saveAction();  // no picture yet: ignored
    EXPECT_EQ(stack.topViewController(), screen.data());

    screen->loadSourceImage(randomPixels(390, 520), false);
    renders.finishAll();
    processEvents();
    QTest::mouseClick(screen->findChild<QPushButton*>("shareButton"), Qt::LeftButton);
    processEvents();
    auto* sheet = top<ActivityViewController>();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->activityItems().size(), 1);
    EXPECT_EQ(sheet->activityItems().first().cacheKey(),
              screen->previewImageView->image().cacheKey());
    sheet->closeSheet();
    processEvents();

    QTest::mouseClick(screen->findChild<QPushButton*>("backButton"), Qt::LeftButton);
    processEvents();
    EXPECT_TRUE(screen.isNull());
    EXPECT_EQ(stack.topViewController(), root);
}
