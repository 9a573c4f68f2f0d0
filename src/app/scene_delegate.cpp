#include "app/scene_delegate.h"

#include <QIcon>

#include "app/view_controller.h"
#include "platform/screen_stack.h"

SceneDelegate::~SceneDelegate() = default;

void SceneDelegate::willConnect(const ScreenMetrics& metrics) {
    window = std::make_unique<AppWindow>(metrics);
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/tilebloom.svg")));
    window->screenStack()->setRootViewController(new ViewController);
}
