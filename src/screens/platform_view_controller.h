#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/interface_orientation.h"

class PresentationController;
class ScreenStack;
class TransitioningDelegate;

// One screen. Its content is loaded once (viewDidLoad) before it first shows; it presents
// other screens modally over itself through the screen stack it lives in, and dismisses
// itself to go back.
class PlatformViewController : public QWidget {
    Q_OBJECT
public:
    explicit PlatformViewController(QWidget* parent = nullptr);
    ~PlatformViewController() override;

    void loadViewIfNeeded();
    bool isViewLoaded() const { return viewLoaded_; }

    virtual InterfaceOrientationMask supportedInterfaceOrientations() const;
    virtual InterfaceOrientation preferredInterfaceOrientationForPresentation() const;
    virtual bool shouldAutorotate() const;
    virtual bool prefersStatusBarHidden() const;

    ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style) {
        modalPresentationStyle_ = style;
    }

    // Held weakly: the delegate is asked once, when this screen is presented.
    TransitioningDelegate* transitioningDelegate() const { return transitioningDelegate_; }
    void setTransitioningDelegate(TransitioningDelegate* delegate) {
        transitioningDelegate_ = delegate;
    }

    // Takes ownership of controller and shows it over this screen's stack.
    void present(PlatformViewController* controller, bool animated,
                 std::function<void()> completion = {});
    // Dismisses the screen this one presented, or this screen when it presents nothing.
    void dismiss(bool animated, std::function<void()> completion = {});

    PlatformViewController* presentedViewController() const;
    PlatformViewController* presentingViewController() const;
    PresentationController* presentationController() const;
    ScreenStack* screenStack() const;

protected:
    virtual void viewDidLoad() {}
    virtual void viewDidLayoutSubviews() {}

    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool viewLoaded_ = false;
    ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyle::fullScreen;
    TransitioningDelegate* transitioningDelegate_ = nullptr;
};
