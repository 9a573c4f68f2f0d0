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
const Color kPaintCyan = Color::systemCyan();

struct FanTool {
    const char* button;
    const char* name;
    const char* key;
};
template <class T>
bool isA(const Tool* tool) {
    return dynamic_cast<const T*>(tool) != nullptr;
}
// The history model checks what each button and key chooses.
const FanTool kFanTools[] = {
    {"lineButton", "Line", "L"},
    {"eraserButton", "Eraser", "E"},
    {"paintBrushButton", "Paintbrush", "B"},
    {"fillButton", "Paint bucket", "G"},
    {"rectangleButton", "Rectangle", "U"},
    {"ellipseButton", "Ellipse", "O"},
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
// buttons overlapping, and the first two tools where they always were.
void expectFanFits(DrawingViewController& editor, const QSizeF& screen) {
    const QPointF menu = editor.fanMenuButton->center();
    std::vector<QRectF> frames;
    for (const FanTool& tool : kFanTools) {
        auto* b = editor.findChild<Button*>(tool.button);
        ASSERT_TRUE(b) << tool.button;
        EXPECT_EQ(b->alpha(), 1) << tool.button;
        EXPECT_TRUE(b->isUserInteractionEnabled()) << tool.button;
        frames.push_back(b->frame());
    }
    EXPECT_EQ(editor.paintBrushButton->center(), menu + QPointF(-50, -70));
    EXPECT_EQ(editor.fillButton->center(), menu + QPointF(50, -70));
    const QRectF bar = editor.lowerToolbar->geometry();
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(QRectF(QPointF(0, 0), screen).contains(frames[i])) << kFanTools[i].button;
        EXPECT_LE(frames[i].bottom(), bar.top()) << kFanTools[i].button;
        for (const char* option : {"mirrorButton", "filledButton", "replaceButton"}) {
            EXPECT_FALSE(frames[i].intersects(editor.findChild<Button*>(option)->frame()))
                << kFanTools[i].button << " " << option;
        }
        for (size_t j = 0; j < i; ++j) {
            const QPointF apart = frames[i].center() - frames[j].center();
            EXPECT_GE(std::hypot(apart.x(), apart.y()), 55)
                << kFanTools[i].button << " " << kFanTools[j].button;
        }
        // Every part of a round button takes its own taps, its edges beside a neighbour too.
        auto* b = editor.findChild<Button*>(kFanTools[i].button);
        for (int k = 0; k < 16; ++k) {
            const double angle = k * M_PI / 8;
            const QPointF inside =
                frames[i].center() + 23 * QPointF(std::cos(angle), std::sin(angle));
            EXPECT_EQ(editor.mainView->childAt(inside.toPoint()), b)
                << kFanTools[i].button << " at " << k * 22.5 << " degrees";
        }
        // Left to right in the order of the list, rising towards the ends.
        if (i > 0) {
            EXPECT_GT(frames[i].center().x(), frames[i - 1].center().x());
        }
    }
    EXPECT_LT(frames.front().center().y(), frames[1].center().y());
    EXPECT_LT(frames.back().center().y(), frames[frames.size() - 2].center().y());
}
}  // namespace

TEST_F(ToolsEditorTest, TheFanHoldsEveryToolOnAnArcThatFitsAPhone) {
    click(editor->fanMenuButton);
    saveScreenshotIfAsked(window, "editor-fan-phone");
    expectFanFits(*editor, QSizeF(390, 844));
    for (const FanTool& tool : kFanTools) {
        SCOPED_TRACE(tool.name);
        Button* b = button(tool.button);
        EXPECT_EQ(b->accessibleName(), tool.name);
        EXPECT_TRUE(b->toolTip().endsWith(QStringLiteral("(%1)").arg(tool.key)))
            << b->toolTip().toStdString();
        click(editor->fanMenuButton);
        click(b);
        // Folded, the menu shows the active tool alone and names it.
        EXPECT_EQ(b->center(), editor->fanMenuButton->center());
        EXPECT_EQ(b->alpha(), 1);
        EXPECT_FALSE(b->isUserInteractionEnabled());  // folded tools take no taps
        EXPECT_EQ(editor->fanMenuButton->accessibleDescription(),
                  QStringLiteral("Active tool: %1").arg(tool.name));
        for (const FanTool& other : kFanTools) {
            if (&other != &tool) {
                EXPECT_EQ(button(other.button)->alpha(), 0) << other.name;
            }
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
    EXPECT_EQ(picker->initialColor(), kPaintCyan);
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

TEST_F(ToolsEditorTest, OptionSwitchesShowForTheToolsTheyBelongTo) {
    Button* mirror = button("mirrorButton");
    Button* filled = button("filledButton");
    Button* replace = button("replaceButton");
    for (Button* option : {mirror, filled, replace}) {
        ASSERT_TRUE(option);
        EXPECT_FALSE(option->accessibleName().isEmpty());
    }
    EXPECT_TRUE(mirror->isVisible());
    EXPECT_FALSE(filled->isVisible());
    EXPECT_FALSE(replace->isVisible());
    click(mirror);
    click(mirror);
    EXPECT_EQ(editor->toolOptions.mirror, MirrorAxes::horizontal);
    EXPECT_TRUE(mirror->isChecked());
    EXPECT_EQ(mirror->accessibleDescription(), "Horizontal axis");
    choose("rectangleButton");
    EXPECT_TRUE(filled->isVisible());
    EXPECT_FALSE(replace->isVisible());
    click(filled);
    EXPECT_TRUE(editor->toolOptions.filledShapes && filled->isChecked());
    choose("fillButton");
    EXPECT_FALSE(filled->isVisible());
    EXPECT_TRUE(replace->isVisible());
    click(replace);
    EXPECT_TRUE(editor->toolOptions.replaceColor && replace->isChecked());
    click(replace);
    EXPECT_FALSE(editor->toolOptions.replaceColor || replace->isChecked());
    choose("ellipseButton");
    EXPECT_TRUE(filled->isVisible() && filled->isChecked());  // the option stayed on
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

    // Fingers that wander are a pan, not a tap; one held too long is no tap either.
    touch().press(0, at(4, 12), target()).press(1, at(8, 12), target());
    touch().move(0, at(4, 9), target()).move(1, at(8, 9), target());
    touch().release(0, at(4, 9), target()).release(1, at(8, 9), target());
    EXPECT_EQ(steps(), 2u);
    EXPECT_NE(canvas().transformToScene(), placed);
    touch().press(0, at(4, 12), target()).press(1, at(8, 12), target());
    clock.advance(1.0);
    touch().release(0, at(4, 12), target()).release(1, at(8, 12), target());
    EXPECT_EQ(steps(), 2u);
    QTest::mouseClick(&window, Qt::RightButton, Qt::NoModifier, at(6, 6));
    EXPECT_EQ(steps(), 2u);
    EXPECT_EQ(ImpactFeedbackGenerator::totalImpactCount(), 2);
    EXPECT_EQ(canvas().getColorArray(), painted);
}
