#include "app/scene_delegate.h"

#include <QIcon>
#include <QPointer>
#include <QTimer>

#include "app/picture_import.h"
#include "app/settings_view_controller.h"
#include "app/unsaved_drawing_offer.h"
#include "app/view_controller.h"
#include "platform/settings_link.h"
#include "screens/screen_stack.h"

SceneDelegate::~SceneDelegate() {
    if (window) {
        SettingsLink::setHandler({});
    }
}

void SceneDelegate::willConnect(const ScreenMetrics& metrics) {
    window = std::make_unique<AppWindow>(metrics);
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/tilebloom.svg")));
    ScreenStack* stack = window->screenStack();
    auto* home = new ViewController;
    stack->setRootViewController(home);
    PictureImport::install(window.get());
    // Once the window is up: a drawing the last run left unsaved comes before anything else.
    QTimer::singleShot(0, home, [home] { UnsavedDrawingOffer::offer(home); });
    // The settings screen comes up over whatever is on top, as if the home screen had opened
    // it, and closes back to that screen.
    SettingsLink::setHandler([stack = QPointer<ScreenStack>(stack)] {
        PlatformViewController* top = stack ? stack->topViewController() : nullptr;
        if (!top) {
            return false;
        }
        auto* settings = new SettingsViewController;
        settings->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
        top->present(settings, true);
        return stack->topViewController() == settings;
    });
}
