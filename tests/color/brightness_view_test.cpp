#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

#include "color/brightness_view.h"
#include "color/hsb.h"
#include "color_test_support.h"
#include "test_support.h"

namespace {
// The picker's 350 x 50 bar with room around it for drags that leave it.
struct BarHost {
    BarHost() {
        window.resize(500, 120);
        bar = new BrightnessView(QRectF(50, 20, 350, 50), Color::blue(), &window);
        bar->setDelegate(&recorder);
        window.show();
    }
    // What a finger reports that comes down at `from` and slides to `to` before lifting.
    std::vector<double> stroke(QPoint from, std::optional<QPoint> to = {}) {
        recorder.calls.clear();
        QTest::touchEvent(bar, testTouchDevice()).press(0, from, bar);
        if (to) {
            QTest::touchEvent(bar, testTouchDevice()).move(0, *to, bar);
        }
        QTest::touchEvent(bar, testTouchDevice()).release(0, to.value_or(from), bar);
        std::vector<double> reported;
        for (const auto& call : recorder.calls) {
            reported.push_back(call.a);
        }
        return reported;
    }
    QRectF indicatorRect() const { return bar->indicator().path.boundingRect(); }

    QWidget window;
    BrightnessView* bar = nullptr;
    DelegateRecorder recorder;
};
}  // namespace

TEST(BrightnessViewTest, ConstructionLaysOutGradientAndIndicator) {
    BrightnessView bar(QRectF(0, 0, 350, 50), Color::withRGB(0.4, 0, 0));
    EXPECT_EQ(bar.colorLayer().frame, QRectF(0, 2, 350, 24));
    EXPECT_EQ(bar.colorLayer().colors, (std::vector<Color>{Color::black(), Color::red()}));
    EXPECT_EQ(bar.indicator().path.boundingRect(), QRectF(137, 0, 6, 28));
    EXPECT_EQ(*bar.point(), QPointF(140, 25));
}

TEST(BrightnessViewTest, TouchReportsXOverWidthWithinOneUnitOfTheEnds) {
    BarHost host;
    EXPECT_EQ(host.stroke({175, 0}), std::vector<double>{0.5});
    EXPECT_EQ(host.indicatorRect(), QRectF(172, 0, 6, 28));
    EXPECT_EQ(host.stroke({175, 49}), std::vector<double>{0.5});
    EXPECT_EQ(*host.bar->point(), QPointF(175, 25));

    EXPECT_EQ(host.stroke({0, 10}), std::vector<double>{1.0 / 350});
    EXPECT_EQ(host.indicatorRect(), QRectF(-2, 0, 6, 28));
    // Fingers that slide off either end, or off the top or bottom, stay on the bar.
    EXPECT_EQ(host.stroke({35, 10}, QPoint(-40, -15)), (std::vector<double>{0.1, 1.0 / 350}));
    EXPECT_EQ(*host.bar->point(), QPointF(1, 25));
    EXPECT_EQ(host.stroke({105, 40}, QPoint(350, 10)), (std::vector<double>{0.3, 349.0 / 350}));
    EXPECT_EQ(host.indicatorRect(), QRectF(346, 0, 6, 28));
    EXPECT_EQ(host.stroke({349, 40}, QPoint(440, 90)),
              (std::vector<double>{349.0 / 350, 349.0 / 350}));

    // The mouse is one finger; moving without the button down does nothing.
    host.recorder.calls.clear();
    QTest::mousePress(host.bar, Qt::LeftButton, {}, QPoint(140, 10));
    QTest::mouseMove(host.bar, QPoint(210, 10));
    QTest::mouseRelease(host.bar, Qt::LeftButton, {}, QPoint(210, 10));
    QTest::mouseMove(host.bar, QPoint(280, 10));
    ASSERT_EQ(host.recorder.calls.size(), 2u);
    EXPECT_EQ(host.recorder.calls[1].a, 0.6);
}

TEST(BrightnessViewTest, RecolouringAndPointsForColours) {
    BarHost host;
    host.stroke({175, 10});
    host.bar->setViewColor(Color::withRGB(0.3, 0, 0));
    EXPECT_EQ(host.bar->colorLayer().colors[1], Color::withRGB(1, 0, 0));
    EXPECT_EQ(host.indicatorRect(), QRectF(172, 0, 6, 28));

    EXPECT_EQ(host.bar->pointForColor(Color::red()), QPointF(350, 25));
    EXPECT_EQ(host.bar->pointForColor(Color::black()), QPointF(0, 25));
    host.bar->setPoint(host.bar->pointForColor(Color::red()));
    EXPECT_EQ(host.indicatorRect(), QRectF(347, 0, 6, 28));
}

TEST(BrightnessViewTest, ColourWithoutRGBFormPrintsAndFallsBackToBlackToWhite) {
    const std::string line =
        "ColorPicker: exception <The color provided to ColorPicker is not convertible to HSV>\n";
    std::unique_ptr<BrightnessView> bar;
    EXPECT_EQ(captureStdout([&] {
                  bar =
                      std::make_unique<BrightnessView>(QRectF(0, 0, 350, 50), Color::withoutRGB());
              }),
              line + line);  // the indicator's point, then the gradient
    EXPECT_EQ(bar->point()->x(), 0);
    EXPECT_EQ(bar->colorLayer().colors[1], Color::withRGB(1, 1, 1));
    bar->setViewColor(Color::red());
    EXPECT_EQ(captureStdout([&] { bar->setViewColor(Color::withoutRGB()); }), line);
    EXPECT_EQ(bar->colorLayer().colors[1], Color::withRGB(1, 1, 1));
    EXPECT_EQ(captureStdout([&] { bar->pointForColor(Color::withoutRGB()); }), line);
}

TEST(BrightnessViewTest, DelegateIsHeldWeaklyAndPaintingIsLayered) {
    BarHost host;
    auto recorder = std::make_unique<DelegateRecorder>();
    host.bar->setDelegate(recorder.get());
    recorder.reset();
    EXPECT_EQ(host.bar->delegate(), nullptr);
    host.stroke({70, 5});
    EXPECT_EQ(host.bar->point()->x(), 70);

    host.bar->setViewColor(Color::red());
    host.bar->setPoint(QPointF(175, 25));
    const QImage shot = renderAlone(host.bar);
    EXPECT_LT(shot.pixelColor(2, 14).red(), 10);
    EXPECT_GT(shot.pixelColor(347, 14).red(), 245);
    EXPECT_NEAR(shot.pixelColor(120, 14).red(), 87, 3);
    EXPECT_NEAR(shot.pixelColor(175, 14).green(), 170, 3);  // the grey indicator on top
    EXPECT_EQ(shot.pixelColor(100, 40).alpha(), 0);
}
