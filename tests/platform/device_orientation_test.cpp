#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "platform/device_orientation_center.h"

namespace {
using O = DeviceOrientation;
}

TEST(DeviceOrientationTest, ObserversHearEachChangeUntilRemoved) {
    DeviceOrientationCenter& center = DeviceOrientationCenter::shared();
    center.simulateOrientation(O::portrait);
    std::vector<O> first;
    int second = 0;
    auto a = center.addObserver([&] { first.push_back(center.orientation()); });
    auto b = center.addObserver([&] { ++second; });
    center.simulateOrientation(O::landscapeLeft);
    center.simulateOrientation(O::landscapeLeft);  // no change, no news
    center.simulateOrientation(O::faceUp);
    center.removeObserver(b);
    center.removeObserver(b);
    center.simulateOrientation(O::portraitUpsideDown);
    EXPECT_EQ(first, (std::vector<O>{O::landscapeLeft, O::faceUp, O::portraitUpsideDown}));
    EXPECT_EQ(second, 2);

    // An observer that removes another while being told: the removed one is not called.
    int third = 0;
    DeviceOrientationCenter::ObserverToken c = 0;
    auto d = center.addObserver([&] { center.removeObserver(c); });
    c = center.addObserver([&] { ++third; });
    center.simulateOrientation(O::portrait);
    EXPECT_EQ(third, 0);
    center.removeObserver(a);
    center.removeObserver(d);
    EXPECT_EQ(center.observerCount(), 0);

    // Ctrl+Alt and a digit turn the simulated device; without Alt it is no shortcut.
    QWidget window;
    window.show();
    QTest::keyClick(&window, Qt::Key_6, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&window, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(center.orientation(), O::faceDown);
    center.simulateOrientation(O::portrait);
}

TEST(DeviceOrientationTest, ScreenOrientationsMapByTheirTurnFromTheNaturalOne) {
    // Every pair agrees with Qt's own idea of the turn between them.
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const Qt::ScreenOrientation all[] = {Qt::PortraitOrientation, Qt::LandscapeOrientation,
                                         Qt::InvertedPortraitOrientation,
                                         Qt::InvertedLandscapeOrientation};
    const O byAngle[] = {O::portrait, O::landscapeRight, O::portraitUpsideDown, O::landscapeLeft};
    for (auto natural : all) {
        for (auto current : all) {
            EXPECT_EQ(DeviceOrientationCenter::fromScreenOrientation(natural, current),
                      byAngle[screen->angleBetween(natural, current) / 90]);
        }
    }
    // A phone upright by nature turned to landscape is held landscape-left; a screen that
    // reports nothing is upright.
    EXPECT_EQ(DeviceOrientationCenter::fromScreenOrientation(Qt::PortraitOrientation,
                                                             Qt::LandscapeOrientation),
              O::landscapeLeft);
    EXPECT_EQ(DeviceOrientationCenter::fromScreenOrientation(Qt::LandscapeOrientation,
                                                             Qt::PrimaryOrientation),
              O::portrait);
    // The names and numbers a start-up variable may give.
    EXPECT_EQ(DeviceOrientationCenter::fromName(" landscapeRight"), O::landscapeRight);
    EXPECT_EQ(DeviceOrientationCenter::fromName("5"), O::faceUp);
    EXPECT_EQ(DeviceOrientationCenter::fromName("7"), std::nullopt);
}
