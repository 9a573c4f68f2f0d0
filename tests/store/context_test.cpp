// What the main context keeps in memory, what it throws away on a rollback, and which saves
// write what.
#include "store/persistent_container_provider.h"
#include "store_test_util.h"

using ContextTest = StoreTest;

// What an editor leaves after a refused save: a changed drawing, a new thumbnail linked in
// place of the stored one, a new drawing. A rollback puts back the store's state, links
// included, and no later save writes any of it.
TEST_F(ContextTest, RollbackPutsBackWhatTheStoreHoldsAndLaterSavesWriteNoneOfIt) {
    saveDrawing("stored", sampleColors(20));
    restart();
    Thumbnail* listed = CoreDataManager::loadThumbnails()->front();
    Drawing* drawing = listed->drawing();
    drawing->setColorArray(sampleColors(20, 0.5));
    Thumbnail* attempt = Thumbnail::create("attempt", "d", "png");
    drawing->setThumbnail(attempt);
    Drawing* fresh = Drawing::create(sampleColors(24), 24, 24);
    Thumbnail* freshThumbnail = Thumbnail::create("fresh", "d", "png");
    fresh->setThumbnail(freshThumbnail);
    sql("PRAGMA query_only = ON");
    ASSERT_TRUE(context()->save().has_value());
    sql("PRAGMA query_only = OFF");
    EXPECT_EQ(titles(), (std::vector<QString>{"stored", "attempt", "fresh"}));  // pending ones too

    context()->rollback();
    EXPECT_FALSE(context()->hasChanges());
    EXPECT_FALSE(drawing->hasChanges());
    EXPECT_EQ(drawing->colorArray(), sampleColors(20));
    EXPECT_EQ(drawing->thumbnail(), listed);
    EXPECT_EQ(listed->drawing(), drawing);
    // The thrown-away records stay readable to whoever holds them, outside the context.
    EXPECT_EQ(attempt->managedObjectContext(), nullptr);
    EXPECT_EQ(attempt->fileName(), "attempt");
    EXPECT_EQ(titles(), std::vector<QString>{"stored"});
    EXPECT_FALSE(CoreDataManager::updateDrawing(fresh));

    EXPECT_EQ(captureStdout([] { saveDrawing("other", sampleColors(20, 1)); }), "");
    restart();
    EXPECT_EQ(titles(), (std::vector<QString>{"stored", "other"}));
    EXPECT_EQ(sql("SELECT count(*) FROM Drawing").value(0).toInt(), 2);
    EXPECT_EQ(CoreDataManager::loadThumbnails()->front()->drawing()->colorArray(),
              sampleColors(20));
}

// Saves as the editor makes them, the event loop waiting between them as it does in the app:
// what nothing refers to any more leaves memory, the rest stays as long as it is referred to.
TEST_F(ContextTest, RecordsNothingRefersToAreReleasedWhenTheEventLoopWaits) {
    for (int i = 0; i < 300; ++i) {
        saveDrawing(QString::number(i), sampleColors(20));
        waitForEvents();
    }
    EXPECT_EQ(context()->registeredObjectCount(), 0u);

    RecordRef<Thumbnail> held = CoreDataManager::loadThumbnails()->front();
    Thumbnail* borrowed = CoreDataManager::loadThumbnails()->back();
    Drawing* linked = held->drawing();
    EXPECT_EQ(context()->registeredObjectCount(), 301u);
    EXPECT_EQ(borrowed->fileName(), "299");  // good until the loop waits
    waitForEvents();
    EXPECT_EQ(context()->registeredObjectCount(), 2u);  // the held thumbnail and its drawing
    EXPECT_EQ(held->drawing(), linked);
    EXPECT_EQ(linked->colorArray(), sampleColors(20));
    EXPECT_EQ(CoreDataManager::loadThumbnails()->front(), held.get());  // one object per row

    // A pending change holds its record, and its link the other side of the pair.
    linked->setColorArray(sampleColors(20, 0.5));
    held = nullptr;
    waitForEvents();
    EXPECT_EQ(context()->registeredObjectCount(), 2u);
    EXPECT_EQ(linked->thumbnail()->fileName(), "0");
}

// A record held past its context stays readable and goes with its last reference.
TEST_F(ContextTest, ARecordHeldPastItsContextStaysReadable) {
    saveDrawing("kept", sampleColors(20));
    RecordRef<Thumbnail> kept = CoreDataManager::loadThumbnails()->front();
    restart();
    EXPECT_EQ(kept->managedObjectContext(), nullptr);
    EXPECT_EQ(kept->fileName(), "kept");
    EXPECT_EQ(kept->drawing(), nullptr);
    kept->setFileName("renamed");  // nothing to write it to, and nothing fails
    kept = nullptr;
    EXPECT_EQ(titles(), std::vector<QString>{"kept"});
}

// The colour history, newest first. Colours that show the same are one entry, whatever space
// they were kept in; recording one deletes and adds in a single transaction.
TEST_F(ContextTest, RecordingAColourReplacesEveryEntryThatShowsTheSameInOneTransaction) {
    const Color rgbWhite = Color::withRGB(1, 1, 1);
    const Color green = Color::withRGB(0, 1, 0);
    for (const Color& color : {Color::white(), Color::red(), rgbWhite, Color::blue()}) {
        CoreDataManager::saveColor(color);
    }
    EXPECT_TRUE(CoreDataManager::showSameColor(Color::white(), rgbWhite));
    EXPECT_FALSE(CoreDataManager::showSameColor(Color::white(), Color::withWhite(1, 0.5)));
    std::string out = captureStdout([&] { CoreDataManager::recordColor(rgbWhite); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(history(), (std::vector<Color>{rgbWhite, Color::blue(), Color::red()}));
    CoreDataManager::recordColor(Color::white());
    EXPECT_EQ(history(), (std::vector<Color>{Color::white(), Color::blue(), Color::red()}));

    // Refused between its deletion and its insertion, the colour is still there.
    sql("CREATE TEMP TRIGGER refuse BEFORE INSERT ON ColorHistory "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    out = captureStdout([] { CoreDataManager::recordColor(Color::red()); });
    expectFailureLines(out, {"Could not save. "});
    EXPECT_NE(out.find("refused"), std::string::npos) << out;
    EXPECT_EQ(sql("SELECT count(*) FROM ColorHistory").value(0).toInt(), 3);
    sql("DROP TRIGGER temp.refuse");
    // The refused change waits for the next colour save.
    CoreDataManager::saveColor(green);
    restart();
    EXPECT_EQ(history(), (std::vector<Color>{green, Color::red(), Color::white(), Color::blue()}));

    // Deleting takes every entry of exactly that colour: RGB white is not grey white.
    CoreDataManager::saveColor(Color::blue());
    CoreDataManager::deleteColor(rgbWhite);
    CoreDataManager::deleteColor(Color::blue());
    EXPECT_EQ(history(), (std::vector<Color>{green, Color::red(), Color::white()}));
}
