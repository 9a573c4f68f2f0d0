// The editor and the store together: what leaving without saving leaves behind, what the
// user is told when the store cannot be used, and the memory a long session of saves takes.
#include <QFile>
#include <iostream>

#include "editor_fixture.h"
#include "screens/activity_view_controller.h"
#include "store/managed_object_context.h"

// Named, not anonymous: the sanitizer flavour compiles the editor tests as one unit.
namespace editor_store {
// ASan keeps freed memory aside for a while, so resident memory says nothing there.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Resident memory of this process in kB.
long residentKb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

struct EditorStoreTest : EditorFixture {
    void chooseColorInPicker() {
        press("colorPickerButton");
        auto* picker = top<ColorPickerViewController>();
        ASSERT_TRUE(picker);
        picker->donePressed();
        processEvents();
    }
    // What a new run of the app lists: each title, and whether its drawing is all white.
    std::vector<std::pair<std::string, bool>> storedDrawings() {
        store().closeContainer();
        std::vector<std::pair<std::string, bool>> out;
        for (Thumbnail* t : thumbnails()) {
            out.emplace_back(t->fileName().left(20).toStdString(),
                             t->drawing() && t->drawing()->colorArray() ==
                                                 std::vector<Color>(400, Color::white()));
        }
        return out;
    }
};
}  // namespace editor_store

using editor_store::EditorStoreTest;
using editor_store::kSanitized;
using editor_store::residentKb;
using Listed = std::vector<std::pair<std::string, bool>>;

// A refused save links a new thumbnail in memory; Exit, or the editor closing any other way,
// must throw it away with everything else the editor left unsaved, or the next save of
// anything writes it.
TEST_F(EditorStoreTest, ARefusedSaveThenExitLeavesNoTraceForLaterSaves) {
    Drawing* stored = storeWhite();
    const QUuid id = stored->id();
    fillStore(true);
    for (const auto& [reopened, byExit] : {std::pair{true, true}, {false, true}, {true, false}}) {
        SCOPED_TRACE(testing::Message() << "reopened " << reopened << ", Exit " << byExit);
        openEditor(reopened ? stored : nullptr);
        tap(3, 3);
        saveRefused(QString("failed ").repeated(2000));  // needs pages of its own
        byExit ? exitEditor() : leave();
    }
    fillStore(false);
    // Another editor: a colour chosen (the history's own save), then a drawing saved.
    openEditor();
    chooseColorInPicker();
    tap(5, 5);
    save("other");
    ASSERT_FALSE(editor);

    EXPECT_EQ(rows("Drawing"), 2);
    EXPECT_EQ(rows("ColorHistory"), 1);
    EXPECT_EQ(storedDrawings(), (Listed{{"stored", true}, {"other", false}}));
    EXPECT_EQ(CoreDataManager::loadThumbnails()->front()->drawing()->id(), id);
}

// Sharing writes the canvas into the record in memory; a colour chosen meanwhile is saved at
// once, and must not take the drawing with it. Back asks first; Cancel keeps the edits.
TEST_F(EditorStoreTest, AColourChosenWhileEditingDoesNotSaveTheDrawing) {
    Drawing* stored = storeWhite();
    for (const bool reopened : {true, false}) {
        SCOPED_TRACE(reopened ? "reopened drawing" : "new drawing");
        openEditor(reopened ? stored : nullptr);
        tap(2, 2);
        press("shareButton");
        top<ActivityViewController>()->closeSheet();
        processEvents();
        chooseColorInPicker();
        press("backButton");
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert);
        alert->triggerAction("Cancel");
        processEvents();
        ASSERT_TRUE(editor);
        EXPECT_EQ(colour(2, 2), Color::systemCyan());
        exitEditor();
    }
    EXPECT_EQ(rows("ColorHistory"), 1);
    EXPECT_EQ(storedDrawings(), (Listed{{"stored", true}}));
}

// A refused save keeps the editor open on the drawing as painted; once the store takes
// writes again, a retry stores one drawing (a full store refuses in the test below).
TEST_F(EditorStoreTest, ARefusedSaveKeepsTheEditorOpenAndARetryStoresOneDrawing) {
    const QString title = QString("changed ").repeated(2000);  // needs pages of its own
    openEditor();
    QSqlQuery q = query();
    ASSERT_TRUE(q.exec("PRAGMA query_only = ON"));
    q.finish();  // an open statement would hold a read snapshot that drafts outdate
    tap(3, 3);
    saveRefused(title);
    EXPECT_EQ(colour(3, 3), Color::systemCyan());
    EXPECT_EQ(rows("Drawing"), 0);
    ASSERT_TRUE(q.exec("PRAGMA query_only = OFF"));
    save(title);
    EXPECT_FALSE(editor);
    store().closeContainer();
    ASSERT_EQ(thumbnails().size(), 1u);
    EXPECT_EQ(thumbnails()[0]->drawing()->colorArray()[3 * 20 + 3], Color::systemCyan());
}

// Bytes that are no database where the store should be (the store's tests check the file is
// kept): the save is refused because the drawings could not be opened, not for want of space.
TEST_F(EditorStoreTest, AnUnreadableStoreIsNotTakenForAFullDisk) {
    {
        QFile file(dataDir.path() + "/tesselet.sqlite");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(16 * 1024, 'x'));
    }
    captureStdout([&] { store().persistentContainer(); });
    openEditor();
    tap(1, 1);
    EXPECT_EQ(saveRefused("mine"),
              "Your drawings could not be opened. The file was kept as it is.");
    leave();

    // A store that is merely full says so.
    ScopedDataDir fresh;
    store().closeContainer();
    fillStore(true);
    openEditor();
    tap(1, 1);
    EXPECT_EQ(saveRefused(QString("long ").repeated(2000)),
              "Your drawing is still open. Check that there is free space and try again.");
    leave();
}

// A long session: every save opens an editor, paints, saves and closes it, the event loop
// waiting in between as in the app. What the saves leave in memory must not grow with them.
TEST_F(EditorStoreTest, FiveHundredSavesThroughTheEditorKeepMemoryFlat) {
    SettingsManager::applyGridSize(28);  // the largest records
    const int saves = positiveFromEnvironment("TILEBLOOM_EDITOR_SAVES", kSanitized ? 40 : 500);
    long afterFirst = 0;
    for (int i = 0; i < saves; ++i) {
        openEditor();
        tap(i % 28, (i / 28) % 28);
        tap(27 - i % 28, 5);
        save(QString("drawing %1").arg(i));
        ASSERT_FALSE(editor) << "save " << i << " did not go through";
        waitForEvents();
        if (i == 0) {
            afterFirst = residentKb();
        }
    }
    const long afterAll = residentKb();
    std::cout << "Resident memory after 1 save: " << afterFirst / 1024.0 << " MB; after " << saves
              << " saves: " << afterAll / 1024.0 << " MB\n";
    EXPECT_EQ(store().persistentContainer()->viewContext()->registeredObjectCount(), 0u);
    EXPECT_EQ(rows("Drawing"), saves);
    if (!kSanitized) {
        EXPECT_LE(afterAll - afterFirst, 10 * 1024);
    }
}
