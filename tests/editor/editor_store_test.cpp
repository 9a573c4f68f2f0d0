// The editor and the store together: what leaving without saving leaves behind, what the
// user is told when the store cannot be used, and the memory a long session of saves takes.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <iostream>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "color/color_picker_view_controller.h"
#include "editor/drawing_view_controller.h"
#include "screens/activity_view_controller.h"
#include "screens/alert_controller.h"
#include "screens/app_window.h"
#include "gestures/gesture_clock.h"
#include "screens/screen_stack.h"
#include "platform/settings_manager.h"
#include "screens/storyboard.h"
#include "scene/scene.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"

// Named, not anonymous: the sanitizer flavour compiles the editor tests as one unit.
namespace editor_store {
// ASan keeps freed memory aside for a while, so resident memory says nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

const std::vector<Color> kWhite(400, Color::white());

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

// One turn of a real event loop, which waits for events as the app's loop does between them.
void waitForEvents() {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

struct EditorStoreTest : testing::Test {
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

    void openEditor(Drawing* stored) {
        ASSERT_FALSE(editor) << "the previous editor is still open";
        editor = new DrawingViewController;
        editor->previousDrawing = stored;
        home->present(editor, false);
        processEvents();
    }
    template <typename T>
    T* top() {
        return qobject_cast<T*>(window.screenStack()->topViewController());
    }
    void press(const char* name) {
        auto* widget = editor->findChild<QWidget*>(name);
        ASSERT_TRUE(widget) << name;
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        processEvents();
    }
    void tap(int64_t x, int64_t y) {
        Canvas& canvas = *editor->canvasView->canvas();
        const QPointF centre = canvas.getPixel(x, y)->position() + QPointF(150, 150);
        const QPoint point =
            editor->canvasView->convertPointFromScene(canvas.convertPointToScene(centre)).toPoint();
        static QPointingDevice* device = QTest::createTouchDevice();
        QTest::touchEvent(&window, device).press(0, point, editor->canvasView);
        QTest::touchEvent(&window, device).release(0, point, editor->canvasView);
    }
    void save(const QString& title) {
        press("saveButton");
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert);
        alert->textFields()[0]->setText(title);
        alert->triggerAction("Save");
        processEvents();
    }
    // The store refuses the save; what the user is told, after "OK".
    std::string saveRefused(const QString& title) {
        std::string out = captureStdout([&] { save(title); });
        EXPECT_NE(out.find("Could not save. "), std::string::npos) << out;
        auto* notice = top<AlertController>();
        if (!editor || !notice || notice->title() != "Could not save") {
            ADD_FAILURE() << "the save was not refused";
            return {};
        }
        const std::string message = notice->message().toStdString();
        notice->triggerAction("OK");
        processEvents();
        return message;
    }
    void exitEditor() {
        press("backButton");
        top<AlertController>()->triggerAction("Exit");
        processEvents();
        ASSERT_FALSE(editor);
    }
    void chooseColorInPicker() {
        press("colorPickerButton");
        auto* picker = top<ColorPickerViewController>();
        ASSERT_TRUE(picker);
        picker->donePressed();
        processEvents();
    }
    QSqlQuery query() { return QSqlQuery(store.persistentContainer()->database()); }
    // The store cannot grow: a save that needs new pages is refused as on a full disk.
    void fillStore(bool full) {
        QSqlQuery q = query();
        ASSERT_TRUE(q.exec("PRAGMA page_count") && q.next());
        const QString limit = full ? q.value(0).toString() : QString("1000000");
        ASSERT_TRUE(q.exec("PRAGMA max_page_count = " + limit));
    }
    Drawing* storeWhite() {
        Drawing* drawing = Drawing::create(kWhite, 20, 20);
        Thumbnail* thumbnail = Thumbnail::create("stored", "now", "png");
        drawing->setThumbnail(thumbnail);
        CoreDataManager::saveDrawing(drawing, nullptr);
        return drawing;
    }
    // What a new run of the app lists: each title, and whether its drawing is all white.
    std::vector<std::pair<std::string, bool>> storedDrawings() {
        store.closeContainer();
        std::vector<std::pair<std::string, bool>> out;
        for (Thumbnail* t : CoreDataManager::loadThumbnails().value_or(std::vector<Thumbnail*>{})) {
            out.emplace_back(t->fileName().left(20).toStdString(),
                             t->drawing() && t->drawing()->colorArray() == kWhite);
        }
        return out;
    }
    int rows(const char* table) {
        QSqlQuery q = query();
        return q.exec(QString("SELECT count(*) FROM ") + table) && q.next() ? q.value(0).toInt()
                                                                            : -1;
    }
};
}  // namespace editor_store

using editor_store::EditorStoreTest;
using editor_store::kSanitized;
using editor_store::kWhite;
using editor_store::residentKb;
using editor_store::waitForEvents;

// A refused save links a new thumbnail in memory; Exit must throw it away with everything
// else the editor left unsaved, or the next save of anything writes it.
TEST_F(EditorStoreTest, ARefusedSaveThenExitLeavesNoTraceForLaterSaves) {
    Drawing* stored = storeWhite();
    const QUuid id = stored->id();
    const QString longTitle = QString("failed ").repeated(2000);  // needs pages of its own
    fillStore(true);
    for (const bool reopened : {true, false}) {
        SCOPED_TRACE(reopened ? "reopened drawing" : "new drawing");
        openEditor(reopened ? stored : nullptr);
        tap(3, 3);
        saveRefused(longTitle);
        exitEditor();
    }
    fillStore(false);
    // Another editor: a colour chosen (the history's own save), then a drawing saved.
    openEditor(nullptr);
    chooseColorInPicker();
    tap(5, 5);
    save("other");
    ASSERT_FALSE(editor);

    EXPECT_EQ(rows("Drawing"), 2);
    EXPECT_EQ(rows("ColorHistory"), 1);
    EXPECT_EQ(storedDrawings(),
              (std::vector<std::pair<std::string, bool>>{{"stored", true}, {"other", false}}));
    EXPECT_EQ(CoreDataManager::loadThumbnails()->front()->drawing()->id(), id);
}

// Sharing writes the canvas into the record in memory; a colour chosen meanwhile is saved at
// once, and must not take the drawing with it.
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
        exitEditor();
    }
    EXPECT_EQ(rows("ColorHistory"), 1);
    EXPECT_EQ(storedDrawings(), (std::vector<std::pair<std::string, bool>>{{"stored", true}}));
}

// However the editor goes, it takes its unsaved changes with it.
TEST_F(EditorStoreTest, AnEditorClosedWithoutExitLeavesNoTraceEither) {
    Drawing* stored = storeWhite();
    fillStore(true);
    openEditor(stored);
    tap(4, 4);
    saveRefused(QString("failed ").repeated(2000));
    editor->dismiss(false);
    processEvents();
    ASSERT_FALSE(editor);
    fillStore(false);
    openEditor(nullptr);
    save("other");
    EXPECT_EQ(storedDrawings(),
              (std::vector<std::pair<std::string, bool>>{{"stored", true}, {"other", true}}));
}

// Random bytes where the store should be: the save is refused because the drawings could
// not be opened, not for want of space; the file stays as it was.
TEST_F(EditorStoreTest, AnUnreadableStoreIsNotTakenForAFullDisk) {
    QByteArray garbage(16 * 1024, Qt::Uninitialized);
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
    const QString path = dataDir.path() + "/tesselet.sqlite";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    const std::string opening = captureStdout([&] { store.persistentContainer(); });
    EXPECT_EQ(opening.rfind("Unresolved error file is not a database, {", 0), 0u) << opening;
    openEditor(nullptr);
    tap(1, 1);
    EXPECT_EQ(saveRefused("mine"),
              "Your drawings could not be opened. The file was kept as it is.");
    editor->dismiss(false);
    processEvents();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);

    // A store that is merely full says so.
    ScopedDataDir fresh;
    store.closeContainer();
    fillStore(true);
    openEditor(nullptr);
    tap(1, 1);
    EXPECT_EQ(saveRefused(QString("long ").repeated(2000)),
              "Your drawing is still open. Check that there is free space and try again.");
    editor->dismiss(false);
    processEvents();
}

// A long session: every save opens an editor, paints, saves and closes it, the event loop
// waiting in between as in the app. What the saves leave in memory must not grow with them.
TEST_F(EditorStoreTest, FiveHundredSavesThroughTheEditorKeepMemoryFlat) {
    SettingsManager::applyGridSize(28);  // the largest records
    const int saves = qEnvironmentVariableIntValue("TILEBLOOM_EDITOR_SAVES") > 0
                          ? qEnvironmentVariableIntValue("TILEBLOOM_EDITOR_SAVES")
                          : (kSanitized ? 40 : 500);
    long afterFirst = 0;
    for (int i = 0; i < saves; ++i) {
        openEditor(nullptr);
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
    EXPECT_EQ(store.persistentContainer()->viewContext()->registeredObjectCount(), 0u);
    EXPECT_EQ(rows("Drawing"), saves);
    if (!kSanitized) {
        EXPECT_LE(afterAll - afterFirst, 10 * 1024);
    }
}
