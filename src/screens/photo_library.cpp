#include "screens/photo_library.h"

#include <QApplication>
#include <QPointer>
#include <vector>

#include "platform/user_defaults.h"
#include "screens/alert_controller.h"
#include "screens/platform_view_controller.h"
#include "screens/screen_stack.h"

namespace {
using Handler = std::function<void(PhotoLibrary::AuthorizationStatus)>;

struct PendingRequest {
    QPointer<AlertController> alert;
    // Compared only, never used: tells this question's alert from a later one.
    const QObject* asked = nullptr;
    std::vector<Handler> handlers;
    bool active = false;
};

PendingRequest& pending() {
    static PendingRequest request;
    return request;
}

void callLater(Handler handler, PhotoLibrary::AuthorizationStatus status) {
    QMetaObject::invokeMethod(
        qApp, [handler = std::move(handler), status] { handler(status); }, Qt::QueuedConnection);
}

void answerPending(PhotoLibrary::AuthorizationStatus status) {
    PendingRequest& request = pending();
    std::vector<Handler> handlers = std::move(request.handlers);
    request = PendingRequest{};
    for (Handler& handler : handlers) {
        callLater(std::move(handler), status);
    }
}

// The screen stack the user is looking at: the active window's, else the first shown one,
// else any.
ScreenStack* visibleScreenStack() {
    const auto stackIn = [](QWidget* window) -> ScreenStack* {
        if (!window) {
            return nullptr;
        }
        if (auto* stack = qobject_cast<ScreenStack*>(window)) {
            return stack;
        }
        return window->findChild<ScreenStack*>();
    };
    if (ScreenStack* stack = stackIn(QApplication::activeWindow())) {
        return stack;
    }
    ScreenStack* hidden = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (ScreenStack* stack = stackIn(window)) {
            if (window->isVisible()) {
                return stack;
            }
            hidden = hidden ? hidden : stack;
        }
    }
    return hidden;
}
}  // namespace

PhotoLibrary::AuthorizationStatus PhotoLibrary::authorizationStatus() {
    UserDefaults& defaults = UserDefaults::standard();
    if (!defaults.hasValue(settingsKey)) {
        return AuthorizationStatus::notDetermined;
    }
    const int64_t stored = defaults.integerForKey(settingsKey);
    // A value we never write reads as not determined, so the user is asked again.
    if (stored < int64_t(AuthorizationStatus::notDetermined) ||
        stored > int64_t(AuthorizationStatus::limited)) {
        return AuthorizationStatus::notDetermined;
    }
    return AuthorizationStatus(stored);
}

void PhotoLibrary::setAuthorizationStatus(AuthorizationStatus status) {
    UserDefaults& defaults = UserDefaults::standard();
    if (status == AuthorizationStatus::notDetermined) {
        defaults.removeValue(settingsKey);
    } else {
        defaults.setInteger(int64_t(status), settingsKey);
    }
}

void PhotoLibrary::requestAuthorization(std::function<void(AuthorizationStatus)> handler) {
    if (!handler) {
        handler = [](AuthorizationStatus) {};
    }
    const AuthorizationStatus status = authorizationStatus();
    if (status != AuthorizationStatus::notDetermined) {
        callLater(std::move(handler), status);
        return;
    }
    PendingRequest& request = pending();
    if (request.active && request.alert) {
        request.handlers.push_back(std::move(handler));
        return;
    }
    ScreenStack* stack = visibleScreenStack();
    PlatformViewController* top = stack ? stack->topViewController() : nullptr;
    if (!top) {
        callLater(std::move(handler), AuthorizationStatus::notDetermined);
        return;
    }

    auto* alert = new AlertController(requestTitle, requestMessage);
    const auto answer = [](AuthorizationStatus given) {
        setAuthorizationStatus(given);
        answerPending(given);
    };
    alert->addAction(AlertAction(denyTitle, AlertActionStyle::cancel,
                                 [answer] { answer(AuthorizationStatus::denied); }));
    alert->addAction(AlertAction(allowTitle, AlertActionStyle::defaultStyle,
                                 [answer] { answer(AuthorizationStatus::authorized); }));
    alert->setPreferredAction(allowTitle);
    request = PendingRequest{};
    request.alert = alert;
    const QObject* asked = alert;
    request.asked = asked;
    request.handlers.push_back(std::move(handler));
    request.active = true;
    // Taken off screen without an answer (its screen closed beneath it): nobody waits forever.
    QObject::connect(alert, &QObject::destroyed, qApp, [asked] {
        PendingRequest& open = pending();
        if (open.active && open.asked == asked) {
            answerPending(AuthorizationStatus::notDetermined);
        }
    });
    top->present(alert, true);
}
