// Kills a process that saves drawings at random moments and checks that the store always
// reopens at its last committed state. TILEBLOOM_CRASH_KILLS sets the number of kills; by
// default the build chooses (many in release, fewer under the sanitizers).
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "save_loop_content.h"
#include "store/core_data_manager.h"
#include "store/managed_object_context.h"
#include "store/persistent_container.h"
#include "store_test_util.h"

namespace {
int killCount() {
    bool ok = false;
    const int kills = qEnvironmentVariableIntValue("TILEBLOOM_CRASH_KILLS", &ok);
    return ok && kills > 0 ? kills : TILEBLOOM_CRASH_DEFAULT_KILLS;
}

// Every check rereads the whole store, so each round of kills starts a new one: the stores
// still grow to hundreds of drawings, and the run stays linear in the number of kills.
constexpr int killsPerRound = 20;

// What the killed processes said about each drawing.
struct Reports {
    std::map<QString, uint64_t> committed;  // drawing id -> seed of its last committed save
    std::map<QString, std::vector<uint64_t>> tried;  // seeds of the saves started, in order

    // The seeds the stored drawing may show: the last committed one, or one of a save started
    // after it whose commit went through just before the kill.
    std::set<uint64_t> allowed(const QString& id) const {
        const auto found = tried.find(id);
        if (found == tried.end()) {
            return {};
        }
        const std::vector<uint64_t>& seeds = found->second;
        size_t from = 0;
        const auto last = committed.find(id);
        for (size_t i = 0; last != committed.end() && i < seeds.size(); ++i) {
            if (seeds[i] == last->second) {
                from = i;
            }
        }
        return std::set<uint64_t>(seeds.begin() + static_cast<std::ptrdiff_t>(from), seeds.end());
    }

    void read(const QByteArray& output) {
        for (const QByteArray& line : output.split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() != 3) {
                continue;  // a line cut by the kill, or another line
            }
            const QString id = QString::fromLatin1(words[1]);
            const uint64_t seed = words[2].toULongLong();
            if (words[0] == "saving") {
                tried[id].push_back(seed);
            } else if (words[0] == "committed") {
                committed[id] = seed;
            }
        }
    }
};
}  // namespace

using CrashTest = StoreTest;

TEST_F(CrashTest, KilledSavesLeaveTheLastCommittedStateReadable) {
    QRandomGenerator* random = QRandomGenerator::global();
    const int kills = killCount();
    size_t committed = 0;
    size_t checked = 0;
    Reports reports;
    std::unique_ptr<ScopedDataDir> round;
    for (int kill = 0; kill < kills; ++kill) {
        SCOPED_TRACE(kill);
        if (kill % killsPerRound == 0) {
            committed += reports.committed.size();
            reports = Reports();
            restart();  // closes the last round's store before its folder goes
            round.reset();
            round = std::make_unique<ScopedDataDir>();
        }
        QProcess saver;
        saver.setProgram(QStringLiteral(STORE_SAVE_LOOP));
        saver.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        saver.start();
        ASSERT_TRUE(saver.waitForStarted(10000));
        // Some kills land while the store opens, most in the middle of saving.
        QThread::usleep(kill % 5 == 0 ? random->bounded(20000) : 20000 + random->bounded(60000));
        saver.kill();  // SIGKILL
        ASSERT_TRUE(saver.waitForFinished(10000));
        const QByteArray output = saver.readAllStandardOutput();
        EXPECT_EQ(saver.exitStatus(), QProcess::CrashExit) << output.right(500).toStdString();
        reports.read(output);

        restart();
        std::string out;
        std::optional<std::vector<Thumbnail*>> thumbnails;
        out = captureStdout([&] { thumbnails = CoreDataManager::loadThumbnails(); });
        ASSERT_EQ(out, "");
        ASSERT_TRUE(thumbnails.has_value());
        std::set<QString> stored;
        for (Thumbnail* thumbnail : *thumbnails) {
            Drawing* drawing = thumbnail->drawing();
            ASSERT_NE(drawing, nullptr) << "a thumbnail without its drawing";
            ASSERT_EQ(drawing->thumbnail(), thumbnail);
            const QString id = drawing->id().toString(QUuid::WithoutBraces);
            EXPECT_TRUE(stored.insert(id).second) << "two thumbnails for " << id.toStdString();
            const uint64_t seed = thumbnail->fileName().section(' ', 1).toULongLong();
            ASSERT_EQ(reports.allowed(id).count(seed), 1u)
                << id.toStdString() << " holds neither its last committed save nor a later one";
            // The thumbnail and the colours come from the same save.
            EXPECT_EQ(thumbnail->fileName(), save_loop::titleFor(seed));
            EXPECT_EQ(thumbnail->imageData(), save_loop::imageFor(seed));
            EXPECT_EQ(drawing->colorArray(), save_loop::colorsFor(seed));
            EXPECT_EQ(drawing->width(), save_loop::side);
        }
        checked += stored.size();
        for (const auto& [id, seed] : reports.committed) {
            EXPECT_EQ(stored.count(id), 1u) << "committed drawing " << id.toStdString() << " lost";
        }
        QSqlQuery check(app().persistentContainer()->database());
        ASSERT_TRUE(check.exec("PRAGMA integrity_check") && check.next());
        EXPECT_EQ(check.value(0).toString(), "ok");
        ASSERT_TRUE(check.exec("SELECT count(*) FROM Drawing") && check.next());
        EXPECT_EQ(check.value(0).toUInt(), stored.size()) << "a drawing without its thumbnail";
        check.finish();
        if (HasFailure()) {
            return;
        }
    }
    committed += reports.committed.size();
    EXPECT_GT(committed, 0u) << "no save ever committed";
    std::cout << kills << " kills survived, " << committed << " drawings committed, " << checked
              << " stored drawings checked intact, none lost\n";
}
