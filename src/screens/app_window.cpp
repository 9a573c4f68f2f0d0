#include "screens/app_window.h"

#include <QResizeEvent>

#include "screens/screen_stack.h"

AppWindow::AppWindow(const ScreenMetrics& metrics, QWidget* parent)
    : QWidget(parent), stack_(new ScreenStack(this)) {
    setWindowTitle(QStringLiteral("Tilebloom"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(static_cast<int>(metrics.width), static_cast<int>(metrics.height));
}

void AppWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The screens lay out from the screen's size, so it changes before the stack resizes.
    ScreenMetrics::resizeMain(width(), height());
    stack_->setGeometry(rect());
}

QImage AppWindow::snapshot() {
    return grab().toImage();
}
