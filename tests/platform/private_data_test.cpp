#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "file_faults.h"
#include "hostile_files.h"
#include "picture_fixtures.h"
#include "platform/app_paths.h"
#include "platform/user_defaults.h"
#include "test_support.h"

using namespace hostile_files;

namespace {
// Points TILEBLOOM_DATA_DIR somewhere else for a while; the ScopedDataDir around it puts the
// old value back.
void useDataDir(const QString& path) {
    qputenv("TILEBLOOM_DATA_DIR", path.toUtf8());
    UserDefaults::standard().reload();
}
}  // namespace

// The data folder is made 0700 (or narrowed to it when an earlier version left it open), and
// the settings file is 0600 from the start, whatever the umask.
TEST(PrivateDataTest, TheAppsOwnFoldersAndSettingsAreTheUsersAlone) {
    ScopedDataDir base;
    const QString fresh = base.path() + "/fresh/data";
    useDataDir(fresh);
    EXPECT_EQ(modeOf(AppPaths::dataDirectory()), 0700);
    UserDefaults::standard().setInteger(2, "stepper");
    EXPECT_EQ(modeOf(fresh + "/settings.ini"), 0600);

    const QString old = base.path() + "/old";
    ASSERT_TRUE(QDir().mkpath(old));
    ASSERT_TRUE(QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup |
                                               QFile::ReadOther | QFile::ExeOther));
    ASSERT_TRUE(picture_fixtures::writeFile(old + "/settings.ini", "stepper=1\n"));
    ASSERT_TRUE(QFile::setPermissions(old + "/settings.ini",
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    useDataDir(old);
    EXPECT_EQ(modeOf(old), 0700);
    EXPECT_EQ(modeOf(old + "/settings.ini"), 0600);
    EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), 1);
}

// Something other than a regular file where the settings belong is refused with a console
// line before anything opens it (a FIFO would block start-up), the app goes on with the
// defaults and keeps changes for the run, and the thing is left as it was.
TEST(PrivateDataTest, ASettingsFileThatIsNotARegularFileIsRefusedAndLeftAlone) {
    ScopedDataDir data;
    const QString path = AppPaths::settingsFile();
    ASSERT_TRUE(makeFifo(path));
    {
        const Watchdog watchdog({path}, std::chrono::seconds(5));
        const std::string out = captureStdout([] { UserDefaults::standard().reload(); });
        EXPECT_FALSE(watchdog.fired()) << "start-up waited on the FIFO";
        EXPECT_NE(out.find("Settings: "), std::string::npos) << out;
        EXPECT_NE(out.find("is a FIFO, not a regular file"), std::string::npos) << out;
        UserDefaults& defaults = UserDefaults::standard();
        defaults.setInteger(2, "stepper");
        EXPECT_EQ(defaults.integerForKey("stepper"), 2);
        defaults.synchronize();
    }
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // A link is not followed, for reading or writing.
    ASSERT_TRUE(QFile::remove(path));
    const QString target = data.path() + "/elsewhere.ini";
    ASSERT_TRUE(picture_fixtures::writeFile(target, "stepper=1\n"));
    ASSERT_TRUE(makeLink(target, path));
    const std::string out = captureStdout([] { UserDefaults::standard().reload(); });
    EXPECT_NE(out.find("is a symbolic link, not a regular file"), std::string::npos) << out;
    UserDefaults::standard().setInteger(2, "stepper");
    EXPECT_EQ(file_faults::bytesOf(target).toStdString(), "stepper=1\n");
    EXPECT_TRUE(isLink(path));
}
