#pragma once

#include <QVariantMap>

#include "platform/application.h"

class Storyboard;

// The application's delegate: sets the configured canvas size at start-up.
class AppDelegate : public ApplicationDelegate {
public:
    AppDelegate() = default;
    ~AppDelegate() override;

    // Start-up: the grid size stored under "stepper" becomes the configured canvas size.
    // Writes nothing and does not open the store.
    bool applicationDidFinishLaunching(Application& application,
                                       const QVariantMap& launchOptions = {});

    // Every screen the app creates by identifier.
    static void registerScreens(Storyboard& storyboard);
};
