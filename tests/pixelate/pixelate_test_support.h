#pragma once

#include <QColor>
#include <QFuture>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPromise>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "pixelate/main_queue_clock.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/screen_metrics.h"

namespace pixelate_test {

// A landscape drawn with gradients and shapes, standing in for a camera photo.
inline QImage samplePhoto(int width, int height) {
    QImage photo(width, height, QImage::Format_RGB32);
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = width;
    const qreal h = height;
    QLinearGradient sky(0, 0, 0, h * 0.65);
    sky.setColorAt(0, QColor(38, 64, 140));
    sky.setColorAt(0.6, QColor(236, 120, 92));
    sky.setColorAt(1, QColor(255, 204, 128));
    painter.fillRect(photo.rect(), sky);
    QRadialGradient sun(w * 0.68, h * 0.42, w * 0.16);
    sun.setColorAt(0, QColor(255, 246, 200));
    sun.setColorAt(1, QColor(255, 190, 90, 0));
    painter.setBrush(sun);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(w * 0.68, h * 0.42), w * 0.16, w * 0.16);
    QPainterPath far;
    far.moveTo(0, h * 0.62);
    far.cubicTo(w * 0.25, h * 0.48, w * 0.45, h * 0.66, w * 0.7, h * 0.55);
    far.cubicTo(w * 0.85, h * 0.5, w, h * 0.6, w, h * 0.6);
    far.lineTo(w, h);
    far.lineTo(0, h);
    painter.setBrush(QColor(70, 52, 110));
    painter.drawPath(far);
    QPainterPath near;
    near.moveTo(0, h * 0.78);
    near.cubicTo(w * 0.3, h * 0.68, w * 0.6, h * 0.86, w, h * 0.72);
    near.lineTo(w, h);
    near.lineTo(0, h);
    QLinearGradient grass(0, h * 0.7, 0, h);
    grass.setColorAt(0, QColor(64, 150, 90));
    grass.setColorAt(1, QColor(20, 70, 50));
    painter.setBrush(grass);
    painter.drawPath(near);
    painter.setBrush(QColor(245, 240, 230));
    painter.drawRect(QRectF(w * 0.18, h * 0.66, w * 0.16, h * 0.1));
    painter.setBrush(QColor(170, 50, 50));
    painter.drawPolygon(QPolygonF(
        {QPointF(w * 0.16, h * 0.665), QPointF(w * 0.26, h * 0.6), QPointF(w * 0.36, h * 0.665)}));
    return photo;
}

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
    const QRgb first = picture.pixel(0, 0);
    int x = 1;
    while (x < picture.width() && picture.pixel(x, 0) == first) {
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
        pending_.push_back({time + std::max(0.0, seconds), context, std::move(work)});
    }

    // Moves to start + seconds, running due work in time order on the way.
    void advanceTo(double seconds) {
        const double target = start + seconds;
        for (;;) {
            auto next = std::min_element(pending_.begin(), pending_.end(),
                                         [](const auto& a, const auto& b) { return a.at < b.at; });
            if (next == pending_.end() || next->at > target) {
                break;
            }
            Scheduled due = std::move(*next);
            pending_.erase(next);
            time = std::max(time, due.at);
            if (due.context) {
                due.work();
            }
        }
        time = target;
    }
    // Sets the time without running anything that falls due.
    void setTime(double seconds) { time = start + seconds; }
    size_t pendingCount() const { return pending_.size(); }

private:
    struct Scheduled {
        double at;
        QPointer<QObject> context;
        std::function<void()> work;
    };
    std::vector<Scheduled> pending_;
};

// A render queue whose jobs run only when a test finishes them, in any order it likes.
class ManualRenderQueue {
public:
    PixelViewController::RenderQueue queue() {
        return [this](std::function<QImage()> work) {
            auto promise = std::make_shared<QPromise<QImage>>();
            promise->start();
            jobs_.push_back({std::move(work), promise});
            return promise->future();
        };
    }
    size_t size() const { return jobs_.size(); }
    void finish(size_t index) {
        Job& job = jobs_.at(index);
        if (job.promise) {
            job.promise->addResult(job.work());
            job.promise->finish();
            job.promise.reset();
        }
    }
    void finishAll() {
        for (size_t i = 0; i < jobs_.size(); ++i) {
            finish(i);
        }
    }
    ~ManualRenderQueue() {
        for (Job& job : jobs_) {
            if (job.promise) {
                job.promise->finish();
            }
        }
    }

private:
    struct Job {
        std::function<QImage()> work;
        std::shared_ptr<QPromise<QImage>> promise;
    };
    std::vector<Job> jobs_;
};

// Sets the main screen's metrics for one test and puts the phone's back after.
class ScopedScreen {
public:
    explicit ScopedScreen(double scale) {
        ScreenMetrics metrics = ScreenMetrics::phone();
        metrics.scale = scale;
        ScreenMetrics::configure(metrics);
    }
    ~ScopedScreen() { ScreenMetrics::configure(ScreenMetrics::phone()); }
};

}  // namespace pixelate_test
