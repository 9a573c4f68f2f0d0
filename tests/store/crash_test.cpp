// Kills a process that saves drawings at random moments and checks that the store always
// reopens at its last committed state. TILEBLOOM_CRASH_KILLS sets the number of kills; by
// default the build chooses (many in release, fewer under the sanitizers).
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <iostream>
#include <map>
#include <set>

#include "save_loop_content.h"
#include "store_test_util.h"

namespace {
// Every check rereads the whole store, so each round of kills starts a new one: the stores
// still grow to hundreds of drawings, and the run stays linear in the number of kills.
constexpr int killsPerRound = 20;

// What the killed processes said: for each drawing id the seeds of the saves started, in
// order, and how many of them had committed when the last commit was reported.
struct Reports {
    std::map<QString, std::vector<uint64_t>> tried;
    std::map<QString, size_t> committed;

    // The stored drawing may show its last committed save, or a later one whose commit went
    // through just before the kill.
    bool allows(const QString& id, uint64_t seed) const {
        const std::vector<uint64_t>& seeds = tried.at(id);
        const size_t from = committed.count(id) ? committed.at(id) - 1 : 0;
        return std::find(seeds.begin() + std::ptrdiff_t(from), seeds.end(), seed) != seeds.end();
    }

    void read(const QByteArray& output) {
        for (const QByteArray& line : output.split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() != 3) {
                continue;  // a line cut by the kill
            }
            std::vector<uint64_t>& seeds = tried[QString::fromLatin1(words[1])];
            if (words[0] == "saving") {
                seeds.push_back(words[2].toULongLong());
            } else if (words[0] == "committed") {  // the drawing's last save started
                committed[QString::fromLatin1(words[1])] = seeds.size();
            }
        }
    }
};
}  // namespace

using CrashTest = StoreTest;

TEST_F(CrashTest, KilledSavesLeaveTheLastCommittedStateReadable) {
    const int kills =
        positiveFromEnvironment("TILEBLOOM_CRASH_KILLS", TILEBLOOM_CRASH_DEFAULT_KILLS);
    size_t committed = 0;
    size_t checked = 0;
    Reports reports;
    std::unique_ptr<ScopedDataDir> round;
    for (int kill = 0; kill < kills && !HasFailure(); ++kill) {
        SCOPED_TRACE(kill);
        if (kill % killsPerRound == 0) {
            committed += reports.committed.size();
            reports = Reports();
            restart();  // closes the last round's store before its folder goes
            round.reset();
            round = std::make_unique<ScopedDataDir>();
        }
        QProcess saver;
        saver.start(STORE_SAVE_LOOP, {});
        ASSERT_TRUE(saver.waitForStarted(10000));
        // Some kills land while the store opens, most in the middle of saving.
        const bool early = kill % 5 == 0;
        QThread::usleep((early ? 0 : 20000) +
                        QRandomGenerator::global()->bounded(early ? 20000 : 60000));
        saver.kill();  // SIGKILL
        ASSERT_TRUE(saver.waitForFinished(10000));
        const QByteArray output = saver.readAllStandardOutput();
        EXPECT_EQ(saver.exitStatus(), QProcess::CrashExit) << output.right(500).toStdString();
        reports.read(output);

        restart();
        std::optional<std::vector<Thumbnail*>> thumbnails;
        ASSERT_EQ(captureStdout([&] { thumbnails = CoreDataManager::loadThumbnails(); }), "");
        ASSERT_TRUE(thumbnails.has_value());
        std::set<QString> stored;
        for (Thumbnail* thumbnail : *thumbnails) {
            Drawing* drawing = thumbnail->drawing();
            ASSERT_NE(drawing, nullptr) << "a thumbnail without its drawing";
            ASSERT_EQ(drawing->thumbnail(), thumbnail);
            const QString id = drawing->id().toString(QUuid::WithoutBraces);
            EXPECT_TRUE(stored.insert(id).second) << "two thumbnails for " << id.toStdString();
            const uint64_t seed = thumbnail->fileName().section(' ', 1).toULongLong();
            ASSERT_TRUE(reports.tried.count(id) && reports.allows(id, seed))
                << id.toStdString() << " holds neither its last committed save nor a later one";
            // The thumbnail and the colours come from the same save.
            EXPECT_EQ(thumbnail->fileName(), save_loop::titleFor(seed));
            EXPECT_EQ(thumbnail->imageData(), save_loop::imageFor(seed));
            EXPECT_EQ(drawing->colorArray(), save_loop::colorsFor(seed));
        }
        checked += stored.size();
        for (const auto& [id, seed] : reports.committed) {
            EXPECT_EQ(stored.count(id), 1u) << "committed drawing " << id.toStdString() << " lost";
        }
        // The log and the sync level that keep a committed save through a crash or power loss.
        EXPECT_EQ(sql("PRAGMA journal_mode"), QVariantList{"wal"});
        EXPECT_EQ(sql("PRAGMA synchronous"), QVariantList{2});  // FULL
        EXPECT_EQ(sql("PRAGMA integrity_check"), QVariantList{"ok"});
        EXPECT_EQ(sql("SELECT count(*) FROM Drawing"), QVariantList{qlonglong(stored.size())})
            << "a drawing without its thumbnail";
    }
    committed += reports.committed.size();
    EXPECT_GT(committed, 0u) << "no save ever committed";
    std::cout << kills << " kills survived, " << committed << " drawings committed, " << checked
              << " stored drawings checked intact, none lost\n";
}
