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
    std::vector<O> seen;
    int removedOnesCalls = 0;
    DeviceOrientationCenter::ObserverToken later = 0;
    // The first observer removes the second while being told: that one is not called.
    auto first = center.addObserver([&] {
        seen.push_back(center.orientation());
        center.removeObserver(later);
    });
    later = center.addObserver([&] { ++removedOnesCalls; });
    center.simulateOrientation(O::landscapeLeft);
    center.simulateOrientation(O::landscapeLeft);  // no change, no news
    center.simulateOrientation(O::faceUp);
    center.removeObserver(first);
    center.simulateOrientation(O::portraitUpsideDown);
    EXPECT_EQ(seen, (std::vector<O>{O::landscapeLeft, O::faceUp}));
    EXPECT_EQ(removedOnesCalls, 0);
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
    // A screen that reports nothing is upright.
    EXPECT_EQ(DeviceOrientationCenter::fromScreenOrientation(Qt::LandscapeOrientation,
                                                             Qt::PrimaryOrientation),
              O::portrait);
    EXPECT_EQ(DeviceOrientationCenter::fromName(" landscapeRight"), O::landscapeRight);
    EXPECT_EQ(DeviceOrientationCenter::fromName("7"), std::nullopt);
}
