// The colour model, the colour wheel, the brightness bar and the colour picker screen.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <cmath>
#include <memory>

#include "color/brightness_view.h"
#include "color/color_picker_view_controller.h"
#include "color/color_wheel.h"
#include "color/hex_color.h"
#include "color/hsb.h"
#include "platform/screen_metrics.h"
#include "screens/app_window.h"
#include "screens/presentation_controller.h"
#include "screens/screen_stack.h"
#include "screenshot.h"
#include "store/core_data_manager.h"
#include "store_test_delegate.h"
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

// Within rounding of an opaque RGB colour.
void expectRGB(const Color::RGBA& c, double r, double g, double b) {
    EXPECT_LT(std::abs(c.red - r) + std::abs(c.green - g) + std::abs(c.blue - b), 1e-12);
    EXPECT_EQ(c.alpha, 1.0);
}

const Color kGreen = Color::withRGB(0, 1, 0);

// The picker over the lower two thirds of its container, as the editor presents it.
class LowerTwoThirds : public PresentationController {
public:
    using PresentationController::PresentationController;
    QRectF frameOfPresentedViewInContainerView() const override {
        const QWidget* box = containerView();
        return box ? QRectF(0, box->height() / 3.0, box->width(), box->height()) : QRectF();
    }
};

// Stands in for the drawing screen: presents the picker and records what it hands back.
class PresentingScreen : public PlatformViewController,
                         public ColorChoiceDelegate,
                         public TransitioningDelegate {
public:
    void colorChosen(const Color& color) override { chosen.push_back(color); }
    std::unique_ptr<PresentationController> presentationControllerForPresentedViewController(
        PlatformViewController* presented, PlatformViewController* presenting,
        PlatformViewController*) override {
        return std::make_unique<LowerTwoThirds>(presented, presenting);
    }
    std::vector<Color> chosen;
};

std::vector<Color> storedHistory() {
    return CoreDataManager::loadColorHistory().value_or(std::vector<Color>{});
}

// A window with the stand-in editor and a fresh store.
struct PickerTest : testing::Test {
    void SetUp() override {
        window->screenStack()->setRootViewController(editor);
        window->show();
        processEvents();
    }
    void TearDown() override {
        window.reset();
        processEvents();
    }

    // Stores the colours given, newest first.
    void seed(const std::vector<Color>& newestFirst) {
        for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
            CoreDataManager::saveColor(*it);
        }
    }
    ColorPickerViewController* open(const Color& initial = Color::systemCyan()) {
        auto* picker = new ColorPickerViewController;
        picker->setModalPresentationStyle(ModalPresentationStyle::custom);
        picker->setColorChoiceDelegate(editor);
        picker->setTransitioningDelegate(editor);
        picker->setInitialColor(initial);
        editor->present(picker, true);
        processEvents();
        return picker;
    }
    static QPoint cellCentre(ColorPickerViewController* picker, int item) {
        QListView* list = picker->collectionView();
        const QRect cell = list->visualRect(list->model()->index(item, 0));
        EXPECT_TRUE(list->viewport()->rect().contains(cell)) << item;
        return cell.center();
    }
    static void tapCell(ColorPickerViewController* picker, int item) {
        QTest::mouseClick(picker->collectionView()->viewport(), Qt::LeftButton, {},
                          cellCentre(picker, item));
    }
    static std::vector<Color> cellColors(const ColorPickerViewController* picker) {
        std::vector<Color> colors;
        for (int i = 0; i < picker->numberOfItemsInSection(0); ++i) {
            colors.push_back(picker->cellForItemAt(i).contentBackgroundColor);
        }
        return colors;
    }

    ScopedDataDir dataDir;
    StoreTestDelegate store;
    std::unique_ptr<AppWindow> window = std::make_unique<AppWindow>(ScreenMetrics::main());
    PresentingScreen* editor = new PresentingScreen;
};
}  // namespace

TEST(HSBTest, EachSixthOfTheHueCircleTakesItsOwnBranchAndRoundTripsAndNoRGBFails) {
    const std::array<double, 4> branches[] = {{0.1, 1, 0.6, 0}, {0.25, 0.5, 1, 0}, {0.4, 0, 1, 0.4},
                                              {0.6, 0, 0.4, 1}, {0.75, 0.5, 0, 1}, {0.9, 1, 0, 0.6},
                                              {1.0, 1, 0, 0}};
    for (const auto& [hue, r, g, b] : branches) {
        SCOPED_TRACE(hue);
        const Color::RGBA rgb = hsbToRGB(hue, 1, 1);
        expectRGB(rgb, r, g, b);
        // Back again; a full turn reads as hue 0.
        EXPECT_NEAR(rgbToHSB(rgb.red, rgb.green, rgb.blue).hue, hue == 1.0 ? 0 : hue, 1e-12);
    }
    const Color::RGBA pale = hsbToRGB(0.55, 0.1, 0.7);
    EXPECT_NEAR(rgbToHSB(pale.red, pale.green, pale.blue).saturation, 0.1, 1e-9);
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

// The disc: white in the middle, the hue round it and the saturation outwards, transparent
// beyond; its soft rim fades alpha without darkening the colour (not premultiplied).
TEST(ColorWheelTest, TheBitmapIsTheHueCircleInStraightAlphaAtTheScreenScale) {
    constexpr int scale = 3;
    ScreenMetrics::configure(ScreenMetrics{390, 844, double(scale)});
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    ColorWheel wheel(QRectF(0, 0, 200, 200), Color::blue());
    const QImage& disc = wheel.wheelLayer().contents;
    ASSERT_EQ(disc.size(), QSize(200, 200) * scale);
    const auto at = [&](double x, double y) { return disc.pixelColor(QPoint(x, y) * scale); };
    EXPECT_EQ(at(100, 100), QColor(255, 255, 255));
    EXPECT_EQ(at(0, 0).alpha(), 0);
    for (const auto& [x, y, hue] : {std::tuple{190, 100, 0.0}, {100, 190, 0.25}, {10, 100, 0.5}}) {
        EXPECT_NEAR(at(x, y).hueF(), hue, 0.01) << x << "," << y;
    }
    int faded = 0;  // the rim's pixels
    for (int i = 0; i < disc.width() * disc.height(); ++i) {
        const QColor rim = disc.pixelColor(i % disc.width(), i / disc.width());
        if (rim.alpha() > 0 && rim.alpha() < 255) {
            ++faded;
            ASSERT_EQ(std::max({rim.red(), rim.green(), rim.blue()}), 255) << i;
        }
    }
    EXPECT_GT(faded, 0);
    // Touches in points map into the scaled bitmap.
    wheel.touchesBegan({QPointF(100, 50)});
    const HSB hsb = *HSB::fromColor(*wheel.color());
    EXPECT_NEAR(hsb.hue, 0.75, 1e-12);
    EXPECT_NEAR(hsb.saturation, 0.5, 1e-12);
    // Odd sizes: the smaller side, every write inside the buffer.
    ColorWheel odd(QRectF(0, 0, 101.7, 60.2), Color::red());
    EXPECT_EQ(odd.wheelLayer().contents.size(), QSize(60, 60) * scale);
}

TEST(ColorWheelTest, TouchSelectsTheBitmapsColourClampedToTheRimAndSnappedAtTheCentre) {
    Window window;
    Recorder told;
    ColorWheel* wheel = window.wheel(told);
    // Red at 3 o'clock, the hue growing clockwise; the saturation with the distance.
    const std::tuple<QPoint, double, double> spots[] = {
        {{150, 100}, 0.0, 0.5}, {{100, 150}, 0.25, 0.5}, {{195, 100}, 0.0, 0.95}};
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

    stroke(wheel, {{150, 100}, {300, 300}});
    EXPECT_NEAR(wheel->point()->x(), 100 + 100 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(told.hue, 0.125, 1e-9);
    EXPECT_LE(told.saturation, 1.0);

    stroke(wheel, {{105, 105}});  // 7.07 points from the centre
    EXPECT_EQ(*wheel->point(), QPointF(100, 100));
    EXPECT_EQ(std::make_pair(told.hue, told.saturation), std::make_pair(0.0, 0.0));
    EXPECT_EQ(*wheel->color(), Color::withRGB(1, 1, 1));
    wheel->setViewBrightness(0.4);
    stroke(wheel, {{98, 103}});
    EXPECT_EQ(*wheel->color(), Color::withRGB(0.4, 0.4, 0.4));

    // The indicator grows while a finger is down; a cancelled touch selects nothing and leaves
    // no enlarged indicator behind.
    static QPointingDevice* device = QTest::createTouchDevice();
    const auto radius = [wheel] { return wheel->indicatorLayer().path.boundingRect().width() / 2; };
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
    EXPECT_EQ(told.order, "");

    // A brightness keeps hue and saturation, and a touch afterwards keeps the brightness.
    wheel->setViewBrightness(0.5);
    stroke(wheel, {{100, 150}});
    expectRGB(wheel->color()->getRGBA().value(), 0.375, 0.5, 0.25);

    // A colour without an RGB form prints the line and goes on with zeros.
    EXPECT_EQ(captureStdout([&] { wheel->setViewColor(Color::withoutRGB()); }), kNotConvertible);
    EXPECT_EQ(*wheel->point(), QPointF(100, 100));
    EXPECT_EQ(wheel->brightnessLayer().fillColor.alpha(), 1);
    EXPECT_EQ(captureStdout([&] { wheel->setViewBrightness(0.5); }), kNotConvertible);
    EXPECT_EQ(told.colors.back(), Color::withRGB(0.5, 0.5, 0.5));
}

TEST(BrightnessViewTest, TouchReportsXOverWidthWithinOneUnitOfTheEnds) {
    Window window;
    auto* bar = new BrightnessView(QRectF(50, 20, 350, 50), Color::withRGB(0.4, 0, 0), &window);
    Recorder told;
    bar->setDelegate(&told);
    window.show();
    const auto indicator = [bar] { return bar->indicator().path.boundingRect().center().x(); };

    // Fingers that slide off either end, or off the top or bottom, stay on the bar.
    const std::tuple<std::vector<QPoint>, std::vector<double>, double> strokes[] = {
        {{{175, 49}}, {0.5}, 175},
        {{{35, 10}, {-40, -15}}, {0.1, 1.0 / 350}, 1},
        {{{105, 40}, {350, 10}}, {0.3, 349.0 / 350}, 349}};
    for (const auto& [points, brightnesses, x] : strokes) {
        SCOPED_TRACE(testing::Message() << points.back().x() << ", " << points.back().y());
        told.brightnesses.clear();
        stroke(bar, points);
        EXPECT_EQ(told.brightnesses, brightnesses);
        EXPECT_EQ(*bar->point(), QPointF(x, 25));
        EXPECT_EQ(indicator(), x);
    }
    // Recolouring leaves the indicator where it is.
    bar->setViewColor(Color::withRGB(0.3, 0, 0));
    EXPECT_EQ(indicator(), 349);
}

TEST_F(PickerTest, ThirtyOneCellsShowTheNewestColoursThenGreyAndPickingMakesOneNewest) {
    std::vector<Color> many{Color::red(), kGreen, Color::blue()};
    seed(many);
    ColorPickerViewController* picker = open();
    ASSERT_EQ(picker->collectionView()->model()->rowCount(), 31);
    std::vector<Color> expected(31, Color::gray());
    std::copy(many.begin(), many.end(), expected.begin());
    EXPECT_EQ(cellColors(picker), expected);
    // Grey cells are inert.
    picker->didSelectItemAt(30);
    EXPECT_TRUE(editor->chosen.empty());
    EXPECT_EQ(storedHistory(), many);

    // A picked colour is shown, handed back and stored newest; the open list stays as it was.
    tapCell(picker, 1);
    EXPECT_EQ(editor->chosen, std::vector<Color>{kGreen});
    EXPECT_EQ(storedHistory(), (std::vector<Color>{kGreen, Color::red(), Color::blue()}));
    EXPECT_EQ(picker->colorPicker()->color(), kGreen);
    EXPECT_EQ(cellColors(picker), expected);
    picker->donePressed();
    processEvents();
    many = storedHistory();

    // A longer history shows only its 31 newest, all live.
    for (int i = 0; i < 30; ++i) {
        many.insert(many.begin(), HSB{i / 40.0, 1, 0.8}.toColor());
        CoreDataManager::saveColor(many.front());
    }
    picker = open();
    EXPECT_EQ(cellColors(picker), std::vector<Color>(many.begin(), many.begin() + 31));
    tapCell(picker, 30);
    EXPECT_EQ(editor->chosen.back(), many[30]);
}

TEST_F(PickerTest, DoneHandsBackTheColourShownAndRecordsItOnce) {
    seed({Color::red()});
    // Untouched, the picker shows the opening colour and hands it back.
    QPointer<ColorPickerViewController> picker = open(Color::systemCyan());
    EXPECT_EQ(picker->currentColor(), Color::systemCyan());
    QTest::mouseClick(picker->findChild<QPushButton*>("doneButton"), Qt::LeftButton);
    processEvents();
    EXPECT_EQ(editor->chosen, std::vector<Color>{Color::systemCyan()});
    EXPECT_EQ(storedHistory(), (std::vector<Color>{Color::systemCyan(), Color::red()}));
    EXPECT_TRUE(picker.isNull());

    // The wheel chooses hue and saturation, the bar alone dims them.
    picker = open(Color::red());
    stroke(picker->colorPicker(), {{150, 100}});
    const Color touched = Color::withRGB(1, 0.5, 0.5);
    EXPECT_EQ(picker->currentColor(), touched);
    EXPECT_EQ(picker->brightnessView()->colorLayer().colors[1], touched);
    BrightnessView* bar = picker->brightnessView();
    stroke(bar, {{175, 40}, {70, 40}});
    const Color dimmed = HSB({0, 0.5, 0.2}).toColor();
    EXPECT_EQ(picker->currentColor(), dimmed);
    EXPECT_EQ(bar->colorLayer().colors[1], touched);
    // Two quick presses close once and record once.
    picker->donePressed();
    picker->donePressed();
    processEvents();
    EXPECT_EQ(editor->chosen, (std::vector<Color>{Color::systemCyan(), dimmed}));
    EXPECT_EQ(storedHistory(), (std::vector<Color>{dimmed, Color::systemCyan(), Color::red()}));
}

// What the user sees: the picker over the lower two thirds, every control in its visible part.
TEST_F(PickerTest, ScreenshotShowsWheelBarAndHistory) {
    seed({Color::red(), kGreen, Color::blue(), Color::white()});
    ColorPickerViewController* picker = open(Color::withRGB(0.9, 0.3, 0.45));
    stroke(picker->colorPicker(), {{60, 60}});
    stroke(picker->brightnessView(), {{262, 20}});
    processEvents();
    saveScreenshotIfAsked(*window, "color_picker");
    const auto bounds = [picker](QWidget* w) {
        return QRect(w->mapTo(picker, QPoint()), w->size());
    };
    auto* done = picker->findChild<QPushButton*>("doneButton");
    const QRect shown(0, 0, 390, 844 - int(picker->geometry().top()));
    for (QWidget* w : {static_cast<QWidget*>(done), picker->colorWheel(), picker->brightView(),
                       static_cast<QWidget*>(picker->collectionView())}) {
        EXPECT_TRUE(shown.contains(bounds(w))) << w->objectName().toStdString();
    }
    cellCentre(picker, 30);  // every cell in sight
}

// The pipette on a blank cell gives a grey white, the wheel's centre an RGB white: they show
// the same, so the history holds and shows one of them, the one chosen last.
TEST_F(PickerTest, ColoursThatShowTheSameAreOneHistoryEntry) {
    const Color rgbWhite = Color::withRGB(1, 1, 1);
    ColorPickerViewController* picker = open(Color::white());
    picker->donePressed();
    processEvents();
    picker = open(Color::red());
    stroke(picker->colorPicker(), {{100, 100}});
    ASSERT_EQ(picker->currentColor(), rgbWhite);
    picker->donePressed();
    processEvents();
    EXPECT_EQ(storedHistory(), std::vector<Color>{rgbWhite});
    EXPECT_EQ(editor->chosen, (std::vector<Color>{Color::white(), rgbWhite}));

    // A history stored before holds both; it shows white once, where it was chosen last.
    seed({Color::red(), Color::white(), kGreen});
    picker = open();
    EXPECT_EQ(cellColors(picker)[1], Color::white());
    tapCell(picker, 1);
    EXPECT_EQ(storedHistory(), (std::vector<Color>{Color::white(), Color::red(), kGreen}));
}

TEST(HexColorTest, SixOrThreeDigitsWithOrWithoutHashAndNothingElse) {
    const Color expected = Color::withRGB(0x1a / 255.0, 0x2b / 255.0, 0x3c / 255.0, 1);
    for (const char* text : {"#1A2B3C", "  1a2B3c\t"}) {
        EXPECT_EQ(hex_color::parse(text), expected) << text;
    }
    EXPECT_EQ(hex_color::parse("#f0a"), Color::withRGB(1, 0, 0xaa / 255.0, 1));
    for (const char* text : {"#12", "#1234567", "##123456", "#１２３"}) {
        EXPECT_EQ(hex_color::parse(QString::fromUtf8(text)), std::nullopt) << text;
    }
    EXPECT_EQ(hex_color::format(Color::withRGB(0x1a / 255.0, 0x2b / 255.0, 0x3c / 255.0)),
              "#1A2B3C");
    EXPECT_EQ(hex_color::format(Color::white()), "#FFFFFF");  // grey, shown as RGB
    EXPECT_EQ(hex_color::format(Color::withoutRGB()), "");
}

// The field shows the colour on show, takes a typed or pasted colour at once, and marks
// anything else without changing the colour.
TEST_F(PickerTest, TheHexFieldShowsTheColourAndTakesTypedOrPastedHex) {
    ColorPickerViewController* picker = open(Color::red());
    auto* field = picker->findChild<QLineEdit*>("hexField");
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "#FF0000");
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "#1a2b3");
    EXPECT_TRUE(picker->hexFieldRejected());
    EXPECT_EQ(picker->currentColor(), Color::withRGB(0x11 / 255.0, 0xaa / 255.0, 0x22 / 255.0));
    QTest::keyClicks(field, "c");
    const Color typed = Color::withRGB(0x1a / 255.0, 0x2b / 255.0, 0x3c / 255.0, 1);
    EXPECT_FALSE(picker->hexFieldRejected());
    EXPECT_EQ(picker->currentColor(), typed);
    EXPECT_EQ(picker->colorPicker()->color(), typed);  // the wheel shows it too
    EXPECT_EQ(field->text(), "#1a2b3c");               // as typed, not rewritten under the cursor
    // The wheel's choice shows in the field and clears the mark.
    field->selectAll();
    QTest::keyClicks(field, "zz");
    EXPECT_TRUE(picker->hexFieldRejected());
    stroke(picker->colorPicker(), {{150, 100}});
    EXPECT_FALSE(picker->hexFieldRejected());
    EXPECT_EQ(field->text(), hex_color::format(picker->currentColor()));
}
