#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QThread>
#include <memory>

#include "hostile_files.h"
#include "imaging/pictures_folder.h"
#include "picture_fixtures.h"
#include "screen_fixture.h"
#include "screens/image_picker_controller.h"
#include "test_support.h"

using namespace hostile_files;
using namespace picture_fixtures;

namespace {
// A screen that opens the picker and keeps what it hands back.
class PickingScreen : public PlatformViewController, public ImagePickerControllerDelegate {
public:
    QList<QImage> picked;
    int cancels = 0;
    bool keepDefaultCancel = false;

    void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController* picker,
                                                            const QVariantMap& info) override {
        const QVariant image = info.value(ImagePickerController::originalImageKey);
        if (image.canConvert<QImage>()) {
            picked.append(image.value<QImage>());
        }
        picker->dismiss(true);
    }
    void imagePickerControllerDidCancel(ImagePickerController* picker) override {
        ++cancels;
        if (keepDefaultCancel) {
            ImagePickerControllerDelegate::imagePickerControllerDidCancel(picker);
        }
    }
};

QImage solid(QColor color, int width = 60, int height = 40) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

struct PickerTest : ScreenFixture<PickingScreen> {
    ScopedPicturesDir pictures;

    QString add(const QString& relative, const QByteArray& bytes, int minutesAgo) {
        const QString path = pictures.path() + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeFile(path, bytes));
        QFile file(path);
        file.open(QIODevice::ReadWrite);
        file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo),
                         QFileDevice::FileModificationTime);
        return path;
    }

    ImagePickerController* open() {
        auto* picker = new ImagePickerController;
        picker->setDelegate(root);
        picker->setSourceType(ImagePickerController::SourceType::savedPhotosAlbum);
        root->present(picker, true);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !picker->isListing(); }, 5000));
        return picker;
    }
    bool waitForPick() {
        return QTest::qWaitFor([&] { return !root->picked.isEmpty(); }, 5000);
    }
};
}  // namespace

// That a click hands the picture on is the window walk's to check.
TEST_F(PickerTest, ShowsThePicturesFolderNewestFirstWithThumbnails) {
    const QString oldest = add("old.png", encoded(solid(Qt::red), "png"), 30);
    const QString newest = add("holiday/new.jpg", encoded(solid(Qt::blue), "jpg"), 1);
    const QString middle = add("middle.png", encoded(solid(Qt::green), "png"), 10);
    const QString broken = add("broken.jpg", "not really a photo", 20);
    add("notes.txt", "shopping list", 0);
    add(".hidden.png", encoded(solid(Qt::black), "png"), 0);

    ImagePickerController* picker = open();
    EXPECT_EQ(picker->photoPaths(), QStringList({newest, middle, broken, oldest}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker->pendingThumbnails() == 0; }, 5000));
    processEvents();
    // Every picture gets a thumbnail; the one that cannot be read stays listed, so that a
    // tap can say why.
    QListWidget* grid = picker->grid();
    EXPECT_FALSE(grid->item(0)->data(Qt::DecorationRole).value<QPixmap>().isNull());
    EXPECT_TRUE(grid->item(2)->data(Qt::DecorationRole).value<QPixmap>().isNull());
}

TEST_F(PickerTest, AFingerScrollsTheGridAndATapPicks) {
    for (int i = 0; i < 30; ++i) {
        add(QString("photo%1.png").arg(i, 2, 10, QChar('0')),
            encoded(solid(QColor::fromHsv(i * 12, 200, 200)), "png"), i + 1);
    }
    ImagePickerController* picker = open();
    QListWidget* grid = picker->grid();
    const std::unique_ptr<QPointingDevice> device(QTest::createTouchDevice());
    auto finger = [&] { return QTest::touchEvent(grid->viewport(), device.get()); };
    QScrollBar* bar = grid->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 300);

    // A drag up moves the content with the finger; nothing is picked.
    finger().press(0, QPoint(200, 600));
    for (int y = 580; y >= 300; y -= 20) {
        finger().move(0, QPoint(200, y));
    }
    finger().release(0, QPoint(200, 300));
    EXPECT_GE(bar->value(), 300);
    processEvents();
    EXPECT_FALSE(picker->isPicking());

    // A tap, with a little wobble, picks the picture under the finger.
    QListWidgetItem* target = grid->itemAt(QPoint(60, 100));
    ASSERT_NE(target, nullptr);
    const int row = grid->row(target);  // the picker is gone once it has handed it on
    finger().press(0, QPoint(60, 100));
    finger().move(0, QPoint(63, 103));
    finger().release(0, QPoint(63, 103));
    ASSERT_TRUE(waitForPick());
    EXPECT_EQ(root->picked.first().pixel(5, 5), QColor::fromHsv(row * 12, 200, 200).rgb());
}

TEST_F(PickerTest, CancelAndBrowseGoThroughTheDelegate) {
    const QString good = add("good.jpg", encoded(solid(Qt::green, 200, 200), "jpg"), 3);
    ImagePickerController* picker = open();
    // This delegate keeps the picker open on "Cancel"; a cancelled file dialog does nothing.
    QTest::mouseClick(picker->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(root->cancels, 1);
    EXPECT_EQ(stack.topViewController(), picker);

    // "Browse…" reaches files anywhere, starting in the Pictures folder.
    picker->setOpenFileNameProvider([&](QWidget*, const QString& start, const QString&) {
        EXPECT_EQ(start, pictures.path());
        return good;
    });
    QTest::mouseClick(picker->browseButton(), Qt::LeftButton);
    ASSERT_TRUE(waitForPick());
    EXPECT_EQ(root->picked.first().size(), QSize(200, 200));

    // The delegate's default answer to Escape closes the picker.
    root->keepDefaultCancel = true;
    picker = open();
    QTest::keyClick(picker, Qt::Key_Escape);
    EXPECT_EQ(root->cancels, 2);
    EXPECT_EQ(stack.topViewController(), root);
}

TEST(PicturesFolderTest, IsolatedRunsNeverUseTheUsersPicturesAndOnlyUsableFoldersAreSources) {
    using Source = ImagePickerController::SourceType;
    ScopedPicturesDir pictures;  // puts the variable back afterwards
    EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(Source::camera));
    // A Pictures folder that can be made later still counts; one that never can does not.
    qputenv("TILEBLOOM_PICTURES_DIR", (pictures.path() + "/not/yet").toUtf8());
    EXPECT_TRUE(ImagePickerController::isSourceTypeAvailable(Source::photoLibrary));
    ASSERT_TRUE(writeFile(pictures.path() + "/file", "x"));
    qputenv("TILEBLOOM_PICTURES_DIR", (pictures.path() + "/file/Pictures").toUtf8());
    EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(Source::photoLibrary));
    qunsetenv("TILEBLOOM_PICTURES_DIR");
    ScopedDataDir data;
    EXPECT_EQ(PicturesFolder::location(), data.path() + "/Pictures");
}

// Links to FIFOs among the pictures must not hold up the main thread's own parallel work (Qt
// converts large images on its global pool); the hostile folder test covers listing and picking.
TEST_F(PickerTest, AFifoAmongThePicturesStallsNothing) {
    QStringList fifos;
    for (int i = 0; i < 8; ++i) {
        const QString fifo = pictures.path() + QString("/.pipe%1").arg(i);
        ASSERT_TRUE(makeFifo(fifo));
        ASSERT_TRUE(makeLink(fifo, pictures.path() + QString("/stuck%1.jpg").arg(i)));
        fifos << fifo;
    }
    const Watchdog watchdog(fifos, std::chrono::seconds(5));
    ImagePickerController* picker = open();
    QThread::msleep(200);  // time for any decoder to reach a FIFO
    QImage large(4000, 3000, QImage::Format_RGB32);
    large.fill(Qt::blue);
    // Both split their work over Qt's global pool and wait for it on this thread.
    EXPECT_EQ(large.convertToFormat(QImage::Format_RGBA64).pixel(10, 10), QColor(Qt::blue).rgb());
    EXPECT_EQ(large.scaled(2000, 1500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(9, 9),
              QColor(Qt::blue).rgb());
    EXPECT_FALSE(watchdog.fired()) << "the main thread waited for the picker's decoders";
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker->pendingThumbnails() == 0; }, 10000));
}

// The listing is bounded by the entries it visits, pictures or not, and by time: a huge
// tree of other files cannot keep it going, and what it found so far is shown.
TEST_F(PickerTest, TheListingStopsAfterSoManyEntriesOfAnyKindOrSoMuchTime) {
    for (int i = 0; i < 100; ++i) {
        add(QString("notes/n%1.txt").arg(i), "not a picture", 5);
    }
    add("a.png", encoded(solid(Qt::red), "png"), 2);

    auto* picker = new ImagePickerController;
    picker->setDelegate(root);
    picker->setScanLimits({50, 60000});
    root->present(picker, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !picker->isListing(); }, 5000));
    EXPECT_TRUE(picker->listingWasCut());

    for (const bool timeCut : {true, false}) {
        picker->setScanLimits(timeCut ? ImagePickerController::ScanLimits{50000, 0}
                                      : ImagePickerController::ScanLimits{});
        picker->reload();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !picker->isListing(); }, 5000));
        EXPECT_EQ(picker->listingWasCut(), timeCut);
        EXPECT_EQ(picker->photoPaths().size(), timeCut ? 0 : 1);
    }
}
