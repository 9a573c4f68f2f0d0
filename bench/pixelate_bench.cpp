// The photo pixelation screen's two resampling steps on a 12 MP phone photo, next to a plain
// copy of the render's 66 MB as the memory-bandwidth floor.

#include "run_benchmarks.h"

#include <QApplication>
#include <QColor>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <cstring>
#include <vector>

#include "pixelate/pixel_view_controller.h"
#include "pixelate/resampler.h"
#include "platform/animation.h"
#include "platform/screen_metrics.h"
#include "screens/app_window.h"
#include "screens/screen_stack.h"

namespace {

constexpr int kPhotoWidth = 3024;
constexpr int kPhotoHeight = 4032;
constexpr double kScale = 3;
constexpr double kPreviewWidth = 390;

QImage noisyPhoto(int width, int height, QImage::Format format) {
    QImage photo(width, height, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(photo.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
        }
    }
    return photo.convertToFormat(format);
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    return 0;
}

double normalisingFactor() {
    return kPreviewWidth / kPhotoWidth / kScale;
}

const QImage& normalisedPhoto() {
    static const QImage normalised = Resampler::resized(
        noisyPhoto(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32), InterpolationQuality::smooth,
        normalisingFactor(), normalisingFactor(), kScale);
    return normalised;
}

// One render at block size 10: 390 x 520 -> 117 x 156 -> 3510 x 4680.
void BM_RenderBlockSize10(benchmark::State& state) {
    const QImage& normalised = normalisedPhoto();
    qint64 bytes = 0;
    for (auto _ : state) {
        QImage result = Resampler::pixelated(normalised, 10, kScale);
        benchmark::DoNotOptimize(result.constBits());
        bytes = result.sizeInBytes();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_RenderBlockSize10)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same without buffer reuse: what fresh pages cost.
void BM_RenderBlockSize10FreshMemory(benchmark::State& state) {
    const QImage& normalised = normalisedPhoto();
    for (auto _ : state) {
        QImage result = Resampler::pixelated(normalised, 10, kScale);
        benchmark::DoNotOptimize(result.constBits());
        result = QImage();
        Resampler::releaseCachedBuffers();
    }
}
BENCHMARK(BM_RenderBlockSize10FreshMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// Qt's own fast (nearest neighbour) scaling doing the same two steps.
void BM_QtFastScalingBlockSize10(benchmark::State& state) {
    const QImage& normalised = normalisedPhoto();
    for (auto _ : state) {
        const QImage small =
            normalised.scaled(117, 156, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QImage result = small.scaled(3510, 4680, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        benchmark::DoNotOptimize(result.constBits());
    }
}
BENCHMARK(BM_QtFastScalingBlockSize10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Memcpy66MB(benchmark::State& state) {
    const size_t bytes = size_t{3510} * 4680 * 4;
    std::vector<char> from(bytes, 1);
    std::vector<char> to(bytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_Memcpy66MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// Normalisation of the photo to 390 points wide at scale 3 (390 x 520 pixels). Camera JPEGs
// decode to RGB32; PNGs with an alpha channel to ARGB32, read in place when every pixel is
// opaque and converted to premultiplied first otherwise.
enum Input { rgb32, opaqueArgb32, translucentArgb32 };

void BM_Normalise(benchmark::State& state) {
    const auto input = static_cast<Input>(state.range(0));
    QImage photo = noisyPhoto(kPhotoWidth, kPhotoHeight,
                              input == rgb32 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (input == translucentArgb32) {
        photo.setPixelColor(0, 0, QColor(10, 20, 30, 128));
    }
    for (auto _ : state) {
        QImage normalised = Resampler::resized(photo, InterpolationQuality::smooth,
                                               normalisingFactor(), normalisingFactor(), kScale);
        benchmark::DoNotOptimize(normalised.constBits());
    }
    state.SetLabel(input == rgb32          ? "RGB32"
                   : input == opaqueArgb32 ? "opaque ARGB32"
                                           : "translucent ARGB32");
}
BENCHMARK(BM_Normalise)
    ->Arg(rgb32)
    ->Arg(opaqueArgb32)
    ->Arg(translucentArgb32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();  // the smooth scaling runs on several threads

// The screen itself while the slider sweeps over every block size and back, faster than the
// renders can follow: renders on the background queue, results shown as they arrive. Reports
// how many full-size results were held at once, at most, and the growth of resident memory.
void BM_PixelationSweep(benchmark::State& state) {
    AppWindow window(ScreenMetrics::main());
    auto* home = new PlatformViewController;
    window.screenStack()->setRootViewController(home);
    window.show();
    auto* screen = new PixelViewController;
    screen->sourceImage = noisyPhoto(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    home->present(screen, false);
    screen->loadSourceImage(screen->sourceImage, false);
    const auto settle = [] {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 300) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    };
    settle();
    Resampler::largeBufferStatistics(true);
    const double residentBefore = residentMegabytes();
    double residentPeak = residentBefore;
    for (auto _ : state) {
        for (int step = 0; step <= 2 * screen->pixelSizeSlider->maximum(); ++step) {
            const int max = screen->pixelSizeSlider->maximum();
            screen->pixelSizeSlider->setValue(step <= max ? step : 2 * max - step);
            screen->sliderAction();
            QElapsedTimer moved;
            moved.start();
            while (moved.elapsed() < 15) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            residentPeak = std::max(residentPeak, residentMegabytes());
        }
        settle();
    }
    state.counters["results_held_peak"] = Resampler::largeBufferStatistics().peak;
    state.counters["resident_growth_MB"] = residentPeak - residentBefore;
    screen->dismiss(false);
}
BENCHMARK(BM_PixelationSweep)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Animation::setEnabled(false);
    ScreenMetrics::configure(ScreenMetrics{390, 844, kScale});
    return runBenchmarks(argc, argv);
}
