#include "platform/settings_link.h"

namespace {
SettingsLink::Handler& installed() {
    static SettingsLink::Handler handler;
    return handler;
}
}  // namespace

void SettingsLink::setHandler(Handler handler) {
    installed() = std::move(handler);
}

bool SettingsLink::canOpen() {
    return static_cast<bool>(installed());
}

bool SettingsLink::open() {
    // A copy, so that a handler may replace itself while it runs.
    const Handler handler = installed();
    return handler ? handler() : false;
}
