// The open editor's draft: what one step costs the editor's thread (the picture copied and the
// new step handed to the draft's writer) and how long the writer's durable transaction takes,
// on a 28 x 28 grid (the largest the settings offer) and on a 256 x 256 one (the largest any
// drawing may have), for a one-cell tap and for a fill of the whole grid.
#include "bench_store.h"
#include "run_benchmarks.h"

#include <QApplication>
#include <QTemporaryDir>
#include <random>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editing/draw_command.h"
#include "editing/group_draw_command.h"
#include "editor/draft_keeper.h"
#include "platform/screen_metrics.h"
#include "store/draft_store.h"

namespace {
struct Folder {
    QTemporaryDir dir;
    Folder() { qputenv("TILEBLOOM_DATA_DIR", dir.path().toUtf8()); }
};

// An editor's fields on a canvas of side x side cells, a different colour in every column,
// with a history of taps, and its draft.
struct Editor : EditorFields {
    std::unique_ptr<CanvasView> view;
    std::unique_ptr<DraftKeeper> keeper;
    std::mt19937 random{3};

    explicit Editor(int64_t side, int taps = 50) {
        std::vector<Color> colors;
        for (int64_t i = 0; i < side * side; ++i) {
            colors.push_back(Color::withRGB(double(i / side % 256) / 255, 0.5, 0.25, 1));
        }
        view = std::make_unique<CanvasView>(colors, double(side), double(side));
        canvasView = view.get();
        keeper = std::make_unique<DraftKeeper>(
            *this,
            DraftKeeper::Sources{[] { return false; }, [] { return QStringLiteral("brush"); }},
            QStringLiteral("bench"), QUuid());
        for (int i = 0; i < taps; ++i) {
            tap();
        }
        if (taps > 0) {
            keeper->writeNow();
            keeper->flush();
        }
    }
    Canvas& canvas() { return *view->canvas(); }
    void tap() {
        Pixel* cell = canvas().pixelArray()[random() % canvas().pixelArray().size()];
        commandManager.execute(std::make_shared<DrawCommand>(
            cell->fillColor(), Color::withRGB(random() % 2, 0, 1, 1), cell));
    }
    void fill() {
        auto group = std::make_shared<GroupDrawCommand>();
        const Color colour = Color::withRGB(random() % 2, 1, 0, 1);
        for (Pixel* cell : canvas().pixelArray()) {
            group->record(DrawCommand(cell->fillColor(), colour, cell));
        }
        commandManager.execute(group);
    }
};

// One step, a tap or a whole-grid fill, made and handed over on the editor's thread; the writer
// merges what comes faster than it writes, as it does while the user draws. Durable: until the
// step's transaction is durable (write-ahead log, synchronous=FULL), the time the writer's
// thread spends, which the editor never waits for.
void draftStep(benchmark::State& state, bool fill, bool durable) {
    Folder folder;
    BenchStore delegate;
    Editor editor(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        fill ? editor.fill() : editor.tap();
        state.ResumeTiming();
        editor.keeper->writeNow();
        if (durable) {
            editor.keeper->flush();
        }
    }
    editor.keeper->flush();
}

// The first step of a run opens the store on the editor's thread, once: with a store that an
// earlier run made, as on every start but the first.
void BM_DraftFirstStepOfARun(benchmark::State& state) {
    Folder folder;
    {
        BenchStore earlier;
        earlier.persistentContainer();
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto delegate = std::make_unique<BenchStore>();
        auto editor = std::make_unique<Editor>(28, 0);
        editor->tap();
        state.ResumeTiming();
        editor->keeper->writeNow();
        state.PauseTiming();
        editor->keeper->flush();
        editor.reset();
        delegate.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DraftFirstStepOfARun)->Iterations(30)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ScreenMetrics::configure(ScreenMetrics::phone());
    for (const bool durable : {false, true}) {
        for (const bool fill : {false, true}) {
            const std::string name =
                std::string(durable ? "BM_DraftDurableWrite" : "BM_DraftHandOver") +
                (fill ? "Fill" : "Tap");
            auto* bench = benchmark::RegisterBenchmark(name.c_str(), draftStep, fill, durable);
            bench->Arg(28)->Arg(256)->Unit(benchmark::kMicrosecond);
            if (fill) {
                bench->Iterations(
                    20);  // a whole-grid fill holds every cell: few keep memory bounded
            }
        }
    }
    return runBenchmarks(argc, argv);
}
