// The gallery: its rows in store order, swiping to duplicate and delete, reopening, rows it
// cannot show, and titles shown exactly as stored.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

#include "canvas/canvas.h"
#include "editor/drawing_view_controller.h"
#include "gallery/custom_table_view_cell.h"
#include "gallery/result_view_controller.h"
#include "picture_fixtures.h"
#include "screens/alert_controller.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"
#include "screenshot.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"
#include "widgets/swipe_action_row.h"

namespace {
// Saves a drawing of one colour with a thumbnail, the way the editor's save does.
Drawing* saveNew(const QString& title, const Color& color = Color::red(), int64_t side = 20,
                 std::optional<QByteArray> picture = {}) {
    Drawing* drawing = Drawing::create(std::vector<Color>(size_t(side * side), color), side, side);
    QImage image(60, 60, QImage::Format_ARGB32);
    image.fill(color.toQColor());
    Thumbnail* thumbnail = Thumbnail::create(
        title, "1 May 2024 at 10:00", picture.value_or(picture_fixtures::encoded(image, "png")));
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, nullptr);
    return drawing;
}

std::vector<QString> storedTitles() {
    std::vector<QString> titles;
    for (Thumbnail* thumbnail :
         CoreDataManager::loadThumbnails().value_or(std::vector<Thumbnail*>{})) {
        titles.push_back(thumbnail->fileName());
    }
    return titles;
}

using Titles = std::vector<QString>;

struct GalleryFixture : testing::Test {
    ScopedDataDir dir;
    StoreTestDelegate app;
    ScreenStack stack;
    PlatformViewController* home = new PlatformViewController;
    ResultViewController* gallery = nullptr;
    std::unique_ptr<QPointingDevice> finger{QTest::createTouchDevice()};

    void SetUp() override {
        Storyboard::main().registerScreen("draw", [] { return new DrawingViewController; });
        stack.resize(390, 844);
        stack.setRootViewController(home);
        stack.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stack));
    }

    void open() {
        if (gallery) {
            gallery->dismiss(false);
            processEvents();
        }
        gallery = new ResultViewController;
        home->present(gallery, true);
        processEvents();
    }

    customTableViewCell* cell(int row) const {
        return static_cast<customTableViewCell*>(gallery->tableView->visibleRow(row));
    }

    Titles shownTitles() const {
        Titles titles;
        for (int row = 0; row < gallery->tableView->numberOfRows(); ++row) {
            titles.push_back(cell(row) ? cell(row)->label->text() : "<not shown>");
        }
        return titles;
    }

    QPoint rowPoint(int row, int x) const {
        SwipeActionList* list = gallery->tableView;
        return list->viewport()->mapTo(&stack, QPoint(x, list->rectForRow(row).center().y()));
    }

    // A finger drag along a row between two x positions (the list's own tests drive the mouse).
    void drag(int row, int from, int to) {
        QTest::touchEvent(&stack, finger.get()).press(0, rowPoint(row, from), &stack);
        for (int step = 1; step <= 8; ++step) {
            QTest::touchEvent(&stack, finger.get())
                .move(0, rowPoint(row, from + (to - from) * step / 8), &stack);
        }
        QTest::touchEvent(&stack, finger.get()).release(0, rowPoint(row, to), &stack);
        processEvents();
    }

    void pressAction(int row, const QString& title) {
        ASSERT_NE(cell(row), nullptr);
        for (QPushButton* button : cell(row)->actionButtons()) {
            if (button && button->accessibleName() == title) {
                QTest::mouseClick(button, Qt::LeftButton);
                processEvents();
                return;
            }
        }
        ADD_FAILURE() << "no action " << title.toStdString() << " on row " << row;
    }
};
}  // namespace

// A duplicate is a full copy; a deletion reaches the file.
TEST_F(GalleryFixture, RowsInStoreOrderDuplicateAndDeleteDownToTheEmptyState) {
    open();
    EXPECT_TRUE(gallery->emptyLabel->isVisible());
    saveScreenshotIfAsked(stack, "gallery_empty");
    saveNew("A");
    Drawing* b = saveNew("B", Color::blue(), 24);
    saveNew("C", Color::systemCyan());
    open();
    EXPECT_FALSE(gallery->emptyLabel->isVisible());
    EXPECT_EQ(shownTitles(), (Titles{"A", "B", "C"}));
    ASSERT_FALSE(cell(1)->imgView->pixmap().isNull());
    const QImage shown = cell(1)->imgView->pixmap().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::blue));
    EXPECT_FALSE(cell(1)->accessibleName().isEmpty());
    saveScreenshotIfAsked(stack, "gallery");

    drag(1, 360, 180);
    ASSERT_EQ(gallery->tableView->swipedRow(), 1);
    saveScreenshotIfAsked(stack, "gallery_swiped");
    pressAction(1, "Duplicate");
    EXPECT_EQ(shownTitles(), (Titles{"A", "B", "C", "B"}));
    EXPECT_EQ(storedTitles(), (Titles{"A", "B", "C", "B"}));
    EXPECT_EQ(gallery->tableView->swipedRow(), -1);
    ASSERT_EQ(gallery->thumbnailArray.size(), 4u);
    Thumbnail* copy = gallery->thumbnailArray[3];
    ASSERT_NE(copy->drawing(), nullptr);
    EXPECT_NE(copy->drawing()->id(), b->id());
    EXPECT_NE(copy->id(), b->thumbnail()->id());
    EXPECT_EQ(copy->drawing()->width(), 24);
    EXPECT_EQ(copy->drawing()->colorArray(), b->colorArray());
    EXPECT_EQ(copy->date(), b->thumbnail()->date());
    EXPECT_EQ(copy->imageData(), b->thumbnail()->imageData());

    drag(1, 385, 15);
    EXPECT_EQ(shownTitles(), (Titles{"A", "C", "B"}));
    EXPECT_EQ(storedTitles(), (Titles{"A", "C", "B"}));
    for (int left = 3; left > 0; --left) {
        QTest::mouseClick(gallery->tableView->viewport(), Qt::RightButton, {},
                          gallery->tableView->rectForRow(0).center());
        pressAction(0, "Delete");
        EXPECT_EQ(gallery->emptyLabel->isVisible(), left == 1);
    }
    EXPECT_EQ(gallery->tableView->numberOfRows(), 0);
    app.closeContainer();
    EXPECT_TRUE(storedTitles().empty()) << "gone from the file too";
}

TEST_F(GalleryFixture, AReopenedAndSavedDrawingMovesLast) {
    Drawing* a = saveNew("A", Color::blue(), 24);
    const QUuid id = a->id();
    saveNew("B");
    saveNew("C");
    // The rows and the drawing the editor opens stay in memory while they are shown, however
    // often the event loop waits in between.
    waitForEvents();
    open();
    waitForEvents();
    drag(0, 200, 200);  // a tap
    auto* editor = qobject_cast<DrawingViewController*>(stack.topViewController());
    ASSERT_NE(editor, nullptr);
    waitForEvents();
    a = editor->previousDrawing;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->id(), id);
    EXPECT_EQ(editor->modalPresentationStyle(), ModalPresentationStyle::fullScreen);
    EXPECT_EQ(editor->presentingViewController(), gallery);
    ASSERT_NE(editor->canvasView, nullptr);
    EXPECT_EQ(editor->canvasView->canvas()->width, 24) << "the drawing's own size";
    EXPECT_EQ(editor->canvasView->canvas()->getColorArray(), a->colorArray());
    EXPECT_EQ(gallery->tableView->selectedRow(), -1) << "deselected";

    editor->savePressed();
    auto* alert = qobject_cast<AlertController*>(stack.topViewController());
    ASSERT_TRUE(alert && !alert->textFields().isEmpty());
    alert->textFields().first()->setText("A again");
    ASSERT_TRUE(alert->triggerAction("Save"));
    processEvents();
    waitForEvents();
    ASSERT_EQ(stack.topViewController(), gallery);
    EXPECT_EQ(shownTitles(), (Titles{"B", "C", "A again"}));
    EXPECT_EQ(storedTitles(), (Titles{"B", "C", "A again"}));
    EXPECT_EQ(gallery->thumbnailArray.back()->drawing()->id(), id);
    gallery->tableView->performSwipeAction(2, 0);
    EXPECT_EQ(storedTitles(), (Titles{"B", "C"}));
}

// An enormous declared size must not be decoded at all.
TEST_F(GalleryFixture, OddRowsShowTheirTitleAndAMissingDrawingCanOnlyBeDeleted) {
    saveNew("Broken", Color::red(), 20, "not a picture");
    saveNew("Bomb", Color::red(), 20, picture_fixtures::pngDeclaring(100000, 100000));
    saveNew("Fine");
    Thumbnail::create("Orphan", "today", "png");
    ASSERT_FALSE(PersistentContainerProvider::applicationViewContext()->save().has_value());
    std::string out = captureStdout([&] { open(); });
    ASSERT_EQ(shownTitles(), (Titles{"Broken", "Bomb", "Fine", "Orphan"}));
    EXPECT_TRUE(cell(0)->imgView->pixmap().isNull());
    EXPECT_TRUE(cell(1)->imgView->pixmap().isNull());
    EXPECT_FALSE(cell(2)->imgView->pixmap().isNull());
    EXPECT_NE(out.find("Gallery: the picture of \u201cBroken\u201d cannot be shown (not a PNG"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\u201cBomb\u201d cannot be shown (100000 x 100000 pixels"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("Fine"), std::string::npos) << out;

    ASSERT_EQ(gallery->thumbnailArray[3]->drawing(), nullptr);
    out = captureStdout([&] { gallery->didSelectRow(gallery->tableView, 3); });
    EXPECT_EQ(stack.topViewController(), gallery) << "nothing opened";
    EXPECT_NE(out.find("missing"), std::string::npos);
    captureStdout([&] { gallery->tableView->performSwipeAction(3, 1); });
    EXPECT_EQ(storedTitles().size(), 4u) << "no copy of nothing";
    EXPECT_EQ(gallery->tableView->swipedRow(), -1);
    gallery->tableView->performSwipeAction(3, 0);
    EXPECT_EQ(shownTitles(), (Titles{"Broken", "Bomb", "Fine"}));
    EXPECT_EQ(storedTitles(), (Titles{"Broken", "Bomb", "Fine"}));
}

// Random bytes where the store should be: the gallery says the drawings could not be opened,
// not that there are none; the console says why, and the file stays as it was.
TEST_F(GalleryFixture, AnUnreadableStoreSaysTheDrawingsCouldNotBeOpened) {
    open();
    EXPECT_EQ(gallery->emptyLabel->accessibleName().toStdString(), "No saved drawings yet");
    const QImage noneYet = gallery->emptyLabel->pixmap().toImage();

    ScopedDataDir elsewhere;
    QByteArray garbage(16 * 1024, Qt::Uninitialized);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
    QFile file(elsewhere.path() + "/tesselet.sqlite");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(garbage);
    file.close();
    app.closeContainer();
    const std::string out = captureStdout([&] { open(); });
    const QStringList lines = QString::fromStdString(out).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << out;
    EXPECT_TRUE(lines[0].startsWith("Unresolved error file is not a database, {"));
    EXPECT_TRUE(lines[1].startsWith("Could not load any thumbnails. The store is not open., {"));
    EXPECT_TRUE(gallery->emptyLabel->isVisible());
    EXPECT_EQ(gallery->emptyLabel->accessibleName().toStdString(),
              "Your drawings could not be opened. The file was kept as it is.");
    EXPECT_TRUE(gallery->emptyLabel->pixmap().toImage() != noneYet) << "the same picture";
    saveScreenshotIfAsked(stack, "gallery_unreadable");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);
    app.closeContainer();
}

// A title is text the user typed, or whatever the store holds: the gallery shows it as it is
// stored and never reads it as markup (an <img> would pull a local file into the row).
using GalleryTitleTest = GalleryFixture;
TEST_F(GalleryTitleTest, TitlesAreShownAsPlainTextExactlyAsStored) {
    QTemporaryDir files;
    const QString red = files.filePath("red.png");
    QImage redImage(200, 40, QImage::Format_RGB32);
    redImage.fill(Qt::red);
    ASSERT_TRUE(redImage.save(red));
    const Titles stored = {QString("<img src=\"%1\">").arg(red), "<b>bold</b> & <i>more", "Plain"};
    for (const QString& title : stored) {
        saveNew(title, Color::white());
    }
    open();
    EXPECT_EQ(shownTitles(), stored);
    for (int row = 0; row < int(stored.size()); ++row) {
        const QImage shown = cell(row)->label->grab().toImage();
        int redPixels = 0;
        for (int i = 0; i < shown.width() * shown.height(); ++i) {
            const QColor c = shown.pixelColor(i % shown.width(), i / shown.width());
            redPixels += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
        EXPECT_EQ(redPixels, 0) << "row " << row << " drew the file its title names";
    }
}
