// The photo pixelation screen's two resampling steps on a 12 MP phone photo, next to a plain
// copy of the render's 66 MB as the memory-bandwidth floor.

#include <benchmark/benchmark.h>

#include <QColor>
#include <QImage>
#include <QRandomGenerator>
#include <cstring>
#include <vector>

#include "pixelate/resampler.h"

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

}  // namespace

BENCHMARK_MAIN();
