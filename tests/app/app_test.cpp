#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTest>

#include "app/app_delegate.h"
#include "app/settings_view_controller.h"
#include "app/view_controller.h"
#include "canvas/canvas.h"
#include "color/color_picker_view_controller.h"
#include "editor/drawing_view_controller.h"
#include "gallery/result_view_controller.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/app_paths.h"
#include "platform/asset_image_view.h"
#include "platform/screen_stack.h"
#include "platform/settings_manager.h"
#include "platform/storyboard.h"
#include "platform/user_defaults.h"
#include "screenshot.h"
#include "store/persistent_container.h"
#include "store_test_delegate.h"
#include "test_support.h"

namespace {
// Writes a raw value under "stepper", as another program or a damaged file might.
void storeRaw(const QVariant& value) {
    {
        QSettings raw(AppPaths::settingsFile(), QSettings::IniFormat);
        raw.setValue("stepper", value);
    }
    UserDefaults::standard().reload();
}

int64_t sizeAfterStartUp() {
    SettingsManager::applyGridSize(0);
    AppDelegate delegate;
    EXPECT_TRUE(delegate.applicationDidFinishLaunching(Application::shared()));
    EXPECT_EQ(SettingsManager::gridWidth, SettingsManager::gridHeight);
    return SettingsManager::gridWidth;
}

class MarkerScreen : public PlatformViewController {
    Q_OBJECT
};

struct HomeFixture : testing::Test {
    ScopedDataDir dir;
    ScreenStack stack;
    ViewController* home = new ViewController;

    void SetUp() override {
        stack.resize(390, 844);
        stack.setRootViewController(home);
        stack.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stack));
    }
    void TearDown() override { SettingsManager::applyGridSize(20); }

    QAbstractButton* button(const QString& name) const {
        for (QAbstractButton* candidate : home->findChildren<QAbstractButton*>()) {
            if (candidate->accessibleName() == name) {
                return candidate;
            }
        }
        ADD_FAILURE() << "no button named " << name.toStdString();
        return nullptr;
    }
};
}  // namespace

TEST(StartUpTest, TheStoredPositionSetsTheCanvasSize) {
    ScopedDataDir dir;
    EXPECT_EQ(sizeAfterStartUp(), 20) << "nothing stored";
    EXPECT_FALSE(UserDefaults::standard().hasValue("stepper")) << "start-up writes nothing";
    const std::pair<int64_t, int64_t> cases[] = {{0, 20}, {1, 24}, {2, 28}, {5, 28}};
    for (const auto& [position, size] : cases) {
        UserDefaults::standard().setInteger(position, "stepper");
        EXPECT_EQ(sizeAfterStartUp(), size) << "position " << position;
    }
    SettingsManager::applyGridSize(20);
}

TEST(StartUpTest, AnOddStoredValueGivesOneOfTheThreeSizes) {
    ScopedDataDir dir;
    const std::pair<QVariant, int64_t> cases[] = {
        {QStringLiteral("twenty"), 20}, {QStringLiteral("99999999999999999999999"), 20},
        {QStringLiteral("-4"), 28},     {QStringLiteral("9223372036854775807"), 28},
        {QStringLiteral(" 1 "), 24},    {QStringLiteral("1.5"), 20},
        {QStringLiteral(""), 20},
    };
    for (const auto& [value, size] : cases) {
        storeRaw(value);
        int64_t result = 0;
        const std::string out = captureStdout([&] { result = sizeAfterStartUp(); });
        EXPECT_EQ(result, size) << value.toString().toStdString();
        // Every odd value is named on the console, except one a blank reads past.
        EXPECT_EQ(out.rfind("Settings: ", 0), value.toString() == " 1 " ? std::string::npos : 0u)
            << value.toString().toStdString() << ": " << out;
    }
    SettingsManager::applyGridSize(20);
}

TEST(StartUpTest, TheStoreWaitsForItsFirstUse) {
    ScopedDataDir dir;
    AppDelegate delegate;
    Application::shared().setDelegate(&delegate);
    delegate.applicationDidFinishLaunching(Application::shared());
    EXPECT_FALSE(delegate.hasPersistentContainer());
    EXPECT_FALSE(QFile::exists(dir.path() + "/tesselet.sqlite"));
    // The first store operation opens it, once.
    PersistentContainer* container = delegate.persistentContainer();
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(delegate.persistentContainer(), container);
    EXPECT_EQ(container->name(), "tesselet");
    Application::shared().setDelegate(nullptr);
    SettingsManager::applyGridSize(20);
}

TEST(StartUpTest, EveryScreenMadeByIdentifierIsRegistered) {
    Storyboard storyboard;
    AppDelegate::registerScreens(storyboard);
    std::unique_ptr<PlatformViewController> picker(
        storyboard.instantiateViewController("colorpicker"));
    EXPECT_NE(qobject_cast<ColorPickerViewController*>(picker.get()), nullptr);
    std::unique_ptr<PlatformViewController> editor(storyboard.instantiateViewController("draw"));
    EXPECT_NE(qobject_cast<DrawingViewController*>(editor.get()), nullptr);
    std::unique_ptr<PlatformViewController> pixel(storyboard.instantiateViewController("pixel"));
    EXPECT_NE(qobject_cast<PixelViewController*>(pixel.get()), nullptr);
}

TEST(StartUpTest, ANewDrawingFromHomeHasTheStoredSize) {
    ScopedDataDir dir;
    StoreTestDelegate store;
    AppDelegate::registerScreens(Storyboard::main());
    const std::pair<int64_t, int64_t> cases[] = {{-1, 20}, {1, 24}, {2, 28}, {5, 28}};
    for (const auto& [position, size] : cases) {
        if (position >= 0) {
            UserDefaults::standard().setInteger(position, "stepper");
        }
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching(Application::shared());
        ScreenStack stack;
        stack.resize(390, 844);
        auto* home = new ViewController;
        stack.setRootViewController(home);
        home->clickCreateNFT();
        auto* editor = qobject_cast<DrawingViewController*>(stack.topViewController());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->previousDrawing, nullptr);
        ASSERT_NE(editor->canvasView, nullptr);
        EXPECT_EQ(editor->canvasView->canvas()->width, size) << position;
        EXPECT_EQ(editor->canvasView->canvas()->height, size) << position;
    }
    SettingsManager::applyGridSize(20);
}

TEST_F(HomeFixture, TheBackgroundFillsTheScreenBehindEverything) {
    AssetImageView* background = home->backgroundView();
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->assetName(), "bg_main");
    EXPECT_EQ(background->geometry(), QRect(0, 0, 390, 844));
    EXPECT_EQ(home->children().indexOf(background), 0) << "rearmost";
    EXPECT_EQ(home->supportedInterfaceOrientations(), InterfaceOrientationMask::portrait);
    EXPECT_TRUE(home->prefersStatusBarHidden());
    saveScreenshotIfAsked(stack, "home");
}

TEST_F(HomeFixture, NewDrawingPresentsTheDrawScreenFullScreen) {
    Storyboard::main().registerScreen("draw", [] {
        auto* screen = new MarkerScreen;
        screen->setObjectName("draw");
        // The home screen, not the factory, asks for full screen.
        screen->setModalPresentationStyle(ModalPresentationStyle::custom);
        return screen;
    });
    QTest::mouseClick(button("New drawing"), Qt::LeftButton);
    PlatformViewController* top = stack.topViewController();
    ASSERT_NE(top, home);
    EXPECT_EQ(top->objectName(), "draw");
    EXPECT_EQ(top->modalPresentationStyle(), ModalPresentationStyle::fullScreen);
    EXPECT_EQ(top->geometry(), QRect(0, 0, 390, 844));
    EXPECT_EQ(top->presentingViewController(), home);
}

TEST_F(HomeFixture, PhotoToPixelsOpensThePickerAndCancellingOpensNothing) {
    QTest::mouseClick(button("Photo to pixels"), Qt::LeftButton);
    auto* picker = qobject_cast<ImagePickerController*>(stack.topViewController());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->delegate(), home);
    EXPECT_EQ(picker->sourceType(), ImagePickerController::SourceType::photoLibrary);
    EXPECT_FALSE(picker->allowsEditing());
    picker->cancel();
    processEvents();
    EXPECT_EQ(stack.topViewController(), home);
    EXPECT_EQ(stack.depth(), 1);

    // A pick without a picture closes the picker and opens nothing either.
    QTest::mouseClick(button("Photo to pixels"), Qt::LeftButton);
    picker = qobject_cast<ImagePickerController*>(stack.topViewController());
    ASSERT_NE(picker, nullptr);
    home->imagePickerControllerDidFinishPickingMediaWithInfo(
        picker, {{ImagePickerController::originalImageKey, QStringLiteral("not a picture")}});
    processEvents();
    EXPECT_EQ(stack.depth(), 1);
}

TEST_F(HomeFixture, APickedPhotoOpensThePixelScreenAfterThePickerCallback) {
    AppDelegate::registerScreens(Storyboard::main());
    QTest::mouseClick(button("Photo to pixels"), Qt::LeftButton);
    auto* picker = qobject_cast<ImagePickerController*>(stack.topViewController());
    ASSERT_NE(picker, nullptr);
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(Qt::magenta);
    home->imagePickerControllerDidFinishPickingMediaWithInfo(
        picker, {{ImagePickerController::originalImageKey, photo}});
    // Not during the callback: the picker is closing and nothing else has opened yet.
    EXPECT_EQ(stack.topViewController(), home);
    processEvents();
    auto* pixel = qobject_cast<PixelViewController*>(stack.topViewController());
    ASSERT_NE(pixel, nullptr);
    EXPECT_EQ(pixel->presentingViewController(), home);
    EXPECT_EQ(pixel->modalPresentationStyle(), ModalPresentationStyle::fullScreen);
    EXPECT_EQ(pixel->sourceImage.size(), photo.size());
    EXPECT_EQ(pixel->sourceImage.pixelColor(5, 5), QColor(Qt::magenta));
}

TEST_F(HomeFixture, GalleryAndSettingsOpenModallyAndCloseBackToHome) {
    QTest::mouseClick(button("Gallery"), Qt::LeftButton);
    auto* gallery = qobject_cast<ResultViewController*>(stack.topViewController());
    ASSERT_NE(gallery, nullptr);
    EXPECT_EQ(gallery->presentingViewController(), home);
    QPointer<ResultViewController> closing = gallery;
    gallery->backPressed();
    processEvents();
    EXPECT_EQ(stack.topViewController(), home);
    EXPECT_TRUE(closing.isNull());

    QTest::mouseClick(button("Settings"), Qt::LeftButton);
    auto* settings = qobject_cast<SettingsViewController*>(stack.topViewController());
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->geometry(), QRect(0, 0, 390, 844));
    // The settings screen keeps the platform's own orientation answers.
    EXPECT_EQ(settings->supportedInterfaceOrientations(),
              InterfaceOrientationMask::allButUpsideDown);
    EXPECT_FALSE(settings->prefersStatusBarHidden());
    QAbstractButton* back = nullptr;
    for (QAbstractButton* candidate : settings->findChildren<QAbstractButton*>()) {
        if (candidate->accessibleName() == "Back") {
            back = candidate;
        }
    }
    ASSERT_NE(back, nullptr);
    QTest::mouseClick(back, Qt::LeftButton);
    processEvents();
    EXPECT_EQ(stack.topViewController(), home);
}

TEST(ShellScreensTest, EveryControlSaysWhatItDoes) {
    ScopedDataDir dir;
    std::vector<std::unique_ptr<PlatformViewController>> screens;
    screens.emplace_back(new ViewController);
    screens.emplace_back(new SettingsViewController);
    screens.emplace_back(new ResultViewController);
    for (const auto& screen : screens) {
        screen->resize(390, 844);
        screen->loadViewIfNeeded();
        EXPECT_FALSE(screen->accessibleName().isEmpty());
        for (QWidget* control : screen->findChildren<QWidget*>()) {
            const bool pressable = qobject_cast<QAbstractButton*>(control) != nullptr;
            if (!pressable && control->focusPolicy() == Qt::NoFocus) {
                continue;
            }
            EXPECT_FALSE(control->accessibleName().isEmpty())
                << screen->metaObject()->className() << ": " << control->metaObject()->className()
                << " " << control->objectName().toStdString();
        }
    }
}

#include "app_test.moc"
