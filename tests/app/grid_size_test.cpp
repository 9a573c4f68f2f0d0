// Grid sizes beyond the three older builds know: how they are chosen on the settings screen,
// how they are stored so that older builds still find a size they know, and that new drawings
// take them.
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>

#include "app/settings_view_controller.h"
#include "app_fixture.h"
#include "canvas/canvas.h"
#include "editor/drawing_view_controller.h"
#include "platform/app_paths.h"
#include "platform/user_defaults.h"

namespace {
using GridSize = SettingsManager::GridSize;

// The settings file as another build left it: "key=value" pairs, written as text.
void writeSettings(const QString& values) {
    QSettings file(AppPaths::settingsFile(), QSettings::IniFormat);
    file.clear();
    for (const QString& pair : values.split(' ', Qt::SkipEmptyParts)) {
        file.setValue(pair.section('=', 0, 0), pair.section('=', 1));
    }
    file.sync();
    UserDefaults::standard().reload();
}

// What an older build reads: it knows "stepper" alone, and any number but 0 and 1 is 28.
int64_t olderBuildsSide() {
    return SettingsManager::gridSizeForPosition(
        QSettings(AppPaths::settingsFile(), QSettings::IniFormat).value("stepper").toLongLong());
}

struct GridSizeTest : AppFixture {
    SettingsViewController* openSettings() {
        home()->showSettings();
        processEvents();
        return top<SettingsViewController>();
    }
    void closeSettings(SettingsViewController* settings) {
        settings->back();
        processEvents();
    }
    static void type(QSpinBox* box, int value) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::number(value));
        processEvents();
    }
    GridSize newDrawingSize() {
        home()->clickCreateNFT();
        processEvents();
        auto* editor = top<DrawingViewController>();
        if (!editor || !editor->canvasView) {
            ADD_FAILURE() << "no editor";
            return {};
        }
        const GridSize size{editor->canvasView->canvas()->width,
                            editor->canvasView->canvas()->height};
        editor->dismiss(false);
        processEvents();
        return size;
    }
};
}  // namespace

// Settings another build, another program or a damaged file left: read without being written,
// and what is not something this app writes is said on the console.
TEST(GridSizeStorageTest, OlderSettingsKeepTheirMeaningAndNewSizesNeedTheirPartner) {
    ScopedDataDir dir;
    const struct {
        const char* stored;
        GridSize size;
        bool said;
    } cases[] = {
        {"", {20, 20}, false},
        {"stepper=-4", {28, 28}, true},  // 7 is HomeTest's
        {"stepper=twenty", {20, 20}, true},
        {"stepper=2 gridWidth=96 gridHeight=40 gridStepper=2", {96, 40}, false},
        // An older build chose 20 x 20 after the new size was stored.
        {"stepper=0 gridWidth=96 gridHeight=40 gridStepper=2", {20, 20}, false},
        {"stepper=2 gridWidth=96 gridHeight=40", {28, 28}, false},  // no partner
        {"stepper=2 gridWidth=257 gridHeight=40 gridStepper=2", {28, 28}, true},
    };
    for (const auto& [stored, size, said] : cases) {
        SCOPED_TRACE(stored);
        writeSettings(stored);
        GridSize read;
        const std::string out = captureStdout(
            [&] { read = SettingsManager::storedGridSize(UserDefaults::standard()); });
        EXPECT_EQ(read, size);
        EXPECT_EQ(out.rfind("Settings: ", 0), said ? 0u : std::string::npos) << out;
        EXPECT_EQ(QSettings(AppPaths::settingsFile(), QSettings::IniFormat).allKeys().size(),
                  QString(stored).count('='));
    }
}

TEST(GridSizeStorageTest, EverySizeReadsBackAndOlderBuildsFindTheNearestTheyKnow) {
    ScopedDataDir dir;
    const struct {
        GridSize size;
        int64_t olderBuilds;
    } cases[] = {{{8, 8}, 20}, {{22, 22}, 24}, {{24, 24}, 24}, {{256, 256}, 28}, {{18, 23}, 24}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width << " x " << c.size.height);
        SettingsManager::storeGridSize(UserDefaults::standard(), c.size);
        EXPECT_EQ(SettingsManager::storedGridSize(UserDefaults::standard()), c.size);
        EXPECT_EQ(olderBuildsSide(), c.olderBuilds);
        // An old size (24 x 24 here) is stored as before, with nothing else beside it.
        EXPECT_EQ(UserDefaults::standard().hasValue("gridWidth"), c.size.width != 24);
    }
}

// Walking up to the largest size is driven in the real window.
TEST_F(GridSizeTest, TheStepperGoesDownToTheSmallestAndTheScreenShowsWhatIsStored) {
    SettingsViewController* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    EXPECT_FALSE(UserDefaults::standard().hasValue("stepper")) << "showing stores nothing";
    while (settings->stepperL->decrementButton()->isEnabled()) {
        click(settings->stepperL->decrementButton());
    }
    EXPECT_EQ(settings->pixelLabel->text(), "8x8");
    closeSettings(settings);
    EXPECT_EQ(newDrawingSize(), (GridSize{8, 8}));

    // Opened again, the screen shows what is stored: the size, not the last thing clicked.
    SettingsManager::storeGridSize(UserDefaults::standard(), {48, 48});
    settings = openSettings();
    EXPECT_EQ(settings->pixelLabel->text(), "48x48");
    EXPECT_FALSE(settings->customSizeCheck->isChecked());
}

// Typing a custom size and a new drawing taking it are driven in the real window.
TEST_F(GridSizeTest, ACustomSizeGivesWayToTheStepperAndComesBackWithTheCheckBox) {
    SettingsViewController* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    click(settings->customSizeCheck);
    type(settings->customWidthSpin, 30);
    type(settings->customHeightSpin, 18);
    EXPECT_EQ(olderBuildsSide(), 28);
    closeSettings(settings);

    // Back on the screen the custom size is shown as set; the stepper stands near it.
    settings = openSettings();
    EXPECT_TRUE(settings->customSizeCheck->isChecked());
    EXPECT_EQ(settings->customWidthSpin->value(), 30);
    EXPECT_EQ(settings->pixelLabel->text(), "30x18");
    click(settings->stepperL->incrementButton());
    EXPECT_FALSE(settings->customSizeCheck->isChecked());
    EXPECT_EQ(settings->pixelLabel->text(), "48x48");
    settings->customWidthSpin->setValue(99);  // as an assistive tool may, while off: waits
    EXPECT_EQ(SettingsManager::gridWidth, 48);
    click(settings->customSizeCheck);  // on again: the boxes' size applies
    EXPECT_EQ(settings->pixelLabel->text(), "99x48");
    click(settings->customSizeCheck);  // off: the stepper's, which stands near 99
    EXPECT_EQ(settings->pixelLabel->text(), "96x96");
}
