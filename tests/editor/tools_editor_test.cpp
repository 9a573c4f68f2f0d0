// The drawing tools as the editor offers them: the fan menu, keys while typing, the option
// switches, the mirror axis and the two- and three-finger taps.
#include <QShortcut>
#include <cmath>

#include "editing/paintbrush.h"
#include "editing/shape_tool.h"
#include "editor/mirror_axis_node.h"
#include "editor_fixture.h"
#include "platform/animation.h"
#include "platform/impact_feedback_generator.h"
#include "screenshot.h"

namespace {

struct FanTool {
    const char* button;
    const char* name;
};
template <class T>
bool isA(const Tool* tool) {
    return dynamic_cast<const T*>(tool) != nullptr;
}
// The history model checks what each button and key chooses.
const FanTool kFanTools[] = {
    {"lineButton", "Line"},
    {"eraserButton", "Eraser"},
    {"paintBrushButton", "Paintbrush"},
    {"fillButton", "Paint bucket"},
    {"rectangleButton", "Rectangle"},
    {"ellipseButton", "Ellipse"},
};

struct ToolsEditorTest : OpenEditorFixture {
    explicit ToolsEditorTest(const ScreenMetrics& screen = ScreenMetrics::phone())
        : OpenEditorFixture(false, screen) {}
    // Fingers landing together and lifting together without moving.
    void fingerTap(const std::vector<QPoint>& points) {
        auto down = touch();
        for (size_t i = 0; i < points.size(); ++i) {
            down.press(int(i), points[i], target());
        }
        down.commit();
        auto up = touch();
        for (size_t i = 0; i < points.size(); ++i) {
            up.release(int(i), points[i], target());
        }
    }
};

struct TabletToolsEditorTest : ToolsEditorTest {
    TabletToolsEditorTest() : ToolsEditorTest(ScreenMetrics::tablet()) {}
};

// The unfolded fan on a screen: inside it, clear of the bar and the option switches, no two
// two neighbours overlapping, each taking taps all over, left to right in the list's order.
void expectFanFits(DrawingViewController& editor, const QSizeF& screen) {
    const QRectF bar = editor.lowerToolbar->geometry();
    QRectF previous;
    for (const FanTool& tool : kFanTools) {
        SCOPED_TRACE(tool.button);
        auto* b = editor.findChild<Button*>(tool.button);
        ASSERT_TRUE(b);
        const QRectF frame = b->frame();
        EXPECT_TRUE(QRectF(QPointF(0, 0), screen).contains(frame));
        EXPECT_LE(frame.bottom(), bar.top());
        for (const char* option : {"mirrorButton", "filledButton", "replaceButton"}) {
            EXPECT_FALSE(frame.intersects(editor.findChild<Button*>(option)->frame())) << option;
        }
        // Every side of a round button takes its own taps, beside a neighbour too.
        for (int k = 0; k < 8; ++k) {
            const QPointF edge =
                frame.center() + 23 * QPointF(std::cos(k * M_PI / 4), std::sin(k * M_PI / 4));
            EXPECT_EQ(editor.mainView->childAt(edge.toPoint()), b) << k * 45 << " degrees";
        }
        if (!previous.isNull()) {
            EXPECT_GT(frame.center().x(), previous.center().x());
            const QPointF apart = frame.center() - previous.center();
            EXPECT_GE(std::hypot(apart.x(), apart.y()), 55);  // round buttons apart
        }
        previous = frame;
    }
}
}  // namespace

TEST_F(ToolsEditorTest, TheFanHoldsEveryToolOnAnArcThatFitsAPhone) {
    click(editor->fanMenuButton);
    saveScreenshotIfAsked(window, "editor-fan-phone");
    expectFanFits(*editor, QSizeF(390, 844));
    for (const FanTool& tool : kFanTools) {
        SCOPED_TRACE(tool.name);
        Button* b = button(tool.button);
        click(editor->fanMenuButton);
        click(b);
        // Folded, the menu shows the active tool alone, which takes no taps, and names it.
        EXPECT_EQ(b->center(), editor->fanMenuButton->center());
        EXPECT_FALSE(b->isUserInteractionEnabled());
        EXPECT_TRUE(editor->fanMenuButton->accessibleDescription().endsWith(tool.name));
        for (const FanTool& other : kFanTools) {
            EXPECT_EQ(button(other.button)->alpha(), &other == &tool ? 1 : 0) << other.name;
        }
    }
    // A layout pass while the menu is open folds it; an animated editor starts folded too.
    click(editor->fanMenuButton);
    editor->resize(390, 845);
    EXPECT_EQ(button("lineButton")->center(), editor->fanMenuButton->center());
    Animation::setEnabled(true);
    openEditor();
    Animation::setEnabled(false);
    EXPECT_EQ(editor->fillButton->center(), editor->fanMenuButton->center());
}

TEST_F(TabletToolsEditorTest, TheFanFitsATabletToo) {
    click(editor->fanMenuButton);
    saveScreenshotIfAsked(window, "editor-fan-tablet");
    expectFanFits(*editor, QSizeF(820, 1180));
}

TEST_F(ToolsEditorTest, KeysChooseToolsAndCycleTheMirrorButNotWhileTypingOrCovered) {
    // Tool keys (the history model uses them throughout) do nothing while a title is typed:
    // the letters go into the field.
    QTest::keyClick(editor, Qt::Key_B);
    click(editor->findChild<QWidget*>("saveButton"));
    auto* alert = top<AlertController>();
    ASSERT_TRUE(alert);
    QLineEdit* field = alert->textFields().front();
    field->setFocus();
    QTest::keyClicks(field, "glume");
    EXPECT_EQ(field->text(), "glume");
    EXPECT_TRUE(isA<Paintbrush>(editor->currentTool.get()));
    EXPECT_EQ(editor->toolOptions.mirror, MirrorAxes::none);
    // Even with the focus off the field, nothing under the alert changes.
    field->clearFocus();
    QTest::keyClick(editor, Qt::Key_L);
    QTest::keyClick(editor, Qt::Key_M);
    EXPECT_TRUE(isA<Paintbrush>(editor->currentTool.get()));
    EXPECT_EQ(editor->toolOptions.mirror, MirrorAxes::none);
    alert->triggerAction("Cancel");
    processEvents();
    QTest::keyClick(editor, Qt::Key_L);
    EXPECT_TRUE(isA<LineTool>(editor->currentTool.get()));

    // Hex digits typed into the colour picker are a colour, not tool keys.
    click(editor->colorPickerButton);
    auto* picker = top<ColorPickerViewController>();
    ASSERT_TRUE(picker);
    auto* hex = picker->findChild<QLineEdit*>("hexField");
    ASSERT_TRUE(hex);
    hex->setFocus();
    hex->selectAll();
    QTest::keyClicks(hex, "be0");
    EXPECT_TRUE(isA<LineTool>(editor->currentTool.get()));
    QTest::keyClick(hex, Qt::Key_M);
    EXPECT_EQ(editor->toolOptions.mirror, MirrorAxes::none);
    picker->donePressed();
    processEvents();
    EXPECT_EQ(editor->currentDrawingColor, Color::withRGB(0xbb / 255.0, 0xee / 255.0, 0, 1));
    // A grey chosen in the picker paints in its RGB form.
    editor->colorChosen(Color::gray());
    EXPECT_EQ(editor->currentDrawingColor, Color::withRGB(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), Color::gray());
}

// The history model switches each option with its tool chosen; here, each is hidden for tools
// it does not belong to.
TEST_F(ToolsEditorTest, OptionSwitchesShowOnlyForTheToolsTheyBelongTo) {
    Button* filled = button("filledButton");
    Button* replace = button("replaceButton");
    ASSERT_TRUE(filled && replace);
    EXPECT_TRUE(button("mirrorButton")->isVisible());
    EXPECT_FALSE(filled->isVisible() || replace->isVisible());
    choose("rectangleButton");
    EXPECT_TRUE(filled->isVisible() && !replace->isVisible());
    choose("fillButton");
    EXPECT_TRUE(!filled->isVisible() && replace->isVisible());
}

// The axis shows over the cells (the window scenario checks a mirrored stroke's pixels), takes
// no touches, and goes with the mirror.
TEST_F(ToolsEditorTest, TheMirrorAxisShowsTakesNoTouchesAndGoesWithTheMirror) {
    const QPoint middle = (at(9, 10) + at(10, 10)) / 2;
    const QColor before = editor->canvasView->grab().toImage().pixelColor(middle);
    QTest::keyClick(editor, Qt::Key_M);  // the vertical axis
    saveScreenshotIfAsked(window, "editor-mirror");
    editor->canvasView->repaint();
    const QColor onAxis = editor->canvasView->grab().toImage().pixelColor(middle);
    EXPECT_TRUE(onAxis.red() < 120 && onAxis.blue() > 150) << onAxis.name().toStdString();
    editor->currentDrawingColor = Color::red();
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, middle + QPoint(-2, 0));
    EXPECT_EQ(colour(9, 10), Color::red());
    EXPECT_EQ(colour(10, 10), Color::red());
    EXPECT_EQ(steps(), 1u);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(editor, Qt::Key_M);
    }
    editor->canvasView->repaint();
    EXPECT_EQ(editor->canvasView->grab().toImage().pixelColor(middle), before);
}

// Two fingers tapping undo, three redo, with the haptic; they paint, pan and zoom nothing. A
// mouse's two-finger stand-in (the right button) is no tap.
TEST_F(ToolsEditorTest, TwoFingerTapsUndoAndThreeFingerTapsRedo) {
    tap(3, 3);
    tap(10, 10);
    const std::vector<Color> painted = canvas().getColorArray();
    ASSERT_EQ(steps(), 2u);
    const QTransform placed = canvas().transformToScene();
    ImpactFeedbackGenerator::resetRecordedImpacts();

    // The history model checks the steps; here, the haptic and a canvas that stays put.
    fingerTap({at(4, 12), at(8, 12)});
    EXPECT_EQ(colour(10, 10), Color::white());
    fingerTap({at(4, 12), at(8, 12), at(6, 15)});
    EXPECT_EQ(canvas().getColorArray(), painted);
    EXPECT_EQ(ImpactFeedbackGenerator::totalImpactCount(), 2);
    EXPECT_EQ(canvas().transformToScene(), placed);

    // Fingers held too long make no tap (the history model pans with wandering ones).
    touch().press(0, at(4, 12), target()).press(1, at(8, 12), target());
    clock.advance(1.0);
    touch().release(0, at(4, 12), target()).release(1, at(8, 12), target());
    EXPECT_EQ(steps(), 2u);
    QTest::mouseClick(&window, Qt::RightButton, Qt::NoModifier, at(6, 6));
    EXPECT_EQ(steps(), 2u);
    EXPECT_EQ(ImpactFeedbackGenerator::totalImpactCount(), 2);
    EXPECT_EQ(canvas().getColorArray(), painted);
}
