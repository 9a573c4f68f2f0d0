// The drawing screen through real input where the history model does not reach: key
// bindings, pan limits, the pipette and malformed stored drawings.
#include <QShortcut>
#include <map>

#include "editor_fixture.h"
#include "store/color_archive.h"

namespace {
const Color kCyan = Color::systemCyan();

using EditorTest = OpenEditorFixture;

}  // namespace

// On X11 the standard redo keys are Ctrl+Shift+Z alone: bound a second time beside them, the
// sequence was ambiguous and neither binding fired. No sequence is bound twice; the history
// model test and the window tests press them.
TEST_F(EditorTest, UndoAndRedoKeysAreEachBoundOnceAndWork) {
    std::map<QString, std::vector<QShortcut*>> bound;
    for (QShortcut* shortcut : editor->findChildren<QShortcut*>()) {
        for (const QKeySequence& keys : shortcut->keys()) {
            bound[keys.toString()].push_back(shortcut);
        }
    }
    for (const auto& [keys, shortcuts] : bound) {
        EXPECT_EQ(shortcuts.size(), 1u) << keys.toStdString();
    }
    ASSERT_TRUE(bound.contains("Ctrl+Z") && bound.contains("Ctrl+Y"));
    EXPECT_EQ(bound["Ctrl+Shift+Z"], bound["Ctrl+Y"]) << "two shortcuts redo";
}

// The limits themselves are tested on their own; here the editor applies them to real pans.
TEST_F(EditorTest, PanAndZoomStopAtTheirLimits) {
    const auto pan = [&](QPoint a, QPoint step, int steps) {
        touch().press(0, a, target()).press(1, a + QPoint(100, 0), target());
        for (int i = 0; i < steps; ++i, a += step) {
            touch().move(0, a + step, target()).move(1, a + step + QPoint(100, 0), target());
        }
        touch().release(0, a, target()).release(1, a + QPoint(100, 0), target());
    };
    const QPointF start = canvas().position();
    pan(QPoint(100, 400), QPoint(20, 0), 20);
    EXPECT_LE(canvas().position().x(), start.x() + 195);  // half the grid's width
    EXPECT_GT(canvas().position().x(), start.x() + 150);
    EXPECT_EQ(canvas().position().y(), start.y());
    EXPECT_TRUE(editor->canDraw);
    const QPointF before = canvas().position();
    pan(QPoint(100, 300), QPoint(20, 20), 5);  // a diagonal past the limit keeps its free part
    EXPECT_EQ(canvas().position().x(), before.x());
    EXPECT_LT(canvas().position().y(), before.y() - 50);  // down on screen is down in the scene

    // Zooming keeps the canvas where it is (the zoom limits: OblongEditorTest).
    const QPointF panned = canvas().position();
    const double fitted = canvas().xScale();
    wheel(30);
    EXPECT_GT(canvas().xScale(), fitted * 3);
    wheel(-40);
    EXPECT_EQ(canvas().position(), panned);
}

// Found in a real window: on a turned canvas the bounds came back with top below bottom or left
// right of right, so the circle stuck far from the finger and a press that slid off the canvas
// picked the wrong cell. In every orientation the circle follows the finger, stays on the part
// of the canvas that shows, and off the canvas picks the corner cell on screen. Lifting keeps
// the last colour and makes no undo step.
TEST_F(EditorTest, ThePipetteFollowsTheFingerWhicheverWayTheCanvasIsTurned) {
    const auto circle = [&] { return qobject_cast<Button*>(editor->pipetteCircle)->center(); };
    touch().press(0, QPoint(195, 100), target());  // begun above the grid: no pipette
    clock.advance(0.45);
    touch().move(0, QPoint(195, 300), target());
    touch().release(0, QPoint(195, 300), target());
    EXPECT_FALSE(editor->pipetteCircle);
    EXPECT_EQ(editor->currentDrawingColor, kCyan);
    cell(5, 5)->setFillColor(Color::red());
    touch().press(0, at(5, 5), target());
    clock.advance(0.45);
    ASSERT_TRUE(editor->pipetteCircle);
    EXPECT_EQ(circle(), QPointF(at(5, 5)) - QPointF(0, 10));
    touch().release(0, at(5, 5), target());
    processEvents();
    EXPECT_FALSE(editor->pipetteCircle);
    EXPECT_EQ(editor->colorPickerButton->backgroundColor(), Color::red());
    EXPECT_EQ(steps(), 0u);

    const Color green = Color::withRGB(0, 1, 0, 1);
    const Color black = Color::black();
    cell(0, 0)->setFillColor(Color::red());
    cell(19, 0)->setFillColor(Color::blue());
    cell(0, 19)->setFillColor(green);
    cell(19, 19)->setFillColor(black);
    // The grid is 390 points square around (195, 422), however it is turned.
    const struct {
        DeviceOrientation orientation;
        Color topLeft, bottomRight;  // the corner cells on screen
    } turns[] = {
        {DeviceOrientation::portrait, green, Color::blue()},
        {DeviceOrientation::landscapeLeft, Color::red(), black},
        {DeviceOrientation::landscapeRight, black, Color::red()},
        {DeviceOrientation::portraitUpsideDown, black, Color::red()},  // stays turned right
    };
    for (const auto& t : turns) {
        SCOPED_TRACE(int(t.orientation));
        turn(t.orientation);
        touch().press(0, QPoint(150, 300), target());
        clock.advance(0.45);
        ASSERT_TRUE(editor->pipetteCircle);
        touch().move(0, QPoint(160, 300), target());
        EXPECT_EQ(circle(), QPointF(160, 290));
        touch().move(0, QPoint(1, 1), target());
        EXPECT_EQ(circle(), QPointF(5, 227 + 5 - 10));
        EXPECT_EQ(editor->currentDrawingColor, t.topLeft);
        touch().move(0, QPoint(389, 700), target());
        EXPECT_EQ(circle(), QPointF(385, 617 - 5 - 10));
        EXPECT_EQ(editor->currentDrawingColor, t.bottomRight);
        touch().release(0, QPoint(389, 700), target());
    }

    // Zoomed in, the grid runs under the toolbar: the circle stays where the canvas shows.
    turn(DeviceOrientation::portrait);
    wheel(3);
    const double toolbarTop = editor->lowerToolbar->geometry().top();
    ASSERT_GT(editor->canvasView->canvasBoundsInView().bottom, toolbarTop);
    touch().press(0, QPoint(150, 500), target());
    clock.advance(0.45);
    touch().move(0, QPoint(150, 843), target());
    EXPECT_EQ(circle(), QPointF(150, toolbarTop - 5 - 10));
    touch().release(0, QPoint(150, 843), target());

    // A closed editor no longer listens for turns.
    const int withEditor = DeviceOrientationCenter::shared().observerCount();
    leave();
    EXPECT_EQ(DeviceOrientationCenter::shared().observerCount(), withEditor - 1);
}

// Records no save of this app writes (the store's tests check how they are read): each opens
// with a line saying what was wrong, shows a sound grid, and a save writes every cell.
TEST_F(EditorTest, MalformedStoredDrawingsOpenSoundlyAndSaveWhatIsShown) {
    const auto archive = [](size_t count) {
        std::vector<Color> colors(count, Color::white());
        colors[0] = Color::red();
        return ColorArchive::encode(colors);
    };
    const struct {
        qint64 width, height;
        QByteArray colors;  // stored bytes
        int64_t shownWidth, shownHeight;
        const char* says;  // part of the line that opening prints
    } cases[] = {
        {20, 20, archive(10), 20, 20, "is 20 x 20 but holds 10 colors"},
        {-5, 28, archive(140), 20, 28, "a drawing width of -5 cannot be shown"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const QUuid id = storeWhite()->id();
        QSqlQuery q = query();
        q.prepare("UPDATE Drawing SET width = ?, height = ?, colorArray = ? WHERE id = ?");
        for (const QVariant& value : {QVariant(c.width), QVariant(c.height), QVariant(c.colors),
                                      QVariant(id.toString(QUuid::WithoutBraces))}) {
            q.addBindValue(value);
        }
        ASSERT_TRUE(q.exec());
        store().closeContainer();
        const std::string opening =
            captureStdout([&] { openEditor(thumbnails().at(0)->drawing()); });
        EXPECT_NE(opening.find(c.says), std::string::npos) << opening;
        EXPECT_EQ(canvas().width, c.shownWidth);
        EXPECT_EQ(canvas().height, c.shownHeight);
        tap(1, 1);
        save("fixed");
        ASSERT_FALSE(editor) << "the save did not go through";
        store().closeContainer();
        Drawing* drawing = thumbnails().at(0)->drawing();
        ASSERT_EQ(drawing->id(), id);
        EXPECT_EQ(drawing->width(), c.shownWidth);
        EXPECT_EQ(drawing->height(), c.shownHeight);
        ASSERT_EQ(drawing->colorArray().size(), size_t(c.shownWidth * c.shownHeight));
        EXPECT_EQ(drawing->colorArray()[size_t(c.shownHeight + 1)], kCyan);
        CoreDataManager::deleteThumbnail(thumbnails().at(0));
        store().closeContainer();
    }
}
