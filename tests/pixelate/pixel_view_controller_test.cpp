#include <gtest/gtest.h>

#include <QFutureWatcher>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <set>

#include "pixelate/resampler.h"
#include "pixelate_test_support.h"
#include "platform/screen_metrics.h"
#include "screenshot.h"

using namespace pixelate_test;

TEST_F(PixelScreen, LoadsThePhotoHalfASecondAfterTheViewLoadsAndRendersNothingBefore) {
    // The home screen's photo is still full size here; a render of it would be huge.
    const QImage photo = randomPixels(1200, 1600);
    screen->sourceImage = photo;
    screen->loadViewIfNeeded();
    slide(10);
    clock->advanceTo(0.49);
    EXPECT_EQ(renders.size(), 0u);
    EXPECT_TRUE(preview().isNull());

    clock->advanceTo(0.5);
    // The background shows the normalised photo, now the source; the preview the photo itself.
    const int width = screen->previewImageView->width();
    ASSERT_GT(width, 0);
    EXPECT_EQ(screen->sourceImage.size(), QSize(width, width * 4 / 3));
    EXPECT_EQ(screen->backgroundImageView->image().cacheKey(), screen->sourceImage.cacheKey());
    EXPECT_EQ(preview().cacheKey(), photo.cacheKey());
    ASSERT_EQ(renders.size(), 1u);  // then the slider's value renders
    finishRenders();
    EXPECT_EQ(firstRunLength(preview()), 10);
}

// A 390-point preview on a scale 3 screen: a 3024 x 4032 photo becomes 390 x 520 pixels, and
// block size 10 makes 30 x 30 pixel blocks of it, 3510 x 4680 in all.
TEST_F(PixelScreen, NormalisesToThePreviewWidthAndRendersThirtyPixelBlocksAtScaleThree) {
    ScreenMetrics::configure(ScreenMetrics{390, 844, 3});
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    screen->loadSourceImage(randomPixels(3024, 4032), false);
    EXPECT_EQ(screen->sourceImage.size(), QSize(390, 520));
    EXPECT_EQ(showBlocks(1, 10), 30);  // neighbours differ, so blocks are not wider
    EXPECT_EQ(preview().size(), QSize(3510, 4680));
}

TEST_F(PixelScreen, ThrottleDropsRequestsWithinTheThresholdAndRendersTheLastOneAfterIt) {
    screen->loadSourceImage(randomPixels(390, 520), false);  // renders 0 at time 0
    ASSERT_EQ(renders.size(), 1u);
    clock->setTime(0.05);
    slide(5);
    clock->setTime(0.1);  // not later than the threshold either
    slide(6);
    EXPECT_EQ(renders.size(), 1u);
    clock->setTime(0.2);
    slide(7);
    EXPECT_EQ(renders.size(), 2u);  // accepted, and it stands in for the held-back 6
    finishRenders();
    EXPECT_EQ(firstRunLength(preview()), 7);
    // The held-back request is not rendered again later.
    clock->advanceTo(3);
    EXPECT_EQ(renders.size(), 2u);
}

// The throttle measures time passed: a clock set back (by hand, or by the network) neither
// holds the preview nor delays the render after a fast movement.
TEST_F(PixelScreen, AClockSetBackNeitherHoldsNorDelaysTheThrottle) {
    clock->setTime(100);
    screen->loadSourceImage(randomPixels(390, 520), false);
    ASSERT_EQ(renders.size(), 1u);
    clock->setTime(1);  // 99 seconds back
    slide(5);
    EXPECT_EQ(renders.size(), 2u);
    clock->setTime(1.05);
    slide(6);
    EXPECT_EQ(renders.size(), 2u);
    clock->advanceTo(1.2);
    EXPECT_EQ(renders.size(), 3u);
    finishRenders();
    EXPECT_EQ(firstRunLength(preview()), 6);
}

TEST(MainQueueClock, ReadsASteadyClockThatNeverGoesBack) {
    // A clock that follows the wall clock jumps when the time of day is set.
    EXPECT_TRUE(MainQueueClock::Source::is_steady);
}

// Renders slower than the slider: each works on the picture it was asked for, even if that is
// replaced meanwhile; a newer result is shown, an older one after it is not, one the queue
// dropped changes nothing, and a new photo outranks them all.
TEST_F(PixelScreen, RendersWorkOnTheirRequestsPictureAndNeverCoverANewerOne) {
    screen->loadSourceImage(randomPixels(390, 520, 1), false);
    finishRenders();
    const QImage normalised = screen->sourceImage;
    for (int second = 1; second <= 4; ++second) {
        clock->setTime(second);
        slide(second * 3);  // renders 1 to 4 of blocks 3, 6, 9, 12
    }
    ASSERT_EQ(renders.size(), 5u);
    screen->sourceImage = randomPixels(390, 520, 2);
    renders.finish(2);
    processEvents();
    EXPECT_EQ(preview(), Resampler::pixelated(normalised, 6, 1));
    renders.finish(1);
    renders.cancel(3);
    processEvents();
    EXPECT_EQ(firstRunLength(preview()), 6);

    const QImage photo = randomPixels(390, 520, 3);
    clock->setTime(5);
    screen->loadSourceImage(photo, false);
    renders.finish(4);
    processEvents();
    EXPECT_EQ(preview().cacheKey(), photo.cacheKey());
    finishRenders();
    EXPECT_EQ(preview(), Resampler::pixelated(screen->sourceImage, 12, 1));
}

// Block 9 does not divide the 390-point preview, so the picture is not drawn at its own size:
// it is placed nearest neighbour, every pixel on screen a colour of the render and none a blend
// of two. A render at scale 3 is shrunk to the preview's pixels the same way.
TEST_F(PixelScreen, ShowsBlocksThatDoNotDivideThePreviewWithoutBlendedSeams) {
    const auto phone = qScopeGuard([] { ScreenMetrics::configure(ScreenMetrics::phone()); });
    screen->show();
    for (const auto& [scale, blockSize] : {std::pair{1.0, 9}, {3.0, 7}}) {
        SCOPED_TRACE(scale);
        ScreenMetrics::configure(ScreenMetrics{390, 844, scale});
        const double time = 10 * scale;
        showBlocks(time, 0);
        clock->setTime(time + 1);
        screen->loadSourceImage(randomPixels(1170, 1560, 5), false);
        finishRenders();
        ASSERT_EQ(showBlocks(time + 2, blockSize), blockSize * static_cast<int>(scale));
        saveScreenshotIfAsked(*screen, "pixelate_blocks_9");
        const QImage result = preview();
        const auto* first = reinterpret_cast<const QRgb*>(result.constBits());
        const std::set<QRgb> colours(first, first + result.width() * result.height());
        const QImage shot =
            screen->previewImageView->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect inside =
            screen->previewImageView->imageRect().toAlignedRect().adjusted(1, 1, -1, -1) &
            shot.rect();
        int blended = 0;
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            for (int x = inside.left(); x <= inside.right(); ++x) {
                blended += !colours.count(shot.pixel(x, y) | 0xff000000u);
            }
        }
        EXPECT_EQ(blended, 0);
    }
}

TEST_F(PixelScreen, RendersOnTheBackgroundQueueAndSurvivesClosingMidRender) {
    // The real queue: the result comes back to the main thread on its own.
    screen->setRenderQueue(PixelViewController::backgroundRenderQueue());
    screen->loadSourceImage(randomPixels(390, 520), false);
    clock->setTime(1);
    slide(6);
    EXPECT_TRUE(QTest::qWaitFor([&] { return firstRunLength(preview()) == 6; }, 10000));

    // A render that finishes after its screen has gone is dropped quietly.
    screen->setRenderQueue(renders.queue());
    clock->setTime(2);
    slide(8);
    ASSERT_EQ(renders.size(), 1u);
    delete screen.data();
    finishRenders();
}

// The screen's own queue runs renders one after another, each begun only once the main thread
// has taken the result before it (so no more than two full-size results exist at once). Of the
// renders asked for while one runs, only the latest waits: the ones it overtook end cancelled
// without running, so the preview never steps through stale positions.
TEST(BackgroundRenderQueue, RunsOneRenderAtATimeAndOnlyTheLatestWaits) {
    const PixelViewController::RenderQueue queue = PixelViewController::backgroundRenderQueue();
    QSemaphore firstMayEnd;
    std::atomic<int> ran = 0;  // one bit per render
    std::atomic<int> startedEarly = 0;
    std::atomic<int> taken = 0;
    std::vector<int> delivered;
    std::vector<std::unique_ptr<QFutureWatcher<QImage>>> watchers;
    const auto ask = [&](int i) {
        auto* watcher = watchers.emplace_back(new QFutureWatcher<QImage>).get();
        QObject::connect(watcher, &QFutureWatcherBase::finished, [watcher, &delivered, &taken] {
            if (!watcher->isCanceled()) {
                delivered.push_back(watcher->result().width());
            }
            ++taken;
        });
        watcher->setFuture(queue([&, i] {
            if (i == 1) {
                firstMayEnd.acquire();
            } else {
                startedEarly += taken.load() == 0;
                QThread::msleep(20);  // time for another one to start too early
            }
            ran |= 1 << i;
            return QImage(i, 1, QImage::Format_RGB32);
        }));
    };
    for (int i = 1; i <= 5; ++i) {
        ask(i);
    }
    firstMayEnd.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return taken.load() == 5; }, 5000));
    EXPECT_EQ(delivered, (std::vector<int>{1, 5}));
    EXPECT_EQ(ran.load(), 1 << 1 | 1 << 5);
    for (int i = 2; i <= 4; ++i) {
        EXPECT_TRUE(watchers[i - 1]->isCanceled()) << i;
    }
    // An idle queue starts the next render at once.
    ask(6);
    EXPECT_TRUE(QTest::qWaitFor([&] { return taken.load() == 6; }, 5000));
    EXPECT_EQ(delivered.back(), 6);
    EXPECT_EQ(startedEarly.load(), 0);
}
