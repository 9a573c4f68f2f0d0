#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <memory>

#include "color/brightness_view.h"
#include "color/hsb.h"
#include "color_test_support.h"
#include "test_support.h"

namespace {
// A window with the picker's 350 x 50 bar and room on either side for drags that leave it.
struct BarHost {
    BarHost() {
        window.resize(500, 120);
        bar = new BrightnessView(QRectF(50, 20, 350, 50), Color::blue(), &window);
        bar->setDelegate(&recorder);
        window.show();
    }

    // The brightness reported for a touch that lands at a point of the bar.
    double touch(QPoint at) {
        recorder.calls.clear();
        QTest::touchEvent(bar, testTouchDevice()).press(0, at, bar);
        QTest::touchEvent(bar, testTouchDevice()).release(0, at, bar);
        EXPECT_EQ(recorder.calls.size(), 1u);
        return recorder.calls.empty() ? -1 : recorder.calls.back().a;
    }

    // The brightness reported when a finger that came down mid-bar slides to a point.
    double slide(QPoint to) {
        QTest::touchEvent(bar, testTouchDevice()).press(0, QPoint(175, 10), bar);
        recorder.calls.clear();
        QTest::touchEvent(bar, testTouchDevice()).move(0, to, bar);
        QTest::touchEvent(bar, testTouchDevice()).release(0, to, bar);
        EXPECT_EQ(recorder.calls.size(), 1u);
        return recorder.calls.empty() ? -1 : recorder.calls.back().a;
    }

    QRectF indicatorRect() const { return bar->indicator().path.boundingRect(); }

    QWidget window;
    BrightnessView* bar = nullptr;
    DelegateRecorder recorder;
};
}  // namespace

TEST(BrightnessViewTest, ConstructionLaysOutGradientAndIndicator) {
    BrightnessView bar(QRectF(0, 0, 350, 50), HSB{0.6, 0.5, 0.4}.toColor());
    EXPECT_EQ(bar.colorLayer().frame, QRectF(0, 2, 350, 24));
    EXPECT_EQ(bar.colorLayer().startPoint, QPointF(0, 0.5));
    EXPECT_EQ(bar.colorLayer().endPoint, QPointF(1, 0.5));
    ASSERT_EQ(bar.colorLayer().colors.size(), 2u);
    EXPECT_EQ(bar.colorLayer().colors[0], Color::black());
    const HSB end = *HSB::fromColor(bar.colorLayer().colors[1]);
    EXPECT_NEAR(end.hue, 0.6, 1e-12);
    EXPECT_NEAR(end.saturation, 0.5, 1e-12);
    EXPECT_NEAR(end.brightness, 1, 1e-12);
    EXPECT_NEAR(bar.point()->x(), 140, 1e-9);
    EXPECT_EQ(bar.point()->y(), 25);
    EXPECT_EQ(bar.indicator().path.boundingRect(), QRectF(137, 0, 6, 28));
    EXPECT_EQ(bar.indicator().fillColor, Color::lightGray());
    EXPECT_EQ(bar.indicator().strokeColor, Color::lightGray());
    EXPECT_EQ(bar.indicator().lineWidth, 2);
}

TEST(BrightnessViewTest, TouchReportsXOverWidthWhateverItsHeight) {
    BarHost host;
    EXPECT_EQ(host.touch({175, 0}), 0.5);
    EXPECT_EQ(host.indicatorRect(), QRectF(172, 0, 6, 28));
    EXPECT_EQ(*host.bar->point(), QPointF(175, 25));
    EXPECT_EQ(host.touch({175, 49}), 0.5);
    EXPECT_EQ(host.touch({70, 30}), 0.2);
    EXPECT_EQ(host.indicatorRect(), QRectF(67, 0, 6, 28));
}

TEST(BrightnessViewTest, BrightnessStaysOneWidthUnitInsideTheEnds) {
    BarHost host;
    EXPECT_EQ(host.touch({0, 10}), 1.0 / 350);
    EXPECT_EQ(host.indicatorRect(), QRectF(-2, 0, 6, 28));
    EXPECT_EQ(host.touch({349, 45}), 349.0 / 350);
    EXPECT_EQ(host.indicatorRect(), QRectF(346, 0, 6, 28));
    // Fingers that slide off either end, or off the top or bottom, stay on the bar.
    for (QPoint to : {QPoint(-1, 10), QPoint(-40, -15)}) {
        EXPECT_EQ(host.slide(to), 1.0 / 350) << to.x();
        EXPECT_EQ(host.indicatorRect(), QRectF(-2, 0, 6, 28));
        EXPECT_EQ(*host.bar->point(), QPointF(1, 25));
    }
    for (QPoint to : {QPoint(350, 10), QPoint(440, 90)}) {
        EXPECT_EQ(host.slide(to), 349.0 / 350) << to.x();
        EXPECT_EQ(host.indicatorRect(), QRectF(346, 0, 6, 28));
    }
    EXPECT_EQ(host.slide({200, -30}), 200.0 / 350);
}

TEST(BrightnessViewTest, DragsReportOnBeganAndMovedOnly) {
    BarHost host;
    host.recorder.calls.clear();
    QTest::touchEvent(host.bar, testTouchDevice()).press(0, QPoint(35, 10), host.bar);
    QTest::touchEvent(host.bar, testTouchDevice()).move(0, QPoint(105, 40), host.bar);
    QTest::touchEvent(host.bar, testTouchDevice()).release(0, QPoint(300, 40), host.bar);
    ASSERT_EQ(host.recorder.calls.size(), 2u);
    EXPECT_EQ(host.recorder.calls[0].a, 0.1);
    EXPECT_EQ(host.recorder.calls[1].a, 0.3);
    EXPECT_EQ(host.bar->point()->x(), 105);

    // The mouse acts as one finger; moving without the button down does nothing.
    host.recorder.calls.clear();
    QTest::mousePress(host.bar, Qt::LeftButton, {}, QPoint(140, 10));
    QTest::mouseMove(host.bar, QPoint(210, 10));
    QTest::mouseRelease(host.bar, Qt::LeftButton, {}, QPoint(210, 10));
    QTest::mouseMove(host.bar, QPoint(280, 10));
    ASSERT_EQ(host.recorder.calls.size(), 2u);
    EXPECT_EQ(host.recorder.calls[0].a, 0.4);
    EXPECT_EQ(host.recorder.calls[1].a, 0.6);
}

TEST(BrightnessViewTest, RecolouringKeepsTheIndicatorAndUsesFullBrightness) {
    BarHost host;
    host.touch({175, 10});
    host.bar->setViewColor(Color::withRGB(0.3, 0, 0));
    EXPECT_EQ(host.bar->colorLayer().colors[0], Color::black());
    EXPECT_EQ(host.bar->colorLayer().colors[1], Color::withRGB(1, 0, 0));
    EXPECT_EQ(host.indicatorRect(), QRectF(172, 0, 6, 28));
    EXPECT_EQ(host.bar->colorLayer().frame, QRectF(0, 2, 350, 24));
}

TEST(BrightnessViewTest, PointForColorIsNotLimitedToTheBar) {
    BrightnessView bar(QRectF(0, 0, 350, 50), Color::blue());
    EXPECT_EQ(bar.pointForColor(Color::red()), QPointF(350, 25));
    EXPECT_EQ(bar.pointForColor(Color::black()), QPointF(0, 25));
    EXPECT_EQ(bar.pointForColor(Color::gray()), QPointF(175, 25));
    bar.setPoint(bar.pointForColor(Color::red()));
    EXPECT_EQ(bar.indicator().path.boundingRect(), QRectF(347, 0, 6, 28));
}

TEST(BrightnessViewTest, ColourWithoutRGBFormPrintsAndFallsBackToBlackToWhite) {
    const std::string line =
        "ColorPicker: exception <The color provided to ColorPicker is not convertible to HSV>\n";
    std::unique_ptr<BrightnessView> bar;
    const std::string built = captureStdout([&] {
        bar = std::make_unique<BrightnessView>(QRectF(0, 0, 350, 50), Color::withoutRGB());
    });
    EXPECT_EQ(built, line + line);  // the indicator's point, then the gradient
    EXPECT_EQ(bar->point()->x(), 0);
    EXPECT_EQ(bar->colorLayer().colors[1], Color::withRGB(1, 1, 1));

    bar->setViewColor(Color::red());
    EXPECT_EQ(captureStdout([&] { bar->setViewColor(Color::withoutRGB()); }), line);
    EXPECT_EQ(bar->colorLayer().colors[1], Color::withRGB(1, 1, 1));
    QPointF point;
    EXPECT_EQ(captureStdout([&] { point = bar->pointForColor(Color::withoutRGB()); }), line);
    EXPECT_EQ(point, QPointF(0, 25));
}

TEST(BrightnessViewTest, DelegateIsHeldWeakly) {
    BrightnessView bar(QRectF(0, 0, 350, 50), Color::blue());
    auto recorder = std::make_unique<DelegateRecorder>();
    bar.setDelegate(recorder.get());
    bar.touchesBegan({QPointF(35, 5)});
    EXPECT_EQ(recorder->calls.size(), 1u);
    recorder.reset();
    EXPECT_EQ(bar.delegate(), nullptr);
    bar.touchesMoved({QPointF(70, 5)});
    EXPECT_EQ(bar.point()->x(), 70);
}

TEST(BrightnessViewTest, PaintsGradientUnderTheIndicator) {
    BarHost host;
    BrightnessView& bar = *host.bar;
    bar.setViewColor(Color::red());
    bar.setPoint(QPointF(175, 25));
    const QImage shot = renderAlone(&bar);
    const QColor left = shot.pixelColor(2, 14);
    const QColor right = shot.pixelColor(347, 14);
    EXPECT_LT(left.red(), 10);
    EXPECT_GT(right.red(), 245);
    EXPECT_LT(right.green(), 5);
    // Midway the gradient is half red, except where the grey indicator covers it.
    EXPECT_NEAR(shot.pixelColor(120, 14).red(), 87, 3);
    EXPECT_NEAR(shot.pixelColor(175, 14).green(), 170, 3);
    // Below the gradient the bar is transparent.
    EXPECT_EQ(shot.pixelColor(100, 40).alpha(), 0);
}
