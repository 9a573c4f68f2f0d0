// The gallery of a store holding 1000 saved drawings, opened as in a new run of the app: the
// store opens on this first use, the thumbnails are fetched and the screen is presented until
// its list has painted its first screen of rows (at scale 3, 1170 x 2532 pixels).
#include "bench_store.h"
#include "run_benchmarks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "export/picture_exporter.h"
#include "gallery/result_view_controller.h"
#include "imaging/png_encoder.h"
#include "platform/animation.h"
#include "platform/application.h"
#include "platform/screen_metrics.h"
#include "screens/app_window.h"
#include "screens/screen_stack.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/persistent_container.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"

namespace {

constexpr int kDrawings = 1000;
constexpr double kScale = 3;

// A 28 x 28 drawing that differs from its neighbours: a diagonal band that moves with n.
std::vector<Color> picture(int n) {
    std::vector<Color> colors;
    for (int x = 0; x < 28; ++x) {
        for (int y = 0; y < 28; ++y) {
            const bool band = (x + y + n) % 28 < 6;
            colors.push_back(band ? Color::withRGB((n % 7) / 7.0, 0.4, 1 - (n % 5) / 5.0)
                                  : Color::white());
        }
    }
    return colors;
}

void fillStore() {
    for (int n = 0; n < kDrawings; ++n) {
        const std::vector<Color> colors = picture(n);
        const QByteArray png =
            PngEncoder::encode(*PictureExporter(colors, 28, 28).exportImage(300, 300));
        Drawing* drawing = Drawing::create(colors, 28, 28);
        Thumbnail* thumbnail = Thumbnail::create(QStringLiteral("Drawing %1").arg(n),
                                                 QStringLiteral("6 December 2026, 10:00"), png);
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, nullptr);
    }
}

// Counts the paint events of the widgets inside one screen.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* screen) : screen_(screen) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            (watched == screen_ || screen_->isAncestorOf(static_cast<QWidget*>(watched)))) {
            ++paints;
        }
        return false;
    }

private:
    QWidget* screen_;
};

struct Setup {
    QTemporaryDir dir;
    std::unique_ptr<BenchStore> delegate;
    std::unique_ptr<AppWindow> window;
    PlatformViewController* home = nullptr;

    Setup() {
        qputenv("TILEBLOOM_DATA_DIR", dir.path().toUtf8());
        delegate = std::make_unique<BenchStore>();
        fillStore();
        window = std::make_unique<AppWindow>(ScreenMetrics::main());
        home = new PlatformViewController;
        window->screenStack()->setRootViewController(home);
        window->show();
        settle();
    }

    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
};

Setup& setup() {
    static Setup* instance = new Setup;
    return *instance;
}

void BM_GalleryFirstScreen(benchmark::State& state) {
    Setup& s = setup();
    size_t rowsShown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.delegate->close();
        s.settle();
        state.ResumeTiming();

        auto* gallery = new ResultViewController;
        PaintCounter counter(gallery);
        gallery->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
        s.home->present(gallery, false);
        QElapsedTimer waited;
        waited.start();
        while (counter.paints == 0 || !gallery->tableView ||
               gallery->tableView->visibleRowIndexes().empty()) {
            if (waited.elapsed() > 5000) {
                state.SkipWithError("the gallery did not paint");
                return;
            }
            QCoreApplication::processEvents();
        }

        state.PauseTiming();
        rowsShown = gallery->tableView->visibleRowIndexes().size();
        if (gallery->thumbnailArray.size() != size_t(kDrawings)) {
            state.SkipWithError("the gallery does not list every drawing");
        }
        gallery->dismiss(false);
        s.settle();
        state.ResumeTiming();
    }
    state.counters["rows_decoded"] = double(rowsShown);
}

// The parts of it: the store opened and the 1000 thumbnails fetched; one thumbnail decoded
// and scaled to its row.
void BM_OpenStoreAndFetchThumbnails(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) {
        state.PauseTiming();
        s.delegate->close();
        state.ResumeTiming();
        auto thumbnails = CoreDataManager::loadThumbnails();
        benchmark::DoNotOptimize(thumbnails);
    }
}

void BM_DecodeOneThumbnail(benchmark::State& state) {
    setup();
    const QByteArray png = (*CoreDataManager::loadThumbnails())[0]->imageData();
    for (auto _ : state) {
        QImage image = QImage::fromData(png, "PNG");
        if (state.range(0)) {
            image = image.scaled(QSize(240, 240), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(state.range(0) ? "decode and scale to the row" : "decode");
    state.counters["png_bytes"] = double(png.size());
}

}  // namespace

BENCHMARK(BM_OpenStoreAndFetchThumbnails)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOneThumbnail)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GalleryFirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
    QApplication app(argc, argv);
    Animation::setEnabled(false);
    ScreenMetrics::configure(ScreenMetrics{390, 844, kScale});

    return runBenchmarks(argc, argv);
}
