// Store timings: saving a drawing with its thumbnail (durable commits) and opening a gallery
// of 1000 saved drawings.
#include "bench_store.h"
#include "run_benchmarks.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <vector>

#include "platform/application.h"
#include "store/color_archive.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/persistent_container.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"

namespace {
// A 28 x 28 picture (about 25 KB archived) and a 20 KB image.
std::vector<Color> picture(int shift) {
    std::vector<Color> colors;
    for (int i = 0; i < 28 * 28; ++i) {
        colors.push_back(Color::withRGB((i + shift) % 256 / 255.0, i % 7 / 7.0, 0.5, 1.0));
    }
    return colors;
}

// A larger drawing as people make them: a white ground, shapes in a few dozen colours from
// the wheel (not steps of 1/255), a band where every cell differs from its neighbours.
std::vector<Color> drawnPicture(int cells, int shift) {
    std::vector<Color> colors;
    colors.reserve(size_t(cells * cells));
    for (int x = 0; x < cells; ++x) {
        for (int y = 0; y < cells; ++y) {
            const int dx = x - cells / 2;
            const int dy = y - cells / 3;
            const int ring = (dx * dx + dy * dy) * 40 / (cells * cells);
            if (ring < 8) {
                colors.push_back(Color::withRGB(ring / 8.3, 0.37 + ring / 31.0, 1.0 / (ring + 3)));
            } else if (y > cells * 3 / 4 && y < cells * 7 / 8) {
                const int k = (x * 7 + y * 13 + shift) % 37;
                colors.push_back(Color::withRGB(k / 37.3, 1.0 - k / 41.0, 0.5));
            } else {
                colors.push_back((x + y + shift) % 23 == 0 ? Color::black() : Color::white());
            }
        }
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

// A new drawing of a larger grid saved with its thumbnail; the archive's size as a counter.
void BM_SaveNewDrawingCells(benchmark::State& state) {
    Folder folder;
    BenchStore delegate;
    const int cells = int(state.range(0));
    int shift = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Color> colors = drawnPicture(cells, ++shift);
        state.ResumeTiming();
        // Handed over as the editor hands over the canvas's colours.
        Drawing* drawing = Drawing::create(std::move(colors), cells, cells);
        Thumbnail* thumbnail =
            Thumbnail::create(QStringLiteral("title"), QStringLiteral("date"), image());
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
    }
    state.counters["archive_bytes"] = double(ColorArchive::encode(drawnPicture(cells, 1)).size());
}
BENCHMARK(BM_SaveNewDrawingCells)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

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
