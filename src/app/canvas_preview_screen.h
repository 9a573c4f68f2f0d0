#pragma once

#include "platform/platform_view_controller.h"

class CanvasView;

// A screen that shows a blank canvas of the configured size.
class CanvasPreviewScreen : public PlatformViewController {
    Q_OBJECT
public:
    explicit CanvasPreviewScreen(QWidget* parent = nullptr);

protected:
    void viewDidLoad() override;

private:
    CanvasView* canvasView_ = nullptr;
};
