#include "editor/split_presentation_controller.h"

#include <QWidget>

SplitPresentationController::SplitPresentationController(
    PlatformViewController* presentedViewController,
    PlatformViewController* presentingViewController)
    : PresentationController(presentedViewController, presentingViewController) {}

QRectF SplitPresentationController::frameOfPresentedViewInContainerView() const {
    const QWidget* container = containerView();
    if (!container) {
        return {};
    }
    const double w = container->width();
    const double h = container->height();
    return QRectF(0, h / 3, w, h);
}
