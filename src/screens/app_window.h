#pragma once

#include <QWidget>

#include "platform/screen_metrics.h"

class ScreenStack;

// The app's one window: phone- or tablet-shaped, portrait, holding the screen stack.
class AppWindow : public QWidget {
    Q_OBJECT
public:
    explicit AppWindow(const ScreenMetrics& metrics, QWidget* parent = nullptr);

    ScreenStack* screenStack() const { return stack_; }

    // Renders what the window shows, at the display scale.
    QImage snapshot();

private:
    ScreenStack* stack_;
};
