// The home screen and what it opens, and the size a stored setting gives new drawings.
#include "app_fixture.h"
#include "canvas/canvas.h"
#include "editor/drawing_view_controller.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/user_defaults.h"

using HomeTest = AppFixture;

// A start reads the stored size without writing it or opening the store (what it says of
// sizes it cannot use: GridSizeStorageTest), and a new drawing takes it.
TEST_F(HomeTest, TheStoredPositionSetsTheSizeOfANewDrawing) {
    quit();
    UserDefaults::standard().setInteger(7, "stepper");
    EXPECT_EQ(start(), "Settings: the grid size position 7 is not 0, 1 or 2; using 28 x 28.\n");
    EXPECT_FALSE(delegate->hasPersistentContainer());
    EXPECT_EQ(UserDefaults::standard().integerForKey("stepper"), 7);
    press("New drawing");
    auto* editor = top<DrawingViewController>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->canvasView->canvas()->width, 28);
}

// The pixel screen opens once the picker has closed, not during its callback.
TEST_F(HomeTest, PhotoToPixelsOpensThePixelScreenOnlyForAPickedPhoto) {
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(Qt::magenta);
    for (const QVariant& picked : {QVariant(), QVariant("not a picture"), QVariant(photo)}) {
        press("Photo to pixels");
        auto* picker = top<ImagePickerController>();
        ASSERT_NE(picker, nullptr);
        if (picked.isValid()) {
            home()->imagePickerControllerDidFinishPickingMediaWithInfo(
                picker, {{ImagePickerController::originalImageKey, picked}});
            EXPECT_EQ(top(), home());
        } else {
            picker->cancel();
        }
        processEvents();
        EXPECT_EQ(window().screenStack()->depth(), picked.typeId() == QMetaType::QImage ? 2 : 1);
    }
    auto* pixel = top<PixelViewController>();
    ASSERT_NE(pixel, nullptr);
    EXPECT_EQ(pixel->presentingViewController(), home());
    EXPECT_EQ(pixel->sourceImage.size(), photo.size());
    EXPECT_EQ(pixel->sourceImage.pixelColor(5, 5), QColor(Qt::magenta));
}
