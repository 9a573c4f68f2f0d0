#include "app/app_delegate.h"

#include "platform/settings_manager.h"
#include "platform/storyboard.h"
#include "platform/user_defaults.h"

AppDelegate::~AppDelegate() = default;

bool AppDelegate::applicationDidFinishLaunching(Application& /*application*/,
                                                const QVariantMap& /*launchOptions*/) {
    // The window has no status bar to hide. A stored value that is not a whole number reads
    // as 0 (with a console line); every other number maps onto one of the three sizes.
    const int64_t position = UserDefaults::standard().integerForKey(QStringLiteral("stepper"));
    SettingsManager::applyGridSize(SettingsManager::gridSizeForPosition(position));
    return true;
}

void AppDelegate::registerScreens(Storyboard& /*storyboard*/) {}
