#pragma once

#include <QWidget>

#include "platform/screen_metrics.h"

class ScreenStack;

// The app's one window: phone- or tablet-shaped and portrait at start, holding the screen stack.
// Users and desktops resize it (maximised, a split screen); the screens follow its size.
class AppWindow : public QWidget {
    Q_OBJECT
public:
    explicit AppWindow(const ScreenMetrics& metrics, QWidget* parent = nullptr);

    ScreenStack* screenStack() const { return stack_; }

    // Renders what the window shows, at the display scale.
    QImage snapshot();

    // Below this the home screen's buttons and the editor's toolbar no longer fit.
    static constexpr int kMinimumWidth = 320;
    static constexpr int kMinimumHeight = 480;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    ScreenStack* stack_;
};
