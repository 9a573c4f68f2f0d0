// Store timings: saving a drawing with its thumbnail (durable commits) and opening a gallery
// of 1000 saved drawings.
#include "bench_store.h"
#include "run_benchmarks.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <vector>

#include "platform/application.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/persistent_container.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"

namespace {
// A 28 x 28 picture (the largest grid: about 25 KB archived) and a 20 KB image.
std::vector<Color> picture(int shift) {
    std::vector<Color> colors;
    for (int i = 0; i < 28 * 28; ++i) {
        colors.push_back(Color::withRGB((i + shift) % 256 / 255.0, i % 7 / 7.0, 0.5, 1.0));
    }
    return colors;
}

const QByteArray& image() {
    static const QByteArray bytes(20 * 1024, 'p');
    return bytes;
}

Drawing* saveNew(int shift) {
    Drawing* drawing = Drawing::create(picture(shift), 28, 28);
    Thumbnail* thumbnail =
        Thumbnail::create(QStringLiteral("title"), QStringLiteral("date"), image());
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, nullptr);
    return drawing;
}

struct Folder {
    QTemporaryDir dir;
    Folder() { qputenv("TILEBLOOM_DATA_DIR", dir.path().toUtf8()); }
};

void BM_SaveNewDrawing(benchmark::State& state) {
    Folder folder;
    BenchStore delegate;
    int shift = 0;
    for (auto _ : state) {
        saveNew(++shift);
    }
}
BENCHMARK(BM_SaveNewDrawing)->Unit(benchmark::kMicrosecond);

// The editor saving a reopened drawing: update, new thumbnail, the old one deleted.
void BM_ResaveDrawing(benchmark::State& state) {
    Folder folder;
    BenchStore delegate;
    Drawing* drawing = saveNew(0);
    int shift = 0;
    for (auto _ : state) {
        drawing->setColorArray(picture(++shift));
        Thumbnail* thumbnail =
            Thumbnail::create(QStringLiteral("title"), QStringLiteral("date"), image());
        Thumbnail* previous = drawing->thumbnail();
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, previous);
    }
}
BENCHMARK(BM_ResaveDrawing)->Unit(benchmark::kMicrosecond);

// A new run of the app listing 1000 saved drawings: open the store, fetch the thumbnails.
void BM_LoadThousandThumbnails(benchmark::State& state) {
    Folder folder;
    BenchStore delegate;
    for (int i = 0; i < 1000; ++i) {
        saveNew(i);
    }
    delegate.close();
    for (auto _ : state) {
        auto thumbnails = CoreDataManager::loadThumbnails();
        benchmark::DoNotOptimize(thumbnails);
        state.PauseTiming();
        delegate.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadThousandThumbnails)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
