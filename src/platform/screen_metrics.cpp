#include "platform/screen_metrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <optional>

namespace {
std::optional<ScreenMetrics>& stored() {
    static std::optional<ScreenMetrics> metrics;
    return metrics;
}
}  // namespace

ScreenMetrics ScreenMetrics::phone() {
    return ScreenMetrics{390, 844, 1};
}

ScreenMetrics ScreenMetrics::tablet() {
    return ScreenMetrics{820, 1180, 1};
}

const ScreenMetrics& ScreenMetrics::main() {
    auto& metrics = stored();
    if (!metrics) {
        ScreenMetrics read = phone();
        if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            if (QScreen* screen = app->primaryScreen()) {
                read.scale = screen->devicePixelRatio();
            }
        }
        metrics = read;
    }
    return *metrics;
}

void ScreenMetrics::configure(const ScreenMetrics& metrics) {
    stored() = metrics;
}

void ScreenMetrics::resizeMain(double width, double height) {
    ScreenMetrics metrics = main();
    metrics.width = width;
    metrics.height = height;
    stored() = metrics;
}
