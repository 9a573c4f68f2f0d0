#include <gtest/gtest.h>

#include "store/core_data_manager.h"
#include "store/managed_object_context.h"
#include "store_test_util.h"

namespace {
const Color green = Color::withRGB(0.0, 1.0, 0.0);

std::vector<Color> history() {
    const auto colors = CoreDataManager::loadColorHistory();
    EXPECT_TRUE(colors.has_value());
    return colors.value_or(std::vector<Color>{});
}

// What the colour picker does when a colour is chosen.
void recordColor(const Color& color) {
    const std::vector<Color> shown = history();
    if (std::find(shown.begin(), shown.end(), color) != shown.end()) {
        CoreDataManager::deleteColor(color);
    }
    CoreDataManager::saveColor(color);
}
}  // namespace

using CoreDataManagerTest = StoreTest;

TEST_F(CoreDataManagerTest, AnEmptyStoreGivesEmptyListsQuietly) {
    const std::string out = captureStdout([] {
        EXPECT_EQ(CoreDataManager::loadThumbnails(), std::vector<Thumbnail*>{});
        EXPECT_EQ(CoreDataManager::loadColorHistory(), std::vector<Color>{});
    });
    EXPECT_EQ(out, "");
}

TEST_F(CoreDataManagerTest, ColorHistoryIsNewestFirstAndKeepsEachRecordedColorOnce) {
    const std::string out = captureStdout([&] {
        for (const Color& color : {Color::red(), green, Color::blue()}) {
            recordColor(color);
        }
        EXPECT_EQ(history(), (std::vector<Color>{Color::blue(), green, Color::red()}));
        recordColor(Color::red());
        EXPECT_EQ(history(), (std::vector<Color>{Color::red(), Color::blue(), green}));

        // Grey white is not RGB white: deleting one leaves the other.
        CoreDataManager::saveColor(Color::white());
        CoreDataManager::saveColor(Color::withRGB(1, 1, 1));
        CoreDataManager::deleteColor(Color::white());
        EXPECT_EQ(history().front(), Color::withRGB(1, 1, 1));
        EXPECT_EQ(history().size(), 4u);
    });
    EXPECT_EQ(out, "");

    restart();
    EXPECT_EQ(history(),
              (std::vector<Color>{Color::withRGB(1, 1, 1), Color::red(), Color::blue(), green}));
    // Saving a stored colour again adds a second entry; deleting it removes both.
    CoreDataManager::saveColor(Color::blue());
    EXPECT_EQ(history().size(), 5u);
    CoreDataManager::deleteColor(Color::blue());
    EXPECT_EQ(history(), (std::vector<Color>{Color::withRGB(1, 1, 1), Color::red(), green}));
}

TEST_F(CoreDataManagerTest, UpdateDrawingFindsANewDrawingAndIgnoresAnUnknownOne) {
    std::string out = captureStdout([] {
        Drawing* drawing = Drawing::create(sampleColors(24, 24), 24, 24);
        EXPECT_TRUE(CoreDataManager::updateDrawing(drawing));
        EXPECT_FALSE(drawing->managedObjectContext()->hasChanges());
    });
    EXPECT_EQ(out, "");
    {
        RawStore raw(storePath());
        EXPECT_EQ(raw.column("SELECT width * 1000 + height FROM Drawing"), QVariantList{24024});
    }

    // A drawing whose row is gone (its thumbnail was deleted from the gallery) is unknown.
    Drawing* deleted = saveNewDrawing("gone", sampleColors(20, 20));
    CoreDataManager::deleteThumbnail(deleted->thumbnail());
    out = captureStdout([&] {
        EXPECT_FALSE(CoreDataManager::updateDrawing(deleted));
        EXPECT_FALSE(CoreDataManager::updateDrawing(nullptr));
    });
    EXPECT_EQ(out, "");
}

TEST_F(CoreDataManagerTest, ResavingKeepsTheDrawingAndReplacesItsThumbnail) {
    std::string out = captureStdout([] { saveNewDrawing("first", sampleColors(20, 20)); });
    EXPECT_EQ(out, "");
    QUuid drawingId;
    QUuid firstThumbnailId;
    {
        RawStore raw(storePath());
        EXPECT_EQ(raw.count("Drawing"), 1);
        EXPECT_EQ(raw.count("Thumbnail"), 1);
    }

    // Reopened from the gallery in a later run, edited and saved again.
    restart();
    Thumbnail* listed = CoreDataManager::loadThumbnails()->front();
    Drawing* drawing = listed->drawing();
    drawingId = drawing->id();
    firstThumbnailId = listed->id();
    Thumbnail* second = nullptr;
    out =
        captureStdout([&] { second = resaveDrawing(drawing, "second", sampleColors(20, 20, 1)); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(listed->fileName(), "first");  // still readable in memory

    restart();
    const std::vector<Thumbnail*> thumbnails = *CoreDataManager::loadThumbnails();
    ASSERT_EQ(thumbnails.size(), 1u);
    EXPECT_EQ(thumbnails[0]->fileName(), "second");
    EXPECT_NE(thumbnails[0]->id(), firstThumbnailId);
    ASSERT_NE(thumbnails[0]->drawing(), nullptr);
    EXPECT_EQ(thumbnails[0]->drawing()->id(), drawingId);
    EXPECT_EQ(thumbnails[0]->drawing()->colorArray(), sampleColors(20, 20, 1));
    RawStore raw(storePath());
    EXPECT_EQ(raw.count("Drawing"), 1);
    EXPECT_EQ(raw.count("Thumbnail"), 1);
}

TEST_F(CoreDataManagerTest, GalleryOrderFollowsSavesDuplicatesAndReopenedSaves) {
    for (const char* title : {"A", "B", "C"}) {
        saveNewDrawing(title, sampleColors(20, 20));
    }
    restart();
    std::vector<Thumbnail*> list = *CoreDataManager::loadThumbnails();

    // Duplicate B as the gallery does.
    Drawing* source = list[1]->drawing();
    Thumbnail* sourceThumbnail = source->thumbnail();
    Drawing* copy = Drawing::create(source->colorArray(), source->width(), source->height());
    Thumbnail* copyThumbnail = Thumbnail::create(
        sourceThumbnail->fileName(), sourceThumbnail->date(), sourceThumbnail->imageData());
    copy->setThumbnail(copyThumbnail);
    copyThumbnail->setDrawing(copy);
    const std::string out = captureStdout([&] { CoreDataManager::saveDuplicate(copy); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(titles(*CoreDataManager::loadThumbnails()),
              (std::vector<QString>{"A", "B", "C", "B"}));

    // Reopen A and save it: it moves to the end.
    resaveDrawing(list[0]->drawing(), "A", sampleColors(20, 20, 0.25));
    restart();
    list = *CoreDataManager::loadThumbnails();
    EXPECT_EQ(titles(list), (std::vector<QString>{"B", "C", "B", "A"}));
    Drawing* storedCopy = list[2]->drawing();
    ASSERT_NE(storedCopy, nullptr);
    EXPECT_NE(storedCopy->id(), list[0]->drawing()->id());
    EXPECT_NE(list[2]->id(), list[0]->id());
    EXPECT_EQ(storedCopy->colorArray(), list[0]->drawing()->colorArray());
    EXPECT_EQ(list[2]->imageData(), list[0]->imageData());
    EXPECT_EQ(list[2]->date(), list[0]->date());
    EXPECT_EQ(storedCopy->width(), 20);
}

TEST_F(CoreDataManagerTest, DeletingAThumbnailTakesItsDrawingAndAnUnknownIdIsQuiet) {
    saveNewDrawing("keep", sampleColors(20, 20));
    Drawing* drawing = saveNewDrawing("delete", sampleColors(20, 20));
    Thumbnail* thumbnail = drawing->thumbnail();
    std::string out = captureStdout([&] {
        CoreDataManager::deleteThumbnail(thumbnail);
        CoreDataManager::deleteThumbnail(thumbnail);  // matches nothing any more
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(titles(*CoreDataManager::loadThumbnails()), std::vector<QString>{"keep"});
    RawStore raw(storePath());
    EXPECT_EQ(raw.count("Drawing"), 1);
    EXPECT_EQ(thumbnail->drawing(), drawing);
}

TEST_F(CoreDataManagerTest, PassingTheCurrentThumbnailAsPreviousDeletesNothing) {
    Drawing* drawing = saveNewDrawing("only", sampleColors(20, 20));
    drawing->setColorArray(sampleColors(20, 20, 0.5));
    CoreDataManager::saveDrawing(drawing, drawing->thumbnail());
    restart();
    const std::vector<Thumbnail*> list = *CoreDataManager::loadThumbnails();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->drawing()->colorArray(), sampleColors(20, 20, 0.5));
}

TEST(CoreDataManagerWithoutStoreTest, EveryOperationIsSilentWithoutAProvider) {
    ApplicationDelegate plain;
    ScopedDataDir dir;
    Application::shared().setDelegate(&plain);
    const std::string out = captureStdout([] {
        EXPECT_EQ(Drawing::create(sampleColors(2, 2), 2, 2), nullptr);
        EXPECT_EQ(Thumbnail::create("t", "d", "png"), nullptr);
        EXPECT_EQ(CoreDataManager::loadThumbnails(), std::nullopt);
        EXPECT_EQ(CoreDataManager::loadColorHistory(), std::nullopt);
        EXPECT_FALSE(CoreDataManager::updateDrawing(nullptr));
        CoreDataManager::saveDrawing(nullptr, nullptr);
        CoreDataManager::saveDuplicate(nullptr);
        CoreDataManager::deleteThumbnail(nullptr);
        CoreDataManager::saveColor(Color::red());
        CoreDataManager::deleteColor(Color::red());
    });
    Application::shared().setDelegate(nullptr);
    EXPECT_EQ(out, "");
    EXPECT_FALSE(QFile::exists(dir.path() + "/tesselet.sqlite"));
}

TEST_F(CoreDataManagerTest, AnUntitledDrawingSavesWithEmptyTexts) {
    // A null string must be stored as empty text, not as NULL.
    Drawing* drawing = Drawing::create(std::vector<Color>(400, Color::white()), 20, 20);
    Thumbnail* thumbnail = Thumbnail::create(QString(), QString(), QByteArray("png"));
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    const std::string out = captureStdout([&] { CoreDataManager::saveDrawing(drawing, nullptr); });
    EXPECT_EQ(out, "");
    app().closeContainer();
    const auto stored = CoreDataManager::loadThumbnails();
    ASSERT_TRUE(stored && stored->size() == 1);
    EXPECT_EQ((*stored)[0]->fileName(), QString(""));
    EXPECT_FALSE((*stored)[0]->fileName().isNull());
}
