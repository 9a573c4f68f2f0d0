// A Pictures folder filled by someone else (an unpacked archive, a synced folder): the
// picker lists, previews and opens what it can, refuses the rest with a message, never
// hangs, and neither it nor the share sheet writes anywhere outside their own folders. How
// each kind of file is read (one cut short while read, say) is the photo loader tests' business.
#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QTest>
#include <set>

#include "hostile_files.h"
#include "imaging/picture_file_writer.h"
#include "picture_fixtures.h"
#include "screen_fixture.h"
#include "screens/activity_type.h"
#include "screens/activity_view_controller.h"
#include "screens/image_picker_controller.h"
#include "test_support.h"

using namespace hostile_files;
using namespace picture_fixtures;

namespace {
class Receiver : public PlatformViewController, public ImagePickerControllerDelegate {
public:
    QList<QImage> picked;
    void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController*,
                                                            const QVariantMap& info) override {
        picked.append(info.value(ImagePickerController::originalImageKey).value<QImage>());
    }
};

// The lines of after that are not in before.
std::set<std::string> difference(const std::string& after, const std::string& before) {
    const QStringList afterLines = QString::fromStdString(after).split('\n');
    std::set<std::string> added;
    for (const QString& line : afterLines) {
        added.insert(line.toStdString());
    }
    for (const QString& line : QString::fromStdString(before).split('\n')) {
        added.erase(line.toStdString());
    }
    return added;
}

std::set<std::string> names(const QStringList& paths) {
    std::set<std::string> out;
    for (const QString& path : paths) {
        out.insert(QFileInfo(path).fileName().toStdString());
    }
    return out;
}

struct HostileFolderTest : ScreenFixture<Receiver> {
    QTemporaryDir root_;
    ScopedDataDir data;
    QString pictures = root_.filePath("Pictures");
    QString outside = root_.filePath("Outside");

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(pictures + "/Tilebloom"));
        ASSERT_TRUE(QDir().mkpath(outside));
        ASSERT_TRUE(writeFile(outside + "/secret.png", encoded(halves(40, 30), "png")));
        qputenv("TILEBLOOM_PICTURES_DIR", pictures.toUtf8());
    }
    void TearDown() override { qunsetenv("TILEBLOOM_PICTURES_DIR"); }
    QString in(const QString& name) const { return pictures + "/" + name; }
};
}  // namespace

TEST_F(HostileFolderTest, ThePickerAndTheShareSheetCopeWithWhateverTheFolderHolds) {
    const QString good = in("good.jpg");
    ASSERT_TRUE(writeFile(good, encoded(halves(120, 80), "jpg")));
    ASSERT_TRUE(makeFifo(in(".pipe")));
    ASSERT_TRUE(makeLink(in(".pipe"), in("stuck.jpg")));
    ASSERT_TRUE(makeLink(in(".pipe"), in("stuck.png")));
    ASSERT_TRUE(makeLink("/dev/zero", in("zero.png")));
    ASSERT_TRUE(makeLink(outside + "/lost.jpg", in("lost.jpg")));
    ASSERT_TRUE(QDir().mkdir(in("x.png")));
    const QString vector = in("vector.png");
    ASSERT_TRUE(writeFile(vector,
                          "<svg xmlns='http://www.w3.org/2000/svg' "
                          "xmlns:xlink='http://www.w3.org/1999/xlink' width='40' "
                          "height='30'><image width='40' height='30' xlink:href='file://" +
                              outside.toUtf8() + "/secret.png'/></svg>"));
    const QByteArray jpeg = encoded(halves(300, 200), "jpg");
    const QString huge = in("huge.jpg");
    ASSERT_TRUE(makeSparse(huge, jpeg.left(jpeg.size() / 2), qint64(8) << 30));
    // Links planted at the names the next saves would take, for the next few seconds.
    const QDateTime now = QDateTime::currentDateTime();
    for (int second = 0; second < 4; ++second) {
        for (int n = 1; n <= 2; ++n) {
            const QString name = PictureFileWriter::fileName(now.addSecs(second), n);
            ASSERT_TRUE(makeLink(outside + "/planted " + name, in("Tilebloom/" + name)));
        }
    }
    const std::string outsideBefore = snapshot(outside);
    const std::string picturesBefore = snapshot(pictures);
    const Watchdog watchdog({in(".pipe")}, std::chrono::seconds(20));

    auto* picker = new ImagePickerController;
    picker->setDelegate(root);
    root->present(picker, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !picker->isListing(); }, 10000));
    const QStringList listed = picker->photoPaths();
    EXPECT_EQ(names(listed), (std::set<std::string>{"good.jpg", "vector.png", "huge.jpg"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker->pendingThumbnails() == 0; }, 20000));
    processEvents();
    const auto thumbnailOf = [&](const QString& path) {
        const int row = int(listed.indexOf(path));
        return picker->grid()->item(row)->data(Qt::DecorationRole).value<QPixmap>();
    };
    EXPECT_FALSE(thumbnailOf(good).isNull());
    EXPECT_TRUE(thumbnailOf(vector).isNull());
    EXPECT_TRUE(thumbnailOf(huge).isNull());

    // What cannot be opened, listed or reached through "Browse…", gets a message; the
    // picker stays.
    for (const QString name :
         {"vector.png", "huge.jpg", "stuck.jpg", "zero.png", "lost.jpg", "x.png"}) {
        SCOPED_TRACE(name.toStdString());
        picker->pickPhoto(in(name));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !picker->isPicking(); }, 20000));
        EXPECT_TRUE(picker->messageText().contains(name)) << picker->messageText().toStdString();
        EXPECT_EQ(stack.topViewController(), picker);
    }
    EXPECT_TRUE(root->picked.isEmpty());
    picker->pickPhoto(good);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !root->picked.isEmpty(); }, 20000));
    EXPECT_EQ(root->picked.first().size(), QSize(120, 80));
    picker->dismiss(false);
    processEvents();

    // Saving beside the planted links, and a copy for the viewer.
    auto* sheet = new ActivityViewController({halves(50, 50)});
    QStringList opened;
    sheet->setUrlOpener([&](const QUrl& url) {
        opened << url.toLocalFile();
        return true;
    });
    root->present(sheet, true);
    ASSERT_TRUE(sheet->performActivity(ActivityType::saveToPictures))
        << sheet->statusText().toStdString();
    ASSERT_TRUE(sheet->performActivity(ActivityType::openInImageViewer))
        << sheet->statusText().toStdString();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(sheet->lastWrittenPaths().join(' ').toStdString(), opened.first().toStdString());
    EXPECT_TRUE(opened.first().startsWith(data.path() + "/")) << opened.first().toStdString();
    EXPECT_EQ(QImage(opened.first()).size(), QSize(50, 50));

    EXPECT_EQ(snapshot(outside), outsideBefore);
    // Only the saved picture, beside the links rather than through them.
    const std::set<std::string> added = difference(snapshot(pictures), picturesBefore);
    ASSERT_EQ(added.size(), 1u);
    const QString line = QString::fromStdString(*added.begin());
    EXPECT_TRUE(line.startsWith(pictures + "/Tilebloom/Tilebloom ")) << line.toStdString();
    EXPECT_FALSE(line.contains(" link ")) << line.toStdString();
    EXPECT_FALSE(watchdog.fired()) << "something waited on the FIFO";
}
