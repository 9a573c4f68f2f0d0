#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "app/settings_view_controller.h"
#include "color/brightness_view.h"
#include "color/color_picker_view_controller.h"
#include "color/color_wheel.h"
#include "platform/settings_manager.h"
#include "platform/user_defaults.h"
#include "store_test_delegate.h"
#include "test_support.h"

// A value a screen shows, in text or by position, reaches assistive technology too (as the
// accessible value, or the description beside the name that says what the control does), and
// follows every change.
namespace {

QAccessibleInterface* accessible(QWidget* widget) {
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
    EXPECT_NE(control, nullptr);
    return control;
}

QString description(QWidget* widget) {
    QAccessibleInterface* control = accessible(widget);
    return control ? control->text(QAccessible::Description) : QString();
}

struct SettingsScreen : testing::Test {
    ScopedDataDir dir;
    std::unique_ptr<SettingsViewController> settings;

    void open() {
        settings = std::make_unique<SettingsViewController>();
        settings->resize(390, 844);
        settings->loadViewIfNeeded();
    }
    void TearDown() override { SettingsManager::applyGridSize(20); }
};

}  // namespace

TEST_F(SettingsScreen, TheGridSizeLabelAndStepperExposeTheSizeAndFollowIt) {
    UserDefaults::standard().setInteger(1, "stepper");
    open();
    QLabel* label = settings->pixelLabel;
    Stepper* stepper = settings->stepperL;
    EXPECT_EQ(description(label), "24x24");
    QAccessibleInterface* control = accessible(stepper);
    QAccessibleValueInterface* value = control->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toDouble(), 4);  // positions in the list of square sizes

    // A press changes what both say.
    QTest::mouseClick(stepper->incrementButton(), Qt::LeftButton);
    EXPECT_EQ(value->currentValue().toDouble(), 5);
    EXPECT_EQ(description(label), "28x28");
    EXPECT_EQ(description(stepper), "28x28");

    // Assistive technology changes the size as a user does: shown, stored and applied; a value
    // between steps lands on a step.
    value->setCurrentValue(3.2);
    EXPECT_EQ(description(label), "20x20");
    EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), 0);
    EXPECT_EQ(SettingsManager::gridWidth, 20);
    control->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(SettingsManager::gridWidth, 24);
}

TEST(ColourPickerValues, TheSwatchTheBarAndTheWheelSayWhatTheyShow) {
    ScopedDataDir dir;
    StoreTestDelegate store;
    ColorPickerViewController picker;
    picker.setInitialColor(Color::withRGB(1, 0, 0));
    picker.loadViewIfNeeded();
    auto* swatch = picker.findChild<QLabel*>("currentColorSwatch");
    ASSERT_NE(swatch, nullptr);
    BrightnessView* bar = picker.brightnessView();
    ColorWheel* wheel = picker.colorPicker();
    EXPECT_EQ(description(swatch), "#FF0000");
    picker.showColor(Color::withRGB(0, 0.5, 0.5));
    EXPECT_EQ(description(swatch), "#008080");
    EXPECT_TRUE(description(bar).startsWith("50%")) << description(bar).toStdString();
    EXPECT_TRUE(description(wheel).startsWith("Hue 180°, saturation 100%"))
        << description(wheel).toStdString();

    // Touches change them too: the wheel's centre is white, the bar's middle half brightness.
    wheel->handleTouch({wheel->wheelLayer().frame.center()});
    EXPECT_TRUE(description(wheel).startsWith("Hue 0°, saturation 0%"))
        << description(wheel).toStdString();
    bar->handleTouch({QPointF(bar->barWidth() / 4, 10)});
    EXPECT_TRUE(description(bar).startsWith("25%")) << description(bar).toStdString();
    EXPECT_EQ(description(swatch), "#404040");
}
