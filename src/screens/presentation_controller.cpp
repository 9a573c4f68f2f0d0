#include "screens/presentation_controller.h"

#include <QWidget>

#include "screens/platform_view_controller.h"

PresentationController::PresentationController(PlatformViewController* presentedViewController,
                                               PlatformViewController* presentingViewController)
    : presented_(presentedViewController), presenting_(presentingViewController) {}

PresentationController::~PresentationController() = default;

PlatformViewController* PresentationController::presentedViewController() const {
    return presented_;
}

PlatformViewController* PresentationController::presentingViewController() const {
    return presenting_;
}

QWidget* PresentationController::containerView() const {
    return container_;
}

void PresentationController::setContainerView(QWidget* container) {
    container_ = container;
}

QRectF PresentationController::frameOfPresentedViewInContainerView() const {
    if (!container_) {
        return {};
    }
    return QRectF(QPointF(0, 0), QSizeF(container_->size()));
}
