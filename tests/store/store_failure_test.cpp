#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <functional>

#include "file_faults.h"

#include "store/color_archive.h"
#include "store/core_data_manager.h"
#include "store/managed_object_context.h"
#include "store/persistent_container.h"
#include "store_test_util.h"

namespace {
Color green() {
    return Color::withRGB(0.0, 1.0, 0.0);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void setPragma(StoreTestDelegate& app, const QString& pragma) {
    QSqlQuery query(app.persistentContainer()->database());
    ASSERT_TRUE(query.exec("PRAGMA " + pragma));
}

// Runs every operation once, each on a fresh record where it takes one.
std::string runEveryOperation() {
    return captureStdout([] {
        EXPECT_EQ(CoreDataManager::loadThumbnails(), std::nullopt);
        EXPECT_EQ(CoreDataManager::loadColorHistory(), std::nullopt);
        Drawing* drawing = Drawing::create(sampleColors(20, 20), 20, 20);
        ASSERT_NE(drawing, nullptr);  // the context works in memory
        Thumbnail* thumbnail = Thumbnail::create("t", "d", "png");
        drawing->setThumbnail(thumbnail);
        CoreDataManager::saveDrawing(drawing, nullptr);
        CoreDataManager::saveDuplicate(drawing);
        CoreDataManager::deleteThumbnail(thumbnail);
        CoreDataManager::saveColor(Color::red());
        CoreDataManager::deleteColor(Color::red());
        EXPECT_EQ(drawing->colorArray(), sampleColors(20, 20));
    });
}

const std::vector<QString> everyOperationsLines = {"Could not load any thumbnails. ",
                                                   "Could not load any color history. ",
                                                   "Could not update any drawings. ",
                                                   "Could not save. ",
                                                   "Could not duplicate drawing. ",
                                                   "Could not delete. ",
                                                   "Could not save. ",
                                                   "Could not delete. "};
}  // namespace

using StoreFailureTest = StoreTest;

TEST_F(StoreFailureTest, ACorruptFileIsReportedKeptAsItIsAndTheAppGoesOn) {
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
    writeFile(storePath(), garbage);

    const std::string opening = captureStdout([&] { app().persistentContainer(); });
    EXPECT_EQ(opening.rfind("Unresolved error file is not a database, {", 0), 0u) << opening;
    expectFailureLines(opening, {"Unresolved error "});

    const std::string out = runEveryOperation();
    expectFailureLines(out, everyOperationsLines);
    EXPECT_NE(out.find("The store is not open., {"), std::string::npos) << out;

    app().closeContainer();
    EXPECT_EQ(fileBytes(storePath()), garbage);
    EXPECT_EQ(QDir(QFileInfo(storePath()).path()).entryList(QDir::Files),
              QStringList{"tesselet.sqlite"});
}

TEST_F(StoreFailureTest, ATruncatedStoreIsRefusedAndKept) {
    for (int i = 0; i < 40; ++i) {
        saveNewDrawing(QString::number(i), sampleColors(28, 28));
    }
    restart();  // the last connection checkpoints the log into the file
    const QByteArray whole = fileBytes(storePath());
    ASSERT_GT(whole.size(), 100 * 1024);
    const QByteArray half = whole.left(whole.size() / 2);
    writeFile(storePath(), half);

    const std::string opening = captureStdout([&] { app().persistentContainer(); });
    expectFailureLines(opening, {"Unresolved error "});
    expectFailureLines(runEveryOperation(), everyOperationsLines);
    app().closeContainer();
    EXPECT_EQ(fileBytes(storePath()), half);
}

TEST_F(StoreFailureTest, AStoreFromANewerVersionIsLeftAlone) {
    saveNewDrawing("mine", sampleColors(20, 20));
    restart();
    {
        RawStore raw(storePath());
        raw.exec("PRAGMA user_version = 2");
    }
    const QByteArray before = fileBytes(storePath());
    const std::string opening = captureStdout([&] { app().persistentContainer(); });
    EXPECT_EQ(opening.rfind("Unresolved error The store was written by a newer version", 0), 0u);
    app().closeContainer();
    EXPECT_EQ(fileBytes(storePath()), before);
}

TEST_F(StoreFailureTest, AReadOnlyStoreStillReadsAndKeepsUnsavedWorkPending) {
    saveNewDrawing("stored", sampleColors(20, 20));
    CoreDataManager::saveColor(Color::blue());
    setPragma(app(), "query_only = ON");

    std::string out = captureStdout([] {
        EXPECT_EQ(titles(*CoreDataManager::loadThumbnails()), std::vector<QString>{"stored"});
        EXPECT_EQ(CoreDataManager::loadColorHistory(), std::vector<Color>{Color::blue()});
    });
    EXPECT_EQ(out, "");

    out = captureStdout([] { saveNewDrawing("pending", sampleColors(20, 20)); });
    expectFailureLines(out, {"Could not update any drawings. ", "Could not save. "});
    EXPECT_NE(out.find("Could not save. attempt to write a readonly database, {"),
              std::string::npos)
        << out;

    Thumbnail* stored = CoreDataManager::loadThumbnails()->front();
    out = captureStdout([&] {
        CoreDataManager::deleteThumbnail(stored, "Could not delete thumbnail. ");
        CoreDataManager::deleteColor(Color::blue());
        CoreDataManager::saveColor(Color::red());
        CoreDataManager::saveDuplicate(stored->drawing());
    });
    expectFailureLines(out, {"Could not delete thumbnail. ", "Could not delete. ",
                             "Could not save. ", "Could not duplicate drawing. "});

    // Once the store takes writes again, the next save writes everything that waited.
    setPragma(app(), "query_only = OFF");
    out = captureStdout([] { CoreDataManager::saveColor(green()); });
    EXPECT_EQ(out, "");
    restart();
    EXPECT_EQ(titles(*CoreDataManager::loadThumbnails()),
              (std::vector<QString>{"stored", "pending"}));
    EXPECT_EQ(CoreDataManager::loadColorHistory(),
              (std::vector<Color>{green(), Color::red(), Color::blue()}));
}

TEST_F(StoreFailureTest, AFullDiskRollsTheWholeSaveBack) {
    saveNewDrawing("first", sampleColors(20, 20));
    QSqlQuery query(app().persistentContainer()->database());
    ASSERT_TRUE(query.exec("PRAGMA page_count") && query.next());
    ASSERT_TRUE(
        query.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(query.value(0).toInt() + 2)));
    query.finish();

    const std::string out = captureStdout([] { saveNewDrawing("second", sampleColors(28, 28)); });
    expectFailureLines(out, {"Could not update any drawings. ", "Could not save. "});
    EXPECT_NE(out.find("database or disk is full"), std::string::npos) << out;
    RawStore raw(storePath());
    EXPECT_EQ(raw.column("SELECT fileName FROM Thumbnail"), QVariantList{"first"});
    EXPECT_EQ(raw.count("Drawing"), 1);
    EXPECT_EQ(raw.column("PRAGMA integrity_check"), QVariantList{"ok"});
}

TEST_F(StoreFailureTest, MalformedStoredColorsAreReportedAndReadSafely) {
    const QUuid id = saveNewDrawing("odd", sampleColors(20, 20))->id();
    CoreDataManager::saveColor(Color::red());
    CoreDataManager::saveColor(Color::blue());
    restart();
    {
        RawStore raw(storePath());
        const QByteArray truncated = ColorArchive::encode(sampleColors(20, 20)).left(9 + 33 * 10);
        raw.exec("UPDATE Drawing SET colorArray = ?", {truncated});
        raw.exec(
            "UPDATE ColorHistory SET color = ? WHERE seq = (SELECT min(seq) FROM "
            "ColorHistory)",
            {QByteArray("TBCA\x07", 5)});
    }
    std::vector<Color> colors;
    std::optional<std::vector<Color>> history;
    const std::string out = captureStdout([&] {
        colors = CoreDataManager::loadThumbnails()->front()->drawing()->colorArray();
        history = CoreDataManager::loadColorHistory();
    });
    const std::vector<Color> expected = sampleColors(20, 20);
    EXPECT_EQ(colors, std::vector<Color>(expected.begin(), expected.begin() + 10));
    EXPECT_EQ(history, std::vector<Color>{Color::blue()});
    const QStringList lines = QString::fromStdString(out).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << out;
    EXPECT_TRUE(lines[0].startsWith("Malformed color archive in Drawing " +
                                    id.toString(QUuid::WithoutBraces) + ": "));
    EXPECT_EQ(lines[1],
              "Drawing " + id.toString(QUuid::WithoutBraces) + " is 20 x 20 but holds 10 colors.");
    EXPECT_TRUE(lines[2].startsWith("Malformed color archive in ColorHistory entry 1: "));
}

// What stands where the store file should be cannot be opened as one, whoever runs the app:
// the failure is reported, every operation says it could not run, and nothing is created,
// deleted or replaced in its place.
TEST_F(StoreFailureTest, AStoreThatCannotBeOpenedIsReportedAndNothingTakesItsPlace) {
    struct Case {
        const char* name;
        std::function<void(const QString& dir)> arrange;
    };
    const std::vector<Case> cases = {
        {"a folder holding the user's file",
         [](const QString& dir) {
             ASSERT_TRUE(QDir(dir).mkdir("tesselet.sqlite"));
             writeFile(dir + "/tesselet.sqlite/keep.txt", "mine");
         }},
        {"a link to a folder that is gone",
         [](const QString& dir) {
             ASSERT_TRUE(QFile::link(dir + "/gone/tesselet.sqlite", dir + "/tesselet.sqlite"));
         }},
        {"a data folder that is a file",
         [](const QString& dir) {
             writeFile(dir + "/data", "not a folder");
             qputenv("TILEBLOOM_DATA_DIR", (dir + "/data").toUtf8());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedDataDir folder;
        c.arrange(folder.path());
        restart();
        const std::string opening = captureStdout([&] { app().persistentContainer(); });
        expectFailureLines(opening, {"Unresolved error "});
        EXPECT_NE(opening.find("unable to open database file"), std::string::npos) << opening;
        expectFailureLines(runEveryOperation(), everyOperationsLines);
        restart();
        QDir dir(folder.path());
        dir.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        EXPECT_EQ(dir.count(), 1u) << dir.entryList().join(' ').toStdString();
    }
    EXPECT_EQ(file_faults::bytesOf(storePath()), QByteArray());  // the fixture's own folder
}

// An immutable file refuses writes even to root, as a read-only disk or a locked file would.
TEST_F(StoreFailureTest, AStoreFileThatRefusesWritesIsReadAndNeverChanged) {
    saveNewDrawing("stored", sampleColors(20, 20));
    CoreDataManager::saveColor(Color::blue());
    restart();  // the last connection folds the log into the file and removes it
    const QByteArray before = fileBytes(storePath());
    file_faults::ImmutableFile locked(storePath());
    if (!locked.ok()) {
        GTEST_SKIP() << "this file system cannot make a file immutable";
    }
    std::string out = captureStdout([] {
        EXPECT_EQ(titles(*CoreDataManager::loadThumbnails()), std::vector<QString>{"stored"});
        EXPECT_EQ(CoreDataManager::loadColorHistory(), std::vector<Color>{Color::blue()});
    });
    EXPECT_EQ(out, "");
    out = captureStdout([] {
        saveNewDrawing("pending", sampleColors(20, 20));
        CoreDataManager::saveColor(Color::red());
    });
    expectFailureLines(out,
                       {"Could not update any drawings. ", "Could not save. ", "Could not save. "});
    EXPECT_NE(out.find("readonly database"), std::string::npos) << out;
    restart();
    EXPECT_EQ(fileBytes(storePath()), before);
}
