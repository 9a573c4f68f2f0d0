#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "editor_fixture.h"
#include "export/picture_exporter.h"
#include "file_faults.h"
#include "platform/activity_type.h"
#include "platform/activity_view_controller.h"
#include "store/color_archive.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/thumbnail.h"

namespace {
struct SaveFixture : EditorFixture {
    // Presses Save, types the title and confirms, as a user would.
    void save(const QString& title) {
        click(editor->findChild<QPushButton*>(QStringLiteral("saveButton")));
        auto* alert = top<AlertController>();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), QStringLiteral("Save Tilebloom"));
        ASSERT_EQ(alert->textFields().size(), 1);
        EXPECT_EQ(alert->textFields()[0]->placeholderText(), QStringLiteral("Title"));
        alert->textFields()[0]->setText(title);
        alert->triggerAction(QStringLiteral("Save"));
        processEvents();
    }

    std::vector<Thumbnail*> thumbnails() {
        return CoreDataManager::loadThumbnails().value_or(std::vector<Thumbnail*>{});
    }

    void setQueryOnly(bool on) {
        QSqlQuery query(store.persistentContainer()->database());
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA query_only = %1").arg(on ? "ON" : "OFF")));
    }
};
}  // namespace

TEST_F(SaveFixture, SavingANewDrawingStoresOneDrawingWithItsThumbnailAndCloses) {
    tap(at(0, 0));
    save(QStringLiteral("First"));
    EXPECT_FALSE(editor);  // closed
    EXPECT_EQ(window.screenStack()->topViewController(), home);
    ASSERT_EQ(rows("Drawing"), 1);
    ASSERT_EQ(rows("Thumbnail"), 1);
    const auto stored = thumbnails();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->fileName(), QStringLiteral("First"));
    EXPECT_FALSE(stored[0]->date().isEmpty());
    Drawing* drawing = stored[0]->drawing();
    ASSERT_TRUE(drawing);
    EXPECT_EQ(drawing->colorArray()[0], Color::systemCyan());
    // The thumbnail is a PNG of 300 x 300 points (scale 1 here), bottom-left cell painted.
    const QImage image = QImage::fromData(stored[0]->imageData(), "PNG");
    ASSERT_EQ(image.size(), QSize(300, 300));
    EXPECT_EQ(image.pixelColor(2, 297), Color::systemCyan().toQColor());

    // Reopen it and save again: the same drawing, a new thumbnail in place of the old one.
    const QUuid id = drawing->id();
    const QUuid firstThumbnail = stored[0]->id();
    openEditor(drawing);
    ASSERT_EQ(editor->previousDrawing, drawing);
    tap(at(19, 19));
    save(QString());
    EXPECT_EQ(rows("Drawing"), 1);
    EXPECT_EQ(rows("Thumbnail"), 1);
    const auto again = thumbnails();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->drawing()->id(), id);
    EXPECT_NE(again[0]->id(), firstThumbnail);
    EXPECT_EQ(again[0]->fileName(), QString());  // an empty title is stored empty
    EXPECT_EQ(again[0]->drawing()->colorArray()[399], Color::systemCyan());
}

TEST_F(SaveFixture, SharingThenSavingStoresOneDrawing) {
    tap(at(3, 3));
    click(button("shareButton"));
    auto* sheet = top<ActivityViewController>();
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->offeredActivityTypes().contains(ActivityType::copyToPasteboard));
    EXPECT_FALSE(sheet->offeredActivityTypes().contains(ActivityType::assignToContact));
    ASSERT_TRUE(editor->pictureExporter);
    const std::optional<QImage> shared = editor->pictureExporter->exportImage(1000, 1000);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->size(), QSize(1000, 1000));
    sheet->closeSheet();
    processEvents();
    ASSERT_TRUE(editor);
    EXPECT_EQ(rows("Drawing"), 0);  // sharing writes nothing to the store

    save(QStringLiteral("Shared"));
    EXPECT_EQ(rows("Drawing"), 1);
    EXPECT_EQ(rows("Thumbnail"), 1);
}

TEST_F(SaveFixture, AReopenedDrawingKeepsItsOwnSizeWhateverTheSettingsSay) {
    std::vector<Color> colors(400, Color::white());
    colors[19] = Color::red();  // column 0, top row
    Drawing* drawing = Drawing::create(colors, 20, 20);
    CoreDataManager::saveDrawing(drawing, nullptr);
    SettingsManager::applyGridSize(28);
    openEditor(drawing);
    EXPECT_EQ(canvas().width, 20);
    EXPECT_EQ(canvas().height, 20);
    EXPECT_EQ(cell(0, 19)->fillColor(), Color::red());
    // A new drawing takes the configured size.
    openEditor(nullptr);
    EXPECT_EQ(canvas().width, 28);
}

TEST_F(SaveFixture, BackAlwaysAsksAndOnlyExitLeaves) {
    tap(at(2, 2));
    click(editor->findChild<QPushButton*>(QStringLiteral("backButton")));
    auto* alert = top<AlertController>();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), QStringLiteral("Are you sure?"));
    EXPECT_EQ(alert->message(),
              QStringLiteral("Your draw will be lost if you don\u2019t save them."));
    alert->triggerAction(QStringLiteral("Cancel"));
    processEvents();
    ASSERT_TRUE(editor);
    EXPECT_EQ(cell(2, 2)->fillColor(), Color::systemCyan());

    click(editor->findChild<QPushButton*>(QStringLiteral("backButton")));
    top<AlertController>()->triggerAction(QStringLiteral("Exit"));
    processEvents();
    EXPECT_FALSE(editor);
    EXPECT_EQ(rows("Drawing"), 0);
}

TEST_F(SaveFixture, AFailedSaveKeepsTheEditorOpenAndARetryStoresOneDrawing) {
    tap(at(6, 6));
    setQueryOnly(true);
    const std::string out = captureStdout([&] { save(QStringLiteral("Kept")); });
    EXPECT_NE(out.find("Could not save. "), std::string::npos);
    ASSERT_TRUE(editor);  // still open, the drawing still on screen
    EXPECT_EQ(cell(6, 6)->fillColor(), Color::systemCyan());
    auto* notice = top<AlertController>();
    ASSERT_TRUE(notice);
    notice->triggerAction(QStringLiteral("OK"));
    processEvents();

    setQueryOnly(false);
    save(QStringLiteral("Kept"));
    EXPECT_FALSE(editor);
    EXPECT_EQ(rows("Drawing"), 1);
    EXPECT_EQ(rows("Thumbnail"), 1);
    const auto stored = thumbnails();
    ASSERT_EQ(stored.size(), 1u);
    ASSERT_TRUE(stored[0]->drawing());
}

TEST_F(SaveFixture, LeavingAfterSharingDoesNotLetALaterSaveKeepTheDiscardedEdits) {
    Drawing* drawing = Drawing::create(std::vector<Color>(400, Color::white()), 20, 20);
    Thumbnail* thumbnail = Thumbnail::create(QStringLiteral("T"), QStringLiteral("now"), "png");
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, nullptr);
    openEditor(drawing);
    tap(at(4, 4));
    click(button("shareButton"));
    top<ActivityViewController>()->closeSheet();
    processEvents();
    click(editor->findChild<QPushButton*>(QStringLiteral("backButton")));
    top<AlertController>()->triggerAction(QStringLiteral("Exit"));
    processEvents();

    CoreDataManager::saveColor(Color::red());  // an unrelated save of the same context
    store.closeContainer();
    const auto stored = thumbnails();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->drawing()->colorArray(), std::vector<Color>(400, Color::white()));
}

// Stored records that no save of this app writes: sizes it never offers or cannot show,
// colour lists that disagree with the size or do not decode. Each opens with a line saying
// what was wrong, shows a sound grid, and a save writes a record that holds every cell.
TEST_F(SaveFixture, MalformedStoredDrawingsOpenSoundlyAndSaveWhatIsShown) {
    struct Case {
        qint64 width;
        qint64 height;
        QByteArray colors;  // stored bytes
        int64_t shownWidth;
        int64_t shownHeight;
        const char* says;  // part of the line that opening prints; empty for none
    };
    const auto archive = [](size_t count) {
        std::vector<Color> colors(count, Color::white());
        colors[0] = Color::red();
        return ColorArchive::encode(colors);
    };
    const std::vector<Case> cases = {
        {21, 21, archive(441), 21, 21, ""},
        {20, 20, archive(10), 20, 20, "is 20 x 20 but holds 10 colors"},
        {24, 24, archive(900), 24, 24, "is 24 x 24 but holds 900 colors"},
        {0, 0, archive(400), 20, 20, "a drawing width of 0 cannot be shown"},
        {-5, 28, archive(140), 20, 28, "a drawing width of -5 cannot be shown"},
        {4'000'000'000, 4'000'000'000, archive(400), 20, 20, "cannot be shown"},
        {20, 20, QByteArray("not an archive"), 20, 20, "Malformed color archive"},
    };
    // Only the drawing asked for is read, so that only its lines are printed.
    const auto storedDrawing = [&](size_t i) -> Drawing* {
        for (Thumbnail* thumbnail : thumbnails()) {
            if (thumbnail->fileName() == QString::number(i) ||
                thumbnail->fileName() == "fixed " + QString::number(i)) {
                return thumbnail->drawing();
            }
        }
        return nullptr;
    };
    std::vector<QUuid> ids;
    for (size_t i = 0; i < cases.size(); ++i) {
        Drawing* drawing = Drawing::create(std::vector<Color>(400, Color::white()), 20, 20);
        Thumbnail* thumbnail = Thumbnail::create(QString::number(i), "now", "png");
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
        ids.push_back(drawing->id());
        QSqlQuery query(store.persistentContainer()->database());
        query.prepare("UPDATE Drawing SET width = ?, height = ?, colorArray = ? WHERE id = ?");
        query.addBindValue(cases[i].width);
        query.addBindValue(cases[i].height);
        query.addBindValue(cases[i].colors);
        query.addBindValue(drawing->id().toString(QUuid::WithoutBraces));
        ASSERT_TRUE(query.exec());
    }
    store.closeContainer();

    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        Drawing* drawing = nullptr;
        const std::string opening = captureStdout([&] {
            drawing = storedDrawing(i);
            openEditor(drawing);
        });
        ASSERT_TRUE(drawing);
        EXPECT_NE(opening.find(c.says), std::string::npos) << opening;
        EXPECT_EQ(canvas().width, c.shownWidth);
        EXPECT_EQ(canvas().height, c.shownHeight);
        ASSERT_EQ(canvas().pixelArray().size(), size_t(c.shownWidth * c.shownHeight));
        tap(at(1, 1));
        save("fixed " + QString::number(i));
        ASSERT_FALSE(editor) << "the save did not go through";
        store.closeContainer();
        drawing = storedDrawing(i);
        ASSERT_EQ(drawing->id(), ids[i]);
        EXPECT_EQ(drawing->width(), c.shownWidth);
        EXPECT_EQ(drawing->height(), c.shownHeight);
        ASSERT_EQ(drawing->colorArray().size(), size_t(c.shownWidth * c.shownHeight));
        EXPECT_EQ(drawing->colorArray()[size_t(c.shownHeight + 1)], Color::systemCyan());
        openEditor(nullptr);
    }
}

// However the store refuses a save (a full disk, a file that takes no writes, a file that
// cannot be opened at all), the editor stays open on the drawing as painted, says so, and
// the stored file keeps what it held.
TEST_F(SaveFixture, EveryStoreFaultKeepsTheOpenDrawingAndTheStoredFile) {
    const QString path = dataDir.path() + "/tesselet.sqlite";
    const auto storeStored = [&] {
        Drawing* drawing = Drawing::create(std::vector<Color>(400, Color::white()), 20, 20);
        Thumbnail* thumbnail = Thumbnail::create("stored", "now", "png");
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
        store.closeContainer();  // folds the log into the file
        return file_faults::bytesOf(path);
    };
    const auto reopened = [&] { return thumbnails().at(0)->drawing(); };
    // A long title needs pages of its own, so a store that cannot grow must refuse it.
    const QString title = QString("changed ").repeated(2000);
    const auto saveFails = [&](const char* says) {
        tap(at(3, 3));
        const std::string out = captureStdout([&] { save(title); });
        EXPECT_NE(out.find(says), std::string::npos) << out;
        ASSERT_TRUE(editor);
        EXPECT_EQ(cell(3, 3)->fillColor(), Color::systemCyan());
        auto* notice = top<AlertController>();
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->title(), "Could not save");
        notice->triggerAction("OK");
        processEvents();
    };

    {
        SCOPED_TRACE("a full disk");
        storeStored();
        openEditor(reopened());
        QSqlQuery query(store.persistentContainer()->database());
        ASSERT_TRUE(query.exec("PRAGMA page_count") && query.next());
        ASSERT_TRUE(query.exec(QString("PRAGMA max_page_count = %1").arg(query.value(0).toInt())));
        saveFails("database or disk is full");
        ASSERT_TRUE(query.exec("PRAGMA max_page_count = 100000"));
        save(title);  // room again: the retry stores the drawing
        EXPECT_FALSE(editor);
        store.closeContainer();
        EXPECT_EQ(reopened()->colorArray()[3 * 20 + 3], Color::systemCyan());
        CoreDataManager::deleteThumbnail(thumbnails().at(0));
        store.closeContainer();
    }
    {
        SCOPED_TRACE("a file that takes no writes");
        const QByteArray before = storeStored();
        file_faults::ImmutableFile locked(path);
        if (locked.ok()) {
            openEditor(reopened());
            saveFails("readonly database");
            editor->dismiss(false);
            store.closeContainer();
            EXPECT_EQ(file_faults::bytesOf(path), before);
        }
    }
    {
        SCOPED_TRACE("a folder where the file should be");
        ScopedDataDir elsewhere;
        QDir(elsewhere.path()).mkdir("tesselet.sqlite");
        openEditor(nullptr);
        std::string opening = captureStdout([&] { store.persistentContainer(); });
        EXPECT_EQ(opening.rfind("Unresolved error ", 0), 0u) << opening;
        saveFails("Could not save. ");
        EXPECT_TRUE(QFileInfo(elsewhere.path() + "/tesselet.sqlite").isDir());
        editor->dismiss(false);
        store.closeContainer();
    }
}
