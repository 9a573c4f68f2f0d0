// The object store and the store operations against a real SQLite file.
#include <QFile>

#include "store/persistent_container_provider.h"
#include "store_test_util.h"

namespace {
std::vector<ManagedObject*> fetched(const FetchRequest& request) {
    FetchResult result = context()->fetch(request);
    EXPECT_FALSE(result.error.has_value());
    return result.objects;
}

}  // namespace

using StoreOperationsTest = StoreTest;

// The gallery's life: saves, deletes, duplicates and reopened saves, across runs of the app.
TEST_F(StoreOperationsTest, GalleryOrderIsInsertionOrderAcrossRuns) {
    EXPECT_FALSE(app().hasContainer());
    EXPECT_FALSE(QFile::exists(storePath()));  // opened on first use only
    const std::string quiet = captureStdout([&] {
        EXPECT_EQ(titles(), std::vector<QString>{});
        EXPECT_EQ(history(), std::vector<Color>{});
        EXPECT_TRUE(QFile::exists(storePath()));
        EXPECT_EQ(context()->insertNewObject("Sketch"), nullptr);
        for (const char* title : {"A", "B", "C"}) {
            saveDrawing(title, sampleColors(20));
        }
        // Deleting the newest must not let the next record take its place in the order.
        Thumbnail* gone = CoreDataManager::loadThumbnails()->back();
        CoreDataManager::deleteThumbnail(gone);
        CoreDataManager::deleteThumbnail(gone);  // matches nothing any more
        ASSERT_NE(gone->drawing(), nullptr);  // still readable in memory, but unknown to the store
        EXPECT_FALSE(CoreDataManager::updateDrawing(gone->drawing()));
        saveDrawing("D", sampleColors(20));
        Thumbnail::create("E", "today", "png");  // unsaved records come after the stored ones
        EXPECT_EQ(titles(), (std::vector<QString>{"A", "B", "D", "E"}));
        context()->save();
    });
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(sql("SELECT count(*) FROM Drawing"), QVariantList{3});  // none of C's
    restart();
    std::vector<Thumbnail*> list = *CoreDataManager::loadThumbnails();
    EXPECT_EQ(titles(), (std::vector<QString>{"A", "B", "D", "E"}));

    // Duplicate B as the gallery does.
    Drawing* copy = Drawing::create(list[1]->drawing()->colorArray(), 20, 20);
    Thumbnail* copyThumbnail =
        Thumbnail::create(list[1]->fileName(), list[1]->date(), list[1]->imageData());
    copy->setThumbnail(copyThumbnail);
    copyThumbnail->setDrawing(copy);
    EXPECT_EQ(captureStdout([&] { CoreDataManager::saveDuplicate(copy); }), "");
    // Reopen A and save it: it moves to the end.
    saveDrawing("A", sampleColors(20, 0.25), list[0]->drawing());
    restart();
    EXPECT_EQ(titles(), (std::vector<QString>{"B", "D", "E", "B", "A"}));
    list = *CoreDataManager::loadThumbnails();
    Drawing* storedCopy = list[3]->drawing();
    ASSERT_NE(storedCopy, nullptr);
    EXPECT_NE(storedCopy->id(), list[0]->drawing()->id());
    EXPECT_NE(list[3]->id(), list[0]->id());
    EXPECT_EQ(storedCopy->colorArray(), list[0]->drawing()->colorArray());
    EXPECT_EQ(list[3]->imageData(), list[0]->imageData());
}

TEST_F(StoreOperationsTest, FetchesGiveOneObjectPerRowWithItsUnsavedChanges) {
    const QUuid id = saveDrawing("A", sampleColors(20))->id();
    restart();
    const std::vector<Thumbnail*> first = *CoreDataManager::loadThumbnails();
    Drawing* drawing = first[0]->drawing();
    ASSERT_NE(drawing, nullptr);
    EXPECT_EQ(drawing->id(), id);
    EXPECT_EQ(drawing->thumbnail(), first[0]);
    EXPECT_EQ(drawing->colorArray(), sampleColors(20));

    drawing->setColorArray(sampleColors(20, 0.5));
    EXPECT_TRUE(context()->hasChanges());
    EXPECT_EQ(*CoreDataManager::loadThumbnails(), first);
    EXPECT_EQ(fetched({"Drawing", "id", QVariant::fromValue(id)}),
              std::vector<ManagedObject*>{drawing});
    EXPECT_EQ(drawing->colorArray(), sampleColors(20, 0.5));

    // By one attribute: the stored records and the new ones; a key no record has is an error.
    Thumbnail* fresh = Thumbnail::create("A", "today", "png");
    EXPECT_EQ(fetched({"Thumbnail", "fileName", QStringLiteral("A")}),
              (std::vector<ManagedObject*>{first[0], fresh}));
    EXPECT_TRUE(context()->fetch({"Thumbnail", "colour", QStringLiteral("A")}).error.has_value());

    // updateDrawing finds a drawing made since the last save and saves it.
    const std::string out = captureStdout([] {
        Drawing* made = Drawing::create(sampleColors(24), 24, 24);
        EXPECT_TRUE(CoreDataManager::updateDrawing(made));
        EXPECT_FALSE(made->managedObjectContext()->hasChanges());
        EXPECT_FALSE(CoreDataManager::updateDrawing(nullptr));
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(sql("SELECT width * 1000 + height FROM Drawing ORDER BY seq"),
              (QVariantList{20020, 24024}));
}

TEST_F(StoreOperationsTest, LinksKeepBothSidesInStepAndByKeyAccessChecksTypes) {
    Drawing* first = Drawing::create(sampleColors(2), 2, 2);
    Drawing* second = Drawing::create(sampleColors(2), 2, 2);
    Thumbnail* thumbnail = Thumbnail::create("t", "d", "png");
    thumbnail->setDrawing(first);
    second->setValue("thumbnail", QVariant::fromValue<ManagedObject*>(thumbnail));
    EXPECT_EQ(thumbnail->drawing(), second);
    EXPECT_EQ(first->thumbnail(), nullptr);
    EXPECT_FALSE(second->setValue("thumbnail", QVariant::fromValue<ManagedObject*>(first)));
    EXPECT_FALSE(second->setValue("colorArray", QStringLiteral("red")));
    EXPECT_FALSE(second->setValue("id", QVariant::fromValue(QUuid::createUuid())));

    // A thumbnail its drawing lets go of is deleted in the same save, and stays readable.
    restart();  // without the records above
    Drawing* drawing = saveDrawing("old", sampleColors(20));
    Thumbnail* old = drawing->thumbnail();
    Thumbnail* replacement = Thumbnail::create("new", "d", "png");
    drawing->setThumbnail(replacement);
    EXPECT_EQ(old->drawing(), nullptr);
    ASSERT_FALSE(context()->save().has_value());
    EXPECT_EQ(sql("SELECT fileName FROM Thumbnail"), QVariantList{"new"});
    EXPECT_EQ(sql("SELECT thumbnail FROM Drawing"),
              QVariantList{replacement->id().toString(QUuid::WithoutBraces)});
    EXPECT_EQ(old->fileName(), "old");
}

TEST_F(StoreOperationsTest, BatchDeleteWorksInTheFileAndLeavesHeldObjectsWhole) {
    saveDrawing("A", sampleColors(20));
    restart();
    Thumbnail* held = CoreDataManager::loadThumbnails()->front();
    Thumbnail* pending = Thumbnail::create("A", "d", "png");  // not the store's business yet
    ASSERT_FALSE(context()->executeBatchDelete({"Thumbnail", "fileName", QStringLiteral("A")}));

    EXPECT_EQ(held->fileName(), "A");
    ASSERT_NE(held->drawing(), nullptr);
    EXPECT_EQ(held->drawing()->colorArray(), sampleColors(20));
    EXPECT_EQ(fetched({"Thumbnail", {}, {}}), std::vector<ManagedObject*>{pending});
    EXPECT_EQ(sql("SELECT (SELECT count(*) FROM Thumbnail) + count(*) FROM Drawing"),
              QVariantList{0});
    EXPECT_TRUE(context()->hasChanges());
    ASSERT_FALSE(context()->save().has_value());
    EXPECT_EQ(sql("SELECT count(*) FROM Thumbnail"), QVariantList{1});
}

// How the picker uses the history is tested with the picker; here, what it relies on.
TEST_F(StoreOperationsTest, ColorHistoryIsNewestFirstAndDeletesEveryEntryOfExactlyThatColour) {
    const Color green = Color::withRGB(0.0, 1.0, 0.0);
    const std::string out = captureStdout([&] {
        for (const Color& color : {Color::red(), Color::blue(), green, Color::blue()}) {
            CoreDataManager::saveColor(color);
        }
        CoreDataManager::saveColor(Color::white());
        CoreDataManager::saveColor(Color::withRGB(1, 1, 1));
        CoreDataManager::deleteColor(Color::white());  // grey white is not RGB white
        CoreDataManager::deleteColor(Color::blue());   // both entries
    });
    EXPECT_EQ(out, "");
    restart();
    EXPECT_EQ(history(), (std::vector<Color>{Color::withRGB(1, 1, 1), green, Color::red()}));
}

TEST_F(StoreOperationsTest, ResavingKeepsTheDrawingAndReplacesItsThumbnail) {
    // Untitled: a null title must be stored as empty text, not as NULL.
    EXPECT_EQ(captureStdout([] { saveDrawing(QString(), sampleColors(20)); }), "");
    restart();
    Thumbnail* listed = CoreDataManager::loadThumbnails()->front();
    EXPECT_FALSE(listed->fileName().isNull());
    EXPECT_EQ(listed->fileName(), "");

    // Reopened from the gallery in a later run, edited and saved again.
    Drawing* drawing = listed->drawing();
    const QUuid drawingId = drawing->id();
    EXPECT_EQ(captureStdout([&] { saveDrawing("second", sampleColors(20, 1), drawing); }), "");
    // Passing the current thumbnail as the previous one must not delete it.
    drawing->setColorArray(sampleColors(20, 0.5));
    CoreDataManager::saveDrawing(drawing, drawing->thumbnail());

    restart();
    const std::vector<Thumbnail*> thumbnails = *CoreDataManager::loadThumbnails();
    ASSERT_EQ(thumbnails.size(), 1u);
    EXPECT_EQ(thumbnails[0]->fileName(), "second");
    ASSERT_NE(thumbnails[0]->drawing(), nullptr);
    EXPECT_EQ(thumbnails[0]->drawing()->id(), drawingId);
    EXPECT_EQ(thumbnails[0]->drawing()->colorArray(), sampleColors(20, 0.5));
    EXPECT_EQ(sql("SELECT count(*) FROM Drawing"), QVariantList{1});
}
