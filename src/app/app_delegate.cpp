#include "app/app_delegate.h"

#include "color/color_picker_view_controller.h"
#include "editor/drawing_view_controller.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/settings_manager.h"
#include "platform/user_defaults.h"
#include "screens/storyboard.h"
#include "store/persistent_container.h"

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() = default;

bool AppDelegate::applicationDidFinishLaunching(Application& /*application*/,
                                                const QVariantMap& /*launchOptions*/) {
    // The window has no status bar to hide. A stored value that cannot be used prints a
    // console line and gives way to one that can.
    SettingsManager::applyGridSize(SettingsManager::storedGridSize(UserDefaults::standard()));
    return true;
}

PersistentContainer* AppDelegate::persistentContainer() {
    if (!persistentContainer_) {
        persistentContainer_ = makePersistentContainer();
    }
    return persistentContainer_.get();
}

void AppDelegate::registerScreens(Storyboard& storyboard) {
    storyboard.registerScreen(QStringLiteral("draw"), [] { return new DrawingViewController; });
    storyboard.registerScreen(QStringLiteral("pixel"), [] { return new PixelViewController; });
    storyboard.registerScreen(QString::fromLatin1(ColorPickerViewController::kStoryboardIdentifier),
                              [] { return new ColorPickerViewController; });
}
