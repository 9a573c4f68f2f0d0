#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "screens/presentation_controller.h"

class PlatformViewController;

// The window's one stack of screens: the root screen at the bottom and each modally
// presented screen over the one that presented it. Owns every screen it shows.
class ScreenStack : public QWidget {
    Q_OBJECT
public:
    explicit ScreenStack(QWidget* parent = nullptr);
    ~ScreenStack() override;

    void setRootViewController(PlatformViewController* root);
    PlatformViewController* rootViewController() const;
    PlatformViewController* topViewController() const;
    int depth() const { return static_cast<int>(entries_.size()); }

    void present(PlatformViewController* presenting, PlatformViewController* presented,
                 bool animated, std::function<void()> completion);
    // Removes target and every screen above it.
    void dismiss(PlatformViewController* target, bool animated, std::function<void()> completion);

    PlatformViewController* presentedViewController(const PlatformViewController* controller) const;
    PlatformViewController* presentingViewController(
        const PlatformViewController* controller) const;
    PresentationController* presentationControllerOf(
        const PlatformViewController* controller) const;

    static constexpr double kTransitionSeconds = 0.35;

signals:
    void topViewControllerChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry {
        QPointer<PlatformViewController> controller;
        std::unique_ptr<PresentationController> presentation;
        QPointer<QWidget> blocker;
    };

    int indexOf(const PlatformViewController* controller) const;
    QRect frameFor(const Entry& entry) const;
    void layoutEntries();
    void focusTop();

    std::vector<Entry> entries_;
};
