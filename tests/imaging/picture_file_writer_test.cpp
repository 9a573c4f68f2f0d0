#include <gtest/gtest.h>

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include "file_faults.h"
#include "hostile_files.h"
#include "imaging/picture_file_writer.h"
#include "picture_fixtures.h"

using namespace hostile_files;
using namespace picture_fixtures;

namespace {
const QDateTime kWhen(QDate(2024, 5, 1), QTime(14, 3, 22));

QImage picture() {
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(QColor(200, 40, 90));
    return image;
}

struct WriterTest : testing::Test {
    QTemporaryDir root;
    QString folder = root.filePath("Pictures/Tilebloom");
    QString outside = root.filePath("elsewhere");
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QDir().mkpath(outside));
        ASSERT_TRUE(writeFile(outside + "/keep.png", "keep me"));
    }
    QString name(int n) const { return folder + "/" + PictureFileWriter::fileName(kWhen, n); }
};
}  // namespace

// Links placed at the names a save tries next, dangling or not, and anything else at those
// names, a file too, are skipped: the picture lands in its folder under a free name and
// nothing outside or at those names changes. The hidden part file never stays behind.
TEST_F(WriterTest, ANewPictureNeverGoesThroughWhatSitsAtItsNames) {
    ASSERT_TRUE(makeLink(outside + "/first.png", name(1)));   // dangling
    ASSERT_TRUE(makeLink(outside + "/second.png", name(2)));  // dangling
    ASSERT_TRUE(makeLink(outside + "/keep.png", name(3)));    // to a file
    ASSERT_TRUE(QDir().mkdir(name(4)));                       // a folder
    ASSERT_TRUE(makeFifo(name(5)));                           // a FIFO
    ASSERT_TRUE(writeFile(name(6), "keep me"));               // an earlier picture
    const std::string before = snapshot(outside);

    const PictureFileWriter::Result result = PictureFileWriter::writeNew(picture(), folder, kWhen);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(result.path.toStdString(), name(7).toStdString());
    EXPECT_TRUE(name(7).endsWith(" at 14.03.22 (7).png"));
    EXPECT_EQ(file_faults::bytesOf(name(6)).toStdString(), "keep me");
    EXPECT_FALSE(isLink(result.path));
    EXPECT_EQ(QImage(result.path).convertToFormat(QImage::Format_ARGB32), picture());
    EXPECT_EQ(snapshot(outside), before);
    EXPECT_TRUE(isLink(name(1)) && isLink(name(2)) && isLink(name(3)));
    EXPECT_TRUE(QDir(folder).entryList({".tilebloom-*"}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(PictureFileWriter::writeNew(QImage(), folder, kWhen).ok());
}

// The save folder itself may be a link someone placed in the Pictures folder: it is refused
// rather than followed.
TEST_F(WriterTest, ASaveFolderThatIsALinkIsRefused) {
    const QString linked = root.filePath("Pictures/Linked");
    ASSERT_TRUE(makeLink(outside, linked));
    const std::string before = snapshot(outside);
    const PictureFileWriter::Result result = PictureFileWriter::writeNew(picture(), linked, kWhen);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error.contains("is a link")) << result.error.toStdString();
    EXPECT_EQ(snapshot(outside), before);
}

// Replacing a chosen file replaces the name: a link there becomes the picture and what it
// pointed to is untouched; a regular file keeps its permissions.
TEST_F(WriterTest, ReplacingAChosenFileNeverWritesThroughALink) {
    const QString chosen = folder + "/chosen.png";
    ASSERT_TRUE(makeLink(outside + "/keep.png", chosen));
    const PictureFileWriter::Result replaced = PictureFileWriter::writeTo(picture(), chosen);
    ASSERT_TRUE(replaced.ok()) << replaced.error.toStdString();
    EXPECT_FALSE(isLink(chosen));
    EXPECT_EQ(QImage(chosen).size(), QSize(40, 30));
    EXPECT_EQ(file_faults::bytesOf(outside + "/keep.png").toStdString(), "keep me");

    ASSERT_TRUE(QFile::setPermissions(
        chosen, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    ASSERT_TRUE(PictureFileWriter::writeTo(picture(), chosen).ok());
    EXPECT_EQ(modeOf(chosen), 0644);
    ASSERT_TRUE(QDir().mkdir(folder + "/taken.png"));
    EXPECT_TRUE(
        PictureFileWriter::writeTo(picture(), folder + "/taken.png").error.contains("is a folder"));
}

// Pictures the user exports are theirs to share as their umask says; the app's own copies
// are for the user alone.
TEST_F(WriterTest, ExportsKeepTheUmaskAndPrivateCopiesAreTheOwnersOnly) {
    const PictureFileWriter::Result shared = PictureFileWriter::writeNew(picture(), folder, kWhen);
    ASSERT_TRUE(shared.ok());
    EXPECT_EQ(modeOf(shared.path), int(0666 & ~currentUmask()));
    const PictureFileWriter::Result own =
        PictureFileWriter::writeNew(picture(), folder, kWhen, PictureFileWriter::Access::ownerOnly);
    ASSERT_TRUE(own.ok());
    EXPECT_EQ(modeOf(own.path), 0600);
}
