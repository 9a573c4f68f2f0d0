#include "app/canvas_preview_screen.h"

#include "canvas/canvas_view.h"

CanvasPreviewScreen::CanvasPreviewScreen(QWidget* parent) : PlatformViewController(parent) {}

void CanvasPreviewScreen::viewDidLoad() { canvasView_ = new CanvasView(this); }
