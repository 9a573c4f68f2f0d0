// A title is text the user typed, or whatever the store holds: the gallery shows it as it is
// stored and never reads it as markup (an <img> would pull a local file into the row).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "editor/drawing_view_controller.h"
#include "gallery/custom_table_view_cell.h"
#include "gallery/result_view_controller.h"
#include "picture_fixtures.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"

namespace {
void saveTitled(const QString& title) {
    Drawing* drawing = Drawing::create(std::vector<Color>(size_t(20 * 20), Color::white()), 20, 20);
    QImage image(60, 60, QImage::Format_ARGB32);
    image.fill(Qt::white);
    Thumbnail* thumbnail =
        Thumbnail::create(title, "1 May 2024 at 10:00", picture_fixtures::encoded(image, "png"));
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, nullptr);
}

int redPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    }
    return count;
}
}  // namespace

TEST(GalleryTitleTest, TitlesAreShownAsPlainTextExactlyAsStored) {
    ScopedDataDir dir;
    StoreTestDelegate app;
    QTemporaryDir files;
    const QString red = files.filePath("red.png");
    QImage redImage(200, 40, QImage::Format_RGB32);
    redImage.fill(Qt::red);
    ASSERT_TRUE(redImage.save(red));
    const QStringList stored = {QString("<img src=\"%1\">").arg(red), "<b>bold</b> & <i>more",
                                "Plain"};
    for (const QString& title : stored) {
        saveTitled(title);
    }

    Storyboard::main().registerScreen("draw", [] { return new DrawingViewController; });
    ScreenStack stack;
    stack.resize(390, 844);
    auto* home = new PlatformViewController;
    stack.setRootViewController(home);
    stack.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&stack));
    auto* gallery = new ResultViewController;
    home->present(gallery, true);
    processEvents();

    for (int row = 0; row < stored.size(); ++row) {
        SCOPED_TRACE(row);
        auto* cell = static_cast<customTableViewCell*>(gallery->tableView->visibleRow(row));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->label->text().toStdString(), stored[row].toStdString());
        const QImage shown = cell->label->grab().toImage();
        EXPECT_EQ(redPixels(shown), 0) << "the row drew the file its title names";
    }
}
