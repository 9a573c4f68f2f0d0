#pragma once

#include <functional>

// The link to the app's settings, where answers such as the photo-library permission are
// changed. The app installs a handler that shows its settings screen; screens lower down
// open the link without knowing that screen.
class SettingsLink {
public:
    SettingsLink() = delete;

    // Returns whether the settings could be shown. An empty handler removes it.
    using Handler = std::function<bool()>;
    static void setHandler(Handler handler);

    static bool canOpen();
    // Shows the settings; false when no handler is installed or it could not.
    static bool open();
};
