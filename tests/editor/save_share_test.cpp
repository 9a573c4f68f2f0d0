#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "editor_fixture.h"
#include "file_faults.h"
#include "platform/activity_type.h"
#include "platform/activity_view_controller.h"
#include "store/color_archive.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/thumbnail.h"

namespace {
const Color kCyan = Color::systemCyan();

struct SaveFixture : EditorFixture {
    // Presses Save, types the title and confirms, as a user would.
    void save(const QString& title) {
        click(editor->findChild<QPushButton*>("saveButton"));
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "Save Tilebloom");
        ASSERT_EQ(alert->textFields().size(), 1);
        EXPECT_EQ(alert->textFields()[0]->placeholderText(), "Title");
        alert->textFields()[0]->setText(title);
        alert->triggerAction("Save");
        processEvents();
    }

    // A failed save leaves the editor open on the drawing as painted and says so.
    void saveFails(const QString& title, const char* says) {
        tap(at(3, 3));
        const std::string out = captureStdout([&] { save(title); });
        EXPECT_NE(out.find(says), std::string::npos) << out;
        ASSERT_TRUE(editor);
        EXPECT_EQ(cell(3, 3)->fillColor(), kCyan);
        auto* notice = top<AlertController>();
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->title(), "Could not save");
        notice->triggerAction("OK");
        processEvents();
    }

    void leave() {
        click(editor->findChild<QPushButton*>("backButton"));
        top<AlertController>()->triggerAction("Exit");
        processEvents();
    }

    // A white 20 x 20 drawing in the store, with its thumbnail.
    Drawing* storeWhite(const QString& title = "stored") {
        Drawing* drawing = Drawing::create(std::vector<Color>(400, Color::white()), 20, 20);
        Thumbnail* thumbnail = Thumbnail::create(title, "now", "png");
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
        return drawing;
    }

    std::vector<Thumbnail*> thumbnails() {
        return CoreDataManager::loadThumbnails().value_or(std::vector<Thumbnail*>{});
    }
};
}  // namespace

// A new drawing is stored once with its thumbnail, and the editor closes; saved again after
// reopening, it keeps its id and gets a new thumbnail in place of the old one.
TEST_F(SaveFixture, SavingStoresOneDrawingWithItsThumbnailAndKeepsItsIdWhenSavedAgain) {
    tap(at(0, 0));
    save("First");
    EXPECT_FALSE(editor);
    EXPECT_EQ(window.screenStack()->topViewController(), home);
    ASSERT_EQ(rows("Drawing"), 1);
    ASSERT_EQ(rows("Thumbnail"), 1);
    const auto stored = thumbnails();
    ASSERT_TRUE(stored.size() == 1 && stored[0]->drawing());
    EXPECT_EQ(stored[0]->fileName(), "First");
    EXPECT_FALSE(stored[0]->date().isEmpty());
    Drawing* drawing = stored[0]->drawing();
    EXPECT_EQ(drawing->colorArray()[0], kCyan);
    // A PNG of 300 x 300 points (scale 1 here), the bottom-left cell painted.
    const QImage image = QImage::fromData(stored[0]->imageData(), "PNG");
    ASSERT_EQ(image.size(), QSize(300, 300));
    EXPECT_EQ(image.pixelColor(2, 297), kCyan.toQColor());

    const QUuid id = drawing->id();
    const QUuid firstThumbnail = stored[0]->id();
    openEditor(drawing);
    tap(at(19, 19));
    save(QString());
    EXPECT_EQ(rows("Drawing"), 1);
    EXPECT_EQ(rows("Thumbnail"), 1);
    const auto again = thumbnails();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->drawing()->id(), id);
    EXPECT_NE(again[0]->id(), firstThumbnail);
    EXPECT_EQ(again[0]->fileName(), QString());  // an empty title is stored empty
    EXPECT_EQ(again[0]->drawing()->colorArray()[399], kCyan);
}

TEST_F(SaveFixture, SharingWritesNothingAndAFollowingSaveStoresOneDrawing) {
    tap(at(3, 3));
    click(button("shareButton"));
    auto* sheet = top<ActivityViewController>();
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->offeredActivityTypes().contains(ActivityType::copyToPasteboard));
    EXPECT_FALSE(sheet->offeredActivityTypes().contains(ActivityType::assignToContact));
    sheet->closeSheet();
    processEvents();
    ASSERT_TRUE(editor);
    EXPECT_EQ(rows("Drawing"), 0);
    save("Shared");
    EXPECT_EQ(rows("Drawing"), 1);
    EXPECT_EQ(rows("Thumbnail"), 1);
}

TEST_F(SaveFixture, AReopenedDrawingKeepsItsOwnSizeWhateverTheSettingsSay) {
    Drawing* drawing = storeWhite();
    std::vector<Color> colors(400, Color::white());
    colors[19] = Color::red();  // column 0, top row
    drawing->setColorArray(colors);
    SettingsManager::applyGridSize(28);
    openEditor(drawing);
    EXPECT_EQ(canvas().width, 20);
    EXPECT_EQ(canvas().height, 20);
    EXPECT_EQ(cell(0, 19)->fillColor(), Color::red());
    openEditor(nullptr);
    EXPECT_EQ(canvas().width, 28) << "a new drawing takes the configured size";
}

TEST_F(SaveFixture, BackAlwaysAsksAndOnlyExitLeaves) {
    tap(at(2, 2));
    click(editor->findChild<QPushButton*>("backButton"));
    auto* alert = top<AlertController>();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Are you sure?");
    EXPECT_EQ(alert->message(), "Your draw will be lost if you don\u2019t save them.");
    alert->triggerAction("Cancel");
    processEvents();
    ASSERT_TRUE(editor);
    EXPECT_EQ(cell(2, 2)->fillColor(), kCyan);
    leave();
    EXPECT_FALSE(editor);
    EXPECT_EQ(rows("Drawing"), 0);
}

// Sharing brings the record up to date in memory; leaving must put it back, or any later
// save of the same context would store the discarded edits.
TEST_F(SaveFixture, LeavingAfterSharingDoesNotLetALaterSaveKeepTheDiscardedEdits) {
    openEditor(storeWhite());
    tap(at(4, 4));
    click(button("shareButton"));
    top<ActivityViewController>()->closeSheet();
    processEvents();
    leave();
    CoreDataManager::saveColor(Color::red());  // an unrelated save of the same context
    store.closeContainer();
    ASSERT_EQ(thumbnails().size(), 1u);
    EXPECT_EQ(thumbnails()[0]->drawing()->colorArray(), std::vector<Color>(400, Color::white()));
}

// A store that refuses writes or cannot grow: the editor stays open, nothing is stored, and
// once the fault is gone a retry stores the drawing once, for good.
TEST_F(SaveFixture, AFailedSaveKeepsTheEditorOpenAndARetryStoresOneDrawing) {
    // A long title needs pages of its own, so a store that cannot grow must refuse it.
    const QString title = QString("changed ").repeated(2000);
    const struct {
        const char* fault;
        const char* lift;
        const char* says;
    } faults[] = {
        {"PRAGMA query_only = ON", "PRAGMA query_only = OFF", "Could not save. "},
        {"PRAGMA max_page_count = PAGES", "PRAGMA max_page_count = 100000",
         "database or disk is full"},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.fault);
        ScopedDataDir fresh;
        openEditor(nullptr);
        store.closeContainer();
        QSqlQuery query(store.persistentContainer()->database());
        ASSERT_TRUE(query.exec("PRAGMA page_count") && query.next());
        ASSERT_TRUE(query.exec(QString(f.fault).replace("PAGES", query.value(0).toString())));
        saveFails(title, f.says);
        EXPECT_EQ(rows("Drawing"), 0);
        ASSERT_TRUE(query.exec(f.lift));
        save(title);
        EXPECT_FALSE(editor);
        EXPECT_EQ(rows("Drawing"), 1);
        EXPECT_EQ(rows("Thumbnail"), 1);
        store.closeContainer();
        ASSERT_EQ(thumbnails().size(), 1u);
        EXPECT_EQ(thumbnails()[0]->drawing()->colorArray()[3 * 20 + 3], kCyan);
        store.closeContainer();
    }
}

// A file that takes no writes, or a folder where the file should be: the editor keeps the
// drawing, says so, and the user's file or folder stays as it was.
TEST_F(SaveFixture, AStoreThatCannotBeWrittenKeepsTheOpenDrawingAndTheFile) {
    const QString path = dataDir.path() + "/tesselet.sqlite";
    storeWhite();
    store.closeContainer();  // folds the log into the file
    const QByteArray before = file_faults::bytesOf(path);
    if (file_faults::ImmutableFile locked(path); locked.ok()) {
        openEditor(thumbnails().at(0)->drawing());
        saveFails("changed", "readonly database");
        editor->dismiss(false);
        store.closeContainer();
        EXPECT_EQ(file_faults::bytesOf(path), before);
    }

    ScopedDataDir elsewhere;
    QDir(elsewhere.path()).mkdir("tesselet.sqlite");
    openEditor(nullptr);
    const std::string opening = captureStdout([&] { store.persistentContainer(); });
    EXPECT_EQ(opening.rfind("Unresolved error ", 0), 0u) << opening;
    saveFails("changed", "Could not save. ");
    EXPECT_TRUE(QFileInfo(elsewhere.path() + "/tesselet.sqlite").isDir());
    editor->dismiss(false);
    store.closeContainer();
}

// Stored records that no save of this app writes: sizes it never offers or cannot show,
// colour lists that disagree with the size or do not decode. Each opens with a line saying
// what was wrong, shows a sound grid, and a save writes a record that holds every cell.
TEST_F(SaveFixture, MalformedStoredDrawingsOpenSoundlyAndSaveWhatIsShown) {
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
        {21, 21, archive(441), 21, 21, ""},
        {20, 20, archive(10), 20, 20, "is 20 x 20 but holds 10 colors"},
        {24, 24, archive(900), 24, 24, "is 24 x 24 but holds 900 colors"},
        {0, 0, archive(400), 20, 20, "a drawing width of 0 cannot be shown"},
        {-5, 28, archive(140), 20, 28, "a drawing width of -5 cannot be shown"},
        {4'000'000'000, 4'000'000'000, archive(400), 20, 20, "cannot be shown"},
        {20, 20, QByteArray("not an archive"), 20, 20, "Malformed color archive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const QUuid id = storeWhite()->id();
        QSqlQuery query(store.persistentContainer()->database());
        query.prepare("UPDATE Drawing SET width = ?, height = ?, colorArray = ? WHERE id = ?");
        for (const QVariant& value : {QVariant(c.width), QVariant(c.height), QVariant(c.colors),
                                      QVariant(id.toString(QUuid::WithoutBraces))}) {
            query.addBindValue(value);
        }
        ASSERT_TRUE(query.exec());
        store.closeContainer();
        const std::string opening =
            captureStdout([&] { openEditor(thumbnails().at(0)->drawing()); });
        EXPECT_NE(opening.find(c.says), std::string::npos) << opening;
        EXPECT_EQ(canvas().width, c.shownWidth);
        EXPECT_EQ(canvas().height, c.shownHeight);
        ASSERT_EQ(canvas().pixelArray().size(), size_t(c.shownWidth * c.shownHeight));
        tap(at(1, 1));
        save("fixed");
        ASSERT_FALSE(editor) << "the save did not go through";
        store.closeContainer();
        Drawing* drawing = thumbnails().at(0)->drawing();
        ASSERT_EQ(drawing->id(), id);
        EXPECT_EQ(drawing->width(), c.shownWidth);
        EXPECT_EQ(drawing->height(), c.shownHeight);
        ASSERT_EQ(drawing->colorArray().size(), size_t(c.shownWidth * c.shownHeight));
        EXPECT_EQ(drawing->colorArray()[size_t(c.shownHeight + 1)], kCyan);
        CoreDataManager::deleteThumbnail(thumbnails().at(0));
        store.closeContainer();
        openEditor(nullptr);
    }
}
