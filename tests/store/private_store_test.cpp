// The store keeps the user's drawings: its file and the log files SQLite makes beside it are
// for the user alone, and it is never created through a link.
#include <QDir>
#include <QFile>

#include "hostile_files.h"
#include "store_test_util.h"

using hostile_files::modeOf;

using PrivateStoreTest = StoreTest;

TEST_F(PrivateStoreTest, TheStoreAndItsLogsAreTheUsersAlone) {
    saveDrawing("private", sampleColors(20));
    // While the connection is open, SQLite keeps its log and shared memory beside the file.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        SCOPED_TRACE(suffix);
        EXPECT_EQ(modeOf(storePath() + suffix), 0600);
    }
    EXPECT_EQ(modeOf(QFileInfo(storePath()).path()), 0700);

    // A store an earlier version left readable by others is narrowed when it is opened.
    restart();
    ASSERT_TRUE(QFile::setPermissions(
        storePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_EQ(titles(), std::vector<QString>{"private"});
    EXPECT_EQ(modeOf(storePath()), 0600);
}

TEST_F(PrivateStoreTest, AStoreIsNeverCreatedThroughALink) {
    const QString elsewhere = QFileInfo(storePath()).path() + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    restart();
    ASSERT_TRUE(QFile::link(elsewhere + "/planted.sqlite", storePath()));
    const std::string out = captureStdout([&] { app().persistentContainer(); });
    EXPECT_NE(out.find("Unresolved error unable to open database file"), std::string::npos) << out;
    EXPECT_NE(out.find("symbolic link"), std::string::npos) << out;
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}
