// The editor's draft: what it keeps after every step, the editor it gives back, and how Save,
// Exit and every other way of leaving end it.
#include "editing/paintbrush.h"
#include "editor/draft_keeper.h"
#include "editor_fixture.h"
#include "store/draft_store.h"

namespace editor_draft {
const Color kBrushCyan = Color::systemCyan();

struct DraftTest : EditorFixture {
    DraftStore& drafts() { return *store().persistentContainer()->drafts(); }
    // The editor's draft as the store holds it once everything handed over is written.
    Draft stored() {
        EXPECT_TRUE(editor->draftKeeper()->flush());
        QString problem;
        std::optional<Draft> draft = drafts().read(editor->draftKeeper()->id(), problem);
        EXPECT_TRUE(draft) << problem.toStdString();
        return draft.value_or(Draft{});
    }
    // The draft a new run of the app finds and claims.
    Draft abandoned() {
        store().closeContainer();  // a new run: the old owner is gone
        const std::vector<DraftStore::Found> found = drafts().abandonedDrafts();
        EXPECT_EQ(found.size(), 1u);
        EXPECT_TRUE(!found.empty() && drafts().claim(found[0]));
        QString problem;
        return found.empty() ? Draft{} : drafts().read(found[0].id, problem).value_or(Draft{});
    }
};
}  // namespace editor_draft

using editor_draft::DraftTest;
using editor_draft::kBrushCyan;

// Every finished step is in the draft at once; a stroke under way, or a shape's preview, is
// not, and nothing is kept before the first step (the draft kill test checks the draft's
// history, colour and tool against the app's at every step).
TEST_F(DraftTest, TheDraftFollowsEveryStepButNotAStrokeUnderWay) {
    openEditor(nullptr);
    editor->draftKeeper()->writeNow();
    EXPECT_FALSE(editor->draftKeeper()->hasDraft());
    EXPECT_EQ(rows("Draft"), 0);

    tap(3, 3);
    EXPECT_EQ(stored().cells[3 * 20 + 3], kBrushCyan);

    // A stroke under way: its painted cells stay out of the draft until it ends.
    const std::vector<Color> before = canvas().getColorArray();
    touch().press(0, at(6, 6), target());
    touch().move(0, at(7, 6), target());
    touch().move(0, at(8, 6), target());
    ASSERT_EQ(canvas().getPixel(7, 6)->fillColor(), kBrushCyan);
    editor->draftKeeper()->writeNow();
    EXPECT_EQ(stored().cells, before);
    touch().release(0, at(8, 6), target());
    processEvents();
    Draft draft = stored();
    EXPECT_EQ(draft.cells, canvas().getColorArray());
    ASSERT_EQ(draft.steps.size(), 2u);

    // Paint in no step yet (a shape's preview paints cells outside every step), after a step
    // the draft has not caught up with: the draft shows what the history stands for.
    touch().press(0, at(12, 12), target());
    touch().release(0, at(12, 12), target());
    const std::vector<Color> committed = canvas().getColorArray();
    touch().press(0, at(14, 3), target());
    touch().move(0, at(15, 3), target());
    Pixel* previewed = canvas().getPixel(18, 18);
    previewed->setFillColor(Color::red());
    editor->draftKeeper()->writeNow();
    draft = stored();
    EXPECT_EQ(draft.cells, committed);
    EXPECT_EQ(draft.applied, 3);
    previewed->setFillColor(Color::white());
    touch().release(0, at(15, 3), target());
    processEvents();
    EXPECT_EQ(stored().cells, canvas().getColorArray());
}

// Saving a restored editor does what saving the editor it came from would have done: a
// reopened drawing is changed in place (the draft kill test saves restored new drawings and
// counts them). The draft goes with the save.
TEST_F(DraftTest, ARestoredEditorSavesAsTheOriginalWould) {
    Drawing* original = storeWhite();
    const QUuid originalId = original->id();
    openEditor(original);
    tap(4, 4);
    EXPECT_EQ(stored().drawing, originalId);
    leave();
    openEditor(nullptr, abandoned());
    EXPECT_TRUE(editor->previousDrawing);
    tap(5, 5);
    const std::vector<Color> painted = canvas().getColorArray();
    save("restored");
    ASSERT_FALSE(editor);
    EXPECT_EQ(rows("Draft"), 0);
    EXPECT_EQ(rows("DraftStep"), 0);
    EXPECT_EQ(rows("Drawing"), 1);
    store().closeContainer();
    const std::vector<Thumbnail*> list = *CoreDataManager::loadThumbnails();
    EXPECT_EQ(list.back()->fileName(), "restored");
    EXPECT_EQ(list.back()->drawing()->colorArray(), painted);
    EXPECT_EQ(list.back()->drawing()->id(), originalId);
}

// Exit deletes the draft; a refused save keeps it current; leaving any other way keeps it.
TEST_F(DraftTest, OnlySaveAndExitEndADraft) {
    openEditor();
    tap(2, 2);
    editor->draftKeeper()->flush();
    exitEditor();
    EXPECT_EQ(rows("Draft"), 0);
    EXPECT_EQ(rows("DraftStep"), 0);

    openEditor();
    tap(2, 2);
    // The store cannot grow: the drawing's save is refused and the draft stays as it was.
    fillStore(true);
    saveRefused(QString("long ").repeated(3000));
    EXPECT_EQ(stored().cells, canvas().getColorArray());
    fillStore(false);
    tap(3, 2);
    leave();
    EXPECT_EQ(rows("Draft"), 1) << "the window closed: the draft stays";
    EXPECT_EQ(rows("Drawing"), 0);
}

// The tool's name comes from the file: only a tool of the fan menu is chosen with it.
TEST_F(DraftTest, ARestoredToolIsOnlyEverAToolOfTheMenu) {
    for (const char* name : {"saveButton", "nothing"}) {
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
