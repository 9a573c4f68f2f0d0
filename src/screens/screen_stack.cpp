#include "screens/screen_stack.h"

#include <QEvent>
#include <QTimer>

#include "platform/animation.h"
#include "screens/platform_view_controller.h"

namespace {
// Catches touches and clicks around a screen that does not cover the whole window, so
// that they do not reach the screen below.
class TouchBlocker : public QWidget {
public:
    explicit TouchBlocker(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_AcceptTouchEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    bool event(QEvent* event) override {
        switch (event->type()) {
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseMove:
            case QEvent::Wheel:
                event->accept();
                return true;
            default:
                return QWidget::event(event);
        }
    }
};
}  // namespace

ScreenStack::ScreenStack(QWidget* parent) : QWidget(parent) {}

ScreenStack::~ScreenStack() = default;

void ScreenStack::setRootViewController(PlatformViewController* root) {
    while (!entries_.empty()) {
        if (entries_.back().controller) {
            entries_.back().controller->deleteLater();
        }
        if (entries_.back().blocker) {
            entries_.back().blocker->deleteLater();
        }
        entries_.pop_back();
    }
    if (!root) {
        return;
    }
    root->setParent(this);
    entries_.push_back(Entry{root, nullptr, nullptr});
    root->loadViewIfNeeded();
    root->setGeometry(rect());
    root->show();
    focusTop();
    emit topViewControllerChanged();
}

PlatformViewController* ScreenStack::rootViewController() const {
    return entries_.empty() ? nullptr : entries_.front().controller.data();
}

PlatformViewController* ScreenStack::topViewController() const {
    return entries_.empty() ? nullptr : entries_.back().controller.data();
}

int ScreenStack::indexOf(const PlatformViewController* controller) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].controller == controller) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QRect ScreenStack::frameFor(const Entry& entry) const {
    if (entry.presentation) {
        return entry.presentation->frameOfPresentedViewInContainerView().toRect();
    }
    return rect();
}

void ScreenStack::present(PlatformViewController* presenting, PlatformViewController* presented,
                          bool animated, std::function<void()> completion) {
    const int index = indexOf(presenting);
    if (!presented || index < 0 || index != depth() - 1) {
        // A screen that is not on top (or already presents one) cannot present another.
        if (presented && indexOf(presented) < 0) {
            presented->deleteLater();
        }
        return;
    }
    Entry entry;
    entry.controller = presented;
    if (presented->modalPresentationStyle() == ModalPresentationStyle::custom &&
        presented->transitioningDelegate()) {
        entry.presentation =
            presented->transitioningDelegate()->presentationControllerForPresentedViewController(
                presented, presenting, presenting);
    }
    if (entry.presentation) {
        entry.presentation->setContainerView(this);
        entry.blocker = new TouchBlocker(this);
        entry.blocker->setGeometry(rect());
        entry.blocker->show();
        entry.blocker->raise();
    }
    presented->setParent(this);
    presented->loadViewIfNeeded();
    const QRect frame = frameFor(entry);
    const bool slides =
        animated && presented->modalPresentationStyle() != ModalPresentationStyle::overFullScreen;
    presented->setGeometry(frame);
    if (slides && Animation::enabled()) {
        presented->move(frame.x(), height());
    }
    presented->show();
    presented->raise();
    entries_.push_back(std::move(entry));
    focusTop();
    emit topViewControllerChanged();
    if (slides) {
        Animation::animate(presented, "pos", frame.topLeft(), kTransitionSeconds,
                           std::move(completion));
    } else if (completion) {
        completion();
    }
}

void ScreenStack::dismiss(PlatformViewController* target, bool animated,
                          std::function<void()> completion) {
    const int index = indexOf(target);
    if (index <= 0) {
        // The root screen stays.
        return;
    }
    // Screens above the target go at once; the target slides away.
    while (depth() > index + 1) {
        Entry above = std::move(entries_.back());
        entries_.pop_back();
        if (above.blocker) {
            above.blocker->deleteLater();
        }
        if (above.controller) {
            above.controller->hide();
            above.controller->deleteLater();
        }
    }
    Entry entry = std::move(entries_.back());
    entries_.pop_back();
    focusTop();
    emit topViewControllerChanged();

    QPointer<QWidget> blocker = entry.blocker;
    QPointer<PlatformViewController> controller = entry.controller;
    auto finish = [blocker, controller, completion = std::move(completion)]() {
        if (blocker) {
            blocker->deleteLater();
        }
        if (controller) {
            controller->hide();
            controller->deleteLater();
        }
        if (completion) {
            completion();
        }
    };
    const bool slides =
        animated && controller &&
        controller->modalPresentationStyle() != ModalPresentationStyle::overFullScreen;
    if (slides) {
        Animation::animate(controller, "pos", QPoint(controller->x(), height()), kTransitionSeconds,
                           std::move(finish));
    } else {
        finish();
    }
}

PlatformViewController* ScreenStack::presentedViewController(
    const PlatformViewController* controller) const {
    const int index = indexOf(controller);
    if (index < 0 || index + 1 >= depth()) {
        return nullptr;
    }
    return entries_[static_cast<size_t>(index) + 1].controller;
}

PlatformViewController* ScreenStack::presentingViewController(
    const PlatformViewController* controller) const {
    const int index = indexOf(controller);
    if (index <= 0) {
        return nullptr;
    }
    return entries_[static_cast<size_t>(index) - 1].controller;
}

PresentationController* ScreenStack::presentationControllerOf(
    const PlatformViewController* controller) const {
    const int index = indexOf(controller);
    return index < 0 ? nullptr : entries_[static_cast<size_t>(index)].presentation.get();
}

void ScreenStack::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutEntries();
}

void ScreenStack::layoutEntries() {
    for (const Entry& entry : entries_) {
        if (entry.blocker) {
            entry.blocker->setGeometry(rect());
        }
        if (entry.controller) {
            entry.controller->setGeometry(frameFor(entry));
        }
    }
}

void ScreenStack::focusTop() {
    if (PlatformViewController* top = topViewController()) {
        top->setFocus(Qt::OtherFocusReason);
    }
}
