#pragma once

#include <QPointer>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <map>
#include <optional>

#include "platform/device_orientation.h"

class QScreen;

// The device's orientation and the notification that it changed.
//
// Where it comes from:
// - the primary screen, where it reports an orientation: the turn Qt reports from the screen's
//   natural orientation to its current one reads 0 as portrait, 90 as landscape right, 180 as
//   portrait upside down and 270 as landscape left (so on a phone whose natural orientation is
//   portrait, Qt's landscape is landscape left and its inverted landscape landscape right; a
//   desktop monitor in its usual position is portrait);
// - simulateOrientation(), for tests;
// - on a desktop, the keys Ctrl+Alt+0 ... Ctrl+Alt+6 turn the simulated device to the
//   orientation of that number (1 portrait, 2 upside down, 3 landscape left, 4 landscape right,
//   5 face up, 6 face down, 0 unknown);
// - the environment variable TILEBLOOM_DEVICE_ORIENTATION (a name such as "landscapeLeft", or
//   the number) sets the orientation the device starts in.
// Observers hear of changes only, on the main thread, in the order they registered.
class DeviceOrientationCenter {
public:
    // 0 never names a registration.
    using ObserverToken = quint64;

    static DeviceOrientationCenter& shared();

    DeviceOrientation orientation() const { return orientation_; }

    ObserverToken addObserver(std::function<void()> handler);
    // Unknown or already removed tokens are ignored.
    void removeObserver(ObserverToken token);
    int observerCount() const { return static_cast<int>(observers_.size()); }

    // As if the device had turned: observers are told when the orientation changes.
    void simulateOrientation(DeviceOrientation orientation);

    static DeviceOrientation fromScreenOrientation(Qt::ScreenOrientation natural,
                                                   Qt::ScreenOrientation current);
    // "portrait", "landscapeLeft", ... or "0" ... "6"; nothing for anything else.
    static std::optional<DeviceOrientation> fromName(const QString& name);

private:
    DeviceOrientationCenter();
    void setOrientation(DeviceOrientation orientation);
    void watchScreen(QScreen* screen);

    DeviceOrientation orientation_ = DeviceOrientation::unknown;
    std::map<ObserverToken, std::function<void()>> observers_;
    ObserverToken nextToken_ = 1;
    QPointer<QObject> watcher_;
};
