#pragma once

#include <memory>
#include <vector>

#include "platform/color.h"
#include "platform/geometry.h"
#include "scene/scene_view.h"

class Canvas;
class Pixel;
class Scene;

// The full-screen view that shows the canvas: a screen-sized scene with a dark background,
// the grid scaled to the screen width and centred. Owns its scene and, through it, the canvas.
class CanvasView : public SceneView {
    Q_OBJECT
public:
    // A blank canvas of the configured size.
    explicit CanvasView(QWidget* parent = nullptr);
    // A reopened drawing: its colour list at its own size (truncated to whole cells).
    CanvasView(const std::vector<Color>& colors, double width, double height,
               QWidget* parent = nullptr);
    ~CanvasView() override;

    Scene* canvasScene() const { return canvasScene_.get(); }
    Canvas* canvas() const { return canvas_; }

    static Color sceneBackgroundColor();

    void setupScene();
    void fitCanvasToScreen();
    // Takes the screen's current size (the window was resized) and fits the canvas to it again,
    // as at start. Cells and their colours stay.
    void resizeToScreen();

    // The canvas's outer edges in view points: left, bottom, right, top (bottom > top), the
    // box around its four corners however it is turned.
    Edges canvasBoundsInView() const;

    // The cells at a scene point, in hit-test order.
    std::vector<Pixel*> pixelsAtScenePoint(QPointF scenePoint) const;

private:
    void createScene();
    // The scale at which the whole grid fits the screen.
    double fittingScale() const;

    std::unique_ptr<Scene> canvasScene_;
    Canvas* canvas_ = nullptr;
};
