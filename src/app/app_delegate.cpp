#include "app/app_delegate.h"

#include "color/color_picker_view_controller.h"
#include "editor/drawing_view_controller.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/console.h"
#include "platform/settings_manager.h"
#include "screens/storyboard.h"
#include "platform/user_defaults.h"
#include "store/persistent_container.h"

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() = default;

bool AppDelegate::applicationDidFinishLaunching(Application& /*application*/,
                                                const QVariantMap& /*launchOptions*/) {
    // The window has no status bar to hide. A stored value that is not a whole number reads
    // as 0 (with a console line); every other number maps onto one of the three sizes.
    const int64_t position = UserDefaults::standard().integerForKey(QStringLiteral("stepper"));
    const int64_t size = SettingsManager::gridSizeForPosition(position);
    if (position < 0 || position > 2) {
        printLine(QStringLiteral("Settings: the grid size position %1 is not 0, 1 or 2; using "
                                 "%2 x %2.")
                      .arg(position)
                      .arg(size));
    }
    SettingsManager::applyGridSize(size);
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
