// The object store and the store operations against a real SQLite file.
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

// The gallery's order across runs; duplicating and reopening are the gallery tests' business.
TEST_F(StoreOperationsTest, GalleryOrderIsInsertionOrderAcrossRuns) {
    const std::string quiet = captureStdout([&] {
        EXPECT_EQ(titles(), std::vector<QString>{});
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
    EXPECT_EQ(titles(), (std::vector<QString>{"A", "B", "D", "E"}));
}

TEST_F(StoreOperationsTest, FetchesGiveOneObjectPerRowWithItsUnsavedChanges) {
    const QUuid id = saveDrawing("A", sampleColors(20))->id();
    restart();
    const std::vector<Thumbnail*> first = *CoreDataManager::loadThumbnails();
    Drawing* drawing = first[0]->drawing();
    ASSERT_NE(drawing, nullptr);
    EXPECT_EQ(drawing->thumbnail(), first[0]);

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

// Deleting rows in the file must not leave a record the caller holds without its partner.
TEST_F(StoreOperationsTest, BatchDeleteWorksInTheFileAndLeavesHeldObjectsWhole) {
    saveDrawing("A", sampleColors(20));
    restart();
    Thumbnail* held = CoreDataManager::loadThumbnails()->front();
    ASSERT_FALSE(context()->executeBatchDelete({"Thumbnail", "fileName", QStringLiteral("A")}));
    ASSERT_NE(held->drawing(), nullptr);
    EXPECT_EQ(held->drawing()->colorArray(), sampleColors(20));
    EXPECT_EQ(sql("SELECT (SELECT count(*) FROM Thumbnail) + count(*) FROM Drawing"),
              QVariantList{0});
}

TEST_F(StoreOperationsTest, ResavingKeepsTheDrawingAndReplacesItsThumbnail) {
    // Untitled: a null title must be stored as empty text, not as NULL.
    EXPECT_EQ(captureStdout([] { saveDrawing(QString(), sampleColors(20)); }), "");
    restart();
    Thumbnail* listed = CoreDataManager::loadThumbnails()->front();
    EXPECT_FALSE(listed->fileName().isNull());
    EXPECT_EQ(listed->fileName(), "");

    // Reopened in a later run and saved again, passing the current thumbnail as the previous
    // one: that must not delete it.
    Drawing* drawing = listed->drawing();
    EXPECT_EQ(captureStdout([&] { saveDrawing("second", sampleColors(20, 1), drawing); }), "");
    drawing->setColorArray(sampleColors(20, 0.5));
    CoreDataManager::saveDrawing(drawing, drawing->thumbnail());
    restart();
    EXPECT_EQ(titles(), std::vector<QString>{"second"});
    EXPECT_EQ(CoreDataManager::loadThumbnails()->front()->drawing()->colorArray(),
              sampleColors(20, 0.5));
}
