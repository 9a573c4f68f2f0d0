#include "screens/app_window.h"

#include <QVBoxLayout>

#include "screens/screen_stack.h"

AppWindow::AppWindow(const ScreenMetrics& metrics, QWidget* parent)
    : QWidget(parent), stack_(new ScreenStack(this)) {
    setWindowTitle(QStringLiteral("Tilebloom"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
    // The screen's size is read once and kept, so the window keeps it too.
    setFixedSize(static_cast<int>(metrics.width), static_cast<int>(metrics.height));
}

QImage AppWindow::snapshot() {
    return grab().toImage();
}
