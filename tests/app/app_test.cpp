#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCommandLinkButton>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "app/app_delegate.h"
#include "app/settings_view_controller.h"
#include "app/view_controller.h"
#include "canvas/canvas.h"
#include "editor/drawing_view_controller.h"
#include "gallery/result_view_controller.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/app_paths.h"
#include "widgets/asset_image_view.h"
#include "screens/screen_stack.h"
#include "platform/settings_manager.h"
#include "screens/storyboard.h"
#include "platform/user_defaults.h"
#include "screenshot.h"
#include "store/persistent_container.h"
#include "store_test_delegate.h"
#include "test_support.h"

namespace {
QAbstractButton* buttonNamed(QWidget* screen, const QString& name) {
    for (QAbstractButton* candidate : screen->findChildren<QAbstractButton*>()) {
        if (candidate->accessibleName() == name) {
            return candidate;
        }
    }
    ADD_FAILURE() << "no button named " << name.toStdString();
    return nullptr;
}

struct HomeFixture : testing::Test {
    ScopedDataDir dir;
    ScreenStack stack;
    ViewController* home = new ViewController;

    void SetUp() override {
        AppDelegate::registerScreens(Storyboard::main());
        stack.resize(390, 844);
        stack.setRootViewController(home);
        stack.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stack));
    }
    void TearDown() override { SettingsManager::applyGridSize(20); }

    PlatformViewController* press(const QString& name) {
        click(buttonNamed(home, name));
        return stack.topViewController();
    }
    void click(QWidget* button) {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        processEvents();
    }

    SettingsViewController* openSettings() {
        return qobject_cast<SettingsViewController*>(press("Settings"));
    }
};
}  // namespace

// "stepper" may have been written by another program or a damaged file.
TEST_F(HomeFixture, TheStoredPositionSetsTheSizeOfANewDrawing) {
    struct Case {
        QVariant stored;  // invalid: nothing stored
        int64_t size;
        bool named;
    };
    const Case cases[] = {
        {{}, 20, false},
        {1, 24, false},
        {2, 28, false},
        {5, 28, true},
        {"twenty", 20, true},
        {"-4", 28, true},
        {"1.5", 20, true},
        {"", 20, true},
        {"99999999999999999999999", 20, true},
        {"9223372036854775807", 28, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        if (c.stored.isValid()) {
            QSettings(AppPaths::settingsFile(), QSettings::IniFormat).setValue("stepper", c.stored);
            UserDefaults::standard().reload();
        }
        SettingsManager::applyGridSize(0);
        AppDelegate delegate;
        Application::shared().setDelegate(&delegate);
        const std::string out = captureStdout(
            [&] { EXPECT_TRUE(delegate.applicationDidFinishLaunching(Application::shared())); });
        Application::shared().setDelegate(nullptr);
        EXPECT_EQ(SettingsManager::gridWidth, c.size);
        EXPECT_EQ(SettingsManager::gridHeight, c.size);
        EXPECT_EQ(out.rfind("Settings: ", 0), c.named ? 0u : std::string::npos) << out;
        EXPECT_EQ(UserDefaults::standard().hasValue("stepper"), c.stored.isValid());
        EXPECT_FALSE(delegate.hasPersistentContainer());
    }
    EXPECT_FALSE(QFile::exists(dir.path() + "/tesselet.sqlite"));
    AppDelegate delegate;
    EXPECT_EQ(captureStdout([&] {
                  UserDefaults::standard().setInteger(7, "stepper");
                  delegate.applicationDidFinishLaunching(Application::shared());
              }),
              "Settings: the grid size position 7 is not 0, 1 or 2; using 28 x 28.\n");
    // The first store operation opens it, once.
    PersistentContainer* container = delegate.persistentContainer();
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(delegate.persistentContainer(), container);
    EXPECT_EQ(container->name(), "tesselet");

    Application::shared().setDelegate(&delegate);
    auto* editor = qobject_cast<DrawingViewController*>(press("New drawing"));
    Application::shared().setDelegate(nullptr);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->modalPresentationStyle(), ModalPresentationStyle::fullScreen);
    EXPECT_EQ(editor->geometry(), QRect(0, 0, 390, 844));
    EXPECT_EQ(editor->presentingViewController(), home);
    EXPECT_EQ(editor->previousDrawing, nullptr);
    ASSERT_NE(editor->canvasView, nullptr);
    EXPECT_EQ(editor->canvasView->canvas()->width, 28);
    const std::unique_ptr<PlatformViewController> picker(
        Storyboard::main().instantiateViewController("colorpicker"));
    EXPECT_NE(qobject_cast<ColorPickerViewController*>(picker.get()), nullptr);
}

// The pixel screen opens once the picker has closed, not during its callback.
TEST_F(HomeFixture, PhotoToPixelsOpensThePixelScreenOnlyForAPickedPhoto) {
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(Qt::magenta);
    for (const QVariant& picked : {QVariant(), QVariant("not a picture"), QVariant(photo)}) {
        auto* picker = qobject_cast<ImagePickerController*>(press("Photo to pixels"));
        ASSERT_NE(picker, nullptr);
        if (picked.isValid()) {
            home->imagePickerControllerDidFinishPickingMediaWithInfo(
                picker, {{ImagePickerController::originalImageKey, picked}});
            EXPECT_EQ(stack.topViewController(), home);
        } else {
            picker->cancel();
        }
        processEvents();
        EXPECT_EQ(stack.depth(), picked.typeId() == QMetaType::QImage ? 2 : 1);
    }
    auto* pixel = qobject_cast<PixelViewController*>(stack.topViewController());
    ASSERT_NE(pixel, nullptr);
    EXPECT_EQ(pixel->presentingViewController(), home);
    EXPECT_EQ(pixel->modalPresentationStyle(), ModalPresentationStyle::fullScreen);
    EXPECT_EQ(pixel->sourceImage.size(), photo.size());
    EXPECT_EQ(pixel->sourceImage.pixelColor(5, 5), QColor(Qt::magenta));
}

TEST_F(HomeFixture, TheSettingsStepperShowsStoresAndAppliesEachSize) {
    SettingsViewController* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    saveScreenshotIfAsked(stack, "settings");
    EXPECT_EQ(settings->pixelLabel->text(), "20x20");
    EXPECT_FALSE(UserDefaults::standard().hasValue("stepper")) << "showing stores nothing";
    const struct {
        bool up;
        const char* shown;
        int64_t position;
    } steps[] = {{true, "24x24", 1}, {true, "28x28", 2}, {false, "24x24", 1}, {false, "20x20", 0}};
    for (const auto& step : steps) {
        click(step.up ? settings->stepperL->incrementButton()
                      : settings->stepperL->decrementButton());
        EXPECT_EQ(settings->pixelLabel->text(), step.shown);
        EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), step.position);
        EXPECT_EQ(SettingsManager::gridWidth, 20 + 4 * step.position);
    }
    click(settings->stepperL->incrementButton());
    for (const int64_t stored : {int64_t{1}, int64_t{7}, int64_t{-3}}) {
        SCOPED_TRACE(stored);
        if (stored != 1) {  // 1 is what the stepper stored
            UserDefaults::standard().setInteger(stored, "stepper");
        }
        click(buttonNamed(settings, "Back"));
        settings = openSettings();
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(settings->pixelLabel->text(), stored == 1 ? "24x24" : "28x28");
        EXPECT_EQ(SettingsManager::kSquareSides[size_t(settings->stepperL->value())],
                  stored == 1 ? 24 : 28);
        EXPECT_FALSE(settings->customSizeCheck->isChecked());
    }
}

TEST_F(HomeFixture, TheSettingsLinkRowsOpenValidDistinctAddresses) {
    SettingsViewController* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    std::vector<QUrl> opened;
    settings->setUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    for (int row = 0; row < SettingsViewController::kLinkCount; ++row) {
        click(settings->findChild<QCommandLinkButton*>(QStringLiteral("linkRow%1").arg(row)));
        ASSERT_EQ(opened.size(), size_t(row + 1));
        const QUrl url(opened.back().toString(), QUrl::StrictMode);
        EXPECT_TRUE(url.isValid() && url.scheme() == "https" && !url.host().isEmpty()) << row;
        EXPECT_EQ(std::count(opened.begin(), opened.end(), opened.back()), 1) << row;
    }
    for (const auto& [section, row] : {std::pair{0, 0}, {1, 7}, {1, -1}, {2, 0}}) {
        settings->didSelectRow(section, row);
    }
    EXPECT_EQ(opened.size(), 7u);
}

// Every control says what it does, for assistive technology and UI tests alike.
TEST_F(HomeFixture, EveryScreenOpensFromHomeAndEveryControlSaysWhatItDoes) {
    saveScreenshotIfAsked(stack, "home");
    for (const QString& name : QStringList{"", "Gallery", "Settings", "New drawing"}) {
        SCOPED_TRACE(name.toStdString());
        QPointer<PlatformViewController> screen = name.isEmpty() ? home : press(name);
        ASSERT_TRUE(screen);
        EXPECT_EQ(screen->presentingViewController(), name.isEmpty() ? nullptr : home);
        EXPECT_EQ(screen->geometry(), QRect(0, 0, 390, 844));
        EXPECT_FALSE(screen->accessibleName().isEmpty());
        for (QWidget* control : screen->findChildren<QWidget*>()) {
            if (qobject_cast<QAbstractButton*>(control) || control->focusPolicy() != Qt::NoFocus) {
                EXPECT_FALSE(control->accessibleName().isEmpty())
                    << control->metaObject()->className() << " "
                    << control->objectName().toStdString();
            }
        }
        if (name.isEmpty() || name == "Gallery") {
            auto* background = qobject_cast<AssetImageView*>(screen->children().value(0));
            EXPECT_TRUE(background && background->assetName() == "bg_main" &&
                        background->geometry() == QRect(0, 0, 390, 844));
        }
        if (name == "Gallery" || name == "Settings") {
            click(buttonNamed(screen, "Back"));
            EXPECT_EQ(stack.topViewController(), home);
            EXPECT_TRUE(screen.isNull());
        }
    }
}
