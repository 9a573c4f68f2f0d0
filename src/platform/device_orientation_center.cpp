#include "platform/device_orientation_center.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QtDebug>
#include <vector>

namespace {
// Qt's angle of each screen orientation; the difference of two is the turn between them.
int qtAngle(Qt::ScreenOrientation orientation) {
    switch (orientation) {
        case Qt::PortraitOrientation:
            return 90;
        case Qt::InvertedLandscapeOrientation:
            return 180;
        case Qt::InvertedPortraitOrientation:
            return 270;
        default:
            return 0;
    }
}

// Turns the simulated device from the keyboard and follows the primary screen.
class OrientationWatcher : public QObject {
public:
    explicit OrientationWatcher(DeviceOrientationCenter& center)
        : QObject(QCoreApplication::instance()), center_(center) {}

    QPointer<QScreen> screen;
    QMetaObject::Connection screenConnection;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers != (Qt::ControlModifier | Qt::AltModifier) || key->key() < Qt::Key_0 ||
            key->key() > Qt::Key_6) {
            return false;
        }
        if (!key->isAutoRepeat()) {
            center_.simulateOrientation(static_cast<DeviceOrientation>(key->key() - Qt::Key_0));
        }
        return true;
    }

private:
    DeviceOrientationCenter& center_;
};
}  // namespace

DeviceOrientationCenter& DeviceOrientationCenter::shared() {
    static DeviceOrientationCenter center;
    return center;
}

DeviceOrientationCenter::DeviceOrientationCenter() {
    if (QGuiApplication* app = qGuiApp) {
        auto* watcher = new OrientationWatcher(*this);
        watcher_ = watcher;
        app->installEventFilter(watcher);
        QObject::connect(app, &QGuiApplication::primaryScreenChanged, watcher,
                         [this](QScreen* screen) { watchScreen(screen); });
        watchScreen(QGuiApplication::primaryScreen());
    }
    const QString requested = qEnvironmentVariable("TILEBLOOM_DEVICE_ORIENTATION");
    if (!requested.isEmpty()) {
        if (std::optional<DeviceOrientation> start = fromName(requested)) {
            orientation_ = *start;
        } else {
            qWarning().noquote() << "TILEBLOOM_DEVICE_ORIENTATION: unknown orientation" << requested
                                 << "(use portrait, portraitUpsideDown,"
                                 << "landscapeLeft, landscapeRight, faceUp, faceDown or 0-6)";
        }
    }
}

void DeviceOrientationCenter::watchScreen(QScreen* screen) {
    auto* watcher = static_cast<OrientationWatcher*>(watcher_.data());
    if (!watcher) {
        return;
    }
    QObject::disconnect(watcher->screenConnection);
    watcher->screen = screen;
    if (!screen) {
        return;
    }
    auto follow = [this](QScreen* from) {
        setOrientation(fromScreenOrientation(from->primaryOrientation(), from->orientation()));
    };
    watcher->screenConnection = QObject::connect(screen, &QScreen::orientationChanged, watcher,
                                                 [follow, watcher](Qt::ScreenOrientation) {
                                                     if (watcher->screen) {
                                                         follow(watcher->screen);
                                                     }
                                                 });
    follow(screen);
}

DeviceOrientationCenter::ObserverToken DeviceOrientationCenter::addObserver(
    std::function<void()> handler) {
    const ObserverToken token = nextToken_++;
    observers_.emplace(token, std::move(handler));
    return token;
}

void DeviceOrientationCenter::removeObserver(ObserverToken token) {
    observers_.erase(token);
}

void DeviceOrientationCenter::simulateOrientation(DeviceOrientation orientation) {
    setOrientation(orientation);
}

void DeviceOrientationCenter::setOrientation(DeviceOrientation orientation) {
    if (orientation == orientation_) {
        return;
    }
    orientation_ = orientation;
    // Observers may register or leave while being told; those gone by their turn are skipped.
    std::vector<ObserverToken> tokens;
    for (const auto& [token, handler] : observers_) {
        tokens.push_back(token);
    }
    for (ObserverToken token : tokens) {
        auto found = observers_.find(token);
        if (found == observers_.end()) {
            continue;
        }
        std::function<void()> handler = found->second;
        if (handler) {
            handler();
        }
    }
}

DeviceOrientation DeviceOrientationCenter::fromScreenOrientation(Qt::ScreenOrientation natural,
                                                                 Qt::ScreenOrientation current) {
    if (current == Qt::PrimaryOrientation) {
        return DeviceOrientation::portrait;
    }
    switch ((qtAngle(current) - qtAngle(natural) + 360) % 360) {
        case 90:
            return DeviceOrientation::landscapeRight;
        case 180:
            return DeviceOrientation::portraitUpsideDown;
        case 270:
            return DeviceOrientation::landscapeLeft;
        default:
            return DeviceOrientation::portrait;
    }
}

std::optional<DeviceOrientation> DeviceOrientationCenter::fromName(const QString& name) {
    static const char* const names[] = {"unknown",       "portrait",       "portraitUpsideDown",
                                        "landscapeLeft", "landscapeRight", "faceUp",
                                        "faceDown"};
    const QString trimmed = name.trimmed();
    for (int i = 0; i < 7; ++i) {
        if (trimmed.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0 ||
            trimmed == QString::number(i)) {
            return static_cast<DeviceOrientation>(i);
        }
    }
    return std::nullopt;
}
