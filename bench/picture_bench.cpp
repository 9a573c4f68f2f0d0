// Pictures coming in: opening a 3000 x 3000 picture this app exported and recovering its
// cells, and turning a photo into a 128 x 128 drawing of 32 colours, each with its decoding
// and without. The inputs are written where TILEBLOOM_BENCH_INPUTS says (exported.png,
// photo.jpg) so that compare.sh runs Pillow and ImageMagick on the same files.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <vector>

#include "export/picture_exporter.h"
#include "imaging/grid_recovery.h"
#include "imaging/picture_opener.h"
#include "imaging/png_encoder.h"
#include "platform/screen_metrics.h"
#include "run_benchmarks.h"

namespace {

constexpr int64_t kCells = 28;

QByteArray exportedPng() {
    QRandomGenerator random(5);
    std::vector<Color> palette;
    for (int i = 0; i < 12; ++i) {
        palette.push_back(Color::withRGB(random.bounded(256) / 255.0, random.bounded(256) / 255.0,
                                         random.bounded(256) / 255.0));
    }
    std::vector<Color> colors;
    for (int64_t i = 0; i < kCells * kCells; ++i) {
        colors.push_back(palette[size_t(random.bounded(12))]);
    }
    return PngEncoder::encode(*PictureExporter(colors, kCells, kCells).exportImage(1000, 1000));
}

// A real photo (public domain, from the test fixtures) at a phone camera's size.
QByteArray photoJpeg() {
    const QImage small(QStringLiteral(TILEBLOOM_PHOTO_FIXTURES "/astronaut.jpg"));
    const QImage photo = small.scaled(3000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "JPEG", 90);
    return bytes;
}

void writeInput(const QString& name, const QByteArray& bytes) {
    const QString folder = qEnvironmentVariable("TILEBLOOM_BENCH_INPUTS");
    if (folder.isEmpty()) {
        return;
    }
    QFile file(QDir(folder).filePath(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

void BM_OpenExportedPicture(benchmark::State& state, const QByteArray& png) {
    PictureOpener::Result result;
    for (auto _ : state) {
        result = PictureOpener::openData(png, QStringLiteral("exported.png"), {});
        benchmark::DoNotOptimize(result.cells.cells.data());
    }
    if (!result.ok() || !result.cells.exact || result.cells.width != kCells) {
        state.SkipWithError("the exported picture did not open as its drawing");
    }
}

void BM_RecoverDecodedPicture(benchmark::State& state, const QImage& picture) {
    for (auto _ : state) {
        auto cells = GridRecovery::findBlocks(picture);
        benchmark::DoNotOptimize(cells);
    }
}

void BM_DecodeExportedPicture(benchmark::State& state, const QByteArray& png) {
    for (auto _ : state) {
        QImage image = QImage::fromData(png, "PNG");
        benchmark::DoNotOptimize(image.constBits());
    }
}

// From a file, as the app opens one from the dialog, a drop or the command line.
void BM_PhotoToDrawing(benchmark::State& state, const QString& path) {
    PictureOpener::Options options;
    options.gridSide = 128;
    options.maxColors = 32;
    PictureOpener::Result result;
    for (auto _ : state) {
        result = PictureOpener::openFile(path, options);
        benchmark::DoNotOptimize(result.cells.cells.data());
    }
    if (!result.ok() || result.cells.width != 128) {
        state.SkipWithError("the photo did not become a 128 x 128 drawing");
    }
}

void BM_ReduceDecodedPhoto(benchmark::State& state, const QImage& photo) {
    for (auto _ : state) {
        PictureCells cells = GridRecovery::reduce(photo, 128, 32);
        benchmark::DoNotOptimize(cells.cells.data());
    }
}

void BM_DecodePhoto(benchmark::State& state, const QByteArray& jpeg) {
    for (auto _ : state) {
        QImage image = QImage::fromData(jpeg, "JPEG");
        benchmark::DoNotOptimize(image.constBits());
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ScreenMetrics::configure(ScreenMetrics{390, 844, 3});
    const QByteArray png = exportedPng();
    const QByteArray jpeg = photoJpeg();
    writeInput(QStringLiteral("exported.png"), png);
    writeInput(QStringLiteral("photo.jpg"), jpeg);
    const QImage picture = QImage::fromData(png, "PNG");
    const QImage photo = QImage::fromData(jpeg, "JPEG");

    benchmark::RegisterBenchmark("BM_OpenExportedPicture", BM_OpenExportedPicture, png)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_DecodeExportedPicture", BM_DecodeExportedPicture, png)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_RecoverDecodedPicture", BM_RecoverDecodedPicture, picture)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    QTemporaryDir folder;
    const QString photoPath = folder.filePath(QStringLiteral("photo.jpg"));
    QFile photoFile(photoPath);
    if (!photoFile.open(QIODevice::WriteOnly) || photoFile.write(jpeg) != jpeg.size()) {
        return 1;
    }
    photoFile.close();
    benchmark::RegisterBenchmark("BM_PhotoToDrawing", BM_PhotoToDrawing, photoPath)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_DecodePhoto", BM_DecodePhoto, jpeg)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_ReduceDecodedPhoto", BM_ReduceDecodedPhoto, photo)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return runBenchmarks(argc, argv);
}
