#pragma once

#include <memory>

#include "screens/app_window.h"
#include "platform/screen_metrics.h"

// The app's one scene: its window, showing the home screen at the bottom of its screen stack.
class SceneDelegate {
public:
    SceneDelegate() = default;
    ~SceneDelegate();
    SceneDelegate(const SceneDelegate&) = delete;
    SceneDelegate& operator=(const SceneDelegate&) = delete;

    // Sets up the window with the home screen, as the app's configuration says, and lets
    // lower screens open the settings screen through SettingsLink.
    void willConnect(const ScreenMetrics& metrics);

    // Empty until the scene connects.
    std::unique_ptr<AppWindow> window;
};
