#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QPointer>
#include <QPromise>
#include <QRandomGenerator>
#include <deque>
#include <functional>
#include <map>

#include "pixelate/main_queue_clock.h"
#include "pixelate/photo_view.h"
#include "pixelate/pixel_view_controller.h"
#include "test_support.h"

namespace pixelate_test {

// Every pixel an independent random opaque colour, so neighbouring samples differ.
inline QImage randomPixels(int width, int height, quint32 seed = 7) {
    QImage picture(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
        }
    }
    return picture;
}

// Length of the first run of equal pixels in the top row: the block width of a blocky picture.
inline int firstRunLength(const QImage& picture) {
    int x = 1;
    while (x < picture.width() && picture.pixel(x, 0) == picture.pixel(0, 0)) {
        ++x;
    }
    return x;
}

// A clock that stands still until a test moves it; delayed work runs as the time passes it.
class FakeClock : public MainQueueClock {
public:
    static constexpr double start = 1'700'000'000.0;
    double time = start;

    double now() const override { return time; }
    void runAfter(double seconds, QObject* context, std::function<void()> work) override {
        pending_.emplace(time + std::max(0.0, seconds), std::pair{context, std::move(work)});
    }
    // Moves to start + seconds, running due work in time order on the way.
    void advanceTo(double seconds) {
        while (!pending_.empty() && pending_.begin()->first <= start + seconds) {
            auto due = pending_.extract(pending_.begin());
            time = std::max(time, due.key());
            if (due.mapped().first) {
                due.mapped().second();
            }
        }
        time = start + seconds;
    }
    // Sets the time without running anything that falls due.
    void setTime(double seconds) { time = start + seconds; }

private:
    std::multimap<double, std::pair<QPointer<QObject>, std::function<void()>>> pending_;
};

// A render queue whose jobs run only when a test finishes them, in any order it likes.
class ManualRenderQueue {
public:
    PixelViewController::RenderQueue queue() {
        return [this](std::function<QImage()> work) {
            Job& job = jobs_.emplace_back();
            job.work = std::move(work);
            job.promise.start();
            return job.promise.future();
        };
    }
    size_t size() const { return jobs_.size(); }
    void finish(size_t index) {
        Job& job = jobs_.at(index);
        if (!job.promise.future().isFinished()) {
            job.promise.addResult(job.work());
            job.promise.finish();
        }
    }
    // Ends a job without a result, as a queue does with a render that was superseded.
    void cancel(size_t index) {
        Job& job = jobs_.at(index);
        job.promise.future().cancel();
        job.promise.finish();
    }
    void finishAll() {
        for (size_t i = 0; i < jobs_.size(); ++i) {
            finish(i);
        }
    }

private:
    struct Job {
        std::function<QImage()> work;
        QPromise<QImage> promise;  // cancelled when dropped unfinished
    };
    std::deque<Job> jobs_;
};

// A pixel screen whose clock and render queue the test drives.
struct PixelScreen : testing::Test {
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    ManualRenderQueue renders;
    QPointer<PixelViewController> screen = new PixelViewController;

    void SetUp() override {
        screen->resize(390, 844);
        screen->setClock(clock);
        screen->setRenderQueue(renders.queue());
    }
    void TearDown() override { delete screen.data(); }

    QImage preview() const { return screen->previewImageView->image(); }
    void slide(int value) { screen->pixelSizeSlider->setValue(value); }
    // Runs every queued render and delivers the results.
    void finishRenders() {
        renders.finishAll();
        processEvents();
    }
    // Moves the slider at a time past the throttle and shows the render: its block width.
    int showBlocks(double time, int value) {
        clock->setTime(time);
        slide(value);
        finishRenders();
        return firstRunLength(preview());
    }
};

}  // namespace pixelate_test
