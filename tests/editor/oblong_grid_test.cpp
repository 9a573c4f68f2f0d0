// Grids that are not square in the real editor: zoom and pan limits, and the shared picture's
// and the thumbnail's shape (the pipette's magnifier reads a turned tall grid's cells).
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>

#include "oblong_editor.h"
#include "screens/activity_view_controller.h"
#include "store/core_data_manager.h"
#include "store/thumbnail.h"

namespace {
constexpr double kScreenWidth = 390;
constexpr double kScreenHeight = 844;
constexpr double kNotch = 1.2;  // the wheel's zoom per notch

struct GridSize {
    int64_t width;
    int64_t height;
};

}  // namespace

// Zooming out stops at the first step at which the whole grid, as it stands on screen, fits
// in three quarters of the screen both ways; zooming in stops once a cell passes a quarter of
// the screen's width. A tall grid is fitted by its height, so measured by its width alone it
// could not zoom out at all; turned a quarter it lies across the screen.
TEST_F(OblongEditorTest, ZoomStopsByTheGridAsItStandsOnScreen) {
    for (const GridSize size : {GridSize{4, 256}, GridSize{256, 4}, GridSize{16, 64},
                                GridSize{8, 8}, GridSize{256, 256}}) {
        for (const DeviceOrientation orientation :
             {DeviceOrientation::portrait, DeviceOrientation::landscapeLeft,
              DeviceOrientation::landscapeRight}) {
            SCOPED_TRACE(testing::Message()
                         << size.width << " x " << size.height << ", turn " << int(orientation));
            open(size.width, size.height);
            turn(orientation);
            const QSizeF fitted = shown().size();
            const auto fits = [](QSizeF grid) {
                return grid.width() < 0.75 * kScreenWidth && grid.height() < 0.75 * kScreenHeight;
            };
            wheel(-60);
            const QSizeF out = shown().size();
            EXPECT_TRUE(fits(out)) << out.width() << " x " << out.height();
            // Not a step further than needed; a grid that fits as it is stays as it is.
            if (fits(fitted)) {
                EXPECT_TRUE(out == fitted)
                    << "zoomed out to " << out.width() << " x " << out.height();
            } else {
                EXPECT_FALSE(fits(out * kNotch * (1 + 1e-9)))
                    << "stopped late at " << out.width() << " x " << out.height();
            }
            wheel(80);
            // A quarter of the screen's width as the user holds it.
            const double across =
                orientation == DeviceOrientation::portrait ? kScreenWidth : kScreenHeight;
            EXPECT_GE(cellSide(), 0.25 * across);
            EXPECT_LE(cellSide(), 0.25 * across * kNotch + 1e-6);
            EXPECT_NEAR(canvas().position().x(), middle().x(), 1e-6);
        }
    }
}

// Two fingers pinched onto one point make a factor of 0 and then ones that are not numbers:
// the canvas stays shown and the next pinch zooms it as ever.
TEST_F(OblongEditorTest, FingersPinchedOntoOnePointLeaveTheCanvasZoomable) {
    open(256, 4);
    const auto pinch = [&](std::initializer_list<int> spreads) {
        const auto fingers = [](int apart) {
            return std::pair(QPoint(195 - apart / 2, 422), QPoint(195 + apart / 2, 422));
        };
        auto [a, b] = fingers(*spreads.begin());
        touch().press(0, a, target()).press(1, b, target());
        for (auto apart = spreads.begin() + 1; apart != spreads.end(); ++apart) {
            std::tie(a, b) = fingers(*apart);
            touch().move(0, a, target()).move(1, b, target());
        }
        touch().release(0, a, target()).release(1, b, target());
    };
    pinch({200, 180, 0, 0, 260});
    const double after = canvas().xScale();
    ASSERT_TRUE(std::isfinite(after) && after > 0) << after;
    EXPECT_GT(shown().width(), 10);
    pinch({100, 120, 240});
    EXPECT_GT(canvas().xScale(), after * 1.5);
}

// Turned a quarter, a tall grid lies across the screen: it pans sideways as far as it is wide
// there, and up and down only as far as it is high.
TEST_F(OblongEditorTest, ATurnedGridPansAsFarAsItReachesOnScreen) {
    for (const DeviceOrientation orientation :
         {DeviceOrientation::landscapeLeft, DeviceOrientation::landscapeRight}) {
        SCOPED_TRACE(int(orientation));
        open(4, 256);
        turn(orientation);
        const QRectF grid = shown();
        ASSERT_GT(grid.width(), kScreenWidth);
        const QPointF start = canvas().position();
        pan(QPointF(280, 0));
        EXPECT_GT(canvas().position().x() - start.x(), 250);
        pan(QPointF(-600, 0));
        EXPECT_LT(canvas().position().x() - start.x(), -grid.width() / 2 + 30);
        EXPECT_GE(canvas().position().x() - start.x(), -grid.width() / 2);
        pan(QPointF(0, 120));
        EXPECT_LE(std::abs(canvas().position().y() - start.y()), grid.height() / 2);
    }
}

// The shared picture keeps 1000 points on its longer side and square cells. The sheet's size choice
// says the picture's real size, and the clipboard gets the same picture.
TEST_F(OblongEditorTest, TheSharedAndCopiedPictureKeepsTheGridsShape) {
    // The exporter's own test sizes the picture for every shape of grid.
    for (const auto& [size, pixels] : {std::pair{GridSize{37, 5}, QSize(1000, 135)}}) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        open(size.width, size.height);
        editor->shareDrawing();
        processEvents();
        auto* sheet =
            qobject_cast<ActivityViewController*>(window.screenStack()->topViewController());
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet->activityItems().size(), 1);
        const QImage shared = sheet->activityItems().front();
        EXPECT_EQ(shared.size(), pixels);
        ASSERT_TRUE(sheet->saveAsSizeBox());
        EXPECT_EQ(sheet->saveAsSizeBox()->itemText(0).toStdString(),
                  QStringLiteral("1000 points (%1 \u00D7 %2 pixels)")
                      .arg(pixels.width())
                      .arg(pixels.height())
                      .toStdString());
        sheet->closeSheet();
        processEvents();

        editor->copyPictureToClipboard();
        EXPECT_EQ(QGuiApplication::clipboard()->image().size(), pixels);
    }
}

// The gallery's thumbnail stays square; a grid that is not keeps square cells in the middle,
// with clear room on either side, instead of being stretched.
TEST_F(OblongEditorTest, TheThumbnailKeepsSquareCellsInItsSquare) {
    std::vector<Color> colours(16 * 64, Color::white());
    colours[0] = Color::red();             // bottom left
    colours[16 * 64 - 1] = Color::blue();  // top right
    open(16, 64, colours);
    editor->saveCurrentDrawing(QStringLiteral("tall"));
    processEvents();
    const auto thumbnails = CoreDataManager::loadThumbnails();
    ASSERT_TRUE(thumbnails && thumbnails->size() == 1);
    const QImage image = QImage::fromData(thumbnails->front()->imageData());
    ASSERT_EQ(image.width(), image.height());
    const int side = image.width();
    // The height fills the square; the drawn part, a quarter of the width, is centred.
    const double cell = side / 64.0;
    const double left = (side - 16 * cell) / 2;
    EXPECT_EQ(image.pixelColor(int(left) - 2, side / 2).alpha(), 0);
    EXPECT_EQ(image.pixelColor(int(side - left) + 2, side / 2).alpha(), 0);
    EXPECT_EQ(image.pixelColor(int(left + cell / 2), int(side - cell / 2)), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(int(side - left - cell / 2), int(cell / 2)), QColor(Qt::blue));
}
