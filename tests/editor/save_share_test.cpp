#include <QLineEdit>
#include <QPushButton>

#include "editor_fixture.h"
#include "export/picture_exporter.h"
#include "platform/activity_type.h"
#include "platform/activity_view_controller.h"
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
    EXPECT_EQ(alert->message(), QStringLiteral("Your draw will be lost if you don\u2019t save them."));
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
