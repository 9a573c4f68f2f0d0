// Drafts in the store: their byte form, their tables in old and new stores, the journal that
// writes them on its own thread, who may take one over, and what a damaged one says.
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <numeric>
#include <random>

#include "file_faults.h"
#include "store/draft.h"
#include "store/draft_store.h"
#include "store/persistent_container.h"
#include "store/sqlite_store.h"
#include "store_test_util.h"

namespace {
std::vector<Color> randomCells(size_t count, uint32_t seed, int colours) {
    std::mt19937 random(seed);
    std::vector<Color> palette;
    for (int i = 0; i < colours; ++i) {
        const double v = std::uniform_real_distribution<double>(0, 1)(random);
        palette.push_back(i % 3 == 0 ? Color::withWhite(v, 1.0)
                                     : Color::withRGB(v, 1 - v, v / 2, i % 2 ? 1.0 : 0.5));
    }
    std::vector<Color> cells;
    size_t run = 0;
    Color current = palette[0];
    while (cells.size() < count) {
        if (run == 0) {  // runs of every length, single cells too
            current = palette[random() % palette.size()];
            run = 1 + random() % 9;
        }
        cells.push_back(current);
        --run;
    }
    return cells;
}

DraftStep randomStep(uint32_t cells, uint32_t seed, size_t changes) {
    std::mt19937 random(seed);
    DraftStep step;
    step.group = changes != 1 || seed % 2 == 0;
    std::vector<uint32_t> order(cells);
    std::iota(order.begin(), order.end(), 0u);
    std::shuffle(order.begin(), order.end(), random);  // groups come in any order
    const std::vector<Color> colours = randomCells(2 * changes, seed + 1, 5);
    for (size_t i = 0; i < changes; ++i) {
        step.changes.push_back({order[i], colours[2 * i], colours[2 * i + 1]});
    }
    return step;
}

DraftWrite writeOf(const QString& id, int64_t side, uint32_t seed) {
    DraftWrite write;
    write.id = id;
    write.width = side;
    write.height = side;
    write.cells = randomCells(size_t(side * side), seed, 4);
    write.color = Color::withRGB(0.25, 0.5, 0.75, 1);
    write.tool = "fillButton";
    return write;
}
}  // namespace

// Round trips are the draft kill test's; here, what only damage shows, and the size a large
// grid's cells take.
TEST(DraftCodecTest, DamagedBlobsAreRefusedWithAReason) {
    const std::vector<Color> cells = randomCells(64, 3, 4);
    const QByteArray cellBytes = DraftCodec::encodeCells(cells);
    const DraftStep step = randomStep(64, 5, 20);
    const QByteArray stepBytes = DraftCodec::encodeStep(step);
    QString problem;
    const std::vector<Color> large = randomCells(256 * 256, 1, 6);
    const QByteArray largeBytes = DraftCodec::encodeCells(large);
    EXPECT_LT(largeBytes.size(), 256 * 256 * 4 + 300) << "runs and a palette keep it small";
    EXPECT_EQ(DraftCodec::decodeCells(largeBytes, 256 * 256, problem), large);
    // Cut anywhere, or followed by anything: never read past the end, never accepted.
    for (qsizetype length = 0; length < cellBytes.size(); ++length) {
        EXPECT_FALSE(DraftCodec::decodeCells(cellBytes.left(length), 64, problem)) << length;
    }
    for (qsizetype length = 0; length < stepBytes.size(); ++length) {
        EXPECT_FALSE(DraftCodec::decodeStep(stepBytes.left(length), 64, problem)) << length;
    }
    EXPECT_FALSE(DraftCodec::decodeStep(stepBytes + '\0', 64, problem));
    EXPECT_FALSE(DraftCodec::decodeCells(cellBytes, 63, problem));
    EXPECT_EQ(problem, "the cells are not the 63 of the grid");
    // A step's cells must lie on the grid it is read for.
    EXPECT_FALSE(
        DraftCodec::decodeStep(DraftCodec::encodeStep({true, {{40, {}, {}}}}), 40, problem));
    // Bytes changed one at a time: each is refused or gives a sound blob, never a crash.
    std::mt19937 random(9);
    for (int i = 0; i < 2000; ++i) {
        QByteArray damaged = i % 2 ? cellBytes : stepBytes;
        damaged[qsizetype(random() % damaged.size())] = char(random());
        if (i % 2) {
            if (auto read = DraftCodec::decodeCells(damaged, 64, problem)) {
                EXPECT_EQ(read->size(), 64u);
            }
        } else if (auto read = DraftCodec::decodeStep(damaged, 64, problem)) {
            for (const DraftCellChange& change : read->changes) {
                EXPECT_LT(change.cell, 64u);
            }
        }
    }
}

struct DraftStoreTest : StoreTest {
    QString folder() const { return QFileInfo(storePath()).absolutePath(); }
};

// A store from before drafts opens as it always did and gains their tables; a store with them
// is the app's too, and a table of that name with other columns is not.
TEST_F(DraftStoreTest, OlderStoresGainTheDraftTablesAndStayTheAppsOwn) {
    saveDrawing("old", sampleColors(20));
    sql("DROP TABLE DraftStep");
    sql("DROP TABLE Draft");
    restart();
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(titles(), std::vector<QString>{"old"}); }), "");
    EXPECT_EQ(sql("SELECT count(*) FROM sqlite_master WHERE name IN ('Draft', 'DraftStep')"),
              QVariantList{2});
    EXPECT_EQ(sql("PRAGMA user_version"), QVariantList{1});
    restart();
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(titles(), std::vector<QString>{"old"}); }), "");

    sql("DROP TABLE DraftStep");
    sql("CREATE TABLE DraftStep (draft TEXT, what BLOB)");
    restart();
    const std::string out = captureStdout([&] { app().persistentContainer(); });
    EXPECT_NE(out.find("not a store of this app"), std::string::npos) << out;
    EXPECT_EQ(app().persistentContainer()->drafts(), nullptr);
}

// Writes handed over faster than the disk takes them are merged; what the store ends up with is
// the last state and the whole history, step for step (steps come back sorted by cell).
TEST_F(DraftStoreTest, TheJournalMergesQueuedWritesIntoTheLastState) {
    DraftStore* drafts = app().persistentContainer()->drafts();
    std::unique_ptr<DraftJournal> journal = drafts->journal();
    std::vector<DraftStep> history;
    std::mt19937 random(4);
    DraftWrite last;
    int writes = 0;
    for (int round = 0; round < 300; ++round) {
        // A new step (after undoing some) or a plain undo or redo.
        DraftWrite write = writeOf("d", 28, uint32_t(round));
        const size_t keep = history.empty() ? 0 : random() % (history.size() + 1);
        if (round % 3 != 2) {
            history.resize(keep);
            history.push_back(randomStep(28 * 28, uint32_t(round), 1 + random() % 40));
            std::sort(history.back().changes.begin(), history.back().changes.end(),
                      [](const auto& a, const auto& b) { return a.cell < b.cell; });
            write.keepSteps = int64_t(keep);
            write.steps.emplace(int64_t(keep), [step = history.back()] { return step; });
        } else {
            write.keepSteps = int64_t(history.size());
        }
        write.applied = int64_t(random() % (history.size() + 1));
        last = write;
        journal->submit(std::move(write));
        ++writes;
    }
    EXPECT_TRUE(journal->flush());
    EXPECT_LT(journal->committedWrites(), writes) << "nothing was merged";
    QString problem;
    const std::optional<Draft> read = drafts->read("d", problem);
    ASSERT_TRUE(read) << problem.toStdString();
    EXPECT_EQ(read->cells, last.cells);
    EXPECT_EQ(read->applied, last.applied);
    ASSERT_EQ(read->steps.size(), history.size());
    for (size_t i = 0; i < history.size(); ++i) {
        EXPECT_EQ(read->steps[i].changes, history[i].changes) << i;
    }
}

// A draft is taken over only once the run that wrote it has gone, by one run only.
TEST_F(DraftStoreTest, ADraftIsOfferedOnlyOnceItsWriterHasGoneAndTakenOnce) {
    const auto otherRun = [this] {
        auto store = std::make_unique<SqliteStore>();
        EXPECT_FALSE(store->open(storePath()));
        return store;
    };
    DraftStore* writer = app().persistentContainer()->drafts();
    std::unique_ptr<DraftJournal> journal = writer->journal();
    journal->submit(writeOf("mine", 20, 1));
    ASSERT_TRUE(journal->flush());
    journal.reset();

    auto secondStore = otherRun();
    auto second = std::make_unique<DraftStore>(secondStore.get());
    EXPECT_TRUE(second->abandonedDrafts().empty()) << "taken while its writer runs";
    app().closeContainer();  // the writing run ends
    const std::vector<DraftStore::Found> found = second->abandonedDrafts();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, "mine");

    auto thirdStore = otherRun();
    DraftStore third(thirdStore.get());
    EXPECT_EQ(third.abandonedDrafts().size(), 1u);
    EXPECT_TRUE(second->claim(found[0]));
    EXPECT_FALSE(third.claim(found[0])) << "taken twice";
    EXPECT_TRUE(third.abandonedDrafts().empty()) << "the second run is alive";
    second.reset();  // and ends without deciding
    EXPECT_EQ(third.abandonedDrafts().size(), 1u);
    EXPECT_EQ(QDir(folder() + "/draft-owners").entryList(QDir::Files).size(), 1u)
        << "the lock files of runs that ended must not stay behind";
}

// Whatever stands at an owner's lock name, or however its name is damaged, looking never
// blocks and never leaves the folder: a draft without a live owner is abandoned.
TEST_F(DraftStoreTest, DamagedOwnersAndHostileLockFilesCountAsGone) {
    DraftStore* drafts = app().persistentContainer()->drafts();
    const QString owners = folder() + "/draft-owners";
    drafts->owner();
    const QString fifoOwner = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString linkOwner = QUuid::createUuid().toString(QUuid::WithoutBraces);
    ASSERT_EQ(mkfifo(QFile::encodeName(owners + "/" + fifoOwner + ".lock").constData(), 0600), 0);
    ASSERT_TRUE(file_faults::writeFile(folder() + "/elsewhere", "x"));
    ASSERT_TRUE(QFile::link(folder() + "/elsewhere", owners + "/" + linkOwner + ".lock"));
    const QStringList damaged = {fifoOwner, linkOwner, "../../elsewhere", "",
                                 "{" + fifoOwner + "}"};
    int n = 0;
    for (const QString& owner : damaged) {
        sql("INSERT INTO Draft (id, owner, updated, width, height, cells, color, tool, applied) "
            "VALUES (?, ?, ?, 1, 1, x'', x'', '', 0)",
            {QString::number(n), owner, n});
        ++n;
    }
    const std::vector<DraftStore::Found> found = drafts->abandonedDrafts();
    ASSERT_EQ(found.size(), size_t(damaged.size()));
    EXPECT_EQ(found[0].id, QString::number(n - 1)) << "newest first";
    EXPECT_TRUE(QFile::exists(folder() + "/elsewhere"));
}

// A draft that cannot be read says why; keeping it aside is the unsaved drawing test's.
TEST_F(DraftStoreTest, AnUnreadableDraftSaysWhy) {
    DraftStore* drafts = app().persistentContainer()->drafts();
    DraftWrite write = writeOf("d", 20, 2);
    write.steps.emplace(0, [] { return randomStep(400, 1, 3); });
    write.steps.emplace(1, [] { return randomStep(400, 2, 1); });
    write.applied = 2;
    const auto writeDraft = [&] {
        sql("DELETE FROM DraftStep");
        sql("DELETE FROM Draft");
        std::unique_ptr<DraftJournal> journal = drafts->journal();
        journal->submit(write);
        ASSERT_TRUE(journal->flush());
    };
    const struct {
        const char* damage;
        const char* says;
    } cases[] = {
        {"UPDATE Draft SET width = 300", "its grid of 300 x 20 is not one the editor can show"},
        {"UPDATE Draft SET applied = 3", "it says 3 of its 2 steps are done"},
        {"DELETE FROM DraftStep WHERE position = 0", "its history misses step 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        writeDraft();
        sql(c.damage);
        QString problem;
        EXPECT_FALSE(drafts->read("d", problem));
        EXPECT_TRUE(problem.startsWith(c.says)) << problem.toStdString();
    }
}
