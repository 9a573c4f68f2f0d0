#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "file_faults.h"
#include "hostile_files.h"
#include "picture_fixtures.h"
#include "screen_fixture.h"
#include "screens/activity_type.h"
#include "screens/activity_view_controller.h"
#include "test_support.h"

using namespace hostile_files;
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
    EXPECT_TRUE(sheet->statusText().contains(savedFiles().first()));

    // A second save within the same second gets its own name; no half-written leftovers.
    ASSERT_TRUE(sheet->performActivity(ActivityType::saveToPictures));
    ASSERT_EQ(savedFiles().size(), 2);
    for (const QString& name : savedFiles()) {
        QImageReader reader(saveFolder + "/" + name);
        EXPECT_EQ(reader.format(), "png");
        EXPECT_EQ(reader.read().convertToFormat(QImage::Format_ARGB32), testPicture());
    }
}

TEST_F(ShareSheetTest, AnUnwritableFolderIsReportedAndNothingIsClaimed) {
    // A folder inside a regular file can never be made, not even by an administrator.
    const QString blocker = pictures.path() + "/blocker";
    ASSERT_TRUE(writeFile(blocker, "x"));
    ActivityViewController* sheet = present();
    sheet->setPicturesFolder(blocker + "/Pictures");
    EXPECT_FALSE(sheet->performActivity(ActivityType::saveToPictures));
    EXPECT_TRUE(sheet->statusIsError());
    EXPECT_TRUE(sheet->statusText().contains("could not be created"))
        << sheet->statusText().toStdString();
}

// The real dialog: a name typed without ".png" gets it before the dialog asks about replacing
// a file, so the question is about the file that would be replaced, and "No" keeps it.
TEST_F(ShareSheetTest, SaveAsAsksBeforeReplacingTheFileItWouldWrite) {
    const QString existing = pictures.path() + "/holiday.png";
    ASSERT_TRUE(writeFile(existing, "the user's picture"));
    auto* sheet = new ActivityViewController({testPicture()});
    sheet->setExcludedActivityTypes(kExcluded);
    root->present(sheet, true);

    QStringList questions;
    bool typed = false;
    bool replace = false;
    // Plays the user: types the name, answers the question, and closes the dialog should
    // it still be open after that. Each step is queued: a step that opens a dialog runs its
    // event loop, in which this timer must fire again.
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            questions << box->text();
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (!typed && name) {
                typed = true;
                name->setText("holiday");
                QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
            } else {
                dialog->reject();
            }
        }
    });
    user.start();

    EXPECT_FALSE(sheet->performActivity(ActivityType::saveAs));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions.first().contains("holiday.png")) << questions.first().toStdString();
    EXPECT_EQ(file_faults::bytesOf(existing).toStdString(), "the user's picture");

    typed = false;
    replace = true;
    EXPECT_TRUE(sheet->performActivity(ActivityType::saveAs));
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(QImage(existing).size(), QSize(100, 100));
    EXPECT_FALSE(QFile::exists(existing + ".png"));
}

// Copies for the image viewer go to a folder of the user's own, closed to others, inside the
// data folder of an isolated run. Old copies are cleared away, but only the sheet's own
// files; a link put where the folder should be is refused, and nothing is written or removed
// where it leads.
TEST_F(ShareSheetTest, ViewerCopiesStayInAPrivateFolderOfTheUsersOwn) {
    ScopedDataDir data;
    auto* sheet = new ActivityViewController({testPicture()});
    const QString folder = sheet->viewerFolder();
    EXPECT_TRUE(folder.startsWith(data.path() + "/")) << folder.toStdString();
    QStringList opened;
    sheet->setUrlOpener([&](const QUrl& url) {
        opened << url.toLocalFile();
        return true;
    });
    root->present(sheet, true);

    // Left behind by an earlier run, open to others.
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString oldCopy = folder + "/Tilebloom 2020-01-01 at 10.00.00.png";
    const QString recentCopy = folder + "/Tilebloom 2020-01-02 at 10.00.00 (2).png";
    const QString usersOwn = folder + "/holiday.png";
    ASSERT_TRUE(writeFile(oldCopy, "old") && writeFile(recentCopy, "new") &&
                writeFile(usersOwn, "mine"));
    const qint64 twoDays = 2 * 24 * 3600;
    ASSERT_TRUE(makeOld(oldCopy, twoDays) && makeOld(usersOwn, twoDays));

    ASSERT_TRUE(sheet->performActivity(ActivityType::openInImageViewer))
        << sheet->statusText().toStdString();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QFileInfo(opened.first()).path().toStdString(), folder.toStdString());
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(opened.first()), 0600);
    EXPECT_FALSE(QFile::exists(oldCopy));
    EXPECT_TRUE(QFile::exists(recentCopy) && QFile::exists(usersOwn));

    const QString target = data.path() + "/target";
    ASSERT_TRUE(QDir().mkpath(target));
    ASSERT_TRUE(writeFile(target + "/Tilebloom 2020-01-01 at 10.00.00.png", "old"));
    ASSERT_TRUE(makeOld(target + "/Tilebloom 2020-01-01 at 10.00.00.png", twoDays));
    ASSERT_TRUE(makeLink(target, data.path() + "/planted"));
    const std::string before = snapshot(target);
    sheet->setViewerFolder(data.path() + "/planted");
    EXPECT_FALSE(sheet->performActivity(ActivityType::openInImageViewer));
    EXPECT_TRUE(sheet->statusText().contains("symbolic link")) << sheet->statusText().toStdString();
    EXPECT_EQ(snapshot(target), before);
    EXPECT_EQ(opened.size(), 1);

    // Without a viewer the copy is removed again and the user is told.
    sheet->setViewerFolder(folder);
    sheet->setUrlOpener([](const QUrl&) { return false; });
    const std::string copies = snapshot(folder);
    EXPECT_FALSE(sheet->performActivity(ActivityType::openInImageViewer));
    EXPECT_TRUE(sheet->statusText().contains("no image viewer"));
    EXPECT_EQ(snapshot(folder), copies);
}

// "Save As…" makes the size chosen beside it only when it saves, under a name made from the
// drawing's title; which sizes it offers is the export tests' business.
TEST_F(ShareSheetTest, SaveAsMakesTheChosenSizeUnderTheTitlesName) {
    ActivityViewController* sheet = present();
    EXPECT_EQ(sheet->saveAsSizeBox(), nullptr);  // no choices, no box
    int made = 0;
    sheet->setSaveAsChoices({{QStringLiteral("7 pixels"),
                              [&made] {
                                  ++made;
                                  QImage image(7, 7, QImage::Format_RGB32);
                                  image.fill(Qt::blue);
                                  return image;
                              }},
                             {QStringLiteral("Broken"), [] { return QImage(); }}});
    sheet->setSuggestedFileName(QStringLiteral("../Harbour/at\ndawn"));
    QComboBox* box = sheet->saveAsSizeBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(made, 0);

    QString suggested;
    sheet->setSaveFileNameProvider([&](QWidget*, const QString& path) {
        suggested = path;
        return pictures.path() + "/mine.png";
    });
    ASSERT_TRUE(sheet->performActivity(ActivityType::saveAs));
    EXPECT_EQ(made, 1);
    EXPECT_EQ(QImage(pictures.path() + "/mine.png").size(), QSize(7, 7));
    EXPECT_EQ(QFileInfo(suggested).fileName(), QStringLiteral("-Harbour-at-dawn.png"));
    EXPECT_EQ(QFileInfo(suggested).absolutePath(), QDir(pictures.path()).absolutePath());

    box->setCurrentIndex(1);
    EXPECT_FALSE(sheet->performActivity(ActivityType::saveAs));
    EXPECT_TRUE(sheet->statusIsError());
    EXPECT_TRUE(sheet->statusText().contains("Broken"));
}
