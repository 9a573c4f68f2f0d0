// The editor's draft: what it keeps after every step, the editor it gives back, and how Save,
// Exit and every other way of leaving end it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "color/color_picker_view_controller.h"
#include "editing/bucket.h"
#include "editing/paintbrush.h"
#include "editor/draft_keeper.h"
#include "editor/drawing_view_controller.h"
#include "gestures/gesture_clock.h"
#include "platform/settings_manager.h"
#include "screens/alert_controller.h"
#include "screens/app_window.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"
#include "store/core_data_manager.h"
#include "store/draft_store.h"
#include "store/drawing.h"
#include "store/persistent_container.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"

namespace editor_draft {
const Color kBrushCyan = Color::systemCyan();

struct DraftTest : testing::Test {
    ScopedDataDir dataDir;
    StoreTestDelegate store;
    ManualGestureClock clock;
    AppWindow window{ScreenMetrics::phone()};
    PlatformViewController* home = new PlatformViewController;
    QPointer<DrawingViewController> editor;

    void SetUp() override {
        Storyboard::main().registerScreen("colorpicker",
                                          [] { return new ColorPickerViewController; });
        window.screenStack()->setRootViewController(home);
        window.show();
    }
    void TearDown() override { SettingsManager::applyGridSize(20); }

    void openEditor(Drawing* stored, std::optional<Draft> draft = std::nullopt) {
        ASSERT_FALSE(editor) << "the previous editor is still open";
        editor = new DrawingViewController;
        editor->previousDrawing = stored;
        if (stored) {
            keepRecordFor(editor, stored);
        }
        if (draft) {
            editor->restoreDraft(std::move(*draft));
        }
        home->present(editor, false);
        processEvents();
    }
    // The editor goes without Save or Exit, as when the window closes.
    void leave() {
        editor->dismiss(false);
        processEvents();
        ASSERT_FALSE(editor);
    }

    Canvas& canvas() { return *editor->canvasView->canvas(); }
    QPoint at(int64_t x, int64_t y) {
        const QPointF centre = canvas().getPixel(x, y)->position() + QPointF(150, 150);
        return editor->canvasView->convertPointFromScene(canvas().convertPointToScene(centre))
            .toPoint();
    }
    QTest::QTouchEventWidgetSequence touch() {
        static QPointingDevice* device = QTest::createTouchDevice();
        return QTest::touchEvent(&window, device);
    }
    void drag(const std::vector<QPoint>& points) {
        touch().press(0, points.front(), editor->canvasView);
        for (size_t i = 1; i < points.size(); ++i) {
            touch().move(0, points[i], editor->canvasView);
        }
        touch().release(0, points.back(), editor->canvasView);
        processEvents();
    }
    void tap(int64_t x, int64_t y) { drag({at(x, y)}); }
    void click(QWidget* widget) {
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        processEvents();
    }
    void press(const char* name) { click(editor->findChild<QWidget*>(name)); }
    void chooseTool(Button* tool) {
        click(editor->fanMenuButton);
        click(tool);
    }
    template <typename T>
    T* top() {
        return qobject_cast<T*>(window.screenStack()->topViewController());
    }
    void save(const QString& title) {
        press("saveButton");
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert);
        alert->textFields()[0]->setText(title);
        alert->triggerAction("Save");
        processEvents();
    }

    DraftStore& drafts() { return *store.persistentContainer()->drafts(); }
    int count(const char* table) {
        QSqlQuery q(store.persistentContainer()->database());
        return q.exec(QString("SELECT count(*) FROM ") + table) && q.next() ? q.value(0).toInt()
                                                                            : -1;
    }
    // The editor's draft as the store holds it once everything handed over is written.
    Draft stored() {
        EXPECT_TRUE(editor->draftKeeper()->flush());
        QString problem;
        std::optional<Draft> draft = drafts().read(editor->draftKeeper()->id(), problem);
        EXPECT_TRUE(draft) << problem.toStdString();
        return draft.value_or(Draft{});
    }
    Drawing* storeWhite() {
        Drawing* drawing = Drawing::create(std::vector<Color>(400, Color::white()), 20, 20);
        Thumbnail* thumbnail = Thumbnail::create("stored", "now", "png");
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
        return drawing;
    }
    // What the editor shows and can undo and redo.
    struct State {
        std::vector<Color> cells;
        size_t undo;
        size_t redo;
        bool operator==(const State&) const = default;
    };
    State state() {
        return {canvas().getColorArray(), editor->commandManager.commandStack().size(),
                editor->commandManager.undoStack().size()};
    }
};
}  // namespace editor_draft

using editor_draft::DraftTest;
using editor_draft::kBrushCyan;

// Every finished step is in the draft at once with the whole picture; a stroke under way is
// not, and nothing is kept before the first step.
TEST_F(DraftTest, TheDraftFollowsEveryStepButNotAStrokeUnderWay) {
    openEditor(nullptr);
    editor->draftKeeper()->writeNow();
    EXPECT_FALSE(editor->draftKeeper()->hasDraft());
    EXPECT_EQ(count("Draft"), 0);

    tap(3, 3);
    Draft draft = stored();
    EXPECT_EQ(draft.cells, canvas().getColorArray());
    EXPECT_EQ(draft.cells[3 * 20 + 3], kBrushCyan);
    EXPECT_EQ(draft.steps.size(), 1u);
    EXPECT_TRUE(draft.steps[0].group);  // a tap is one step made like a stroke
    EXPECT_EQ(draft.applied, 1);
    EXPECT_EQ(draft.tool, "paintBrushButton");
    EXPECT_EQ(draft.color, kBrushCyan);
    EXPECT_TRUE(draft.drawing.isNull());
    EXPECT_EQ(draft.width, 20);

    drag({at(1, 1), at(2, 1), at(3, 1), at(4, 1)});
    press("undoButton");
    draft = stored();
    EXPECT_EQ(draft.steps.size(), 2u);
    EXPECT_EQ(draft.steps[1].changes.size(), 4u);
    EXPECT_EQ(draft.applied, 1);
    EXPECT_EQ(draft.cells, canvas().getColorArray());

    // A stroke under way: its painted cells stay out of the draft until it ends.
    const std::vector<Color> before = canvas().getColorArray();
    touch().press(0, at(6, 6), editor->canvasView);
    touch().move(0, at(7, 6), editor->canvasView);
    touch().move(0, at(8, 6), editor->canvasView);
    ASSERT_EQ(canvas().getPixel(7, 6)->fillColor(), kBrushCyan);
    editor->draftKeeper()->writeNow();
    draft = stored();
    EXPECT_EQ(draft.cells, before);
    EXPECT_EQ(draft.applied, 1);
    touch().release(0, at(8, 6), editor->canvasView);
    processEvents();
    draft = stored();
    EXPECT_EQ(draft.cells, canvas().getColorArray());
    ASSERT_EQ(draft.steps.size(), 2u) << "the undone stroke gave way to the new one";
    EXPECT_EQ(draft.steps[1].changes.size(), 3u);  // the last cell of the stroke is in

    // Paint in no step yet (a shape's preview paints cells outside every step), after a step
    // the draft has not caught up with: the draft shows what the history stands for.
    touch().press(0, at(12, 12), editor->canvasView);
    touch().release(0, at(12, 12), editor->canvasView);
    const std::vector<Color> committed = canvas().getColorArray();
    touch().press(0, at(14, 3), editor->canvasView);
    touch().move(0, at(15, 3), editor->canvasView);
    Pixel* previewed = canvas().getPixel(18, 18);
    previewed->setFillColor(Color::red());
    editor->draftKeeper()->writeNow();
    draft = stored();
    EXPECT_EQ(draft.cells, committed);
    EXPECT_EQ(draft.applied, 3);
    previewed->setFillColor(Color::white());
    touch().release(0, at(15, 3), editor->canvasView);
    processEvents();
    EXPECT_EQ(stored().cells, canvas().getColorArray());

    // Colour and tool are kept as they change.
    chooseTool(editor->fillButton);
    editor->colorChosen(Color::withRGB(1, 0.5, 0, 1));
    draft = stored();
    EXPECT_EQ(draft.tool, "fillButton");
    EXPECT_EQ(draft.color, Color::withRGB(1, 0.5, 0, 1));
    EXPECT_EQ(count("Draft"), 1);
}

// A restored editor shows the picture, colour and tool it was left with, and undo and redo go
// through the whole session.
TEST_F(DraftTest, ARestoredEditorCanUndoAndRedoTheWholeSession) {
    openEditor(nullptr);
    std::vector<State> states{state()};
    tap(3, 3);
    states.push_back(state());
    drag({at(0, 5), at(1, 5), at(2, 5), at(2, 6)});
    states.push_back(state());
    chooseTool(editor->fillButton);
    editor->colorChosen(Color::withRGB(0, 0.5, 0, 1));
    tap(10, 10);
    states.push_back(state());
    chooseTool(editor->paintBrushButton);
    editor->colorChosen(Color::red());
    tap(3, 3);  // over an earlier cell: undo must give back the fill's colour
    states.push_back(state());
    press("undoButton");
    press("undoButton");
    chooseTool(editor->fillButton);
    const State left = state();
    const Color colour = editor->currentDrawingColor;
    leave();  // as if the app had been killed
    ASSERT_EQ(count("Draft"), 1);

    QString problem;
    const std::vector<DraftStore::Found> found = [&] {
        store.closeContainer();  // a new run: the old owner is gone
        return drafts().abandonedDrafts();
    }();
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(drafts().claim(found[0]));
    std::optional<Draft> draft = drafts().read(found[0].id, problem);
    ASSERT_TRUE(draft) << problem.toStdString();
    openEditor(nullptr, std::move(*draft));
    EXPECT_EQ(state(), left);
    EXPECT_EQ(editor->currentDrawingColor, colour);
    EXPECT_TRUE(dynamic_cast<Bucket*>(editor->currentTool.get()));
    EXPECT_EQ(editor->draftKeeper()->id(), found[0].id);
    for (size_t i = 2; i-- > 0;) {
        press("redoButton");
    }
    EXPECT_EQ(state(), states[4]);
    // States recorded during the session had nothing to redo; now the rest of it is.
    const auto expect = [&](size_t step, const char* after) {
        const State now = state();
        EXPECT_EQ(now.cells, states[step].cells) << after << step;
        EXPECT_EQ(now.undo, step) << after << step;
        EXPECT_EQ(now.redo, states.size() - 1 - step) << after << step;
    };
    for (size_t i = states.size() - 1; i-- > 0;) {
        press("undoButton");
        expect(i, "after undoing back to step ");
    }
    for (size_t i = 1; i < states.size(); ++i) {
        press("redoButton");
        expect(i, "after redoing step ");
    }
    // The same draft goes on: nothing was written twice.
    tap(15, 15);
    const Draft after = stored();
    EXPECT_EQ(after.id, found[0].id);
    EXPECT_EQ(after.steps.size(), 5u);
    EXPECT_EQ(after.cells, canvas().getColorArray());
    EXPECT_EQ(count("Draft"), 1);
}

// Saving a restored editor does what saving the editor it came from would have done: a new
// drawing is added, a reopened one is changed in place. The draft goes with the save.
TEST_F(DraftTest, ARestoredEditorSavesAsTheOriginalWould) {
    for (const bool reopened : {false, true}) {
        SCOPED_TRACE(reopened ? "reopened drawing" : "new drawing");
        Drawing* original = reopened ? storeWhite() : nullptr;
        const QUuid originalId = original ? original->id() : QUuid();
        const int drawingsBefore = count("Drawing");
        openEditor(original);
        tap(4, 4);
        EXPECT_EQ(stored().drawing, originalId);
        leave();
        store.closeContainer();
        const auto found = drafts().abandonedDrafts();
        ASSERT_EQ(found.size(), 1u);
        ASSERT_TRUE(drafts().claim(found[0]));
        QString problem;
        openEditor(nullptr, drafts().read(found[0].id, problem));
        EXPECT_EQ(editor->previousDrawing != nullptr, reopened);
        tap(5, 5);
        const std::vector<Color> painted = canvas().getColorArray();
        save("restored");
        ASSERT_FALSE(editor);
        EXPECT_EQ(count("Draft"), 0);
        EXPECT_EQ(count("DraftStep"), 0);
        EXPECT_EQ(count("Drawing"), drawingsBefore + (reopened ? 0 : 1));
        store.closeContainer();
        const std::vector<Thumbnail*> list = *CoreDataManager::loadThumbnails();
        Drawing* saved = list.back()->drawing();
        EXPECT_EQ(list.back()->fileName(), "restored");
        EXPECT_EQ(saved->colorArray(), painted);
        EXPECT_EQ(saved->id() == originalId, reopened);
    }
}

// Exit deletes the draft; a refused save keeps it current; leaving any other way keeps it.
TEST_F(DraftTest, OnlySaveAndExitEndADraft) {
    openEditor(nullptr);
    tap(2, 2);
    editor->draftKeeper()->flush();
    press("backButton");
    top<AlertController>()->triggerAction("Exit");
    processEvents();
    ASSERT_FALSE(editor);
    EXPECT_EQ(count("Draft"), 0);
    EXPECT_EQ(count("DraftStep"), 0);

    openEditor(nullptr);
    tap(2, 2);
    // The store cannot grow: the drawing's save is refused and the draft stays as it was.
    QSqlQuery q(store.persistentContainer()->database());
    ASSERT_TRUE(q.exec("PRAGMA page_count") && q.next());
    ASSERT_TRUE(q.exec("PRAGMA max_page_count = " + q.value(0).toString()));
    q.finish();
    const std::string out = captureStdout([&] { save(QString("long ").repeated(3000)); });
    EXPECT_NE(out.find("Could not save. "), std::string::npos) << out;
    ASSERT_TRUE(editor);
    top<AlertController>()->triggerAction("OK");
    processEvents();
    EXPECT_EQ(stored().cells, canvas().getColorArray());
    ASSERT_TRUE(q.exec("PRAGMA max_page_count = 1000000"));
    q.finish();
    tap(3, 2);
    leave();
    EXPECT_EQ(count("Draft"), 1) << "the window closed: the draft stays";
    EXPECT_EQ(count("Drawing"), 0);
}

// The tool's name comes from the file: only a tool of the fan menu is chosen with it.
TEST_F(DraftTest, ARestoredToolIsOnlyEverAToolOfTheMenu) {
    for (const char* name : {"saveButton", "fanMenuButton", "backButton", "nothing", ""}) {
        SCOPED_TRACE(name);
        Draft draft;
        draft.id = name;
        draft.width = 20;
        draft.height = 20;
        draft.cells.assign(400, Color::white());
        draft.tool = name;
        const std::string out = captureStdout([&] { openEditor(nullptr, draft); });
        EXPECT_EQ(out, "Drafts: the tool \"" + std::string(name) +
                           "\" is not offered; the paintbrush is used.\n");
        EXPECT_EQ(top<DrawingViewController>(), editor);
        EXPECT_TRUE(dynamic_cast<Paintbrush*>(editor->currentTool.get()));
        leave();
    }
}
