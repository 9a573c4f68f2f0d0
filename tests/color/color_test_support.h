#pragma once

#include <QObject>
#include <QPointingDevice>
#include <QTest>
#include <QWidget>
#include <array>
#include <vector>

#include "color/brightness_view.h"
#include "color/color_wheel.h"
#include "platform/color.h"
#include "platform/screen_metrics.h"

// Records every call the colour views make on their delegates, in order.
class DelegateRecorder : public QObject,
                         public ColorWheelDelegate,
                         public ColorWheelSelectedDelegate,
                         public BrightnessViewDelegate {
public:
    struct Call {
        enum Kind { hueAndSaturation, color, brightness } kind;
        double a = 0;
        double b = 0;
        Color selected;
    };

    void hueAndSaturationSelected(double hue, double saturation) override {
        calls.push_back({Call::hueAndSaturation, hue, saturation, {}});
    }
    void colorSelected(const Color& color) override { calls.push_back({Call::color, 0, 0, color}); }
    void brightnessSelected(double brightness) override {
        calls.push_back({Call::brightness, brightness, 0, {}});
    }

    std::vector<Call> calls;
};

// Sets the display scale for one test and puts the phone default back after.
class ScopedScale {
public:
    explicit ScopedScale(double scale) {
        ScreenMetrics metrics = ScreenMetrics::phone();
        metrics.scale = scale;
        ScreenMetrics::configure(metrics);
    }
    ~ScopedScale() { ScreenMetrics::configure(ScreenMetrics::phone()); }
};

inline QPointingDevice* testTouchDevice() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

inline std::array<int, 4> bytesAt(const QImage& image, int x, int y) {
    const uchar* p = image.constScanLine(y) + static_cast<ptrdiff_t>(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// What a view paints by itself, over transparency.
inline QImage renderAlone(QWidget* view) {
    QImage image(view->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}
