#include "canvas/canvas_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "platform/console.h"
#include "platform/screen_metrics.h"
#include "platform/settings_manager.h"
#include "scene/scene.h"

namespace {
// The largest grid the app makes; a stored size beyond it is not one of its drawings, and
// refusing it keeps a hostile size from exhausting memory.
constexpr double kLargestSide = 256;

int64_t cellsAcross(double value, int64_t fallback, const char* what) {
    if (!std::isfinite(value) || value < 1 || value > kLargestSide) {
        printLine(QStringLiteral("CanvasView: a drawing %1 of %2 cannot be shown; using %3.")
                      .arg(QLatin1String(what))
                      .arg(value)
                      .arg(fallback));
        return fallback;
    }
    return static_cast<int64_t>(value);
}
}  // namespace

Color CanvasView::sceneBackgroundColor() {
    static const Color background = Color::withRGB(0.1, 0.1, 0.1, 1.0);
    return background;
}

CanvasView::CanvasView(QWidget* parent) : SceneView(parent) {
    createScene();
    canvas_ = canvasScene_->addChild(
        std::make_unique<Canvas>(SettingsManager::gridWidth, SettingsManager::gridHeight));
    setupScene();
}

CanvasView::CanvasView(const std::vector<Color>& colors, double width, double height,
                       QWidget* parent)
    : SceneView(parent) {
    createScene();
    const int64_t w = cellsAcross(width, SettingsManager::gridWidth, "width");
    const int64_t h = cellsAcross(height, SettingsManager::gridHeight, "height");
    canvas_ = canvasScene_->addChild(std::make_unique<Canvas>(colors, w, h));
    setupScene();
}

CanvasView::~CanvasView() {
    // The view stops presenting before the scene it presents goes away.
    presentScene(nullptr);
}

void CanvasView::createScene() {
    const ScreenMetrics& screen = ScreenMetrics::main();
    canvasScene_ = std::make_unique<Scene>(QSizeF(screen.width, screen.height));
    setGeometry(0, 0, static_cast<int>(screen.width), static_cast<int>(screen.height));
}

void CanvasView::setupScene() {
    canvasScene_->setBackgroundColor(sceneBackgroundColor());
    canvasScene_->setUserInteractionEnabled(true);
    canvasScene_->setScaleMode(Scene::ScaleMode::aspectFill);
    presentScene(canvasScene_.get());
    fitCanvasToScreen();
}

void CanvasView::fitCanvasToScreen() {
    const ScreenMetrics& screen = ScreenMetrics::main();
    canvas_->setScale(fittingScale());
    if (scene() == canvasScene_.get()) {
        canvas_->setPosition(QPointF(screen.width / 2, screen.height / 2));
    }
}

double CanvasView::fittingScale() const {
    const ScreenMetrics& screen = ScreenMetrics::main();
    // The grid spans the screen's width; in a window wider than it is tall it fits the height
    // between the editor's top buttons and its toolbar (a ninth of the height each) instead.
    const double across = screen.width / (static_cast<double>(canvas_->width) * Pixel::kSize);
    const double down =
        screen.height * 7 / 9 / (static_cast<double>(canvas_->height) * Pixel::kSize);
    return std::min(across, down);
}

void CanvasView::resizeToScreen() {
    const ScreenMetrics& screen = ScreenMetrics::main();
    canvasScene_->setSize(QSizeF(screen.width, screen.height));
    setGeometry(0, 0, static_cast<int>(screen.width), static_cast<int>(screen.height));
    // Any zoom and pan are undone: the canvas fits and is centred as at start.
    canvas_->setScale(fittingScale());
    canvas_->setPosition(QPointF(screen.width / 2, screen.height / 2));
    update();
}

Edges CanvasView::canvasBoundsInView() const {
    const auto& cells = canvas_->pixelArray();
    if (cells.empty()) {
        return {};
    }
    // Corners in the canvas's own units from its first cell's corner; turned a quarter, the
    // first and last cells are no longer the left and right edges.
    const QPointF origin = cells.front()->position();
    const QSizeF size(static_cast<double>(canvas_->width) * Pixel::kSize,
                      static_cast<double>(canvas_->height) * Pixel::kSize);
    constexpr double kFar = std::numeric_limits<double>::infinity();
    Edges edges{kFar, -kFar, -kFar, kFar};
    for (const QPointF corner :
         {origin, origin + QPointF(size.width(), 0), origin + QPointF(0, size.height()),
          origin + QPointF(size.width(), size.height())}) {
        const QPointF p = convertPointFromScene(canvas_->convertPointToScene(corner));
        edges.left = std::min(edges.left, p.x());
        edges.right = std::max(edges.right, p.x());
        edges.top = std::min(edges.top, p.y());
        edges.bottom = std::max(edges.bottom, p.y());
    }
    return edges;
}

std::vector<Pixel*> CanvasView::pixelsAtScenePoint(QPointF scenePoint) const {
    // The canvas is the only node that carries cells; the way into its coordinates is the
    // one the scene's hit test takes.
    bool invertible = false;
    const QTransform toCanvas = canvas_->transformToScene().inverted(&invertible);
    if (!invertible) {
        return {};
    }
    return canvas_->pixelsAt(toCanvas.map(scenePoint));
}
