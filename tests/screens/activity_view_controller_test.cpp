#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPushButton>
#include <QTest>

#include "imaging/picture_file_writer.h"
#include "picture_fixtures.h"
#include "screen_fixture.h"
#include "screens/activity_type.h"
#include "screens/activity_view_controller.h"

using namespace picture_fixtures;

namespace {
const QStringList kExcluded = {ActivityType::addToReadingList, ActivityType::assignToContact,
                               ActivityType::openInIBooks, ActivityType::copyToPasteboard};

QImage testPicture() {
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(QColor(20, 140, 60));
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    return image;
}

struct ShareSheetTest : ScreenFixture<> {
    ScopedPicturesDir pictures;
    QTemporaryDir viewerDir;
    QString saveFolder = pictures.path() + "/Tilebloom";

    ActivityViewController* present(const QStringList& excluded = kExcluded) {
        auto* sheet = new ActivityViewController({testPicture()});
        sheet->setExcludedActivityTypes(excluded);
        sheet->setViewerFolder(viewerDir.path());
        sheet->setUrlOpener([](const QUrl&) { return false; });
        sheet->setSaveFileNameProvider([](QWidget*, const QString&) { return QString(); });
        root->present(sheet, true);
        return sheet;
    }
    QStringList savedFiles() const {
        return QDir(saveFolder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};
}  // namespace

TEST_F(ShareSheetTest, ExcludedActivitiesAreNeverOffered) {
    ActivityViewController* sheet = present();
    EXPECT_EQ(sheet->offeredActivityTypes(),
              QStringList({ActivityType::saveToPictures, ActivityType::saveAs,
                           ActivityType::openInImageViewer}));
    for (const QString& type : kExcluded) {
        EXPECT_EQ(sheet->activityButton(type), nullptr);
        EXPECT_FALSE(sheet->performActivity(type));
    }
    for (const QString& type : sheet->offeredActivityTypes()) {
        QPushButton* row = sheet->activityButton(type);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->accessibleName(), ActivityViewController::titleForActivityType(type));
        EXPECT_GE(row->height(), 44);
    }

    // Left to itself the sheet also offers copying, which does copy.
    sheet->closeSheet();
    ActivityViewController* open = present({});
    EXPECT_TRUE(open->offeredActivityTypes().contains(ActivityType::copyToPasteboard));
    EXPECT_TRUE(open->performActivity(ActivityType::copyToPasteboard));
}

TEST_F(ShareSheetTest, SaveToPicturesWritesANewDecodablePngEachTime) {
    ActivityViewController* sheet = present();
    QTest::mouseClick(sheet->activityButton(ActivityType::saveToPictures), Qt::LeftButton);
    ASSERT_EQ(savedFiles().size(), 1);
    EXPECT_TRUE(sheet->statusText().startsWith("Saved to"));
    EXPECT_TRUE(sheet->statusText().contains(savedFiles().first()));
    EXPECT_EQ(sheet->closeButton()->text(), "Done");

    // A second save within the same second gets its own name; no half-written leftovers.
    ASSERT_TRUE(sheet->performActivity(ActivityType::saveToPictures));
    ASSERT_EQ(savedFiles().size(), 2);
    for (const QString& name : savedFiles()) {
        QImageReader reader(saveFolder + "/" + name);
        EXPECT_EQ(reader.format(), "png");
        EXPECT_EQ(reader.read().convertToFormat(QImage::Format_ARGB32), testPicture());
    }
}

TEST(PictureFileWriterTest, NeverReplacesAnExistingFile) {
    QTemporaryDir dir;
    const QDateTime when(QDate(2024, 5, 1), QTime(14, 3, 22));
    const QString taken = dir.filePath("Tilebloom 2024-05-01 at 14.03.22.png");
    ASSERT_TRUE(writeFile(taken, "keep me"));
    const PictureFileWriter::Result result =
        PictureFileWriter::writeNew(testPicture(), dir.path(), when);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(QFileInfo(result.path).fileName(), "Tilebloom 2024-05-01 at 14.03.22 (2).png");
    QFile kept(taken);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
    EXPECT_EQ(QImage(result.path).size(), QSize(100, 100));
    EXPECT_FALSE(PictureFileWriter::writeNew(QImage(), dir.path(), when).ok());
}

TEST_F(ShareSheetTest, AnUnwritableFolderIsReportedAndNothingIsClaimed) {
    // A folder inside a regular file can never be made, not even by an administrator.
    const QString blocker = pictures.path() + "/blocker";
    ASSERT_TRUE(writeFile(blocker, "x"));
    ActivityViewController* sheet = present();
    sheet->setPicturesFolder(blocker + "/Pictures");
    EXPECT_FALSE(sheet->performActivity(ActivityType::saveToPictures));
    EXPECT_TRUE(sheet->statusIsError());
    EXPECT_TRUE(sheet->statusText().startsWith("Couldn\u2019t save the picture."));
    EXPECT_TRUE(sheet->statusText().contains("could not be created"))
        << sheet->statusText().toStdString();
    EXPECT_EQ(sheet->closeButton()->text(), "Cancel");
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_EQ(stack.topViewController(), root);
}

TEST_F(ShareSheetTest, SaveAsAndTheImageViewerUseTheirInjectedServices) {
    ActivityViewController* sheet = present();
    const QString chosen = pictures.path() + "/chosen";
    sheet->setSaveFileNameProvider([&](QWidget*, const QString&) { return chosen; });
    ASSERT_TRUE(sheet->performActivity(ActivityType::saveAs));
    EXPECT_EQ(QImage(chosen + ".png").size(), QSize(100, 100));  // the extension added

    QList<QUrl> opened;
    sheet->setUrlOpener([&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    ASSERT_TRUE(sheet->performActivity(ActivityType::openInImageViewer));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QImage(opened.first().toLocalFile()).size(), QSize(100, 100));

    // Without a viewer the copy is removed again and the user is told.
    sheet->setUrlOpener([](const QUrl&) { return false; });
    EXPECT_FALSE(sheet->performActivity(ActivityType::openInImageViewer));
    EXPECT_TRUE(sheet->statusText().contains("no image viewer"));
    EXPECT_EQ(QDir(viewerDir.path()).entryList({"*.png"}, QDir::Files).size(), 1);
    EXPECT_TRUE(savedFiles().isEmpty());
}

// "Save As…" writes the size chosen beside it, under a name made from the drawing's title.
TEST_F(ShareSheetTest, SaveAsWritesTheChosenSizeUnderTheTitlesName) {
    ActivityViewController* sheet = present();
    EXPECT_EQ(sheet->saveAsSizeBox(), nullptr);  // no choices, no box
    int made = 0;
    QList<ActivityViewController::SaveAsChoice> choices;
    for (const int side : {100, 7, 14}) {
        choices.append({QStringLiteral("%1 pixels").arg(side), [side, &made] {
                            ++made;
                            QImage image(side, side, QImage::Format_RGB32);
                            image.fill(Qt::blue);
                            return image;
                        }});
    }
    choices.append({QStringLiteral("Broken"), [] { return QImage(); }});
    sheet->setSaveAsChoices(choices);
    sheet->setSuggestedFileName(QStringLiteral("../Harbour/at\ndawn"));
    QComboBox* box = sheet->saveAsSizeBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->accessibleName(), QStringLiteral("Save As size"));
    ASSERT_EQ(box->count(), 4);
    EXPECT_EQ(made, 0);  // nothing is made before it is saved

    QString suggested;
    sheet->setSaveFileNameProvider([&](QWidget*, const QString& path) {
        suggested = path;
        return pictures.path() + "/mine.png";
    });
    box->setCurrentIndex(2);
    ASSERT_TRUE(sheet->performActivity(ActivityType::saveAs));
    EXPECT_EQ(made, 1);
    EXPECT_EQ(QImage(pictures.path() + "/mine.png").size(), QSize(14, 14));
    EXPECT_EQ(QFileInfo(suggested).fileName(), QStringLiteral("-Harbour-at-dawn.png"));
    EXPECT_EQ(QFileInfo(suggested).absolutePath(), QDir(pictures.path()).absolutePath());

    box->setCurrentIndex(3);
    EXPECT_FALSE(sheet->performActivity(ActivityType::saveAs));
    EXPECT_TRUE(sheet->statusIsError());
    EXPECT_TRUE(sheet->statusText().contains("Broken"));

    EXPECT_EQ(ActivityViewController::fileNameForTitle(QStringLiteral("  .hidden ")),
              QStringLiteral("hidden"));
    EXPECT_TRUE(ActivityViewController::fileNameForTitle(QStringLiteral("...")).isEmpty());
}
