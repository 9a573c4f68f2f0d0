#include <gtest/gtest.h>

#include "pixelate/photo_view.h"
#include "platform/animation.h"
#include "test_support.h"

namespace {

QImage filled(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Animations are off in tests; this turns them on for one test.
struct AnimationsOn {
    AnimationsOn() { Animation::setEnabled(true); }
    ~AnimationsOn() { Animation::setEnabled(false); }
};

}  // namespace

TEST(PhotoView, FitsOrFillsThePictureCentredInItsBounds) {
    PhotoView view;
    view.resize(300, 600);
    EXPECT_TRUE(view.imageRect().isEmpty());

    view.setImage(filled(400, 200, Qt::red));
    EXPECT_EQ(view.imageRect(), QRectF(0, 225, 300, 150));
    view.setAspectFill(true);
    EXPECT_EQ(view.imageRect(), QRectF(-450, 0, 1200, 600));

    // What is drawn matches: the fitted picture is centred, with the view's own background above
    // and below.
    view.setAspectFill(false);
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(shot.pixelColor(150, 300), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(150, 100), QColor(Qt::red));
}

TEST(PhotoView, CrossDissolvesToTheNewPictureAndSettlesOnIt) {
    AnimationsOn animations;
    PhotoView view;
    view.resize(100, 100);
    view.show();
    const QImage red = filled(10, 10, Qt::red);
    const QImage blue = filled(10, 10, Qt::blue);
    view.setImage(red);

    view.transition(blue, 0.5);
    EXPECT_TRUE(view.isTransitioning());
    EXPECT_EQ(view.image().cacheKey(), blue.cacheKey());
    // Setting the picture it is fading to lets the fade run on.
    view.setImage(blue);
    EXPECT_TRUE(view.isTransitioning());
    // A new fade from the middle of one, then an immediate change, ends on the last picture.
    view.transition(red, 0.5);
    view.setImage(filled(10, 10, Qt::green));
    EXPECT_FALSE(view.isTransitioning());
    processEvents();
    EXPECT_EQ(view.grab().toImage().pixelColor(50, 50), QColor(Qt::green));

    // Without animations the change is immediate.
    Animation::setEnabled(false);
    view.transition(blue, 0.5);
    EXPECT_FALSE(view.isTransitioning());
    EXPECT_EQ(view.grab().toImage().pixelColor(50, 50), QColor(Qt::blue));
}
