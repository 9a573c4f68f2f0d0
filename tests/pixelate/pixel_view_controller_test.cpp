#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include "pixelate/photo_view.h"
#include "pixelate/pixel_view_controller.h"
#include "pixelate/resampler.h"
#include "pixelate_test_support.h"
#include "test_support.h"

using pixelate_test::FakeClock;
using pixelate_test::firstRunLength;
using pixelate_test::ManualRenderQueue;
using pixelate_test::randomPixels;
using pixelate_test::samplePhoto;

namespace {

struct PixelScreen : testing::Test {
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    ManualRenderQueue renders;
    std::unique_ptr<PixelViewController> screen = std::make_unique<PixelViewController>();

    void SetUp() override {
        screen->resize(390, 844);
        screen->setClock(clock);
        screen->setRenderQueue(renders.queue());
    }
    void TearDown() override { screen.reset(); }

    QImage preview() const { return screen->previewImageView->image(); }
    void slide(int value) { screen->pixelSizeSlider->setValue(value); }
    // Runs every queued render and delivers the results.
    void finishRenders() {
        renders.finishAll();
        processEvents();
    }
    template <typename T>
    T* child(const char* name) const {
        return screen->findChild<T*>(QString::fromLatin1(name));
    }
};

}  // namespace

TEST_F(PixelScreen, LayoutConnectsOutletsActionsAndNamesEveryControl) {
    ASSERT_TRUE(screen->pixelSizeSlider);
    ASSERT_TRUE(screen->backgroundImageView);
    ASSERT_TRUE(screen->previewImageView);
    for (QWidget* control : screen->findChildren<QAbstractButton*>()) {
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
    }
    EXPECT_EQ(screen->pixelSizeSlider->accessibleName(), "Block size");
    EXPECT_FALSE(child<QPushButton>("shareButton")->isEnabled());  // nothing to share yet

    // The slider's value change reaches sliderAction through the layout's wiring.
    screen->loadSourceImage(randomPixels(40, 30), false);
    EXPECT_TRUE(child<QPushButton>("shareButton")->isEnabled());
    const size_t before = renders.size();
    clock->setTime(1);
    slide(4);
    EXPECT_EQ(renders.size(), before + 1);
    EXPECT_EQ(child<QLabel>("blockSizeValueLabel")->text(), "4");
}

TEST_F(PixelScreen, LoadsThePhotoHalfASecondAfterTheViewLoads) {
    const QImage photo = samplePhoto(1200, 1600);
    screen->sourceImage = photo;
    screen->loadViewIfNeeded();

    clock->advanceTo(0.49);
    EXPECT_TRUE(preview().isNull());
    EXPECT_EQ(screen->sourceImage.cacheKey(), photo.cacheKey());

    clock->advanceTo(0.5);
    // The background shows the normalised photo, now the source; the preview shows the photo.
    const int width = screen->previewImageView->width();
    ASSERT_GT(width, 0);
    EXPECT_EQ(screen->sourceImage.size(), QSize(width, width * 4 / 3));
    EXPECT_EQ(screen->backgroundImageView->image().cacheKey(), screen->sourceImage.cacheKey());
    EXPECT_EQ(preview().cacheKey(), photo.cacheKey());

    // Then the slider's value (0) renders: the normalised picture itself.
    ASSERT_EQ(renders.size(), 1u);
    finishRenders();
    EXPECT_EQ(preview().cacheKey(), screen->sourceImage.cacheKey());
}

TEST_F(PixelScreen, NormalisesToThePreviewWidthAtTheScreenScale) {
    pixelate_test::ScopedScreen scale(3);
    screen->loadSourceImage(randomPixels(3024, 4032), false);
    EXPECT_EQ(screen->previewImageView->width(), 390);
    EXPECT_EQ(screen->sourceImage.size(), QSize(390, 520));
    EXPECT_EQ(screen->sourceImage.devicePixelRatio(), 1.0);

    // A render at 10 makes the 3510 x 4680 picture of 30 pixel blocks.
    clock->setTime(1);
    slide(10);
    finishRenders();
    EXPECT_EQ(preview().size(), QSize(3510, 4680));
    EXPECT_EQ(firstRunLength(preview()), 30);
}

TEST_F(PixelScreen, ThrottleDropsRequestsWithinTheThresholdAndAcceptsLaterOnes) {
    screen->loadSourceImage(randomPixels(390, 520), false);  // renders 0 at time 0
    ASSERT_EQ(renders.size(), 1u);

    clock->setTime(0.05);
    slide(5);
    EXPECT_EQ(renders.size(), 1u);  // too soon
    clock->setTime(0.1);
    slide(6);
    EXPECT_EQ(renders.size(), 1u);  // not later than the threshold either
    EXPECT_DOUBLE_EQ(*screen->lastPixelizationTimestamp, FakeClock::start);

    clock->setTime(0.2);
    slide(7);
    ASSERT_EQ(renders.size(), 2u);  // accepted, and it stands in for the held-back 6
    EXPECT_DOUBLE_EQ(*screen->lastPixelizationTimestamp, FakeClock::start + 0.2);
    clock->advanceTo(1);
    EXPECT_EQ(renders.size(), 2u);
    finishRenders();
    EXPECT_EQ(firstRunLength(preview()), 7);
}

TEST_F(PixelScreen, TheLastPositionOfAFastMovementIsRenderedOnceTheThresholdPasses) {
    screen->loadSourceImage(randomPixels(390, 520), false);
    for (int step = 1; step <= 6; ++step) {
        clock->setTime(0.015 * step);
        slide(step * 2);  // 2, 4, ... 12, all within 0.1 s of the first render
    }
    EXPECT_EQ(renders.size(), 1u);

    clock->advanceTo(0.099);
    EXPECT_EQ(renders.size(), 1u);
    clock->advanceTo(0.2);
    ASSERT_EQ(renders.size(), 2u);  // one trailing render, of the final position
    clock->advanceTo(2);
    EXPECT_EQ(renders.size(), 2u);
    finishRenders();
    EXPECT_EQ(firstRunLength(preview()), 12);
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST_F(PixelScreen, AnOlderResultNeverReplacesANewerOne) {
    screen->loadSourceImage(randomPixels(390, 520), false);
    finishRenders();
    clock->setTime(1);
    slide(3);
    clock->setTime(2);
    slide(9);
    ASSERT_EQ(renders.size(), 3u);

    renders.finish(2);  // the newer render finishes first
    processEvents();
    EXPECT_EQ(firstRunLength(preview()), 9);
    renders.finish(1);
    processEvents();
    EXPECT_EQ(firstRunLength(preview()), 9);
    EXPECT_TRUE(child<QPushButton>("shareButton")->isEnabled());
}

TEST_F(PixelScreen, RendersUseThePictureOfTheirRequestAndANewPhotoOutranksThem) {
    const QImage first = randomPixels(390, 520, 1);
    screen->loadSourceImage(first, false);
    finishRenders();
    clock->setTime(1);
    slide(10);
    ASSERT_EQ(renders.size(), 2u);
    const QImage normalisedFirst = screen->sourceImage;

    // The source is replaced while the render is queued; the render still sees the old one.
    screen->sourceImage = randomPixels(390, 520, 2);
    renders.finish(1);
    processEvents();
    EXPECT_EQ(preview(), Resampler::pixelated(normalisedFirst, 10, 1));

    // A render of the old photo finishing after a new photo is loaded does not cover it.
    clock->setTime(2);
    screen->loadSourceImage(first, false);
    finishRenders();
    clock->setTime(3);
    slide(20);
    const size_t oldRender = renders.size() - 1;
    slide(0);
    const QImage second = samplePhoto(390, 520);
    clock->setTime(4);
    screen->loadSourceImage(second, false);
    renders.finish(oldRender);
    processEvents();
    EXPECT_EQ(preview().cacheKey(), second.cacheKey());
    finishRenders();
    EXPECT_EQ(preview().cacheKey(), screen->sourceImage.cacheKey());
    EXPECT_EQ(screen->backgroundImageView->image().cacheKey(), screen->sourceImage.cacheKey());
}

TEST_F(PixelScreen, RefusesEnormousPhotosWithAMessageAndKeepsWhatItShows) {
    const QImage photo = randomPixels(300, 400);
    screen->loadSourceImage(photo, false);
    finishRenders();
    const qint64 shown = preview().cacheKey();

    std::string output = captureStdout([&] {
        screen->loadSourceImage(
            QImage(PixelViewController::maxPhotoSide + 1, 4, QImage::Format_RGB32), false);
    });
    EXPECT_NE(screen->message().indexOf("too large"), -1);
    EXPECT_NE(output.find("too large"), std::string::npos);
    EXPECT_EQ(preview().cacheKey(), shown);

    // A sliver that cannot be normalised is refused too.
    captureStdout([&] { screen->loadSourceImage(QImage(19000, 1, QImage::Format_RGB32), false); });
    EXPECT_NE(screen->message().indexOf("too narrow or too tall"), -1);
    EXPECT_EQ(preview().cacheKey(), shown);

    // A good photo clears the message.
    screen->loadSourceImage(photo, false);
    EXPECT_TRUE(screen->message().isEmpty());
}

TEST_F(PixelScreen, SliderMovesBeforeTheFirstLoadRenderNothing) {
    // The home screen's photo is still full size here; a render of it would be huge.
    screen->sourceImage = randomPixels(3024, 4032);
    screen->loadViewIfNeeded();
    slide(10);
    EXPECT_EQ(renders.size(), 0u);
    clock->advanceTo(0.5);
    ASSERT_EQ(renders.size(), 1u);
    finishRenders();
    EXPECT_EQ(firstRunLength(preview()), 10);
}

TEST_F(PixelScreen, ShowsThePhotoAndItsBlocksOnScreen) {
    screen->show();
    screen->loadSourceImage(samplePhoto(1512, 2016), false);
    finishRenders();
    processEvents();
    const QImage plain = screen->grab().toImage();
    plain.save("/tmp/pixelate_screen_v0.png");

    clock->setTime(1);
    slide(10);
    finishRenders();
    processEvents();
    const QImage blocky = screen->grab().toImage().convertToFormat(QImage::Format_RGB32);
    blocky.save("/tmp/pixelate_screen_v10.png");

    // The preview spans the screen's width, and on screen its blocks are 10 pixels square.
    const QRect preview = screen->previewImageView->geometry().translated(
        screen->previewImageView->parentWidget()->mapTo(screen.get(), QPoint(0, 0)));
    const QRectF drawn = screen->previewImageView->imageRect().translated(preview.topLeft());
    ASSERT_EQ(drawn.width(), 390);
    const QPoint origin = drawn.topLeft().toPoint();
    int uneven = 0;
    for (int by = 0; by < 50; ++by) {
        for (int bx = 0; bx < 39; ++bx) {
            const QPoint corner = origin + QPoint(bx * 10, by * 10);
            const QRgb colour = blocky.pixel(corner);
            for (QPoint inside : {QPoint(9, 0), QPoint(0, 9), QPoint(9, 9), QPoint(4, 5)}) {
                uneven += blocky.pixel(corner + inside) != colour;
            }
        }
    }
    EXPECT_EQ(uneven, 0);
    // Without blocks the same spot shows the smooth photo, which changes along its rows.
    EXPECT_NE(plain.copy(drawn.toRect()), blocky.copy(drawn.toRect()));
}

TEST_F(PixelScreen, RendersOnTheBackgroundQueueAndSurvivesClosingMidRender) {
    // The real queue: the result comes back to the main thread on its own.
    screen->setRenderQueue(PixelViewController::backgroundRenderQueue());
    screen->loadSourceImage(randomPixels(390, 520), false);
    clock->setTime(1);
    slide(6);
    QElapsedTimer waited;
    waited.start();
    while (firstRunLength(preview()) != 6 && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(firstRunLength(preview()), 6);

    // A render that finishes after its screen has gone is dropped quietly.
    screen->setRenderQueue(renders.queue());
    clock->setTime(2);
    slide(8);
    ASSERT_EQ(renders.size(), 1u);
    screen.reset();
    finishRenders();
}
