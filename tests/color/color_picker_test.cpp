#include <gtest/gtest.h>

#include <QDir>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "color/color_picker_view_controller.h"
#include "color/hsb.h"
#include "color_test_support.h"
#include "platform/app_window.h"
#include "platform/presentation_controller.h"
#include "platform/screen_stack.h"
#include "platform/sheet_style.h"
#include "platform/storyboard.h"
#include "store/core_data_manager.h"
#include "store_test_delegate.h"
#include "test_support.h"

namespace {
const Color kGreen = Color::withRGB(0, 1, 0);

// The picker over the lower two thirds of its container, as the editor presents it.
class LowerTwoThirds : public PresentationController {
public:
    using PresentationController::PresentationController;
    QRectF frameOfPresentedViewInContainerView() const override {
        const QWidget* container = containerView();
        if (!container) {
            return {};
        }
        return QRectF(0, container->height() / 3.0, container->width(), container->height());
    }
};

// Stands in for the drawing screen: dark, presents the picker and records what it hands back.
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

    ColorPickerViewController* presentPicker(const Color& initial) {
        auto* picker = new ColorPickerViewController;
        picker->setModalPresentationStyle(ModalPresentationStyle::custom);
        picker->setColorChoiceDelegate(this);
        picker->setTransitioningDelegate(this);
        picker->setInitialColor(initial);
        present(picker, true);
        processEvents();
        return picker;
    }

    std::vector<Color> chosen;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(26, 26, 26)); }
};

std::vector<Color> storedHistory() {
    return CoreDataManager::loadColorHistory().value_or(std::vector<Color>{});
}

// A window with the stand-in editor and a fresh store whose history is, newest first, the
// colours given.
struct PickerFixture : testing::Test {
    void seed(const std::vector<Color>& newestFirst) {
        for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
            CoreDataManager::saveColor(*it);
        }
        ASSERT_EQ(storedHistory(), newestFirst);
    }

    ColorPickerViewController* open(const Color& initial = Color::systemCyan()) {
        if (!window) {
            window = std::make_unique<AppWindow>(ScreenMetrics::main());
            editor = new PresentingScreen;
            window->screenStack()->setRootViewController(editor);
            window->show();
            processEvents();
        }
        return editor->presentPicker(initial);
    }

    static void tapCell(ColorPickerViewController* picker, int item) {
        QListView* list = picker->collectionView();
        const QRect cell = list->visualRect(list->model()->index(item, 0));
        ASSERT_TRUE(list->viewport()->rect().contains(cell)) << item;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    static std::vector<Color> cellColors(const ColorPickerViewController* picker) {
        std::vector<Color> colors;
        for (int i = 0; i < picker->numberOfItemsInSection(0); ++i) {
            colors.push_back(picker->cellForItemAt(i).contentBackgroundColor);
        }
        return colors;
    }

    void TearDown() override {
        window.reset();
        processEvents();
    }

    ScopedDataDir dataDir;
    StoreTestDelegate store;
    std::unique_ptr<AppWindow> window;
    PresentingScreen* editor = nullptr;
};
}  // namespace

TEST_F(PickerFixture, ThirtyOneCellsShowTheNewestColoursThenGrey) {
    std::vector<Color> many{Color::red(), kGreen, Color::blue()};
    seed(many);
    ColorPickerViewController* picker = open();
    ASSERT_EQ(picker->collectionView()->model()->rowCount(), 31);
    EXPECT_EQ(picker->collectionView()->property("reuseIdentifier").toString(), "history");
    std::vector<Color> expected(31, Color::gray());
    std::copy(many.begin(), many.end(), expected.begin());
    EXPECT_EQ(cellColors(picker), expected);
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(picker->cellForItemAt(i).reuseIdentifier, "history");
        EXPECT_EQ(picker->cellForItemAt(i).selectable, i < 3) << i;
    }
    // Grey cells are inert.
    tapCell(picker, 5);
    picker->didSelectItemAt(30);
    EXPECT_TRUE(editor->chosen.empty());
    EXPECT_EQ(storedHistory(), many);

    // A longer history shows only its 31 newest, all live.
    picker->dismiss(false);
    for (int i = 0; i < 40; ++i) {
        many.insert(many.begin(), HSB{i / 40.0, 1, 0.8}.toColor());
        CoreDataManager::saveColor(many.front());
    }
    picker = open();
    EXPECT_EQ(cellColors(picker), std::vector<Color>(many.begin(), many.begin() + 31));
    tapCell(picker, 30);
    EXPECT_EQ(editor->chosen, std::vector<Color>{many[30]});
}

TEST_F(PickerFixture, PickingAHistoryColourMakesItNewestButKeepsTheOpenList) {
    seed({Color::red(), kGreen, Color::blue()});
    ColorPickerViewController* picker = open();
    tapCell(picker, 1);
    EXPECT_EQ(editor->chosen, std::vector<Color>{kGreen});
    EXPECT_EQ(storedHistory(), (std::vector<Color>{kGreen, Color::red(), Color::blue()}));
    EXPECT_EQ(picker->colorPicker()->color(), kGreen);
    EXPECT_EQ(*picker->colorPicker()->point(),
              picker->colorPicker()->pointForHueAndSaturation(1.0 / 3, 1));
    EXPECT_EQ(picker->brightnessView()->colorLayer().colors[1], kGreen);
    EXPECT_EQ(picker->brightnessView()->point()->x(), 350);
    EXPECT_EQ(cellColors(picker)[0], Color::red());
    EXPECT_EQ(cellColors(picker)[1], kGreen);

    // Picking it again, by touch this time, still stores it once.
    QListView* list = picker->collectionView();
    const QPoint green = list->visualRect(list->model()->index(1, 0)).center();
    QTest::touchEvent(list->viewport(), testTouchDevice()).press(0, green, list->viewport());
    QTest::touchEvent(list->viewport(), testTouchDevice()).release(0, green, list->viewport());
    EXPECT_EQ(editor->chosen.size(), 2u);
    // Done hands back the picked colour, stored once.
    picker->donePressed();
    processEvents();
    EXPECT_EQ(editor->chosen, std::vector<Color>(3, kGreen));
    EXPECT_EQ(storedHistory(), (std::vector<Color>{kGreen, Color::red(), Color::blue()}));

    const std::vector<Color> reopened = cellColors(open());
    EXPECT_EQ(std::vector<Color>(reopened.begin(), reopened.begin() + 4),
              (std::vector<Color>{kGreen, Color::red(), Color::blue(), Color::gray()}));
}

TEST_F(PickerFixture, DoneWithoutTouchingHandsBackTheOpeningColour) {
    seed({Color::red()});
    QPointer<ColorPickerViewController> picker = open(Color::systemCyan());
    EXPECT_EQ(picker->currentColor(), Color::systemCyan());
    EXPECT_EQ(picker->colorPicker()->color(), Color::systemCyan());
    EXPECT_NEAR(picker->brightnessView()->point()->x(),
                HSB::fromColor(Color::systemCyan())->brightness * 350, 1e-9);

    QTest::mouseClick(picker->findChild<QPushButton*>("doneButton"), Qt::LeftButton);
    processEvents();
    EXPECT_EQ(editor->chosen, std::vector<Color>{Color::systemCyan()});
    EXPECT_EQ(storedHistory(), (std::vector<Color>{Color::systemCyan(), Color::red()}));
    EXPECT_TRUE(picker.isNull());
    EXPECT_EQ(window->screenStack()->topViewController(), editor);
}

TEST_F(PickerFixture, WheelTouchThenDoneStoresThatColourOnce) {
    const Color touched = Color::withRGB(1, 0.5, 0.5);
    seed({Color::blue(), touched, Color::red()});
    ColorPickerViewController* picker = open(Color::red());
    ColorWheel* wheel = picker->colorPicker();
    QTest::touchEvent(wheel, testTouchDevice()).press(0, QPoint(150, 100), wheel);
    QTest::touchEvent(wheel, testTouchDevice()).release(0, QPoint(150, 100), wheel);
    EXPECT_EQ(picker->currentColor(), touched);
    EXPECT_EQ(picker->brightnessView()->colorLayer().colors[1], touched);

    // Two quick presses close once and record once.
    picker->donePressed();
    picker->donePressed();
    processEvents();
    EXPECT_EQ(editor->chosen, std::vector<Color>{touched});
    EXPECT_EQ(storedHistory(), (std::vector<Color>{touched, Color::blue(), Color::red()}));
}

TEST_F(PickerFixture, BrightnessBarAloneDimsTheWheelColour) {
    ColorPickerViewController* picker = open(Color::red());
    BrightnessView* bar = picker->brightnessView();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(175, 40));
    QTest::mouseMove(bar, QPoint(70, 40));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(70, 40));
    EXPECT_EQ(picker->currentColor(), HSB({0, 1, 0.2}).toColor());
    EXPECT_NEAR(picker->colorPicker()->brightnessLayer().fillColor.alpha(), 0.8, 1e-12);
    EXPECT_EQ(bar->colorLayer().colors[1], Color::red());

    // The choice delegate is weak: once it is gone Done still records.
    struct Listener : QObject, ColorChoiceDelegate {
        void colorChosen(const Color&) override {}
    };
    auto listener = std::make_unique<Listener>();
    picker->setColorChoiceDelegate(listener.get());
    listener.reset();
    EXPECT_EQ(picker->colorChoiceDelegate(), nullptr);
    picker->donePressed();
    EXPECT_EQ(storedHistory(), std::vector<Color>{HSB({0, 1, 0.2}).toColor()});
}

TEST_F(PickerFixture, LayoutFitsTheVisibleUpperTwoThirds) {
    ColorPickerViewController* picker = open();
    EXPECT_EQ(picker->geometry(), QRect(0, 281, 390, 844));
    const int visibleBottom = 844 - 281;
    EXPECT_EQ(picker->colorPicker()->parentWidget(), picker->colorWheel());
    EXPECT_EQ(picker->colorPicker()->geometry(), QRect(0, 0, 200, 200));
    EXPECT_EQ(picker->brightnessView()->parentWidget(), picker->brightView());
    EXPECT_EQ(picker->brightnessView()->geometry(), QRect(0, 0, 350, 50));
    EXPECT_EQ(picker->colorPicker()->colorDelegate(), picker);
    EXPECT_EQ(picker->brightnessView()->delegate(), picker);

    auto bounds = [picker](QWidget* w) { return QRect(w->mapTo(picker, QPoint()), w->size()); };
    auto* done = picker->findChild<QPushButton*>("doneButton");
    EXPECT_EQ(done->accessibleName(), "Done");
    EXPECT_GE(done->height(), 44);
    for (QWidget* w : {static_cast<QWidget*>(done), picker->colorWheel(), picker->brightView(),
                       static_cast<QWidget*>(picker->collectionView())}) {
        EXPECT_TRUE(QRect(0, 0, 390, visibleBottom).contains(bounds(w)))
            << w->objectName().toStdString();
    }
    // Room above the wheel for an enlarged indicator on its rim.
    EXPECT_GE(bounds(picker->colorWheel()).top() - bounds(done).bottom(), 18);
    QListView* list = picker->collectionView();
    for (int i = 0; i < 31; ++i) {
        EXPECT_TRUE(
            list->viewport()->rect().contains(list->visualRect(list->model()->index(i, 0))));
    }
    EXPECT_FALSE(list->viewport()->autoFillBackground());
    EXPECT_EQ(list->palette().color(QPalette::Base).alpha(), 0);
}

TEST_F(PickerFixture, ScreenshotShowsWheelBarAndHistory) {
    seed({Color::red(), kGreen, Color::blue(), Color::withRGB(1, 0.8, 0), Color::white(),
          Color::withRGB(0.5, 0.2, 0.7), Color::systemCyan(), Color::black()});
    ColorPickerViewController* picker = open(Color::withRGB(0.9, 0.3, 0.45));
    ColorWheel* wheel = picker->colorPicker();
    QTest::touchEvent(wheel, testTouchDevice()).press(0, QPoint(60, 60), wheel);
    QTest::touchEvent(wheel, testTouchDevice()).release(0, QPoint(60, 60), wheel);
    BrightnessView* bar = picker->brightnessView();
    QTest::touchEvent(bar, testTouchDevice()).press(0, QPoint(262, 20), bar);
    QTest::touchEvent(bar, testTouchDevice()).release(0, QPoint(262, 20), bar);
    processEvents();

    const QImage shot = window->snapshot().convertToFormat(QImage::Format_ARGB32);
    if (const QByteArray dir = qgetenv("TILEBLOOM_SCREENSHOT_DIR"); !dir.isEmpty()) {
        shot.save(QDir(QString::fromLocal8Bit(dir)).filePath("color_picker.png"));
    }
    ASSERT_EQ(shot.size(), QSize(390, 844));
    auto in = [&](QWidget* w, QPoint p) { return shot.pixelColor(w->mapTo(window.get(), p)); };
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(26, 26, 26));  // the editor above the sheet
    EXPECT_EQ(in(picker, QPoint(195, 8)), SheetStyle::card());
    // Wheel darkened by the bar's 262/350, indicator in the chosen colour, bar up to its hue.
    EXPECT_NEAR(in(wheel, QPoint(190, 100)).red(), 255 * 262 / 350, 4);
    EXPECT_NEAR(in(wheel, QPoint(60, 60)).blue(), picker->currentColor().toQColor().blue(), 2);
    EXPECT_LT(in(bar, QPoint(2, 14)).value(), 12);
    QListView* list = picker->collectionView();
    EXPECT_EQ(in(list->viewport(), list->visualRect(list->model()->index(0, 0)).center()),
              QColor(255, 0, 0));
    EXPECT_EQ(in(list->viewport(), list->visualRect(list->model()->index(20, 0)).center()),
              QColor(128, 128, 128));
}

TEST(ColorPickerRegistrationTest, StoryboardMakesThePickerUnderItsIdentifier) {
    ColorPickerViewController::registerScreen();
    std::unique_ptr<PlatformViewController> screen(
        Storyboard::main().instantiateViewController("colorpicker"));
    auto* picker = qobject_cast<ColorPickerViewController*>(screen.get());
    ASSERT_NE(picker, nullptr);
    // Wheel and bar exist before the screen loads; the outlets only after.
    EXPECT_NE(picker->colorPicker(), nullptr);
    EXPECT_EQ(picker->collectionView(), nullptr);
    EXPECT_TRUE(picker->prefersStatusBarHidden());
    EXPECT_EQ(picker->supportedInterfaceOrientations(), InterfaceOrientationMask::portrait);
}
