// Store faults: every operation prints its line, the app goes on, the user's file is kept.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

#include "file_faults.h"

#include "store/color_archive.h"
#include "store_test_util.h"

namespace {
using file_faults::writeFile;

// The names in the folder, dead links too, and the bytes of the store file.
std::pair<QStringList, QByteArray> contents(const QString& folder) {
    return {QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            file_faults::bytesOf(folder + "/tesselet.sqlite")};
}

// Runs every operation once, each on a fresh record where it takes one.
std::string runEveryOperation() {
    return captureStdout([] {
        EXPECT_EQ(CoreDataManager::loadThumbnails(), std::nullopt);
        EXPECT_EQ(CoreDataManager::loadColorHistory(), std::nullopt);
        Drawing* drawing = Drawing::create(sampleColors(20), 20, 20);
        ASSERT_NE(drawing, nullptr);  // the context works in memory
        Thumbnail* thumbnail = Thumbnail::create("t", "d", "png");
        drawing->setThumbnail(thumbnail);
        CoreDataManager::saveDrawing(drawing, nullptr);
        CoreDataManager::saveDuplicate(drawing);
        CoreDataManager::deleteThumbnail(thumbnail);
        CoreDataManager::saveColor(Color::red());
        CoreDataManager::deleteColor(Color::red());
        EXPECT_EQ(drawing->colorArray(), sampleColors(20));
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

// Whatever stands where the store should be (random bytes are the gallery test's), and whoever
// runs the app (root reads and writes
// past permissions): the failure is reported, every operation says it could not run, and
// nothing is created, deleted or replaced in the folder.
TEST_F(StoreFailureTest, AStoreThatCannotBeOpenedIsReportedAndKeptAsItIs) {
    const struct {
        const char* name;
        const char* problem;
        std::function<void(const QString& dir)> arrange;
    } cases[] = {
        {"from a newer version", "Unresolved error The store was written by a newer version",
         [&](const QString&) { sql("PRAGMA user_version = 2"); }},
        {"a folder holding the user's file", "unable to open database file",
         [](const QString& dir) {
             ASSERT_TRUE(QDir(dir).mkdir("tesselet.sqlite"));
             writeFile(dir + "/tesselet.sqlite/keep.txt", "mine");
         }},
        {"a data folder that is a file", "unable to open database file",
         [](const QString& dir) {
             writeFile(dir + "/data", "not a folder");
             qputenv("TILEBLOOM_DATA_DIR", (dir + "/data").toUtf8());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedDataDir folder;
        c.arrange(folder.path());
        restart();
        const auto before = contents(folder.path());
        ASSERT_EQ(before.first.size(), 1);
        const std::string opening = captureStdout([&] { app().persistentContainer(); });
        expectFailureLines(opening, {"Unresolved error "});
        EXPECT_NE(opening.find(c.problem), std::string::npos) << opening;
        const std::string out = runEveryOperation();
        expectFailureLines(out, everyOperationsLines);
        EXPECT_NE(out.find("The store is not open., {"), std::string::npos) << out;
        restart();
        EXPECT_EQ(contents(folder.path()), before);
    }
    EXPECT_FALSE(QFile::exists(storePath()));  // nor anywhere else
}

// A read-only connection, and an immutable file that refuses writes even to root as a read-only
// disk or a locked file would: the store still reads, and unsaved work stays pending.
TEST_F(StoreFailureTest, AStoreThatRefusesWritesStillReadsAndKeepsUnsavedWorkPending) {
    saveDrawing("stored", sampleColors(20));
    CoreDataManager::saveColor(Color::blue());
    restart();  // the last connection folds the log into the file and removes it
    const QByteArray before = file_faults::bytesOf(storePath());
    for (const bool immutable : {true, false}) {
        SCOPED_TRACE(immutable ? "immutable file" : "read-only connection");
        std::optional<file_faults::ImmutableFile> locked;
        if (immutable) {
            locked.emplace(storePath());
            if (!locked->ok()) {
                continue;  // this file system cannot make a file immutable
            }
        } else {
            sql("PRAGMA query_only = ON");
        }
        std::string out = captureStdout([] {
            EXPECT_EQ(titles(), std::vector<QString>{"stored"});
            EXPECT_EQ(CoreDataManager::loadColorHistory(), std::vector<Color>{Color::blue()});
        });
        EXPECT_EQ(out, "");
        out = captureStdout([] {
            saveDrawing("pending", sampleColors(20));
            Thumbnail* stored = CoreDataManager::loadThumbnails()->front();
            CoreDataManager::deleteThumbnail(stored, "Could not delete thumbnail. ");
            CoreDataManager::deleteColor(Color::blue());
            CoreDataManager::saveColor(Color::red());
            CoreDataManager::saveDuplicate(stored->drawing());
        });
        expectFailureLines(out, {"Could not update any drawings. ", "Could not save. ",
                                 "Could not delete thumbnail. ", "Could not delete. ",
                                 "Could not save. ", "Could not duplicate drawing. "});
        EXPECT_NE(out.find("Could not save. attempt to write a readonly database, {"),
                  std::string::npos)
            << out;
        if (immutable) {
            restart();
            EXPECT_EQ(file_faults::bytesOf(storePath()), before);
        }
    }
    // Once the store takes writes again, the next save of each kind writes what waited: a
    // colour save never writes drawings, which may be an open editor's unsaved work.
    sql("PRAGMA query_only = OFF");
    const Color green = Color::withRGB(0.0, 1.0, 0.0);
    EXPECT_EQ(captureStdout([&] { CoreDataManager::saveColor(green); }), "");
    EXPECT_EQ(sql("SELECT count(*) FROM Thumbnail"), QVariantList{1});
    EXPECT_EQ(captureStdout([&] { saveDrawing("later", sampleColors(20)); }), "");
    restart();
    EXPECT_EQ(titles(), (std::vector<QString>{"stored", "pending", "later"}));
    EXPECT_EQ(CoreDataManager::loadColorHistory(),
              (std::vector<Color>{green, Color::red(), Color::blue()}));
}

TEST_F(StoreFailureTest, AFullDiskRollsTheWholeSaveBack) {
    saveDrawing("first", sampleColors(20));
    sql(QString("PRAGMA max_page_count = %1").arg(sql("PRAGMA page_count").value(0).toInt() + 2));

    const std::string out = captureStdout([] { saveDrawing("second", sampleColors(28)); });
    expectFailureLines(out, {"Could not update any drawings. ", "Could not save. "});
    EXPECT_NE(out.find("database or disk is full"), std::string::npos) << out;
    EXPECT_EQ(sql("SELECT fileName FROM Thumbnail"), QVariantList{"first"});
    EXPECT_EQ(sql("SELECT count(*) FROM Drawing"), QVariantList{1});
    EXPECT_EQ(sql("PRAGMA integrity_check"), QVariantList{"ok"});
}

TEST_F(StoreFailureTest, MalformedStoredColorsAreReportedAndReadSafely) {
    const QString id = saveDrawing("odd", sampleColors(20))->id().toString(QUuid::WithoutBraces);
    CoreDataManager::saveColor(Color::red());
    CoreDataManager::saveColor(Color::blue());
    restart();
    sql("UPDATE Drawing SET colorArray = ?",
        {ColorArchive::encode(sampleColors(20)).left(9 + 33 * 10)});
    sql("UPDATE ColorHistory SET color = ? WHERE seq = 1", {QByteArray("TBCA\x07", 5)});
    std::vector<Color> colors;
    std::optional<std::vector<Color>> history;
    const std::string out = captureStdout([&] {
        colors = CoreDataManager::loadThumbnails()->front()->drawing()->colorArray();
        history = CoreDataManager::loadColorHistory();
    });
    const std::vector<Color> expected = sampleColors(20);
    EXPECT_EQ(colors, std::vector<Color>(expected.begin(), expected.begin() + 10));
    EXPECT_EQ(history, std::vector<Color>{Color::blue()});
    const QStringList lines = QString::fromStdString(out).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << out;
    EXPECT_TRUE(lines[0].startsWith("Malformed color archive in Drawing " + id + ": "));
    EXPECT_EQ(lines[1], "Drawing " + id + " is 20 x 20 but holds 10 colors.");
    EXPECT_TRUE(lines[2].startsWith("Malformed color archive in ColorHistory entry 1: "));
}

// Another app's database where the store should be: nothing is written to it, not even a
// journal mode, unless it holds no tables at all.
TEST_F(StoreFailureTest, AForeignDatabaseIsRefusedAndLeftByteForByte) {
    // Builds a database at the store's place through a connection of its own.
    const auto build = [](const QString& dir, const QStringList& statements) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            db.setDatabaseName(dir + "/tesselet.sqlite");
            ASSERT_TRUE(db.open());
            QSqlQuery query(db);
            for (const QString& statement : statements) {
                ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
            }
        }
        QSqlDatabase::removeDatabase("foreign");
    };
    const QStringList notes = {"CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT)",
                               "INSERT INTO notes (text) VALUES ('mine')"};
    const struct {
        const char* name;
        QStringList statements;
        bool fromStore;  // made from a real store first
    } cases[] = {
        {"another app's database", notes, false},
        {"a clashing Drawing table at the store's version",
         {"CREATE TABLE Drawing (name TEXT, pixels BLOB)", "PRAGMA user_version = 1"},
         false},
        {"the store's tables and one more", {"CREATE TABLE notes (text TEXT)"}, true},
        {"the store's tables at version 0", {"PRAGMA user_version = 0"}, true},
        {"the store's tables and a trigger",
         {"CREATE TRIGGER t AFTER INSERT ON ColorHistory BEGIN DELETE FROM Drawing; END"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedDataDir folder;
        restart();
        if (c.fromStore) {
            saveDrawing("A", sampleColors(20));
            restart();  // the last connection folds the log into the file and removes it
        }
        build(folder.path(), c.statements);
        restart();
        const auto before = contents(folder.path());
        const std::string opening = captureStdout([&] { app().persistentContainer(); });
        expectFailureLines(opening, {"Unresolved error "});
        EXPECT_NE(opening.find("not a store of this app"), std::string::npos) << opening;
        expectFailureLines(runEveryOperation(), everyOperationsLines);
        restart();
        EXPECT_EQ(contents(folder.path()), before);
    }
}

// A database with no tables is the store's to fill, whatever version it claims.
TEST_F(StoreFailureTest, AnEmptyDatabaseBecomesTheStore) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "empty");
        db.setDatabaseName(storePath());
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec("PRAGMA user_version = 7"));
        db.close();
    }
    QSqlDatabase::removeDatabase("empty");
    EXPECT_EQ(captureStdout([] { saveDrawing("A", sampleColors(20)); }), "");
    restart();
    EXPECT_EQ(titles(), std::vector<QString>{"A"});
    EXPECT_EQ(sql("PRAGMA user_version"), QVariantList{1});
}

// The file is read first through a URI: characters that mean something in one must not keep
// a store in an oddly named folder from opening.
TEST_F(StoreFailureTest, AStoreInAnOddlyNamedFolderOpens) {
    ScopedDataDir folder;
    const QString odd = folder.path() + "/my #1 drawings? 100% mine & more";
    ASSERT_TRUE(QDir().mkpath(odd));
    qputenv("TILEBLOOM_DATA_DIR", odd.toUtf8());
    restart();
    saveDrawing("A", sampleColors(20));
    restart();  // now the file is there and is read before it is opened
    const std::string out = captureStdout([] { EXPECT_EQ(titles(), std::vector<QString>{"A"}); });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(QFile::exists(odd + "/tesselet.sqlite"));
}
