#include <gtest/gtest.h>

#include <QWidget>
#include <cmath>
#include <memory>

#include "color/color_wheel.h"
#include "color/hsb.h"
#include "color_test_support.h"
#include "test_support.h"

namespace {
using Bytes = std::array<int, 4>;

// The picker's 200-point wheel at the top-left of a larger window, so drags can leave it.
struct WheelHost {
    WheelHost() {
        window.resize(400, 300);
        wheel = new ColorWheel(QRectF(0, 0, 200, 200), Color::blue(), &window);
        wheel->setDelegate(&recorder);
        wheel->setColorDelegate(&recorder);
        window.show();
    }
    void press(QPoint at) { QTest::touchEvent(wheel, testTouchDevice()).press(0, at, wheel); }
    void move(QPoint at) { QTest::touchEvent(wheel, testTouchDevice()).move(0, at, wheel); }
    void release(QPoint at) { QTest::touchEvent(wheel, testTouchDevice()).release(0, at, wheel); }
    void tap(QPoint at) {
        recorder.calls.clear();
        press(at);
        release(at);
    }
    // Hue and saturation told on the last touch.
    std::pair<double, double> told() const {
        const auto& call = recorder.calls.at(recorder.calls.size() - 2);
        EXPECT_EQ(call.kind, DelegateRecorder::Call::hueAndSaturation);
        return {call.a, call.b};
    }
    double indicatorRadius() const {
        return wheel->indicatorLayer().path.boundingRect().width() / 2;
    }

    QWidget window;
    ColorWheel* wheel = nullptr;
    DelegateRecorder recorder;
};

void expectRGB(const Color& color, double r, double g, double b) {
    const auto rgba = color.getRGBA();
    ASSERT_TRUE(rgba);
    EXPECT_NEAR(rgba->red, r, 1e-12);
    EXPECT_NEAR(rgba->green, g, 1e-12);
    EXPECT_NEAR(rgba->blue, b, 1e-12);
    EXPECT_EQ(rgba->alpha, 1.0);
}

const std::string kNotConvertible =
    "ColorPicker: exception <The color provided to ColorPicker is not convertible to HSV>\n";
}  // namespace

TEST(ColorWheelBitmapTest, PixelsAreExactStraightAlphaBytes) {
    ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
    const QImage& image = wheel.wheelLayer().contents;
    ASSERT_EQ(image.size(), QSize(200, 200));
    EXPECT_EQ(image.format(), QImage::Format_RGBA8888);
    EXPECT_EQ(bytesAt(image, 100, 100), (Bytes{255, 255, 255, 255}));
    EXPECT_EQ(bytesAt(image, 199, 100), (Bytes{255, 2, 2, 255}));
    EXPECT_EQ(bytesAt(image, 100, 199), (Bytes{128, 255, 2, 255}));
    EXPECT_EQ(bytesAt(image, 1, 100), (Bytes{2, 255, 255, 255}));
    EXPECT_EQ(bytesAt(image, 100, 1), (Bytes{128, 2, 255, 255}));
    EXPECT_EQ(bytesAt(image, 0, 100), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(bytesAt(image, 0, 0), (Bytes{0, 0, 0, 0}));
    // The soft rim fades alpha without darkening the colour (not premultiplied).
    EXPECT_EQ(bytesAt(image, 29, 30), (Bytes{0, 66, 255, 75}));
    EXPECT_EQ(bytesAt(image, 199, 101), (Bytes{255, 4, 2, 253}));
    // Odd sizes: the smaller side, every write inside the buffer.
    ColorWheel odd(QRectF(0, 0, 101.7, 60.2), Color::red());
    EXPECT_EQ(odd.wheelLayer().contents.size(), QSize(60, 60));
}

TEST(ColorWheelBitmapTest, BitmapFollowsTheDisplayScale) {
    {
        ScopedScale scale(2);
        ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
        ASSERT_EQ(wheel.wheelLayer().contents.size(), QSize(400, 400));
        EXPECT_EQ(bytesAt(wheel.wheelLayer().contents, 398, 200), (Bytes{255, 2, 2, 255}));
    }
    {
        ScopedScale scale(3);
        ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
        ASSERT_EQ(wheel.wheelLayer().contents.size(), QSize(600, 600));
        EXPECT_EQ(bytesAt(wheel.wheelLayer().contents, 300, 597), (Bytes{128, 255, 2, 255}));
        // Touches in points map into the scaled bitmap.
        wheel.touchesBegan({QPointF(100, 50)});
        const HSB hsb = *HSB::fromColor(*wheel.color());
        EXPECT_NEAR(hsb.hue, 0.75, 1e-12);
        EXPECT_NEAR(hsb.saturation, 0.5, 1e-12);
    }
    EXPECT_EQ(ScreenMetrics::main().scale, 1);
}

TEST(ColorWheelTouchTest, TouchSelectsTheColourOfTheBitmapUnderTheFinger) {
    WheelHost host;
    struct Case {
        QPoint at;
        double hue, saturation;
    };
    for (const Case& c :
         {Case{{150, 100}, 0.0, 0.5}, Case{{100, 150}, 0.25, 0.5}, Case{{50, 100}, 0.5, 0.5},
          Case{{100, 50}, 0.75, 0.5}, Case{{195, 100}, 0.0, 0.95}}) {
        host.tap(c.at);
        EXPECT_NEAR(host.told().first, c.hue, 1e-12) << c.at.x() << "," << c.at.y();
        EXPECT_NEAR(host.told().second, c.saturation, 1e-12) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(*host.wheel->point(), QPointF(c.at));
    }
    // Every phase tells the hue delegate, then the colour delegate.
    ASSERT_EQ(host.recorder.calls.size(), 4u);
    EXPECT_EQ(host.recorder.calls[3].kind, DelegateRecorder::Call::color);
    EXPECT_EQ(host.recorder.calls[3].selected, *host.wheel->color());

    const QImage& image = host.wheel->wheelLayer().contents;
    for (QPoint at : {QPoint(150, 60), QPoint(31, 120), QPoint(133, 177)}) {
        host.tap(at);
        const auto rgba = host.wheel->color()->getRGBA();
        const Bytes under = bytesAt(image, at.x(), at.y());
        EXPECT_EQ(static_cast<int>(rgba->red * 255), under[0]);
        EXPECT_EQ(static_cast<int>(rgba->green * 255), under[1]);
        EXPECT_EQ(static_cast<int>(rgba->blue * 255), under[2]);
    }
}

TEST(ColorWheelTouchTest, RimClampAndCentreSnap) {
    WheelHost host;
    host.press({150, 100});
    host.move({300, 100});
    EXPECT_EQ(*host.wheel->point(), QPointF(200, 100));
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(1, 0, 0));
    host.move({300, 300});
    EXPECT_NEAR(host.wheel->point()->x(), 100 + 100 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(host.told().first, 0.125, 1e-9);
    EXPECT_LE(host.told().second, 1.0);
    host.release({300, 300});
    EXPECT_EQ(host.wheel->indicatorCoordinate(QPointF(100, 0)).point, QPointF(100, 0));

    host.tap({105, 105});  // 7.07 points from the centre
    EXPECT_EQ(*host.wheel->point(), QPointF(100, 100));
    EXPECT_EQ(host.told(), std::make_pair(0.0, 0.0));
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(1, 1, 1));
    EXPECT_FALSE(host.wheel->indicatorCoordinate(QPointF(110, 100)).isCenter);
    host.wheel->setViewBrightness(0.4);
    host.tap({98, 103});
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(0.4, 0.4, 0.4));
}

TEST(ColorWheelTouchTest, IndicatorGrowsWhileDown) {
    WheelHost host;
    EXPECT_EQ(host.indicatorRadius(), 12);
    host.press({150, 100});
    EXPECT_EQ(host.indicatorRadius(), 18);
    host.move({140, 100});
    EXPECT_EQ(host.indicatorRadius(), 18);
    host.release({140, 100});
    EXPECT_EQ(host.indicatorRadius(), 12);
    EXPECT_EQ(host.wheel->indicatorLayer().path.boundingRect().center(), QPointF(140, 100));

    // The mouse is one finger: press, drag, release.
    host.recorder.calls.clear();
    QTest::mousePress(host.wheel, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(host.indicatorRadius(), 18);
    QTest::mouseMove(host.wheel, QPoint(50, 100));
    EXPECT_NEAR(host.told().first, 0.5, 1e-12);
    QTest::mouseRelease(host.wheel, Qt::LeftButton, {}, QPoint(50, 100));
    EXPECT_EQ(host.indicatorRadius(), 12);
    EXPECT_EQ(host.recorder.calls.size(), 6u);

    // A cancelled touch selects nothing and leaves no enlarged indicator behind.
    host.press({150, 150});
    host.recorder.calls.clear();
    QTouchEvent cancel(QEvent::TouchCancel, testTouchDevice());
    QCoreApplication::sendEvent(host.wheel, &cancel);
    EXPECT_TRUE(host.recorder.calls.empty());
    EXPECT_EQ(host.indicatorRadius(), 12);
}

TEST(ColorWheelColorTest, ColourAndBrightnessFromOutside) {
    WheelHost host;
    host.recorder.calls.clear();
    host.wheel->setViewColor(Color::red());
    EXPECT_EQ(*host.wheel->point(), QPointF(200, 100));  // on its spot, no offset
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor.alpha(), 0);
    host.wheel->setViewColor(Color::black());
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor, Color::withWhite(0, 1));
    EXPECT_TRUE(host.recorder.calls.empty());

    // A colour set from outside lands where touching selects it again.
    host.wheel->setViewColor(HSB{0.6, 0.8, 0.9}.toColor());
    const auto spot = host.wheel->hueAndSaturation(*host.wheel->point());
    EXPECT_NEAR(spot.hue, 0.6, 1e-9);
    EXPECT_NEAR(spot.saturation, 0.8, 1e-9);
    EXPECT_NEAR(host.wheel->brightnessLayer().fillColor.alpha(), 0.1, 1e-12);

    host.wheel->setViewColor(Color::red());
    host.wheel->setViewBrightness(0.5);
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(0.5, 0, 0));
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor.alpha(), 0.5);
    ASSERT_EQ(host.recorder.calls.size(), 1u);
    EXPECT_EQ(host.recorder.calls[0].selected, Color::withRGB(0.5, 0, 0));
    EXPECT_EQ(host.wheel->indicatorLayer().fillColor, Color::withRGB(0.5, 0, 0));
    // Hue and saturation survive dim steps; a touch afterwards keeps the brightness.
    host.wheel->setViewBrightness(0.01);
    host.wheel->setViewBrightness(1.0);
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(1, 0, 0));
    host.wheel->setViewBrightness(0.5);
    host.tap({100, 150});
    expectRGB(*host.wheel->color(), 0.375, 0.5, 0.25);

    // A colour without an RGB form prints the line and goes on with zeros.
    EXPECT_EQ(captureStdout([&] { host.wheel->setViewColor(Color::withoutRGB()); }),
              kNotConvertible);
    EXPECT_EQ(*host.wheel->point(), QPointF(100, 100));
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor.alpha(), 1);
    EXPECT_EQ(captureStdout([&] { host.wheel->setViewBrightness(0.5); }), kNotConvertible);
    EXPECT_EQ(host.recorder.calls.back().selected, Color::withRGB(0.5, 0.5, 0.5));
}

TEST(ColorWheelColorTest, DelegatesAreHeldWeakly) {
    ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
    auto recorder = std::make_unique<DelegateRecorder>();
    wheel.setDelegate(recorder.get());
    wheel.setColorDelegate(recorder.get());
    wheel.touchesBegan({QPointF(150, 100)});
    EXPECT_EQ(recorder->calls.size(), 2u);
    recorder.reset();
    EXPECT_EQ(wheel.delegate(), nullptr);
    EXPECT_EQ(wheel.colorDelegate(), nullptr);
    wheel.touchesEnded({QPointF(160, 100)});
    wheel.setViewBrightness(0.3);
    expectRGB(*wheel.color(), 0.3, 0.12, 0.12);
}

TEST(ColorWheelPaintTest, LayersPaintWheelThenDarkeningThenIndicator) {
    WheelHost host;
    host.wheel->setViewColor(HSB{0.5, 1, 0.5}.toColor());  // indicator at (0, 100)
    const QImage shot = renderAlone(host.wheel);
    const QColor darkened = shot.pixelColor(150, 100);  // (255, 127, 127) at half brightness
    EXPECT_NEAR(darkened.red(), 127, 2);
    EXPECT_NEAR(darkened.green(), 63, 2);
    const QColor indicator = shot.pixelColor(5, 100);
    EXPECT_NEAR(indicator.red(), 0, 2);
    EXPECT_NEAR(indicator.green(), 127, 2);
    EXPECT_NEAR(shot.pixelColor(12, 100).red(), 170, 12);  // light grey outline
    EXPECT_EQ(shot.pixelColor(2, 2).alpha(), 0);
}
