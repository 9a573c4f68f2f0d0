#include <gtest/gtest.h>

#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "color/color_picker_view_controller.h"
#include "color/hsb.h"
#include "platform/app_window.h"
#include "platform/presentation_controller.h"
#include "platform/screen_stack.h"
#include "platform/sheet_style.h"
#include "screenshot.h"
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
        const QWidget* box = containerView();
        return box ? QRectF(0, box->height() / 3.0, box->width(), box->height()) : QRectF();
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
    std::vector<Color> chosen;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(26, 26, 26)); }
};

std::vector<Color> storedHistory() {
    return CoreDataManager::loadColorHistory().value_or(std::vector<Color>{});
}

void touch(QWidget* view, QPoint at) {
    static QPointingDevice* device = QTest::createTouchDevice();
    QTest::touchEvent(view, device).press(0, at, view);
    QTest::touchEvent(view, device).release(0, at, view);
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

TEST_F(PickerTest, ThirtyOneCellsShowTheNewestColoursThenGreyAndPickingMakesOneNewest) {
    std::vector<Color> many{Color::red(), kGreen, Color::blue()};
    seed(many);
    ColorPickerViewController* picker = open();
    ASSERT_EQ(picker->collectionView()->model()->rowCount(), 31);
    EXPECT_EQ(picker->collectionView()->property("reuseIdentifier").toString(), "history");
    std::vector<Color> expected(31, Color::gray());
    std::copy(many.begin(), many.end(), expected.begin());
    EXPECT_EQ(cellColors(picker), expected);
    EXPECT_EQ(picker->cellForItemAt(30).reuseIdentifier, "history");
    // Grey cells are inert.
    tapCell(picker, 5);
    picker->didSelectItemAt(30);
    EXPECT_TRUE(editor->chosen.empty());
    EXPECT_EQ(storedHistory(), many);

    // A picked colour is shown, handed back and stored newest; the open list stays as it was.
    tapCell(picker, 1);
    EXPECT_EQ(editor->chosen, std::vector<Color>{kGreen});
    EXPECT_EQ(storedHistory(), (std::vector<Color>{kGreen, Color::red(), Color::blue()}));
    EXPECT_EQ(picker->colorPicker()->color(), kGreen);
    EXPECT_EQ(*picker->colorPicker()->point(),
              picker->colorPicker()->pointForHueAndSaturation(1.0 / 3, 1));
    EXPECT_EQ(picker->brightnessView()->colorLayer().colors[1], kGreen);
    EXPECT_EQ(picker->brightnessView()->point()->x(), 350);
    EXPECT_EQ(cellColors(picker), expected);
    // Picking it again, by touch this time, and Done: handed back each time, stored once.
    touch(picker->collectionView()->viewport(), cellCentre(picker, 1));
    picker->donePressed();
    processEvents();
    EXPECT_EQ(editor->chosen, std::vector<Color>(3, kGreen));
    many = {kGreen, Color::red(), Color::blue()};
    EXPECT_EQ(storedHistory(), many);

    // A longer history shows only its 31 newest, all live.
    for (int i = 0; i < 40; ++i) {
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
    EXPECT_EQ(picker->colorPicker()->color(), Color::systemCyan());
    EXPECT_NEAR(picker->brightnessView()->point()->x(),
                HSB::fromColor(Color::systemCyan())->brightness * 350, 1e-9);
    QTest::mouseClick(picker->findChild<QPushButton*>("doneButton"), Qt::LeftButton);
    processEvents();
    EXPECT_EQ(editor->chosen, std::vector<Color>{Color::systemCyan()});
    EXPECT_EQ(storedHistory(), (std::vector<Color>{Color::systemCyan(), Color::red()}));
    EXPECT_TRUE(picker.isNull());
    EXPECT_EQ(window->screenStack()->topViewController(), editor);

    // The wheel chooses hue and saturation, the bar alone dims them.
    picker = open(Color::red());
    touch(picker->colorPicker(), {150, 100});
    const Color touched = Color::withRGB(1, 0.5, 0.5);
    EXPECT_EQ(picker->currentColor(), touched);
    EXPECT_EQ(picker->brightnessView()->colorLayer().colors[1], touched);
    BrightnessView* bar = picker->brightnessView();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(175, 40));
    QTest::mouseMove(bar, QPoint(70, 40));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(70, 40));
    const Color dimmed = HSB({0, 0.5, 0.2}).toColor();
    EXPECT_EQ(picker->currentColor(), dimmed);
    EXPECT_NEAR(picker->colorPicker()->brightnessLayer().fillColor.alpha(), 0.8, 1e-12);
    EXPECT_EQ(bar->colorLayer().colors[1], touched);
    // Two quick presses close once and record once.
    picker->donePressed();
    picker->donePressed();
    processEvents();
    EXPECT_EQ(editor->chosen, (std::vector<Color>{Color::systemCyan(), dimmed}));
    EXPECT_EQ(storedHistory(), (std::vector<Color>{dimmed, Color::systemCyan(), Color::red()}));

    // The choice delegate is weak: once it is gone Done still records.
    picker = open(Color::blue());
    auto listener = std::make_unique<PresentingScreen>();
    picker->setColorChoiceDelegate(listener.get());
    listener.reset();
    EXPECT_EQ(picker->colorChoiceDelegate(), nullptr);
    picker->donePressed();
    EXPECT_EQ(storedHistory().front(), Color::blue());
}

// What the user sees: the picker over the lower two thirds, every control in its visible part.
TEST_F(PickerTest, ScreenshotShowsWheelBarAndHistory) {
    seed({Color::red(), kGreen, Color::blue(), Color::withRGB(1, 0.8, 0), Color::white(),
          Color::withRGB(0.5, 0.2, 0.7), Color::systemCyan(), Color::black()});
    ColorPickerViewController* picker = open(Color::withRGB(0.9, 0.3, 0.45));
    touch(picker->colorPicker(), {60, 60});
    touch(picker->brightnessView(), {262, 20});
    processEvents();
    saveScreenshotIfAsked(*window, "color_picker");
    EXPECT_EQ(picker->geometry(), QRect(0, 281, 390, 844));
    EXPECT_EQ(picker->colorPicker()->parentWidget(), picker->colorWheel());
    EXPECT_EQ(picker->colorPicker()->geometry(), QRect(0, 0, 200, 200));
    EXPECT_EQ(picker->brightnessView()->parentWidget(), picker->brightView());
    EXPECT_EQ(picker->brightnessView()->geometry(), QRect(0, 0, 350, 50));
    const auto bounds = [picker](QWidget* w) {
        return QRect(w->mapTo(picker, QPoint()), w->size());
    };
    auto* done = picker->findChild<QPushButton*>("doneButton");
    EXPECT_EQ(done->accessibleName(), "Done");
    EXPECT_GE(done->height(), 44);
    for (QWidget* w : {static_cast<QWidget*>(done), picker->colorWheel(), picker->brightView(),
                       static_cast<QWidget*>(picker->collectionView())}) {
        EXPECT_TRUE(QRect(0, 0, 390, 844 - 281).contains(bounds(w)))
            << w->objectName().toStdString();
    }
    // Room above the wheel for an enlarged indicator on its rim.
    EXPECT_GE(bounds(picker->colorWheel()).top() - bounds(done).bottom(), 18);

    const QImage shot = window->snapshot().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(shot.size(), QSize(390, 844));
    auto in = [&](QWidget* w, QPoint p) { return shot.pixelColor(w->mapTo(window.get(), p)); };
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(26, 26, 26));  // the editor above the sheet
    EXPECT_EQ(in(picker, QPoint(195, 8)), SheetStyle::card());
    // Wheel darkened by the bar's 262/350, indicator in the chosen colour, bar up to its hue.
    EXPECT_NEAR(in(picker->colorPicker(), {190, 100}).red(), 255 * 262 / 350, 4);
    EXPECT_NEAR(in(picker->colorPicker(), {60, 60}).blue(),
                picker->currentColor().toQColor().blue(), 2);
    EXPECT_LT(in(picker->brightnessView(), {2, 14}).value(), 12);
    // All 31 cells are in sight: the stored colours, then grey.
    QWidget* cells = picker->collectionView()->viewport();
    EXPECT_EQ(in(cells, cellCentre(picker, 0)), QColor(255, 0, 0));
    for (int i = 8; i < 31; ++i) {
        EXPECT_EQ(in(cells, cellCentre(picker, i)), QColor(128, 128, 128)) << i;
    }
}
