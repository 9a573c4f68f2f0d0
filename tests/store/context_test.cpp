#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>

#include "store/core_data_manager.h"
#include "store/managed_object_context.h"
#include "store/persistent_container.h"
#include "store_test_util.h"

namespace {
ManagedObjectContext* context() {
    return PersistentContainerProvider::applicationViewContext();
}

std::vector<QString> fetchedTitles(const FetchRequest& request) {
    FetchResult result = context()->fetch(request);
    EXPECT_FALSE(result.error.has_value());
    std::vector<QString> out;
    for (ManagedObject* object : result.objects) {
        out.push_back(object->value(QStringLiteral("fileName")).toString());
    }
    return out;
}
}  // namespace

using ContextTest = StoreTest;

TEST_F(ContextTest, StoreOpensOnFirstUseOnly) {
    EXPECT_FALSE(app().hasContainer());
    EXPECT_FALSE(QFile::exists(storePath()));
    EXPECT_NE(Drawing::create(sampleColors(2, 2), 2, 2), nullptr);
    EXPECT_TRUE(QFile::exists(storePath()));
    EXPECT_EQ(context()->insertNewObject(QStringLiteral("Sketch")), nullptr);
}

TEST_F(ContextTest, FetchesComeInInsertionOrderAcrossSavesAndReopening) {
    saveNewDrawing("A", sampleColors(20, 20));
    saveNewDrawing("B", sampleColors(20, 20));
    saveNewDrawing("C", sampleColors(20, 20));
    // Deleting the newest must not let the next record take its place in the order.
    CoreDataManager::deleteThumbnail(CoreDataManager::loadThumbnails()->back());
    saveNewDrawing("D", sampleColors(20, 20));
    // Unsaved records come after the stored ones.
    Thumbnail::create("E", "today", "png");
    EXPECT_EQ(fetchedTitles({"Thumbnail", {}, {}}), (std::vector<QString>{"A", "B", "D", "E"}));
    context()->save();

    restart();
    EXPECT_EQ(titles(*CoreDataManager::loadThumbnails()),
              (std::vector<QString>{"A", "B", "D", "E"}));
    RawStore raw(storePath());
    EXPECT_EQ(raw.column("SELECT fileName FROM Thumbnail ORDER BY seq"),
              (QVariantList{"A", "B", "D", "E"}));
}

TEST_F(ContextTest, OneObjectPerRowKeepsUnsavedChangesAcrossFetches) {
    Drawing* saved = saveNewDrawing("A", sampleColors(20, 20));
    const QUuid id = saved->id();
    restart();

    const std::vector<Thumbnail*> first = *CoreDataManager::loadThumbnails();
    ASSERT_EQ(first.size(), 1u);
    Drawing* drawing = first[0]->drawing();
    ASSERT_NE(drawing, nullptr);
    EXPECT_EQ(drawing->id(), id);
    EXPECT_EQ(drawing->thumbnail(), first[0]);
    EXPECT_EQ(drawing->colorArray(), sampleColors(20, 20));

    drawing->setColorArray(sampleColors(20, 20, 0.5));
    EXPECT_TRUE(context()->hasChanges());
    EXPECT_EQ(*CoreDataManager::loadThumbnails(), first);
    FetchResult byId = context()->fetch({"Drawing", "id", QVariant::fromValue(id)});
    ASSERT_EQ(byId.objects.size(), 1u);
    EXPECT_EQ(byId.objects[0], drawing);
    EXPECT_EQ(drawing->colorArray(), sampleColors(20, 20, 0.5));
}

TEST_F(ContextTest, FetchByAttributeSeesStoredAndNewRecords) {
    saveNewDrawing("same", sampleColors(2, 2), 2);
    saveNewDrawing("other", sampleColors(2, 2), 2);
    Thumbnail* fresh = Thumbnail::create("same", "today", "png");
    FetchResult result = context()->fetch({"Thumbnail", "fileName", QStringLiteral("same")});
    ASSERT_FALSE(result.error.has_value());
    ASSERT_EQ(result.objects.size(), 2u);
    EXPECT_EQ(result.objects[1], fresh);

    // A key the entity cannot be matched by is an error, not an empty result.
    result = context()->fetch({"Thumbnail", "colour", QStringLiteral("same")});
    EXPECT_TRUE(result.error.has_value());
}

TEST_F(ContextTest, LinksKeepBothSidesInStepAndByKeyAccessChecksTypes) {
    Drawing* first = Drawing::create(sampleColors(2, 2), 2, 2);
    Drawing* second = Drawing::create(sampleColors(2, 2), 2, 2);
    Thumbnail* thumbnail = Thumbnail::create("t", "d", "png");

    thumbnail->setDrawing(first);
    EXPECT_EQ(first->thumbnail(), thumbnail);
    second->setValue("thumbnail", QVariant::fromValue<ManagedObject*>(thumbnail));
    EXPECT_EQ(thumbnail->drawing(), second);
    EXPECT_EQ(first->thumbnail(), nullptr);
    EXPECT_EQ(second->value("thumbnail").value<ManagedObject*>(), thumbnail);

    EXPECT_FALSE(second->setValue("thumbnail", QVariant::fromValue<ManagedObject*>(first)));
    EXPECT_FALSE(second->setValue("colorArray", QStringLiteral("red")));
    EXPECT_FALSE(second->setValue("id", QVariant::fromValue(QUuid::createUuid())));
    EXPECT_FALSE(second->value("nothing").isValid());
    EXPECT_TRUE(second->setValue("colorArray", QVariant::fromValue(sampleColors(1, 1))));
    EXPECT_EQ(second->colorArray(), sampleColors(1, 1));

    thumbnail->setDrawing(nullptr);
    EXPECT_EQ(second->thumbnail(), nullptr);
}

TEST_F(ContextTest, ReplacingAThumbnailDeletesTheOldOneInTheSameSave) {
    Drawing* drawing = saveNewDrawing("old", sampleColors(20, 20));
    Thumbnail* old = drawing->thumbnail();
    Thumbnail* fresh = Thumbnail::create("new", "d", "png");
    drawing->setThumbnail(fresh);
    EXPECT_EQ(old->drawing(), nullptr);
    ASSERT_FALSE(context()->save().has_value());

    RawStore raw(storePath());
    EXPECT_EQ(raw.column("SELECT fileName FROM Thumbnail"), QVariantList{"new"});
    EXPECT_EQ(raw.column("SELECT thumbnail FROM Drawing"),
              QVariantList{fresh->id().toString(QUuid::WithoutBraces)});
    // The replaced record stays readable in memory.
    EXPECT_EQ(old->fileName(), "old");
}

TEST_F(ContextTest, BatchDeleteWorksInTheFileAndLeavesHeldObjectsWhole) {
    const QUuid id = saveNewDrawing("A", sampleColors(20, 20))->id();
    restart();
    Thumbnail* held = CoreDataManager::loadThumbnails()->front();

    // Pending records are not the store's business.
    Thumbnail* pending = Thumbnail::create("A", "d", "png");
    const auto error =
        context()->executeBatchDelete({"Thumbnail", "fileName", QStringLiteral("A")});
    ASSERT_FALSE(error.has_value());

    EXPECT_EQ(held->fileName(), "A");
    ASSERT_NE(held->drawing(), nullptr);
    EXPECT_EQ(held->drawing()->id(), id);
    EXPECT_EQ(held->drawing()->colorArray(), sampleColors(20, 20));
    EXPECT_EQ(context()->fetch({"Thumbnail", {}, {}}).objects,
              std::vector<ManagedObject*>{pending});
    {
        RawStore raw(storePath());
        EXPECT_EQ(raw.count("Thumbnail"), 0);
        EXPECT_EQ(raw.count("Drawing"), 0);
    }
    EXPECT_TRUE(context()->hasChanges());
    ASSERT_FALSE(context()->save().has_value());
    RawStore raw(storePath());
    EXPECT_EQ(raw.count("Thumbnail"), 1);
}

TEST_F(ContextTest, TablesAreTypedAndReadableByTheSqliteShell) {
    saveNewDrawing("shell", sampleColors(20, 20));
    CoreDataManager::saveColor(Color::red());
    QSqlQuery pragma(app().persistentContainer()->database());
    ASSERT_TRUE(pragma.exec("PRAGMA journal_mode") && pragma.next());
    EXPECT_EQ(pragma.value(0).toString(), "wal");
    ASSERT_TRUE(pragma.exec("PRAGMA synchronous") && pragma.next());
    EXPECT_EQ(pragma.value(0).toInt(), 2);  // FULL
    pragma.finish();

    const QString shell = QStandardPaths::findExecutable("sqlite3");
    if (shell.isEmpty()) {
        GTEST_SKIP() << "no sqlite3 shell on this machine";
    }
    QProcess process;
    process.start(shell, {storePath(),
                          "SELECT typeof(width), typeof(colorArray), length(colorArray), "
                          "t.fileName FROM Drawing JOIN Thumbnail t ON t.id = Drawing.thumbnail; "
                          "SELECT length(color) FROM ColorHistory;"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.readAllStandardOutput(), "integer|blob|13209|shell\n42\n");
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}
