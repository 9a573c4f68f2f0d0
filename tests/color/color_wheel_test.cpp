#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <cmath>
#include <memory>

#include "color/color_wheel.h"
#include "color/hsb.h"
#include "color_test_support.h"
#include "test_support.h"

namespace {
using Bytes = std::array<int, 4>;

// A window with the picker's 200-point wheel at its top-left corner and room around it, so
// that drags can leave the wheel.
struct WheelHost {
    WheelHost() {
        window.resize(400, 300);
        wheel = new ColorWheel(QRectF(0, 0, 200, 200), Color::blue(), &window);
        wheel->setDelegate(&recorder);
        wheel->setColorDelegate(&recorder);
        window.show();
    }

    // Touches down at a point and lets go there; returns what the delegates heard on the way.
    std::vector<DelegateRecorder::Call> tap(QPoint at) {
        recorder.calls.clear();
        QTest::touchEvent(wheel, testTouchDevice()).press(0, at, wheel);
        QTest::touchEvent(wheel, testTouchDevice()).release(0, at, wheel);
        return recorder.calls;
    }

    // The hue and saturation told on the last touch.
    DelegateRecorder::Call lastHueAndSaturation() const {
        for (auto it = recorder.calls.rbegin(); it != recorder.calls.rend(); ++it) {
            if (it->kind == DelegateRecorder::Call::hueAndSaturation) {
                return *it;
            }
        }
        ADD_FAILURE() << "no hue and saturation was told";
        return {};
    }

    QWidget window;
    ColorWheel* wheel = nullptr;
    DelegateRecorder recorder;
};

void expectColorNear(const Color& color, double r, double g, double b) {
    const auto rgba = color.getRGBA();
    ASSERT_TRUE(rgba);
    EXPECT_NEAR(rgba->red, r, 1e-12);
    EXPECT_NEAR(rgba->green, g, 1e-12);
    EXPECT_NEAR(rgba->blue, b, 1e-12);
    EXPECT_EQ(rgba->alpha, 1.0);
}

double indicatorRadius(const ColorWheel& wheel) {
    return wheel.indicatorLayer().path.boundingRect().width() / 2;
}

QPointF indicatorCentre(const ColorWheel& wheel) {
    return wheel.indicatorLayer().path.boundingRect().center();
}
}  // namespace

TEST(ColorWheelBitmapTest, PixelsAtScaleOneAreExactStraightAlphaBytes) {
    ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
    const QImage& image = wheel.wheelLayer().contents;
    ASSERT_EQ(image.size(), QSize(200, 200));
    EXPECT_EQ(image.format(), QImage::Format_RGBA8888);
    EXPECT_EQ(image.bytesPerLine(), 200 * 4);

    EXPECT_EQ(bytesAt(image, 100, 100), (Bytes{255, 255, 255, 255}));
    EXPECT_EQ(bytesAt(image, 199, 100), (Bytes{255, 2, 2, 255}));
    EXPECT_EQ(bytesAt(image, 100, 199), (Bytes{128, 255, 2, 255}));
    EXPECT_EQ(bytesAt(image, 1, 100), (Bytes{2, 255, 255, 255}));
    EXPECT_EQ(bytesAt(image, 0, 100), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(bytesAt(image, 0, 0), (Bytes{0, 0, 0, 0}));
    // Upper half: hue 0.75 straight up, 0.875 up-right (clockwise from 3 o'clock).
    EXPECT_EQ(bytesAt(image, 100, 1), (Bytes{128, 2, 255, 255}));
    EXPECT_EQ(bytesAt(image, 170, 170), (Bytes{255, 191, 2, 255}));
    // The soft rim fades alpha without darkening the colour (not premultiplied).
    EXPECT_EQ(bytesAt(image, 29, 30), (Bytes{0, 66, 255, 75}));
    EXPECT_EQ(bytesAt(image, 199, 101), (Bytes{255, 4, 2, 253}));
}

TEST(ColorWheelBitmapTest, BitmapFollowsTheDisplayScale) {
    {
        ScopedScale scale(2);
        ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
        EXPECT_EQ(wheel.scale(), 2);
        const QImage& image = wheel.wheelLayer().contents;
        ASSERT_EQ(image.size(), QSize(400, 400));
        EXPECT_EQ(bytesAt(image, 200, 200), (Bytes{255, 255, 255, 255}));
        EXPECT_EQ(bytesAt(image, 398, 200), (Bytes{255, 2, 2, 255}));
        EXPECT_EQ(bytesAt(image, 0, 200), (Bytes{0, 0, 0, 0}));
    }
    {
        ScopedScale scale(3);
        ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
        const QImage& image = wheel.wheelLayer().contents;
        ASSERT_EQ(image.size(), QSize(600, 600));
        EXPECT_EQ(bytesAt(image, 300, 597), (Bytes{128, 255, 2, 255}));
        // A touch maps into the scaled bitmap: the same spot in points, the same hue.
        const auto hs = wheel.hueAndSaturation(QPointF(100 * 3, 50 * 3));
        EXPECT_NEAR(hs.hue, 0.75, 1e-12);
        EXPECT_NEAR(hs.saturation, 0.5, 1e-12);
    }
    EXPECT_EQ(ScreenMetrics::main().scale, 1);
}

TEST(ColorWheelBitmapTest, OddSizesStayInsideTheBuffer) {
    // A wheel wider than tall: the side is the smaller one, the centre follows the width.
    ColorWheel wheel(QRectF(0, 0, 101.7, 60.2), Color::red());
    EXPECT_EQ(wheel.wheelLayer().contents.size(), QSize(60, 60));
    EXPECT_TRUE(ColorWheel::wheelBitmap(0, 10).isNull());
    const QImage degenerate = ColorWheel::wheelBitmap(4, 0);
    EXPECT_EQ(bytesAt(degenerate, 2, 2), (Bytes{0, 0, 0, 0}));
}

TEST(ColorWheelTouchTest, HueGrowsClockwiseFromThreeOClock) {
    WheelHost host;
    struct Case {
        QPoint at;
        double hue;
        double saturation;
    };
    for (const Case& c :
         {Case{{150, 100}, 0.0, 0.5}, Case{{100, 150}, 0.25, 0.5}, Case{{50, 100}, 0.5, 0.5},
          Case{{100, 50}, 0.75, 0.5}, Case{{195, 100}, 0.0, 0.95}}) {
        host.tap(c.at);
        const auto told = host.lastHueAndSaturation();
        EXPECT_NEAR(told.a, c.hue, 1e-12) << c.at.x() << "," << c.at.y();
        EXPECT_NEAR(told.b, c.saturation, 1e-12) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(*host.wheel->point(), QPointF(c.at));
        EXPECT_EQ(indicatorCentre(*host.wheel), QPointF(c.at));
    }
}

TEST(ColorWheelTouchTest, SelectedColourMatchesTheBitmapUnderTheFinger) {
    WheelHost host;
    const QImage& image = host.wheel->wheelLayer().contents;
    for (QPoint at : {QPoint(150, 60), QPoint(60, 150), QPoint(31, 120), QPoint(133, 177)}) {
        host.tap(at);
        const auto rgba = host.wheel->color()->getRGBA();
        ASSERT_TRUE(rgba);
        const Bytes under = bytesAt(image, at.x(), at.y());
        EXPECT_EQ(static_cast<int>(std::trunc(rgba->red * 255)), under[0]);
        EXPECT_EQ(static_cast<int>(std::trunc(rgba->green * 255)), under[1]);
        EXPECT_EQ(static_cast<int>(std::trunc(rgba->blue * 255)), under[2]);
        EXPECT_EQ(rgba->alpha, 1.0);
    }
}

TEST(ColorWheelTouchTest, TouchesBeyondTheRimArePulledOntoIt) {
    WheelHost host;
    // The finger lands inside and drags out of the wheel.
    QTest::touchEvent(host.wheel, testTouchDevice()).press(0, QPoint(150, 100), host.wheel);
    QTest::touchEvent(host.wheel, testTouchDevice()).move(0, QPoint(300, 100), host.wheel);
    EXPECT_EQ(*host.wheel->point(), QPointF(200, 100));
    EXPECT_NEAR(host.lastHueAndSaturation().b, 1.0, 1e-12);
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(1, 0, 0));

    QTest::touchEvent(host.wheel, testTouchDevice()).move(0, QPoint(300, 300), host.wheel);
    const QPointF rim = *host.wheel->point();
    EXPECT_NEAR(rim.x(), 100 + 100 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(rim.y(), 100 + 100 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(host.lastHueAndSaturation().a, 0.125, 1e-9);
    EXPECT_LE(host.lastHueAndSaturation().b, 1.0);
    QTest::touchEvent(host.wheel, testTouchDevice()).release(0, QPoint(300, 300), host.wheel);

    // A point exactly on the rim stays where it is.
    EXPECT_EQ(host.wheel->indicatorCoordinate(QPointF(100, 0)).point, QPointF(100, 0));
}

TEST(ColorWheelTouchTest, TouchesNearTheCentreSnapToWhite) {
    WheelHost host;
    host.tap({105, 105});  // 7.07 points out
    EXPECT_EQ(*host.wheel->point(), QPointF(100, 100));
    EXPECT_EQ(host.lastHueAndSaturation().a, 0);
    EXPECT_EQ(host.lastHueAndSaturation().b, 0);
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(1, 1, 1));

    // Ten points out is no longer the centre.
    const auto ten = host.wheel->indicatorCoordinate(QPointF(110, 100));
    EXPECT_FALSE(ten.isCenter);
    EXPECT_EQ(ten.point, QPointF(110, 100));

    // Below full brightness the centre is grey.
    host.wheel->setViewBrightness(0.4);
    host.tap({98, 103});
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(0.4, 0.4, 0.4));
}

TEST(ColorWheelTouchTest, EveryPhaseTellsBothDelegatesInOrder) {
    WheelHost host;
    host.recorder.calls.clear();
    QTest::touchEvent(host.wheel, testTouchDevice()).press(0, QPoint(150, 100), host.wheel);
    QTest::touchEvent(host.wheel, testTouchDevice()).move(0, QPoint(100, 150), host.wheel);
    QTest::touchEvent(host.wheel, testTouchDevice()).release(0, QPoint(100, 150), host.wheel);
    const auto& calls = host.recorder.calls;
    ASSERT_EQ(calls.size(), 6u);
    for (size_t i = 0; i < calls.size(); i += 2) {
        EXPECT_EQ(calls[i].kind, DelegateRecorder::Call::hueAndSaturation);
        EXPECT_EQ(calls[i + 1].kind, DelegateRecorder::Call::color);
    }
    EXPECT_EQ(calls[1].selected, Color::withRGB(1, 0.5, 0.5));
    EXPECT_EQ(calls[5].selected, *host.wheel->color());
}

TEST(ColorWheelTouchTest, IndicatorGrowsWhileDownAndShrinksAfter) {
    WheelHost host;
    EXPECT_EQ(indicatorRadius(*host.wheel), 12);
    QTest::touchEvent(host.wheel, testTouchDevice()).press(0, QPoint(150, 100), host.wheel);
    EXPECT_EQ(host.wheel->indicatorCircleRadius(), 18);
    EXPECT_EQ(indicatorRadius(*host.wheel), 18);
    QTest::touchEvent(host.wheel, testTouchDevice()).move(0, QPoint(140, 100), host.wheel);
    EXPECT_EQ(indicatorRadius(*host.wheel), 18);
    QTest::touchEvent(host.wheel, testTouchDevice()).release(0, QPoint(140, 100), host.wheel);
    EXPECT_EQ(indicatorRadius(*host.wheel), 12);
    EXPECT_EQ(indicatorCentre(*host.wheel), QPointF(140, 100));

    // The mouse acts as one finger: press, drag, release.
    host.recorder.calls.clear();
    QTest::mousePress(host.wheel, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(indicatorRadius(*host.wheel), 18);
    QTest::mouseMove(host.wheel, QPoint(50, 100));
    EXPECT_NEAR(host.lastHueAndSaturation().a, 0.5, 1e-12);
    QTest::mouseRelease(host.wheel, Qt::LeftButton, {}, QPoint(50, 100));
    EXPECT_EQ(indicatorRadius(*host.wheel), 12);
    EXPECT_EQ(host.recorder.calls.size(), 6u);

    // A cancelled touch selects nothing more and does not leave the indicator enlarged.
    QTest::touchEvent(host.wheel, testTouchDevice()).press(0, QPoint(150, 150), host.wheel);
    host.recorder.calls.clear();
    QTouchEvent cancel(QEvent::TouchCancel, testTouchDevice());
    QCoreApplication::sendEvent(host.wheel, &cancel);
    EXPECT_TRUE(host.recorder.calls.empty());
    EXPECT_EQ(indicatorRadius(*host.wheel), 12);
}

TEST(ColorWheelColorTest, ColourFromOutsideSitsOnItsSpotAndSetsTheDarkening) {
    WheelHost host;
    host.recorder.calls.clear();
    host.wheel->setViewColor(Color::red());
    EXPECT_EQ(*host.wheel->point(), QPointF(200, 100));
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor.alpha(), 0);
    EXPECT_EQ(host.wheel->indicatorLayer().fillColor, Color::red());

    host.wheel->setViewColor(HSB{0.25, 0.5, 0.6}.toColor());
    EXPECT_NEAR(host.wheel->point()->x(), 100, 1e-9);
    EXPECT_NEAR(host.wheel->point()->y(), 150, 1e-9);
    EXPECT_NEAR(host.wheel->brightness(), 0.6, 1e-12);
    EXPECT_NEAR(host.wheel->brightnessLayer().fillColor.alpha(), 0.4, 1e-12);

    host.wheel->setViewColor(Color::black());
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor, Color::withWhite(0, 1));
    EXPECT_EQ(*host.wheel->point(), QPointF(100, 100));
    EXPECT_TRUE(host.recorder.calls.empty());

    // Where a colour set from outside lands, touching selects that colour again.
    const Color chosen = HSB{0.6, 0.8, 1}.toColor();
    host.wheel->setViewColor(chosen);
    const QPointF spot = *host.wheel->point();
    const auto hs = host.wheel->hueAndSaturation(spot);
    EXPECT_NEAR(hs.hue, 0.6, 1e-9);
    EXPECT_NEAR(hs.saturation, 0.8, 1e-9);
}

TEST(ColorWheelColorTest, BrightnessKeepsHueAndSaturationAndTellsTheColourDelegate) {
    WheelHost host;
    host.wheel->setViewColor(Color::red());
    host.recorder.calls.clear();
    host.wheel->setViewBrightness(0.5);
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(0.5, 0, 0));
    EXPECT_EQ(host.wheel->brightness(), 0.5);
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor.alpha(), 0.5);
    ASSERT_EQ(host.recorder.calls.size(), 1u);
    EXPECT_EQ(host.recorder.calls[0].kind, DelegateRecorder::Call::color);
    EXPECT_EQ(host.recorder.calls[0].selected, Color::withRGB(0.5, 0, 0));
    EXPECT_EQ(host.wheel->indicatorLayer().fillColor, Color::withRGB(0.5, 0, 0));

    // Several steps down and back up lose nothing.
    host.wheel->setViewBrightness(0.01);
    host.wheel->setViewBrightness(1.0);
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(1, 0, 0));

    // A touch afterwards keeps the bar's brightness.
    host.wheel->setViewBrightness(0.5);
    host.tap({100, 150});
    expectColorNear(*host.wheel->color(), 0.375, 0.5, 0.25);
}

TEST(ColorWheelColorTest, ColourWithoutRGBFormPrintsAndGoesOnWithZeros) {
    WheelHost host;
    const std::string line =
        "ColorPicker: exception <The color provided to ColorPicker is not convertible to HSV>\n";
    EXPECT_EQ(captureStdout([&] { host.wheel->setViewColor(Color::withoutRGB()); }), line);
    EXPECT_EQ(host.wheel->brightness(), 0);
    EXPECT_EQ(*host.wheel->point(), QPointF(100, 100));
    EXPECT_EQ(host.wheel->brightnessLayer().fillColor.alpha(), 1);

    host.recorder.calls.clear();
    EXPECT_EQ(captureStdout([&] { host.wheel->setViewBrightness(0.5); }), line);
    EXPECT_EQ(*host.wheel->color(), Color::withRGB(0.5, 0.5, 0.5));
    ASSERT_EQ(host.recorder.calls.size(), 1u);

    std::unique_ptr<ColorWheel> built;
    EXPECT_EQ(captureStdout([&] {
                  built = std::make_unique<ColorWheel>(QRectF(0, 0, 50, 50), Color::withoutRGB());
              }),
              line);
    EXPECT_EQ(*built->point(), QPointF(25, 25));
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
    expectColorNear(*wheel.color(), 0.3, 0.12, 0.12);
}

TEST(ColorWheelPaintTest, LayersPaintWheelThenDarkeningThenIndicator) {
    WheelHost host;
    host.wheel->setViewColor(HSB{0.5, 1, 0.5}.toColor());  // indicator at (0, 100)
    const QImage shot = renderAlone(host.wheel);
    // The wheel at (150, 100) is (255, 127, 127), half darkened.
    const QColor darkened = shot.pixelColor(150, 100);
    EXPECT_NEAR(darkened.red(), 127, 2);
    EXPECT_NEAR(darkened.green(), 63, 2);
    EXPECT_NEAR(darkened.blue(), 63, 2);
    // The indicator lies over the darkening and shows the colour itself.
    const QColor indicator = shot.pixelColor(5, 100);
    EXPECT_NEAR(indicator.red(), 0, 2);
    EXPECT_NEAR(indicator.green(), 127, 2);
    EXPECT_NEAR(indicator.blue(), 127, 2);
    // Its outline is light grey.
    const QColor outline = shot.pixelColor(12, 100);
    EXPECT_NEAR(outline.red(), 170, 12);
    EXPECT_NEAR(outline.green(), 170, 12);
    // Outside the disc the wheel is transparent.
    EXPECT_EQ(shot.pixelColor(2, 2).alpha(), 0);
}
