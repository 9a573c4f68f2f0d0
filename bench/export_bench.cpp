// The picture export and PNG paths: exportImage for the share (1000 points) and the thumbnail
// (300 points) at scale 3, with Qt's own enlargement and a bare fill of a fresh buffer beside
// them, and PngEncoder beside QImage::save("PNG") on both results (file sizes as counters).
#include "run_benchmarks.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "export/picture_exporter.h"
#include "imaging/png_encoder.h"
#include "platform/color.h"
#include "platform/screen_metrics.h"

namespace {

constexpr int64_t kCells = 28;
constexpr double kScale = 3;

// A drawing as people make them: a white ground, a few colours in shapes and strokes.
std::vector<Color> drawing(int64_t cells = kCells) {
    const std::vector<Color> palette = {
        Color::white(),
        Color::black(),
        Color::red(),
        Color::blue(),
        Color::systemCyan(),
        Color::withRGB(0.95, 0.75, 0.2),
        Color::withRGB(0.3, 0.7, 0.35),
        Color::gray(),
    };
    std::vector<Color> colors;
    // The same picture at any size: distances in 28ths of the grid.
    const int64_t unit = cells * cells;
    for (int64_t x = 0; x < cells; ++x) {
        for (int64_t y = 0; y < cells; ++y) {
            const int64_t dx = x - cells * 13 / 28;
            const int64_t dy = y - cells / 2;
            const int64_t d = (dx * dx + dy * dy) * 784 / unit;
            size_t pick = 0;
            if (d < 60) {
                pick = size_t(d / 12 + 1);
            } else if ((x + y) % 9 == 0) {
                pick = 7;
            }
            colors.push_back(palette[pick % palette.size()]);
        }
    }
    return colors;
}

// Every cell its own colour, more than a palette holds, so PNGs go the true-colour way: a
// regular ramp (which repeats its steps from row to row) and a random mix.
std::vector<Color> rampColors() {
    std::vector<Color> colors;
    for (int64_t i = 0; i < kCells * kCells; ++i) {
        colors.push_back(Color::withRGB(double(i % 28) / 27.0, double(i / 28) / 27.0,
                                        double((i * 7) % 31) / 30.0));
    }
    return colors;
}

QImage exported(const std::vector<Color>& colors, int64_t points) {
    return *PictureExporter(colors, kCells, kCells).exportImage(points, points);
}

void exportAt(benchmark::State& state, int64_t points) {
    const PictureExporter exporter(drawing(), kCells, kCells);
    for (auto _ : state) {
        auto image = exporter.exportImage(points, points);
        benchmark::DoNotOptimize(image);
    }
    state.counters["pixels"] = double(points * kScale) * double(points * kScale);
}

void BM_ExportShare(benchmark::State& state) {
    exportAt(state, 1000);
}

// The share of larger grids: the picture is the same size, the cells smaller.
void BM_ExportShareCells(benchmark::State& state) {
    const int64_t cells = state.range(0);
    const PictureExporter exporter(drawing(cells), cells, cells);
    for (auto _ : state) {
        auto image = exporter.exportImage(1000, 1000);
        benchmark::DoNotOptimize(image);
    }
}

// The memory-bandwidth floor for the shared picture: one memcpy of its 36 MB, between
// buffers that are already mapped.
void BM_MemcpyShare(benchmark::State& state) {
    const size_t bytes = size_t(3000) * 3000 * 4;
    std::vector<char> source(bytes, 1);
    std::vector<char> target(bytes, 0);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
    }
}
void BM_ExportThumbnail(benchmark::State& state) {
    exportAt(state, 300);
}

// The same enlargement by Qt (nearest neighbour), from the turned 28 x 28 cells.
void BM_QtScaledShare(benchmark::State& state) {
    QImage cells(kCells, kCells, QImage::Format_RGB32);
    cells.fill(Qt::white);
    for (auto _ : state) {
        QImage image = cells.scaled(3000, 3000, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The floor for any export that hands out a new 3000 x 3000 image: allocate and write it once.
void BM_FreshBufferFill(benchmark::State& state) {
    const size_t bytes = size_t(3000) * 3000 * 4;
    for (auto _ : state) {
        void* pixels = std::malloc(bytes);
        std::memset(pixels, 0xff, bytes);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
}

QByteArray qtPng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void encodeWith(benchmark::State& state, const QImage& image, bool qt) {
    QByteArray bytes;
    for (auto _ : state) {
        bytes = qt ? qtPng(image) : PngEncoder::encode(image);
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.counters["bytes"] = double(bytes.size());
}

// A smooth picture with no blocks and no repeated rows, such as a photo's sky.
QImage gradient(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            line[x] = qRgb(x * 255 / side, y * 255 / side, (x + y) * 127 / side);
        }
    }
    return image;
}

// Smooth shading with grain, as in a photo: neither blocks nor repeated rows.
QImage photoLike(int side) {
    QImage image = gradient(side);
    uint32_t state = 99;
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 29) - 4;
            line[x] = qRgb(std::clamp(qRed(line[x]) + grain, 0, 255),
                           std::clamp(qGreen(line[x]) + grain, 0, 255),
                           std::clamp(qBlue(line[x]) + grain, 0, 255));
        }
    }
    return image;
}

std::vector<Color> randomColors() {
    std::vector<Color> colors;
    uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 24);
    };
    for (int64_t i = 0; i < kCells * kCells; ++i) {
        colors.push_back(Color::withRGB(next(), next(), next()));
    }
    return colors;
}

void registerEncoding(const char* name, const QImage& image) {
    benchmark::RegisterBenchmark(
        (std::string("BM_PngEncoder/") + name).c_str(),
        [image](benchmark::State& state) { encodeWith(state, image, false); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        (std::string("BM_QtSavePng/") + name).c_str(),
        [image](benchmark::State& state) { encodeWith(state, image, true); })
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_ExportShare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportThumbnail)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExportShareCells)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyShare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtScaledShare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreshBufferFill)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ScreenMetrics::configure(ScreenMetrics{390, 844, kScale});

    registerEncoding("thumbnail", exported(drawing(), 300));
    registerEncoding("share", exported(drawing(), 1000));
    registerEncoding("thumbnail_784_ramp", exported(rampColors(), 300));
    registerEncoding("share_784_ramp", exported(rampColors(), 1000));
    registerEncoding("thumbnail_784_random", exported(randomColors(), 300));
    registerEncoding("share_784_random", exported(randomColors(), 1000));
    registerEncoding("gradient_900", gradient(900));
    registerEncoding("photo_like_900", photoLike(900));

    return runBenchmarks(argc, argv);
}
