// The colour model, the colour wheel and the brightness bar.
#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <cmath>
#include <memory>

#include "color/brightness_view.h"
#include "color/color_wheel.h"
#include "color/hsb.h"
#include "platform/screen_metrics.h"
#include "test_support.h"

namespace {
const std::string kNotConvertible =
    "ColorPicker: exception <The color provided to ColorPicker is not convertible to HSV>\n";

// Records what the colour views tell their delegates; order has h, c or b for every call.
struct Recorder : QObject, ColorWheelDelegate, ColorWheelSelectedDelegate, BrightnessViewDelegate {
    void hueAndSaturationSelected(double h, double s) override {
        order += 'h';
        hue = h;
        saturation = s;
    }
    void colorSelected(const Color& color) override {
        order += 'c';
        colors.push_back(color);
    }
    void brightnessSelected(double brightness) override {
        order += 'b';
        brightnesses.push_back(brightness);
    }
    std::string order;
    double hue = -1, saturation = -1;
    std::vector<Color> colors;
    std::vector<double> brightnesses;
};

// A view at the top-left of a larger window, so that drags can leave it.
struct Window : QWidget {
    Window() { resize(500, 300); }
    ColorWheel* wheel(Recorder& recorder) {
        auto* view = new ColorWheel(QRectF(0, 0, 200, 200), Color::blue(), this);
        view->setDelegate(&recorder);
        view->setColorDelegate(&recorder);
        show();
        return view;
    }
};

// A finger that comes down at the first point, slides through the others and lifts at the last.
void stroke(QWidget* view, const std::vector<QPoint>& points) {
    static QPointingDevice* device = QTest::createTouchDevice();
    QTest::touchEvent(view, device).press(0, points.front(), view);
    for (size_t i = 1; i < points.size(); ++i) {
        QTest::touchEvent(view, device).move(0, points[i], view);
    }
    QTest::touchEvent(view, device).release(0, points.back(), view);
}

struct ScopedScale {
    explicit ScopedScale(double scale) {
        ScreenMetrics metrics = ScreenMetrics::phone();
        metrics.scale = scale;
        ScreenMetrics::configure(metrics);
    }
    ~ScopedScale() { ScreenMetrics::configure(ScreenMetrics::phone()); }
};

// Within rounding of an opaque RGB colour.
void expectRGB(const Color::RGBA& c, double r, double g, double b) {
    EXPECT_LT(std::abs(c.red - r) + std::abs(c.green - g) + std::abs(c.blue - b), 1e-12);
    EXPECT_EQ(c.alpha, 1.0);
}
}  // namespace

TEST(HSBTest, EachSixthOfTheHueCircleTakesItsOwnBranchAndRoundTripsAndNoRGBFails) {
    const std::array<double, 4> branches[] = {{0.0, 1, 0, 0},   {0.1, 1, 0.6, 0}, {0.25, 0.5, 1, 0},
                                              {0.4, 0, 1, 0.4}, {0.6, 0, 0.4, 1}, {0.75, 0.5, 0, 1},
                                              {0.9, 1, 0, 0.6}, {1.0, 1, 0, 0}};
    for (const auto& [hue, r, g, b] : branches) {
        SCOPED_TRACE(hue);
        const Color::RGBA rgb = hsbToRGB(hue, 1, 1);
        expectRGB(rgb, r, g, b);
        // Back again; a full turn reads as hue 0.
        EXPECT_NEAR(rgbToHSB(rgb.red, rgb.green, rgb.blue).hue, hue == 1.0 ? 0 : hue, 1e-12);
    }
    for (double hue = 0; hue < 1; hue += 1.0 / 24) {
        for (double s : {0.1, 1.0}) {
            const Color::RGBA rgb = hsbToRGB(hue, s, 0.7);
            const HSB back = rgbToHSB(rgb.red, rgb.green, rgb.blue);
            EXPECT_NEAR(back.hue, hue, 1e-9);
            EXPECT_NEAR(back.saturation, s, 1e-9);
            EXPECT_NEAR(back.brightness, 0.7, 1e-9);
        }
    }
    EXPECT_EQ(rgbToHSB(0, 0, 0), (HSB{0, 0, 0}));
    // A colour without an RGB form fails with the console line; grey converts silently.
    EXPECT_FALSE(HSB::fromColor(Color::withoutRGB()).has_value());
    HSB hsb{1, 1, 1};
    EXPECT_EQ(captureStdout([&] { hsb = HSB::fromColorOrZero(Color::withoutRGB()); }),
              kNotConvertible);
    EXPECT_EQ(hsb, (HSB{0, 0, 0}));
    EXPECT_EQ(captureStdout([&] { hsb = HSB::fromColorOrZero(Color::gray()); }), "");
    EXPECT_EQ(hsb, (HSB{0, 0, 0.5}));
}

TEST(ColorWheelTest, BitmapIsExactStraightAlphaBytesAtEveryScale) {
    const std::tuple<double, QPoint, QColor> samples[] = {
        {1, {100, 100}, {255, 255, 255, 255}},
        {1, {199, 100}, {255, 2, 2, 255}},
        {1, {100, 199}, {128, 255, 2, 255}},
        {1, {1, 100}, {2, 255, 255, 255}},
        {1, {100, 1}, {128, 2, 255, 255}},
        {1, {0, 100}, {0, 0, 0, 0}},
        {1, {0, 0}, {0, 0, 0, 0}},
        // The soft rim fades alpha without darkening the colour (not premultiplied).
        {1, {29, 30}, {0, 66, 255, 75}},
        {1, {199, 101}, {255, 4, 2, 253}},
        {2, {398, 200}, {255, 2, 2, 255}},
        {3, {300, 597}, {128, 255, 2, 255}}};
    for (const auto& [scale, at, pixel] : samples) {
        SCOPED_TRACE(testing::Message() << scale << " at " << at.x() << ", " << at.y());
        ScopedScale scoped(scale);
        ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
        ASSERT_EQ(wheel.wheelLayer().contents.size(), QSize(200, 200) * scale);
        EXPECT_EQ(wheel.wheelLayer().contents.format(), QImage::Format_RGBA8888);
        EXPECT_EQ(wheel.wheelLayer().contents.pixelColor(at), pixel);
        // Touches in points map into the scaled bitmap.
        wheel.touchesBegan({QPointF(100, 50)});
        const HSB hsb = *HSB::fromColor(*wheel.color());
        EXPECT_NEAR(hsb.hue, 0.75, 1e-12);
        EXPECT_NEAR(hsb.saturation, 0.5, 1e-12);
    }
    // Odd sizes: the smaller side, every write inside the buffer.
    ColorWheel odd(QRectF(0, 0, 101.7, 60.2), Color::red());
    EXPECT_EQ(odd.wheelLayer().contents.size(), QSize(60, 60));
}

TEST(ColorWheelTest, TouchSelectsTheBitmapsColourClampedToTheRimAndSnappedAtTheCentre) {
    Window window;
    Recorder told;
    ColorWheel* wheel = window.wheel(told);
    // Red at 3 o'clock, the hue growing clockwise; the saturation with the distance.
    const std::tuple<QPoint, double, double> spots[] = {{{150, 100}, 0.0, 0.5},
                                                        {{100, 150}, 0.25, 0.5},
                                                        {{50, 100}, 0.5, 0.5},
                                                        {{100, 50}, 0.75, 0.5},
                                                        {{195, 100}, 0.0, 0.95}};
    for (const auto& [at, hue, saturation] : spots) {
        SCOPED_TRACE(testing::Message() << at.x() << ", " << at.y());
        stroke(wheel, {at});
        EXPECT_NEAR(told.hue, hue, 1e-12);
        EXPECT_NEAR(told.saturation, saturation, 1e-12);
        EXPECT_EQ(*wheel->point(), QPointF(at));
    }
    // Every phase tells the hue delegate, then the colour delegate.
    EXPECT_EQ(told.order.substr(told.order.size() - 4), "hchc");
    EXPECT_EQ(told.colors.back(), *wheel->color());
    for (QPoint at : {QPoint(150, 60), QPoint(31, 120), QPoint(133, 177)}) {
        stroke(wheel, {at});
        const auto rgba = wheel->color()->getRGBA();
        EXPECT_EQ(QColor(int(rgba->red * 255), int(rgba->green * 255), int(rgba->blue * 255)),
                  wheel->wheelLayer().contents.pixelColor(at));
    }

    stroke(wheel, {{150, 100}, {300, 100}});
    EXPECT_EQ(*wheel->point(), QPointF(200, 100));
    EXPECT_EQ(*wheel->color(), Color::withRGB(1, 0, 0));
    stroke(wheel, {{150, 100}, {300, 300}});
    EXPECT_NEAR(wheel->point()->x(), 100 + 100 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(told.hue, 0.125, 1e-9);
    EXPECT_LE(told.saturation, 1.0);

    stroke(wheel, {{105, 105}});  // 7.07 points from the centre
    EXPECT_EQ(*wheel->point(), QPointF(100, 100));
    EXPECT_EQ(std::make_pair(told.hue, told.saturation), std::make_pair(0.0, 0.0));
    EXPECT_EQ(*wheel->color(), Color::withRGB(1, 1, 1));
    EXPECT_FALSE(wheel->indicatorCoordinate(QPointF(110, 100)).isCenter);
    wheel->setViewBrightness(0.4);
    stroke(wheel, {{98, 103}});
    EXPECT_EQ(*wheel->color(), Color::withRGB(0.4, 0.4, 0.4));

    // The indicator grows while a finger is down; a cancelled touch selects nothing and leaves
    // no enlarged indicator behind.
    static QPointingDevice* device = QTest::createTouchDevice();
    const auto radius = [wheel] { return wheel->indicatorLayer().path.boundingRect().width() / 2; };
    EXPECT_EQ(radius(), 12);
    QTest::touchEvent(wheel, device).press(0, {150, 150}, wheel);
    EXPECT_EQ(radius(), 18);
    told.order.clear();
    QTouchEvent cancel(QEvent::TouchCancel, device);
    QCoreApplication::sendEvent(wheel, &cancel);
    EXPECT_EQ(told.order, "");
    EXPECT_EQ(radius(), 12);
}

TEST(ColorWheelTest, ColourAndBrightnessFromOutside) {
    Window window;
    Recorder told;
    ColorWheel* wheel = window.wheel(told);
    // A colour set from outside lands where touching selects it again, and tells nobody.
    wheel->setViewColor(HSB{0.6, 0.8, 0.9}.toColor());
    const auto spot = wheel->hueAndSaturation(*wheel->point());
    EXPECT_NEAR(spot.hue, 0.6, 1e-9);
    EXPECT_NEAR(spot.saturation, 0.8, 1e-9);
    EXPECT_NEAR(wheel->brightnessLayer().fillColor.alpha(), 0.1, 1e-12);
    EXPECT_EQ(told.order, "");

    // A brightness keeps hue and saturation, even through dim steps, and is told.
    wheel->setViewColor(Color::red());
    wheel->setViewBrightness(0.5);
    EXPECT_EQ(told.colors, std::vector<Color>{Color::withRGB(0.5, 0, 0)});
    EXPECT_EQ(wheel->indicatorLayer().fillColor, Color::withRGB(0.5, 0, 0));
    wheel->setViewBrightness(0.01);
    wheel->setViewBrightness(1.0);
    EXPECT_EQ(*wheel->color(), Color::withRGB(1, 0, 0));
    // A touch afterwards keeps the brightness.
    wheel->setViewBrightness(0.5);
    stroke(wheel, {{100, 150}});
    expectRGB(wheel->color()->getRGBA().value(), 0.375, 0.5, 0.25);

    // A colour without an RGB form prints the line and goes on with zeros.
    EXPECT_EQ(captureStdout([&] { wheel->setViewColor(Color::withoutRGB()); }), kNotConvertible);
    EXPECT_EQ(*wheel->point(), QPointF(100, 100));
    EXPECT_EQ(wheel->brightnessLayer().fillColor.alpha(), 1);
    EXPECT_EQ(captureStdout([&] { wheel->setViewBrightness(0.5); }), kNotConvertible);
    EXPECT_EQ(told.colors.back(), Color::withRGB(0.5, 0.5, 0.5));

    // Both delegates are held weakly: once gone they read as absent, and touches go on.
    auto gone = std::make_unique<Recorder>();
    wheel->setDelegate(gone.get());
    wheel->setColorDelegate(gone.get());
    gone.reset();
    EXPECT_EQ(wheel->delegate(), nullptr);
    EXPECT_EQ(wheel->colorDelegate(), nullptr);
    stroke(wheel, {{150, 100}});
}

TEST(BrightnessViewTest, TouchReportsXOverWidthWithinOneUnitOfTheEnds) {
    Window window;
    auto* bar = new BrightnessView(QRectF(50, 20, 350, 50), Color::withRGB(0.4, 0, 0), &window);
    Recorder told;
    bar->setDelegate(&told);
    window.show();
    const auto indicator = [bar] { return bar->indicator().path.boundingRect(); };
    EXPECT_EQ(bar->colorLayer().colors, (std::vector<Color>{Color::black(), Color::red()}));
    EXPECT_EQ(indicator(), QRectF(137, 0, 6, 28));
    EXPECT_EQ(*bar->point(), QPointF(140, 25));

    // Fingers that slide off either end, or off the top or bottom, stay on the bar.
    const std::tuple<std::vector<QPoint>, std::vector<double>, double> strokes[] = {
        {{{175, 0}}, {0.5}, 175},
        {{{175, 49}}, {0.5}, 175},
        {{{0, 10}}, {1.0 / 350}, 1},
        {{{35, 10}, {-40, -15}}, {0.1, 1.0 / 350}, 1},
        {{{105, 40}, {350, 10}}, {0.3, 349.0 / 350}, 349},
        {{{349, 40}, {440, 90}}, {349.0 / 350, 349.0 / 350}, 349}};
    for (const auto& [points, brightnesses, x] : strokes) {
        SCOPED_TRACE(testing::Message() << points.back().x() << ", " << points.back().y());
        told.brightnesses.clear();
        stroke(bar, points);
        EXPECT_EQ(told.brightnesses, brightnesses);
        EXPECT_EQ(*bar->point(), QPointF(x, 25));
        EXPECT_EQ(indicator(), QRectF(x - 3, 0, 6, 28));
    }
    // The mouse is one finger; moving without the button down does nothing.
    told.brightnesses.clear();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(140, 10));
    QTest::mouseMove(bar, QPoint(210, 10));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(210, 10));
    QTest::mouseMove(bar, QPoint(280, 10));
    EXPECT_EQ(told.brightnesses, (std::vector<double>{0.4, 0.6}));

    // Recolouring leaves the indicator where it is.
    bar->setViewColor(Color::withRGB(0.3, 0, 0));
    EXPECT_EQ(bar->colorLayer().colors[1], Color::withRGB(1, 0, 0));
    EXPECT_EQ(indicator(), QRectF(207, 0, 6, 28));
    EXPECT_EQ(bar->pointForColor(Color::red()), QPointF(350, 25));
    bar->setPoint(bar->pointForColor(Color::red()));
    EXPECT_EQ(indicator(), QRectF(347, 0, 6, 28));

    // The delegate is held weakly.
    auto gone = std::make_unique<Recorder>();
    bar->setDelegate(gone.get());
    gone.reset();
    EXPECT_EQ(bar->delegate(), nullptr);
    stroke(bar, {{70, 5}});
}

TEST(BrightnessViewTest, ColourWithoutRGBFormPrintsAndFallsBackToBlackToWhite) {
    std::unique_ptr<BrightnessView> bar;
    EXPECT_EQ(captureStdout([&] {
                  bar =
                      std::make_unique<BrightnessView>(QRectF(0, 0, 350, 50), Color::withoutRGB());
              }),
              kNotConvertible + kNotConvertible);  // the indicator's point, then the gradient
    EXPECT_EQ(bar->point()->x(), 0);
    EXPECT_EQ(bar->colorLayer().colors[1], Color::withRGB(1, 1, 1));
    bar->setViewColor(Color::red());
    EXPECT_EQ(captureStdout([&] { bar->setViewColor(Color::withoutRGB()); }), kNotConvertible);
    EXPECT_EQ(bar->colorLayer().colors[1], Color::withRGB(1, 1, 1));
    EXPECT_EQ(captureStdout([&] { bar->pointForColor(Color::withoutRGB()); }), kNotConvertible);
}
