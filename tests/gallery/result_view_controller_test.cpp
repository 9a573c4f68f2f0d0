#include <gtest/gtest.h>

#include <QBuffer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <vector>

#include "canvas/canvas.h"
#include "editor/drawing_view_controller.h"
#include "gallery/custom_table_view_cell.h"
#include "gallery/result_view_controller.h"
#include "picture_fixtures.h"
#include "platform/alert_controller.h"
#include "platform/asset_image_view.h"
#include "platform/screen_stack.h"
#include "platform/storyboard.h"
#include "platform/swipe_action_row.h"
#include "screenshot.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"

namespace {
QByteArray pngOf(const QColor& color) {
    QImage image(60, 60, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::vector<Color> colorsOf(const Color& color, int64_t side) {
    return std::vector<Color>(static_cast<size_t>(side * side), color);
}

// Links a new thumbnail to the drawing and saves, the way the editor's save does.
Thumbnail* saveWithThumbnail(Drawing* drawing, const QString& title, const QColor& picture) {
    Thumbnail* thumbnail =
        Thumbnail::create(title, QStringLiteral("1 May 2024 at 10:00"), pngOf(picture));
    Thumbnail* previous = drawing->thumbnail();
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, previous);
    return thumbnail;
}

Drawing* saveNew(const QString& title, const Color& color = Color::red(), int64_t side = 20) {
    Drawing* drawing = Drawing::create(colorsOf(color, side), side, side);
    saveWithThumbnail(drawing, title, color.toQColor());
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

struct GalleryFixture : testing::Test {
    ScopedDataDir dir;
    StoreTestDelegate app;
    ScreenStack stack;
    PlatformViewController* home = new PlatformViewController;
    ResultViewController* gallery = nullptr;
    std::unique_ptr<QPointingDevice> finger{QTest::createTouchDevice()};

    void SetUp() override {
        stack.resize(390, 844);
        stack.setRootViewController(home);
        stack.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stack));
    }

    void tap(int row) {
        const QPoint at = rowPoint(row, 200);
        QTest::touchEvent(&stack, finger.get()).press(0, at, &stack);
        QTest::touchEvent(&stack, finger.get()).release(0, at, &stack);
        processEvents();
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

    std::vector<QString> shownTitles() const {
        std::vector<QString> titles;
        for (int row = 0; row < gallery->tableView->numberOfRows(); ++row) {
            auto* cell = static_cast<customTableViewCell*>(gallery->tableView->visibleRow(row));
            titles.push_back(cell ? cell->label->text() : QStringLiteral("<not shown>"));
        }
        return titles;
    }

    QPoint rowPoint(int row, int x) const {
        SwipeActionList* list = gallery->tableView;
        return list->viewport()->mapTo(&stack, QPoint(x, list->rectForRow(row).center().y()));
    }

    void drag(QPoint from, QPoint to, bool withFinger) {
        if (withFinger) {
            QTest::touchEvent(&stack, finger.get()).press(0, from, &stack);
            for (int step = 1; step <= 8; ++step) {
                QTest::touchEvent(&stack, finger.get())
                    .move(0, from + (to - from) * step / 8, &stack);
            }
            QTest::touchEvent(&stack, finger.get()).release(0, to, &stack);
        } else {
            QWidget* viewport = gallery->tableView->viewport();
            const QPoint a = viewport->mapFrom(&stack, from);
            const QPoint b = viewport->mapFrom(&stack, to);
            QTest::mousePress(viewport, Qt::LeftButton, {}, a);
            for (int step = 1; step <= 8; ++step) {
                const QPoint at = a + (b - a) * step / 8;
                QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                                 Qt::LeftButton, {});
                QApplication::sendEvent(viewport, &move);
            }
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, b);
        }
        processEvents();
    }

    QPushButton* actionButton(int row, const QString& title) {
        SwipeActionRow* cell = gallery->tableView->visibleRow(row);
        if (!cell) {
            return nullptr;
        }
        for (QPushButton* button : cell->actionButtons()) {
            if (button && button->accessibleName() == title) {
                return button;
            }
        }
        return nullptr;
    }
};
}  // namespace

TEST_F(GalleryFixture, AnEmptyStoreShowsThePictureUntilSomethingIsSaved) {
    open();
    EXPECT_EQ(gallery->tableView->numberOfRows(), 0);
    EXPECT_TRUE(gallery->emptyLabel->isVisible());
    ASSERT_NE(gallery->backgroundView(), nullptr);
    EXPECT_EQ(gallery->backgroundView()->assetName(), "bg_main");
    EXPECT_EQ(gallery->backgroundView()->geometry(), QRect(0, 0, 390, 844));
    EXPECT_EQ(gallery->children().indexOf(gallery->backgroundView()), 0) << "rearmost";
    saveScreenshotIfAsked(stack, "gallery_empty");

    saveNew("First");
    open();
    EXPECT_EQ(shownTitles(), std::vector<QString>{"First"});
    EXPECT_FALSE(gallery->emptyLabel->isVisible());
}

TEST_F(GalleryFixture, RowsFollowTheStoreOrderWithPictureAndTitle) {
    saveNew("A", Color::red());
    saveNew("B", Color::blue());
    saveNew("C", Color::systemCyan());
    open();
    EXPECT_EQ(shownTitles(), (std::vector<QString>{"A", "B", "C"}));
    auto* cell = static_cast<customTableViewCell*>(gallery->tableView->visibleRow(1));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->reuseIdentifier(), "listcell");
    ASSERT_FALSE(cell->imgView->pixmap().isNull());
    const QImage shown = cell->imgView->pixmap().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::blue));
    EXPECT_FALSE(cell->accessibleName().isEmpty());
    saveScreenshotIfAsked(stack, "gallery");
}

TEST_F(GalleryFixture, DuplicatingWithAFingerAddsACopyAtTheEnd) {
    saveNew("A");
    Drawing* b = saveNew("B", Color::blue(), 24);
    saveNew("C");
    open();
    drag(rowPoint(1, 360), rowPoint(1, 180), true);
    ASSERT_EQ(gallery->tableView->swipedRow(), 1);
    saveScreenshotIfAsked(stack, "gallery_swiped");
    EXPECT_NE(actionButton(1, "Delete"), nullptr);
    QPushButton* duplicate = actionButton(1, "Duplicate");
    ASSERT_NE(duplicate, nullptr);
    QTest::mouseClick(duplicate, Qt::LeftButton);
    processEvents();

    EXPECT_EQ(shownTitles(), (std::vector<QString>{"A", "B", "C", "B"}));
    EXPECT_EQ(storedTitles(), (std::vector<QString>{"A", "B", "C", "B"}));
    ASSERT_EQ(gallery->thumbnailArray.size(), 4u);
    Thumbnail* copy = gallery->thumbnailArray[3];
    ASSERT_NE(copy->drawing(), nullptr);
    EXPECT_NE(copy->drawing(), b);
    EXPECT_NE(copy->drawing()->id(), b->id());
    EXPECT_NE(copy->id(), b->thumbnail()->id());
    EXPECT_EQ(copy->drawing()->width(), 24);
    EXPECT_EQ(copy->drawing()->height(), 24);
    EXPECT_EQ(copy->drawing()->colorArray(), b->colorArray());
    EXPECT_EQ(copy->date(), b->thumbnail()->date());
    EXPECT_EQ(copy->imageData(), b->thumbnail()->imageData());
    EXPECT_EQ(copy->drawing()->thumbnail(), copy);
    EXPECT_EQ(gallery->tableView->swipedRow(), -1);
}

TEST_F(GalleryFixture, AReopenedAndSavedDrawingComesLast) {
    Drawing* a = saveNew("A", Color::red());
    saveNew("B");
    saveNew("C");
    // What the editor does when it saves a drawing it was given: new colours, new thumbnail.
    a->setColorArray(colorsOf(Color::blue(), 20));
    saveWithThumbnail(a, "A", Qt::blue);
    open();
    EXPECT_EQ(shownTitles(), (std::vector<QString>{"B", "C", "A"}));
    EXPECT_EQ(gallery->thumbnailArray[2]->drawing()->id(), a->id());
    EXPECT_EQ(gallery->thumbnailArray[2]->drawing()->colorArray(), colorsOf(Color::blue(), 20));
}

TEST_F(GalleryFixture, DeletingTheOnlyRowLeavesTheEmptyState) {
    saveNew("Only");
    open();
    ASSERT_FALSE(gallery->emptyLabel->isVisible());
    // Right-click shows the actions; the mouse presses "Delete".
    QTest::mouseClick(gallery->tableView->viewport(), Qt::RightButton, {},
                      gallery->tableView->rectForRow(0).center());
    QPushButton* remove = actionButton(0, "Delete");
    ASSERT_NE(remove, nullptr);
    QTest::mouseClick(remove, Qt::LeftButton);
    processEvents();
    EXPECT_EQ(gallery->tableView->numberOfRows(), 0);
    EXPECT_TRUE(gallery->emptyLabel->isVisible());
    EXPECT_TRUE(storedTitles().empty());
    app.closeContainer();
    EXPECT_TRUE(storedTitles().empty()) << "gone from the file too";
}

TEST_F(GalleryFixture, AFullSwipeDeletesWithAFingerOrTheMouse) {
    saveNew("A");
    saveNew("B");
    saveNew("C");
    open();
    drag(rowPoint(1, 385), rowPoint(1, 15), true);
    EXPECT_EQ(shownTitles(), (std::vector<QString>{"A", "C"}));
    drag(rowPoint(0, 385), rowPoint(0, 15), false);
    EXPECT_EQ(shownTitles(), std::vector<QString>{"C"});
    EXPECT_EQ(storedTitles(), std::vector<QString>{"C"});
}

TEST_F(GalleryFixture, PictureDataThatDoesNotDecodeLeavesTheTitle) {
    const QByteArray bomb = picture_fixtures::pngDeclaring(100000, 100000);
    for (const auto& [title, data] :
         {std::pair<QString, QByteArray>{"Broken", "not a picture"}, {"Bomb", bomb}}) {
        Drawing* drawing = Drawing::create(colorsOf(Color::red(), 20), 20, 20);
        Thumbnail* thumbnail = Thumbnail::create(title, "today", data);
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
    }
    saveNew("Fine");
    const std::string out = captureStdout([&] { open(); });
    EXPECT_EQ(shownTitles(), (std::vector<QString>{"Broken", "Bomb", "Fine"}));
    for (int row : {0, 1}) {
        auto* cell = static_cast<customTableViewCell*>(gallery->tableView->visibleRow(row));
        EXPECT_TRUE(cell->imgView->pixmap().isNull());
    }
    auto* fine = static_cast<customTableViewCell*>(gallery->tableView->visibleRow(2));
    EXPECT_FALSE(fine->imgView->pixmap().isNull());
    EXPECT_NE(out.find("Gallery: the picture of \u201cBroken\u201d cannot be shown (not a PNG"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\u201cBomb\u201d cannot be shown (100000 x 100000 pixels"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("Fine"), std::string::npos) << out;
}

TEST_F(GalleryFixture, ARowWithoutItsDrawingCanOnlyBeDeleted) {
    saveNew("A");
    Thumbnail* orphan = Thumbnail::create("Orphan", "today", pngOf(Qt::green));
    ASSERT_FALSE(PersistentContainerProvider::applicationViewContext()->save().has_value());
    open();
    ASSERT_EQ(shownTitles(), (std::vector<QString>{"A", "Orphan"}));
    ASSERT_EQ(gallery->thumbnailArray[1]->drawing(), nullptr);

    std::string out = captureStdout([&] { gallery->didSelectRow(gallery->tableView, 1); });
    EXPECT_EQ(stack.topViewController(), gallery) << "nothing opened";
    EXPECT_NE(out.find("missing"), std::string::npos);

    out = captureStdout([&] { gallery->tableView->performSwipeAction(1, 1); });
    EXPECT_EQ(storedTitles(), (std::vector<QString>{"A", "Orphan"})) << "no copy of nothing";
    EXPECT_EQ(gallery->tableView->swipedRow(), -1);

    gallery->tableView->performSwipeAction(1, 0);
    EXPECT_EQ(shownTitles(), std::vector<QString>{"A"});
    EXPECT_EQ(storedTitles(), std::vector<QString>{"A"});
    (void)orphan;
}

TEST_F(GalleryFixture, BackClosesTheGallery) {
    open();
    QPointer<ResultViewController> closing = gallery;
    QPushButton* back = nullptr;
    for (QPushButton* button : gallery->findChildren<QPushButton*>()) {
        if (button->accessibleName() == "Back") {
            back = button;
        }
    }
    ASSERT_NE(back, nullptr);
    QTest::mouseClick(back, Qt::LeftButton);
    processEvents();
    EXPECT_EQ(stack.topViewController(), home);
    EXPECT_TRUE(closing.isNull());
    gallery = nullptr;
}

TEST_F(GalleryFixture, SelectingARowOpensItsDrawingInTheEditorFullScreen) {
    Storyboard::main().registerScreen("draw", [] { return new DrawingViewController; });
    saveNew("A");
    Drawing* b = saveNew("B", Color::blue(), 24);
    saveNew("C");
    open();
    tap(1);
    auto* editor = qobject_cast<DrawingViewController*>(stack.topViewController());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->previousDrawing, b);
    EXPECT_EQ(editor->modalPresentationStyle(), ModalPresentationStyle::fullScreen);
    EXPECT_EQ(editor->geometry(), QRect(0, 0, 390, 844));
    EXPECT_EQ(editor->presentingViewController(), gallery);
    ASSERT_NE(editor->canvasView, nullptr);
    EXPECT_EQ(editor->canvasView->canvas()->width, 24) << "the drawing's own size";
    EXPECT_EQ(editor->canvasView->canvas()->getColorArray(), b->colorArray());
    EXPECT_EQ(gallery->tableView->selectedRow(), -1) << "deselected";
}

TEST_F(GalleryFixture, SavingAReopenedDrawingMovesItLastInTheListShown) {
    Storyboard::main().registerScreen("draw", [] { return new DrawingViewController; });
    Drawing* a = saveNew("A");
    saveNew("B");
    saveNew("C");
    open();
    tap(0);
    auto* editor = qobject_cast<DrawingViewController*>(stack.topViewController());
    ASSERT_NE(editor, nullptr);
    // The user saves through the editor's own alert.
    editor->savePressed();
    auto* alert = qobject_cast<AlertController*>(stack.topViewController());
    ASSERT_NE(alert, nullptr);
    ASSERT_FALSE(alert->textFields().isEmpty());
    alert->textFields().first()->setText("A again");
    ASSERT_TRUE(alert->triggerAction("Save"));
    processEvents();
    ASSERT_EQ(stack.topViewController(), gallery);

    EXPECT_EQ(shownTitles(), (std::vector<QString>{"B", "C", "A again"}));
    EXPECT_EQ(gallery->thumbnailArray.back()->drawing()->id(), a->id());
    EXPECT_EQ(storedTitles(), (std::vector<QString>{"B", "C", "A again"}));
    // Deleting the moved row deletes the drawing for real.
    gallery->tableView->performSwipeAction(2, 0);
    EXPECT_EQ(storedTitles(), (std::vector<QString>{"B", "C"}));
}
