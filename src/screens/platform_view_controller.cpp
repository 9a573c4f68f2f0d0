#include "screens/platform_view_controller.h"

#include "screens/screen_stack.h"

PlatformViewController::PlatformViewController(QWidget* parent) : QWidget(parent) {}

PlatformViewController::~PlatformViewController() = default;

void PlatformViewController::loadViewIfNeeded() {
    if (viewLoaded_) {
        return;
    }
    viewLoaded_ = true;
    viewDidLoad();
}

InterfaceOrientationMask PlatformViewController::supportedInterfaceOrientations() const {
    return InterfaceOrientationMask::portrait;
}

InterfaceOrientation PlatformViewController::preferredInterfaceOrientationForPresentation() const {
    return InterfaceOrientation::portrait;
}

bool PlatformViewController::shouldAutorotate() const {
    return true;
}

bool PlatformViewController::prefersStatusBarHidden() const {
    return true;
}

ScreenStack* PlatformViewController::screenStack() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* stack = qobject_cast<ScreenStack*>(w)) {
            return stack;
        }
    }
    return nullptr;
}

void PlatformViewController::present(PlatformViewController* controller, bool animated,
                                     std::function<void()> completion) {
    if (!controller) {
        return;
    }
    ScreenStack* stack = screenStack();
    if (!stack) {
        // Nowhere to show it; do not leak it.
        controller->deleteLater();
        return;
    }
    stack->present(this, controller, animated, std::move(completion));
}

void PlatformViewController::dismiss(bool animated, std::function<void()> completion) {
    ScreenStack* stack = screenStack();
    if (!stack) {
        return;
    }
    PlatformViewController* target = presentedViewController() ? presentedViewController() : this;
    stack->dismiss(target, animated, std::move(completion));
}

PlatformViewController* PlatformViewController::presentedViewController() const {
    ScreenStack* stack = screenStack();
    return stack ? stack->presentedViewController(this) : nullptr;
}

PlatformViewController* PlatformViewController::presentingViewController() const {
    ScreenStack* stack = screenStack();
    return stack ? stack->presentingViewController(this) : nullptr;
}

PresentationController* PlatformViewController::presentationController() const {
    ScreenStack* stack = screenStack();
    return stack ? stack->presentationControllerOf(this) : nullptr;
}

void PlatformViewController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (viewLoaded_) {
        viewDidLayoutSubviews();
    }
}

void PlatformViewController::showEvent(QShowEvent* event) {
    loadViewIfNeeded();
    QWidget::showEvent(event);
}
