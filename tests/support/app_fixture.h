#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>
#include <memory>

#include "app/app_delegate.h"
#include "app/scene_delegate.h"
#include "app/view_controller.h"
#include "platform/application.h"
#include "platform/screen_metrics.h"
#include "platform/settings_manager.h"
#include "screens/app_window.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"
#include "test_support.h"

// The app as main() starts it, on a fresh data folder: its delegate, its screens and its
// phone-sized window with the home screen. A test that prepares something first (an earlier
// run's store, pictures) starts it itself.
struct AppFixture : testing::Test {
    explicit AppFixture(bool startAtSetUp = true) : startAtSetUp_(startAtSetUp) {}
    ScopedDataDir dir;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<SceneDelegate> scene;

    void SetUp() override {
        if (startAtSetUp_) {
            start();
        }
    }
    void TearDown() override {
        quit();
        ScreenMetrics::configure(ScreenMetrics::phone());
    }
    // Returns what the app printed while starting.
    std::string start() {
        return captureStdout([&] {
            delegate = std::make_unique<AppDelegate>();
            Application::shared().setDelegate(delegate.get());
            delegate->applicationDidFinishLaunching(Application::shared());
            AppDelegate::registerScreens(Storyboard::main());
            scene = std::make_unique<SceneDelegate>();
            scene->willConnect(ScreenMetrics::phone());
            scene->window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(scene->window.get()));
            processEvents();
        });
    }
    void quit() {
        scene.reset();
        processEvents();
        Application::shared().setDelegate(nullptr);
        delegate.reset();
        SettingsManager::applyGridSize(20);
    }

    AppWindow& window() { return *scene->window; }
    PlatformViewController* top() { return window().screenStack()->topViewController(); }
    template <typename T>
    T* top() {
        return qobject_cast<T*>(top());
    }
    ViewController* home() {
        return qobject_cast<ViewController*>(window().screenStack()->rootViewController());
    }
    void click(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton);
        processEvents();
    }
    // Clicks the button with this accessible name on the screen on top.
    void press(const QString& name) {
        for (auto* button : top()->findChildren<QAbstractButton*>()) {
            if (button->accessibleName() == name && button->isVisible()) {
                return click(button);
            }
        }
        FAIL() << "no button named " << name.toStdString();
    }

private:
    bool startAtSetUp_;
};
