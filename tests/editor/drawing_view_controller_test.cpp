#include <QWheelEvent>
#include <numbers>

#include "editing/bucket.h"
#include "editing/paintbrush.h"
#include "editor/canvas_limits.h"
#include "editor_fixture.h"
#include "platform/animation.h"
#include "platform/device_orientation_center.h"
#include "platform/pan_gesture_recognizer.h"
#include "platform/store_review_controller.h"
#include "scene/scene.h"

namespace {
const Color kCyan = Color::systemCyan();
using DrawingEditorTest = EditorFixture;

// The stroke recogniser as the editor sees it, in whatever state and place a test gives it.
struct StrokeStandIn : PanGestureRecognizer {
    GestureState now = GestureState::possible;
    QPointF where;
    GestureState state() const override { return now; }
    QPointF locationInView() const override { return where; }
    void move(DrawingViewController& editor, GestureState state, QPointF point) {
        now = state;
        where = point;
        editor.handleDrawFrom(*this);
    }
};
}  // namespace

TEST_F(DrawingEditorTest, StartsBlankWithThePaintbrushCyanAndButtonsAtExactPoints) {
    EXPECT_EQ(canvas().width, 20);
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));
    EXPECT_EQ(editor->currentDrawingColor, kCyan);
    EXPECT_TRUE(dynamic_cast<Paintbrush*>(editor->currentTool.get()));
    EXPECT_GE(StoreReviewController::requestCount(), 1);
    // Half points are kept, not rounded away.
    EXPECT_EQ(button("undoButton")->center(), QPointF(32.5, 844 - 844 / 9.0 + 30));
    EXPECT_EQ(button("redoButton")->center().x(), 117.5);
    EXPECT_EQ(button("colorPickerButton")->center().x(), 272.5);
    EXPECT_EQ(button("shareButton")->center().x(), 357.5);
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), kCyan);
}

TEST_F(DrawingEditorTest, ATapPaintsOneCellAsOneUndoStepAndTheKeysUndoAndRedoIt) {
    tap(at(4, 7));
    EXPECT_EQ(cell(4, 7)->fillColor(), kCyan);
    ASSERT_EQ(editor->commandManager.commandStack().size(), 1u);
    click(button("undoButton"));
    EXPECT_EQ(cell(4, 7)->fillColor(), Color::white());
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(cell(4, 7)->fillColor(), kCyan);
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell(4, 7)->fillColor(), Color::white());
    tap(at(1, 1));  // a new edit leaves nothing to redo
    click(button("redoButton"));
    EXPECT_EQ(cell(4, 7)->fillColor(), Color::white());
}

// A stroke paints every cell it passes, also across one big jump, as one undo step that
// restores the colours from before it.
TEST_F(DrawingEditorTest, AStrokeIsOneStepOverEveryCellItPasses) {
    cell(2, 10)->setFillColor(Color::red());
    const std::vector<Color> start = canvas().getColorArray();
    drag({at(0, 10), at(1, 10), at(2, 10), at(3, 10), at(2, 10), at(1, 10)});
    drag({at(0, 3), at(12, 3)});
    for (int x = 0; x <= 12; ++x) {
        EXPECT_EQ(cell(x, 3)->fillColor(), kCyan) << x;
        EXPECT_EQ(cell(x, 10)->fillColor(), x <= 3 ? kCyan : Color::white()) << x;
    }
    EXPECT_EQ(cell(13, 3)->fillColor(), Color::white());
    EXPECT_EQ(cell(6, 4)->fillColor(), Color::white());
    ASSERT_EQ(editor->commandManager.commandStack().size(), 2u);
    click(button("undoButton"));
    click(button("undoButton"));
    EXPECT_EQ(canvas().getColorArray(), start);
}

TEST_F(DrawingEditorTest, ASecondFingerEndsTheStrokeAsOneUndoStepInsteadOfStrayMarks) {
    touch().press(0, at(0, 5), target());
    touch().move(0, at(1, 5), target());
    touch().move(0, at(2, 5), target());
    touch().stationary(0).press(1, at(8, 5), target());
    touch().move(0, at(2, 8), target()).move(1, at(8, 8), target());
    touch().move(0, at(2, 11), target()).move(1, at(8, 11), target());
    touch().release(0, at(2, 11), target()).release(1, at(8, 11), target());
    EXPECT_EQ(cell(1, 5)->fillColor(), kCyan);
    ASSERT_EQ(editor->commandManager.commandStack().size(), 1u);
    EXPECT_TRUE(editor->canDraw);
    click(button("undoButton"));
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));
}

// During a two-finger pan taps still reach the bucket, but drags paint nothing; a drag with
// the bucket changes and records nothing either.
TEST_F(DrawingEditorTest, WhileDrawingIsOffTapsStillReachTheBucketButDragsPaintNothing) {
    click(editor->fanMenuButton);
    click(editor->fillButton);
    editor->canDraw = false;
    tap(at(5, 5));
    EXPECT_EQ(canvas().getColorArray(), all(kCyan));
    click(editor->fanMenuButton);
    click(editor->paintBrushButton);
    editor->currentDrawingColor = Color::red();
    drag({at(1, 1), at(2, 1), at(3, 1)});
    editor->canDraw = true;
    click(editor->fanMenuButton);
    click(editor->fillButton);
    drag({at(1, 1), at(2, 1), at(3, 1)});
    EXPECT_EQ(canvas().getColorArray(), all(kCyan));
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);
}

// Found by the random input test: a pan that ends before the stroke beside it painted the
// end of a stroke that never began, outside every undo step. And a stroke still open when
// undo is pressed is undone as a whole, not left behind.
TEST_F(DrawingEditorTest, EveryPaintedCellBelongsToAnUndoStep) {
    drag({at(2, 2), at(3, 2), at(4, 2)});
    const std::vector<Color> afterStroke = canvas().getColorArray();
    StrokeStandIn stroke;
    editor->canDraw = false;  // the pan has begun
    stroke.move(*editor, GestureState::began, at(15, 15));
    editor->canDraw = true;  // the pan has ended
    stroke.move(*editor, GestureState::changed, at(16, 16));
    stroke.move(*editor, GestureState::ended, at(16, 16));
    EXPECT_EQ(canvas().getColorArray(), afterStroke);
    EXPECT_EQ(editor->commandManager.commandStack().size(), 1u);

    stroke.move(*editor, GestureState::began, at(10, 10));
    stroke.move(*editor, GestureState::changed, at(10, 12));
    EXPECT_EQ(cell(10, 11)->fillColor(), kCyan);
    click(button("undoButton"));  // before the finger lifts
    EXPECT_EQ(canvas().getColorArray(), afterStroke);
    click(button("undoButton"));
    EXPECT_EQ(canvas().getColorArray(), all(Color::white()));
}

TEST_F(DrawingEditorTest, TwoFingerPansStopAtHalfTheGridPerAxis) {
    const auto pan = [&](QPoint a, QPoint step, int steps) {
        touch().press(0, a, target()).press(1, a + QPoint(100, 0), target());
        for (int i = 0; i < steps; ++i, a += step) {
            touch().move(0, a + step, target()).move(1, a + step + QPoint(100, 0), target());
        }
        touch().release(0, a, target()).release(1, a + QPoint(100, 0), target());
    };
    const QPointF start = canvas().position();
    pan(QPoint(100, 400), QPoint(20, 0), 20);
    // The centre may move at most 195 points (half the grid's width) to the right.
    EXPECT_LE(canvas().position().x(), start.x() + 195);
    EXPECT_GT(canvas().position().x(), start.x() + 150);
    EXPECT_EQ(canvas().position().y(), start.y());
    EXPECT_TRUE(editor->canDraw);
    // Further right and down: only the vertical part moves (down on screen is down in the scene).
    const QPointF before = canvas().position();
    pan(QPoint(100, 300), QPoint(20, 20), 5);
    EXPECT_EQ(canvas().position().x(), before.x());
    EXPECT_LT(canvas().position().y(), before.y() - 50);
}

TEST_F(DrawingEditorTest, ZoomStopsAtBothLimitsAndTheOtherWayStillWorks) {
    const auto wheel = [&](int notches) {
        for (int i = 0; i < std::abs(notches); ++i) {
            QWheelEvent event(QPointF(195, 422), target()->mapToGlobal(QPointF(195, 422)), {},
                              QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(target(), &event);
        }
        clock.advance(0.5);  // the zoom ends after a short pause
        return canvas().xScale();
    };
    // One cell wider than a quarter of the screen stops it; the last step may pass the limit.
    const double in = wheel(30);
    EXPECT_GT(in * 300, 0.25 * 390);
    EXPECT_LE(in * 300, 0.25 * 390 * 1.25);
    EXPECT_EQ(canvas().xScale(), canvas().yScale());
    EXPECT_LT(wheel(-1), in);
    const double out = wheel(-40);
    EXPECT_LT(out * 6000, 0.75 * 390);
    EXPECT_GE(out * 6000, 0.75 * 390 / 1.25);
    EXPECT_GT(wheel(1), out);
    EXPECT_EQ(canvas().position(), QPointF(195, 422)) << "about the canvas's own centre";
}

// The limits at their exact bounds, and the reach growing with the zoom.
TEST(CanvasLimitsTest, BoundsAreExact) {
    const QPointF centre(195, 422);  // 20 cells of 300 units fitted to 390 points
    const QSizeF size(6000, 6000);
    const QPointF scale(0.065, 0.065);
    EXPECT_TRUE(allowedCanvasMoveFor(centre, centre, size, scale, 195, 0).x);
    EXPECT_FALSE(allowedCanvasMoveFor(centre, centre, size, scale, 195.5, 0).x);
    EXPECT_TRUE(allowedCanvasMoveFor(centre, centre, size, scale, -195, -195).y);
    EXPECT_TRUE(allowedCanvasMoveFor(centre, centre, size, QPointF(0.13, 0.13), 390, 0).x);
    EXPECT_FALSE(zoomRefused(0.75 * 390 / 6000, 6000, 300, 390, 0.9));
    EXPECT_FALSE(zoomRefused(0.04, 6000, 300, 390, 1.0));
    EXPECT_FALSE(zoomRefused(0.4, 6000, 300, 390, 1.0));
    EXPECT_EQ(clampIntoEdges(QPointF(-40, 900), Edges{0, 617, 390, 227}), QPointF(5, 612));
}

TEST_F(DrawingEditorTest, ThePipettePicksSlidesOffTheEdgeAndKeepsTheLastColour) {
    touch().press(0, QPoint(195, 100), target());  // off the grid: nothing shown or picked
    clock.advance(0.45);
    touch().move(0, QPoint(195, 300), target());
    touch().release(0, QPoint(195, 300), target());
    EXPECT_FALSE(editor->pipetteCircle);
    EXPECT_EQ(editor->currentDrawingColor, kCyan);

    cell(5, 5)->setFillColor(Color::red());
    cell(19, 19)->setFillColor(Color::blue());
    touch().press(0, at(5, 5), target());
    clock.advance(0.45);
    ASSERT_TRUE(editor->pipetteCircle);
    const auto circle = [&] { return qobject_cast<Button*>(editor->pipetteCircle)->center(); };
    EXPECT_EQ(editor->currentDrawingColor, Color::red());
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), Color::red());
    EXPECT_EQ(circle(), QPointF(at(5, 5)) - QPointF(0, 10));
    // Far past the top-right corner: the circle stays 5 points inside, over the corner cell.
    touch().move(0, QPoint(380, 300), target());
    touch().move(0, QPoint(500, 100), target());
    const Edges edges = view().canvasBoundsInView();
    EXPECT_EQ(circle(), QPointF(edges.right - 5, edges.top + 5 - 10));
    touch().release(0, QPoint(500, 100), target());
    processEvents();
    EXPECT_FALSE(editor->pipetteCircle);
    EXPECT_EQ(editor->currentDrawingColor, Color::blue());
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), Color::blue());
    EXPECT_TRUE(editor->commandManager.commandStack().empty());
}

TEST_F(DrawingEditorTest, TheCanvasTurnsWithTheDeviceButNotUpsideDown) {
    const std::pair<DeviceOrientation, double> turns[] = {
        {DeviceOrientation::landscapeLeft, -std::numbers::pi / 2},
        {DeviceOrientation::portraitUpsideDown, -std::numbers::pi / 2},  // stays as it was
        {DeviceOrientation::landscapeRight, std::numbers::pi / 2},
        {DeviceOrientation::faceUp, 0}};
    for (const auto& [orientation, angle] : turns) {
        DeviceOrientationCenter::shared().simulateOrientation(orientation);
        view().canvasScene()->update(1000);
        view().canvasScene()->update(1001);
        EXPECT_NEAR(canvas().zRotation(), angle, 1e-9) << int(orientation);
    }
    DeviceOrientationCenter::shared().simulateOrientation(DeviceOrientation::portrait);
    EXPECT_EQ(editor->geometry(), QRect(0, 0, 390, 844)) << "the screen itself never turns";
    // The orientation registration goes with the editor.
    const int withEditor = DeviceOrientationCenter::shared().observerCount();
    editor->dismiss(false);
    processEvents();
    EXPECT_EQ(DeviceOrientationCenter::shared().observerCount(), withEditor - 1);
}

TEST_F(DrawingEditorTest, TheFanMenuOpensStaysOpenAndFoldsOnAChoice) {
    Button* brush = editor->paintBrushButton;
    Button* bucket = editor->fillButton;
    const QPointF c = editor->fanMenuButton->center();
    EXPECT_EQ(bucket->center(), c);
    EXPECT_EQ(bucket->alpha(), 0);
    EXPECT_FALSE(brush->isUserInteractionEnabled());
    click(editor->fanMenuButton);
    click(editor->fanMenuButton);  // a second tap leaves it open
    EXPECT_EQ(brush->center(), c + QPointF(-50, -70));
    EXPECT_EQ(bucket->center(), c + QPointF(50, -70));
    EXPECT_EQ(bucket->alpha(), 1);
    EXPECT_TRUE(bucket->isUserInteractionEnabled());
    click(bucket);
    EXPECT_TRUE(dynamic_cast<Bucket*>(editor->currentTool.get()));
    EXPECT_EQ(bucket->center(), c);
    EXPECT_EQ(brush->alpha(), 0);
    EXPECT_FALSE(bucket->isUserInteractionEnabled());

    // A layout pass while open puts both back on the menu button, still visible and live.
    click(editor->fanMenuButton);
    editor->resize(390, 845);
    editor->resize(390, 844);
    EXPECT_EQ(brush->center(), editor->fanMenuButton->center());
    EXPECT_EQ(brush->alpha(), 1);
    click(brush);
    EXPECT_TRUE(dynamic_cast<Paintbrush*>(editor->currentTool.get()));

    // Animations on, a new editor still starts folded.
    Animation::setEnabled(true);
    openEditor(nullptr);
    EXPECT_EQ(editor->paintBrushButton->center(), editor->fanMenuButton->center());
    EXPECT_EQ(editor->fillButton->center(), editor->fanMenuButton->center());
    Animation::setEnabled(false);
}

// The picker covers the lower two thirds; whatever kind of colour comes back, the editor
// paints with its RGB form.
TEST_F(DrawingEditorTest, TheColourButtonPresentsThePickerAndTheChoiceComesBack) {
    click(editor->colorPickerButton);
    auto* picker = top<ColorPickerViewController>();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->geometry(), QRectF(0, 844 / 3.0, 390, 844).toRect());
    EXPECT_EQ(picker->initialColor(), kCyan);
    editor->colorChosen(Color::gray());
    EXPECT_EQ(editor->currentDrawingColor, Color::withRGB(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), Color::gray());
}

TEST_F(DrawingEditorTest, RendersTheGridTheToolbarAndTheCurrentColour) {
    tap(at(0, 19));
    click(editor->fanMenuButton);
    const QImage shot = window.grab().toImage();
    if (const QString dir = qEnvironmentVariable("TILEBLOOM_SCREENSHOT_DIR"); !dir.isEmpty()) {
        shot.save(dir + "/editor.png");
    }
    EXPECT_EQ(shot.pixelColor(at(0, 19)), kCyan.toQColor());
    EXPECT_EQ(shot.pixelColor(at(10, 10)), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(5, 830), QColor(Qt::white));  // the toolbar
    EXPECT_EQ(shot.pixelColor(editor->colorPickerButton->center().toPoint()), kCyan.toQColor());
}
