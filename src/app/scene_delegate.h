#pragma once

#include <memory>

#include "platform/screen_metrics.h"
#include "screens/app_window.h"

// The app's one scene: its window, showing the home screen at the bottom of its screen stack.
class SceneDelegate {
public:
    SceneDelegate() = default;
    ~SceneDelegate();
    SceneDelegate(const SceneDelegate&) = delete;
    SceneDelegate& operator=(const SceneDelegate&) = delete;

    // Sets up the window with the home screen, as the app's configuration says, and lets
    // lower screens open the settings screen through SettingsLink. Once the event loop runs,
    // an unsaved drawing of the last run is offered over the home screen.
    void willConnect(const ScreenMetrics& metrics);

    // Empty until the scene connects.
    std::unique_ptr<AppWindow> window;
};
