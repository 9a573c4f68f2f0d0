#pragma once

#include <QPointer>
#include <QRectF>
#include <memory>

class QWidget;
class PlatformViewController;

// Decides where a custom-presented screen sits inside the container (the screen stack).
class PresentationController {
public:
    PresentationController(PlatformViewController* presentedViewController,
                           PlatformViewController* presentingViewController);
    virtual ~PresentationController();

    PlatformViewController* presentedViewController() const;
    PlatformViewController* presentingViewController() const;

    QWidget* containerView() const;
    void setContainerView(QWidget* container);

    // The container's bounds by default; (0, 0, 0, 0) without a container.
    virtual QRectF frameOfPresentedViewInContainerView() const;

private:
    QPointer<PlatformViewController> presented_;
    QPointer<PlatformViewController> presenting_;
    QPointer<QWidget> container_;
};

// Supplies the presentation controller for a screen presented with the custom style.
class TransitioningDelegate {
public:
    virtual ~TransitioningDelegate() = default;
    virtual std::unique_ptr<PresentationController>
    presentationControllerForPresentedViewController(PlatformViewController* presented,
                                                     PlatformViewController* presenting,
                                                     PlatformViewController* source) = 0;
};
