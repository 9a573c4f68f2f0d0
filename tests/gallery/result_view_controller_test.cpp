#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
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
};
}  // namespace

// A duplicate is a full copy; a deletion reaches the file.
TEST_F(GalleryFixture, RowsInStoreOrderDuplicateAndDeleteDownToTheEmptyState) {
    saveNew("A");
    Drawing* b = saveNew("B", Color::blue(), 24);
    saveNew("C", Color::systemCyan());
    open();
    EXPECT_FALSE(gallery->emptyLabel->isVisible());
    EXPECT_EQ(shownTitles(), (Titles{"A", "B", "C"}));
    const QImage shown = cell(1)->imgView->pixmap().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::blue));
    saveScreenshotIfAsked(stack, "gallery");

    gallery->tableView->performSwipeAction(1, 1);
    EXPECT_EQ(shownTitles(), (Titles{"A", "B", "C", "B"}));
    EXPECT_EQ(storedTitles(), (Titles{"A", "B", "C", "B"}));
    Thumbnail* copy = gallery->thumbnailArray.at(3);
    ASSERT_NE(copy->drawing(), nullptr);
    EXPECT_NE(copy->drawing()->id(), b->id());
    EXPECT_EQ(copy->drawing()->width(), 24);
    EXPECT_EQ(copy->drawing()->colorArray(), b->colorArray());
    EXPECT_EQ(copy->imageData(), b->thumbnail()->imageData());

    drag(1, 385, 15);  // swiped all the way: deleted
    EXPECT_EQ(shownTitles(), (Titles{"A", "C", "B"}));
    for (int left = 3; left > 0; --left) {
        gallery->tableView->performSwipeAction(0, 0);
    }
    EXPECT_TRUE(gallery->emptyLabel->isVisible());
    app.closeContainer();
    EXPECT_TRUE(storedTitles().empty()) << "gone from the file too";
}

TEST_F(GalleryFixture, AReopenedAndSavedDrawingMovesLast) {
    const QUuid id = saveNew("A", Color::blue(), 24)->id();
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
    ASSERT_NE(editor->previousDrawing, nullptr);
    EXPECT_EQ(editor->previousDrawing->id(), id);
    EXPECT_EQ(editor->canvasView->canvas()->width, 24) << "the drawing's own size";

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
}

// An enormous declared size must not be decoded at all.
TEST_F(GalleryFixture, OddRowsShowTheirTitleAndAMissingDrawingCanOnlyBeDeleted) {
    saveNew("Broken", Color::red(), 20, "not a picture");
    saveNew("Bomb", Color::red(), 20, picture_fixtures::pngDeclaring(100000, 100000));
    Thumbnail::create("Orphan", "today", "png");
    ASSERT_FALSE(PersistentContainerProvider::applicationViewContext()->save().has_value());
    std::string out = captureStdout([&] { open(); });
    ASSERT_EQ(shownTitles(), (Titles{"Broken", "Bomb", "Orphan"}));
    EXPECT_TRUE(cell(0)->imgView->pixmap().isNull());
    EXPECT_TRUE(cell(1)->imgView->pixmap().isNull());
    EXPECT_NE(out.find("\u201cBroken\u201d cannot be shown (not a PNG"), std::string::npos) << out;
    EXPECT_NE(out.find("\u201cBomb\u201d cannot be shown (100000 x 100000 pixels"),
              std::string::npos)
        << out;

    ASSERT_EQ(gallery->thumbnailArray[2]->drawing(), nullptr);
    captureStdout([&] { gallery->didSelectRow(gallery->tableView, 2); });
    EXPECT_EQ(stack.topViewController(), gallery) << "nothing opened";
    captureStdout([&] { gallery->tableView->performSwipeAction(2, 1); });
    EXPECT_EQ(storedTitles().size(), 3u) << "no copy of nothing";
    gallery->tableView->performSwipeAction(2, 0);
    EXPECT_EQ(storedTitles(), (Titles{"Broken", "Bomb"}));
}

// Random bytes where the store should be: the gallery says the drawings could not be opened,
// not that there are none, and the file stays as it was.
TEST_F(GalleryFixture, AnUnreadableStoreSaysTheDrawingsCouldNotBeOpened) {
    QByteArray garbage(16 * 1024, Qt::Uninitialized);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
    QFile file(dir.path() + "/tesselet.sqlite");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(garbage);
    file.close();
    const std::string out = captureStdout([&] { open(); });
    EXPECT_NE(out.find("file is not a database"), std::string::npos) << out;
    EXPECT_TRUE(gallery->emptyLabel->isVisible());
    EXPECT_EQ(gallery->emptyLabel->accessibleName().toStdString(),
              "Your drawings could not be opened. The file was kept as it is.");
    saveScreenshotIfAsked(stack, "gallery_unreadable");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);
    app.closeContainer();
}

// A title is text the user typed, or whatever the store holds: never read as markup (an <img>
// would pull a local file into the row).
TEST_F(GalleryFixture, TitlesAreShownAsPlainTextExactlyAsStored) {
    QTemporaryDir files;
    const QString red = files.filePath("red.png");
    QImage redImage(200, 40, QImage::Format_RGB32);
    redImage.fill(Qt::red);
    ASSERT_TRUE(redImage.save(red));
    saveNew(QString("<img src=\"%1\">").arg(red), Color::white());
    open();
    const QImage shown = cell(0)->label->grab().toImage();
    int redPixels = 0;
    for (int i = 0; i < shown.width() * shown.height(); ++i) {
        const QColor c = shown.pixelColor(i % shown.width(), i / shown.width());
        redPixels += c.red() > 200 && c.green() < 60 && c.blue() < 60;
    }
    EXPECT_EQ(redPixels, 0) << "the title drew the file it names";
}
