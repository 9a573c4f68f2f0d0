// The editor's frame on a scale-3 phone (390 x 844 points, 1170 x 2532 pixels) with a grid
// of --cells=N cells a side (28 unless given): a full repaint of the canvas view and of the
// whole screen beside plain QPainter and QGraphicsScene drawings of the same grid; a one-cell
// change repainting only what changed; input delivered to the editor until the recoloured
// cell is painted; the bucket and the history; opening the editor on a stored drawing.
#include "run_benchmarks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "bench_store.h"
#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editing/bucket.h"
#include "editing/shape_tool.h"
#include "editor/drawing_view_controller.h"
#include "platform/animation.h"
#include "platform/screen_metrics.h"
#include "platform/settings_manager.h"
#include "scene/scene.h"
#include "screens/app_window.h"
#include "screens/platform_view_controller.h"
#include "screens/screen_stack.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/thumbnail.h"

namespace {

// Cells a side, from --cells.
int kCells = 28;
constexpr double kScale = 3;
constexpr double kWidth = 390;
constexpr double kHeight = 844;

QImage frameImage() {
    QImage image(int(kWidth * kScale), int(kHeight * kScale), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kScale);
    image.fill(Qt::black);
    return image;
}

// Counts the paint events a widget gets and the device pixels they cover.
class PaintCounter : public QObject {
public:
    int paints = 0;
    qint64 pixels = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) {
                pixels += qint64(r.width() * kScale) * qint64(r.height() * kScale);
            }
        }
        return false;
    }
};

// The editor for a blank drawing, presented in the app's window.
struct EditorScreen {
    AppWindow window{ScreenMetrics::main()};
    PlatformViewController* home = new PlatformViewController;
    DrawingViewController* editor = new DrawingViewController;
    PaintCounter counter;

    EditorScreen() {
        window.screenStack()->setRootViewController(home);
        window.show();
        home->present(editor, false);
        settle();
        view().installEventFilter(&counter);
    }

    CanvasView& view() { return *editor->canvasView; }
    Canvas& canvas() { return *view().canvas(); }

    // A cell's centre in the canvas view's coordinates.
    QPointF at(int64_t x, int64_t y) {
        const QPointF scene =
            canvas().convertPointToScene(canvas().getPixel(x, y)->position() + QPointF(150, 150));
        return view().convertPointFromScene(scene);
    }

    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    // Runs the event loop until the canvas view has been painted again; false when nothing
    // was painted within a second (the input changed nothing).
    bool waitForPaint() {
        const int before = counter.paints;
        QElapsedTimer waited;
        waited.start();
        while (counter.paints == before) {
            if (waited.elapsed() > 1000) {
                return false;
            }
            QCoreApplication::processEvents();
        }
        return true;
    }

    void mouse(QEvent::Type type, QPointF local, Qt::MouseButtons buttons) {
        const QPointF global = view().mapToGlobal(local);
        QMouseEvent event(type, local, view().mapTo(&window, local), global, Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(&view(), &event);
    }
};

// A colour other than the one a cell shows, so that painting it always changes something.
Color recolouring(const Pixel& cell) {
    return cell.fillColor() == Color::red() ? Color::blue() : Color::red();
}

EditorScreen& screen() {
    static EditorScreen* instance = new EditorScreen;
    return *instance;
}

void BM_CanvasViewFullRepaint(benchmark::State& state) {
    CanvasView& view = screen().view();
    QImage image = frameImage();
    for (auto _ : state) {
        view.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_EditorFullRepaint(benchmark::State& state) {
    DrawingViewController& editor = *screen().editor;
    QImage image = frameImage();
    for (auto _ : state) {
        editor.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The whole canvas view through the window's backing store, as after a pan or a zoom.
void BM_CanvasViewUpdate(benchmark::State& state) {
    EditorScreen& s = screen();
    s.counter.pixels = 0;
    const int before = s.counter.paints;
    for (auto _ : state) {
        s.view().update();
        if (!s.waitForPaint()) {
            state.SkipWithError("no repaint");
            break;
        }
    }
    state.counters["painted_px"] = double(s.counter.pixels) / (s.counter.paints - before);
}

// The grid as the canvas view lays it out, in points.
struct GridGeometry {
    double cell = kWidth / kCells;
    double top = (kHeight - kWidth) / 2;
    double line = Pixel::kLineWidth * kWidth / (kCells * Pixel::kSize);
    QRectF cellRect(int x, int y) const { return QRectF(x * cell, top + y * cell, cell, cell); }
};

QColor cellColor(int x, int y) {
    return (x + y) % 5 == 0 ? QColor(200, 40, 40) : Qt::white;
}

const QColor kBackground = QColor::fromRgbF(0.1f, 0.1f, 0.1f);

// Plain QPainter: each cell a rectangle with a brush and a pen.
void BM_QPainterDrawRect(benchmark::State& state) {
    const GridGeometry grid;
    QImage image = frameImage();
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(QRectF(0, 0, kWidth, kHeight), kBackground);
        painter.setPen(QPen(Qt::gray, grid.line));
        for (int x = 0; x < kCells; ++x) {
            for (int y = 0; y < kCells; ++y) {
                painter.setBrush(cellColor(x, y));
                painter.drawRect(grid.cellRect(x, y));
            }
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Plain QPainter: each cell an outline-coloured square with its fill square inside, both on
// whole device pixels.
void BM_QPainterTwoFillRects(benchmark::State& state) {
    const GridGeometry grid;
    QImage image = frameImage();
    image.setDevicePixelRatio(1);
    const int half = std::max(1, qRound(grid.line * kScale / 2));
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), kBackground);
        for (int x = 0; x < kCells; ++x) {
            for (int y = 0; y < kCells; ++y) {
                const QRectF r = grid.cellRect(x, y);
                const QRect device(
                    QPoint(qRound(r.left() * kScale), qRound(r.top() * kScale)),
                    QPoint(qRound(r.right() * kScale) - 1, qRound(r.bottom() * kScale) - 1));
                painter.fillRect(device.adjusted(-half, -half, half, half), Qt::gray);
                painter.fillRect(device.adjusted(half, half, -half, -half), cellColor(x, y));
            }
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_QGraphicsSceneRender(benchmark::State& state) {
    const GridGeometry grid;
    QGraphicsScene scene(0, 0, kWidth, kHeight);
    scene.setBackgroundBrush(kBackground);
    for (int x = 0; x < kCells; ++x) {
        for (int y = 0; y < kCells; ++y) {
            scene.addRect(grid.cellRect(x, y), QPen(Qt::gray, grid.line), cellColor(x, y));
        }
    }
    QImage image = frameImage();
    for (auto _ : state) {
        QPainter painter(&image);
        scene.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The floor: one fill of the whole frame.
void BM_FrameFill(benchmark::State& state) {
    QImage image = frameImage();
    image.setDevicePixelRatio(1);
    for (auto _ : state) {
        image.fill(kBackground);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// One cell recoloured: the scene's dirty rect becomes the view's update region and only that
// is painted, through the window's backing store.
void BM_OneCellRepaint(benchmark::State& state) {
    EditorScreen& s = screen();
    Pixel* cell = s.canvas().getPixel(kCells / 2, kCells / 2);
    s.counter.pixels = 0;
    const int before = s.counter.paints;
    for (auto _ : state) {
        cell->setFillColor(recolouring(*cell));
        if (!s.waitForPaint()) {
            state.SkipWithError("no repaint");
            break;
        }
    }
    state.counters["painted_px"] = double(s.counter.pixels) / (s.counter.paints - before);
}

// The same partial paint alone: the canvas view rendering just the changed cell's region.
void BM_OneCellRenderRegion(benchmark::State& state) {
    EditorScreen& s = screen();
    Pixel* cell = s.canvas().getPixel(kCells / 2, kCells / 2);
    const QRectF sceneRect =
        s.canvas().transformToScene().mapRect(cell->drawnBounds()).adjusted(-1, -1, 1, 1);
    const QRegion region(s.view().sceneToViewTransform().mapRect(sceneRect).toAlignedRect());
    QImage image = frameImage();
    for (auto _ : state) {
        s.view().render(&image, region.boundingRect().topLeft(), region);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// A finger (the mouse) dragging over the grid: each move lands on the next cell, which the
// stroke recolours and the window repaints.
void BM_InputToPaintedCellDrag(benchmark::State& state) {
    EditorScreen& s = screen();
    int column = 0;
    // The stroke begins once the finger has moved some points, whatever the cell size.
    s.mouse(QEvent::MouseButtonPress, s.at(0, 6) + QPointF(0, 25), Qt::LeftButton);
    s.mouse(QEvent::MouseMove, s.at(0, 6), Qt::LeftButton);
    s.settle();
    for (auto _ : state) {
        column = (column + 1) % kCells;
        s.editor->currentDrawingColor = recolouring(*s.canvas().getPixel(column, 6));
        s.mouse(QEvent::MouseMove, s.at(column, 6), Qt::LeftButton);
        if (!s.waitForPaint()) {
            state.SkipWithError("no repaint");
            break;
        }
    }
    s.mouse(QEvent::MouseButtonRelease, s.at(column, 6), Qt::NoButton);
    s.settle();
}

// A tap: press and release on a cell until it shows its new colour.
void BM_InputToPaintedCellTap(benchmark::State& state) {
    EditorScreen& s = screen();
    const QPointF point = s.at(kCells * 5 / 7, kCells * 5 / 7);
    const Pixel& cell = *s.canvas().getPixel(kCells * 5 / 7, kCells * 5 / 7);
    for (auto _ : state) {
        s.editor->currentDrawingColor = recolouring(cell);
        s.mouse(QEvent::MouseButtonPress, point, Qt::LeftButton);
        s.mouse(QEvent::MouseButtonRelease, point, Qt::NoButton);
        if (!s.waitForPaint()) {
            state.SkipWithError("no repaint");
            break;
        }
    }
    state.counters["history"] = double(s.editor->commandManager.commandStack().size());
}

// The bucket filling the whole blank grid (every cell) as one step entered into the history.
// The repaint that follows is the frame measured above; it runs outside the timing, and so
// does the undo that keeps the history from growing.
void BM_BucketFillGrid(benchmark::State& state) {
    EditorScreen& s = screen();
    DrawingViewController& editor = *s.editor;
    s.settle();
    Bucket bucket;
    const GestureSnapshot tap(GestureState::ended, s.at(5, 5));
    const Color colors[] = {Color::red(), Color::blue()};
    int turn = 0;
    size_t filled = 0;
    for (auto _ : state) {
        editor.currentDrawingColor = colors[++turn % 2];
        bucket.handleTap(tap, editor);
        state.PauseTiming();
        filled = editor.groupDrawCommand->size();
        editor.commandManager.undo();
        s.settle();
        state.ResumeTiming();
    }
    state.counters["cells"] = double(filled);
}

// Undo and redo of that fill, each on its own; the other one and the repaints run outside
// the timing.
void BM_UndoRedoFill(benchmark::State& state) {
    EditorScreen& s = screen();
    DrawingViewController& editor = *s.editor;
    CommandManager& history = editor.commandManager;
    const bool timeUndo = state.range(0) == 0;
    editor.currentDrawingColor = Color::red();
    Bucket().handleTap(GestureSnapshot(GestureState::ended, s.at(5, 5)), editor);
    for (auto _ : state) {
        state.PauseTiming();
        if (timeUndo && history.commandStack().empty()) {
            history.redo();
        } else if (!timeUndo && history.undoStack().empty()) {
            history.undo();
        }
        s.settle();
        state.ResumeTiming();
        if (timeUndo) {
            history.undo();
        } else {
            history.redo();
        }
    }
    state.SetLabel(timeUndo ? "undo" : "redo");
    if (!history.commandStack().empty()) {
        history.undo();
    }
    s.settle();
}

// A drawing as people make them: a white ground, shapes in a handful of colours.
std::vector<Color> drawnPicture() {
    const Color palette[] = {Color::white(), Color::black(),      Color::red(),
                             Color::blue(),  Color::systemCyan(), Color::withRGB(0.95, 0.75, 0.2)};
    std::vector<Color> colors;
    colors.reserve(size_t(kCells * kCells));
    for (int x = 0; x < kCells; ++x) {
        for (int y = 0; y < kCells; ++y) {
            const int dx = x - kCells / 2;
            const int dy = y - kCells / 3;
            const int ring = (dx * dx + dy * dy) * 25 / (kCells * kCells);
            colors.push_back(palette[ring < 5 ? ring + 1 : (x + y) % 11 == 0 ? 1 : 0]);
        }
    }
    return colors;
}

// Opening a stored drawing from the gallery: the store opened afresh, the list read, the
// drawing's cells decoded, the editor built on them and its first frame painted.
void BM_OpenEditorOnStoredDrawing(benchmark::State& state) {
    BenchStore store;
    Drawing* saved = Drawing::create(drawnPicture(), kCells, kCells);
    Thumbnail* thumbnail =
        Thumbnail::create(QStringLiteral("bench"), QStringLiteral("date"), QByteArray(20000, 'p'));
    saved->setThumbnail(thumbnail);
    thumbnail->setDrawing(saved);
    CoreDataManager::saveDrawing(saved, nullptr);
    AppWindow window{ScreenMetrics::main()};
    auto* home = new PlatformViewController;
    window.screenStack()->setRootViewController(home);
    window.show();
    QImage frame = frameImage();
    for (auto _ : state) {
        state.PauseTiming();
        store.close();
        EditorScreen::settle();
        state.ResumeTiming();
        const auto thumbnails = CoreDataManager::loadThumbnails();
        if (!thumbnails || thumbnails->empty() || !thumbnails->front()->drawing()) {
            state.SkipWithError("nothing stored");
            break;
        }
        auto* editor = new DrawingViewController;
        editor->previousDrawing = thumbnails->front()->drawing();
        home->present(editor, false);
        editor->render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
        state.PauseTiming();
        if (editor->canvasView->canvas()->width != kCells) {
            state.SkipWithError("the editor did not open the stored drawing");
        }
        editor->dismiss(false);
        EditorScreen::settle();
        state.ResumeTiming();
    }
    store.close();
}

// The editor on a blank grid of a given side, kept for the run once made. The canvas view
// accepts sides up to 256.
EditorScreen& screenWithSide(int side) {
    static std::map<int, EditorScreen*> screens;
    EditorScreen*& found = screens[side];
    if (!found) {
        SettingsManager::applyGridSize(side);
        found = new EditorScreen;
        SettingsManager::applyGridSize(kCells);
    }
    return *found;
}

// 0, 1, ... span, span - 1, ... 0 again: a pointer walking back and forth.
int zigzag(int step, int span) {
    const int phase = step % (2 * span);
    return phase < span ? phase : 2 * span - phase;
}

// A filled ellipse dragged out over most of the grid: each move of the pointer reshapes it,
// the preview recolours the cells that change and the window repaints, until the canvas view
// has painted. Against one 120 Hz frame (8.33 ms).
void BM_FilledEllipsePreviewDrag(benchmark::State& state) {
    const int side = int(state.range(0));
    EditorScreen& s = screenWithSide(side);
    if (s.canvas().width != side) {
        state.SkipWithError("the canvas view did not take the size");
        return;
    }
    DrawingViewController& editor = *s.editor;
    editor.selectTool(std::make_unique<EllipseTool>());
    editor.toolOptions.filledShapes = true;
    editor.currentDrawingColor = Color::red();
    const int near = side / 16;
    const int far = side - 1 - side / 16;
    s.mouse(QEvent::MouseButtonPress, s.at(near, near), Qt::LeftButton);
    s.mouse(QEvent::MouseMove, s.at(far, far), Qt::LeftButton);
    s.settle();
    // The far corner walks back and forth over an eighth of the grid, a cell or two a move.
    const int span = std::max(4, side / 8);
    int step = 0;
    for (auto _ : state) {
        const int offset = zigzag(++step, span);
        s.mouse(QEvent::MouseMove, s.at(far - offset, far - offset / 2), Qt::LeftButton);
        if (!s.waitForPaint()) {
            state.SkipWithError("no repaint");
            break;
        }
    }
    state.counters["cells_shown"] = double(editor.shapePreview.shownCount());
    s.mouse(QEvent::MouseButtonRelease, s.at(far, far), Qt::NoButton);
    s.settle();
    editor.commandManager.undo();
    s.settle();
    state.SetLabel(std::to_string(side) + " x " + std::to_string(side));
}

// The same drag's work before any painting: the shape worked out, mirrored and the changed
// cells recoloured. What the repaint above adds is the canvas's drawing.
void BM_FilledEllipsePreviewUpdate(benchmark::State& state) {
    const int side = int(state.range(0));
    EditorScreen& s = screenWithSide(side);
    EditorFields& editor = *s.editor;
    EllipseTool ellipse;
    editor.toolOptions.filledShapes = true;
    const int near = side / 16;
    const int far = side - 1 - side / 16;
    ellipse.handleDraw(GestureSnapshot(GestureState::began, s.at(near, near)), editor);
    const int span = std::max(4, side / 8);
    int step = 0;
    for (auto _ : state) {
        const int offset = zigzag(++step, span);
        ellipse.handleDraw(
            GestureSnapshot(GestureState::changed, s.at(far - offset, far - offset / 2)), editor);
    }
    state.counters["cells_shown"] = double(editor.shapePreview.shownCount());
    ellipse.interruptStroke(editor);
    s.settle();
}

}  // namespace

BENCHMARK(BM_FilledEllipsePreviewUpdate)->Arg(28)->Arg(256)->Unit(benchmark::kMicrosecond);
// The largest grid the app makes today and the largest the canvas view accepts.
BENCHMARK(BM_FilledEllipsePreviewDrag)->Arg(28)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BucketFillGrid)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoFill)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CanvasViewFullRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorFullRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CanvasViewUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QPainterDrawRect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QPainterTwoFillRects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QGraphicsSceneRender)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneCellRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneCellRenderRegion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InputToPaintedCellDrag)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InputToPaintedCellTap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenEditorOnStoredDrawing)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // --cells=N picks the grid; the benchmark library sees every other argument.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--cells=", 8) == 0) {
            kCells = std::atoi(argv[i] + 8);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (kCells < 4 || kCells > 256) {
        std::fprintf(stderr, "--cells takes 4 to 256\n");
        return 1;
    }
    // A scale-3 phone: the window is 390 x 844 points on 1170 x 2532 pixels.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
    QTemporaryDir dataDir;
    qputenv("TILEBLOOM_DATA_DIR", dataDir.path().toUtf8());
    QApplication app(argc, argv);
    Animation::setEnabled(false);
    ScreenMetrics::configure(ScreenMetrics{kWidth, kHeight, kScale});
    SettingsManager::applyGridSize(kCells);

    return runBenchmarks(argc, argv);
}
