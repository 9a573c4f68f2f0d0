#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QThread>
#include <atomic>
#include <vector>

#include "pixelate/pixel_view_controller.h"

// The screen's own queue runs renders one after another, each once the main thread has taken
// the result before it, and hands every result back in the order the renders were asked for.
TEST(BackgroundRenderQueue, RunsOneRenderAtATimeAndDeliversEveryResultInOrder) {
    const PixelViewController::RenderQueue queue = PixelViewController::backgroundRenderQueue();
    std::atomic<int> running = 0;
    std::atomic<int> mostAtOnce = 0;
    std::vector<int> delivered;
    std::vector<QFutureWatcher<QImage>*> watchers;
    for (int i = 1; i <= 4; ++i) {
        QFuture<QImage> future = queue([&running, &mostAtOnce, i] {
            mostAtOnce = std::max(mostAtOnce.load(), ++running);
            QThread::msleep(20);
            --running;
            return QImage(i, 1, QImage::Format_RGB32);
        });
        auto* watcher = new QFutureWatcher<QImage>;
        QObject::connect(watcher, &QFutureWatcherBase::finished,
                         [watcher, &delivered] { delivered.push_back(watcher->result().width()); });
        watcher->setFuture(future);
        watchers.push_back(watcher);
    }
    QElapsedTimer waited;
    waited.start();
    while (delivered.size() < 4 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(delivered, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(mostAtOnce.load(), 1);
    for (auto* watcher : watchers) {
        delete watcher;
    }
}
