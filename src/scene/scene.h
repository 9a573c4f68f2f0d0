#pragma once

#include <QRectF>
#include <QSizeF>
#include <functional>
#include <vector>

#include "platform/color.h"
#include "scene/node.h"

// The root of a scene graph: its size, background, hit test, frame clock and the record of
// what needs redrawing. Scene points have their origin at the bottom-left, y upward.
class Scene : public Node {
public:
    enum class ScaleMode { fill, aspectFill, aspectFit, resizeFill };

    explicit Scene(QSizeF size);
    ~Scene() override;

    QSizeF size() const { return size_; }
    void setSize(QSizeF size) {
        size_ = size;
        invalidateAll();
    }
    Color backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const Color& color);
    ScaleMode scaleMode() const { return scaleMode_; }
    void setScaleMode(ScaleMode mode);

    // Every node whose area contains the point, topmost first and children before their
    // parent; the scene itself is not listed.
    std::vector<Node*> nodesAt(QPointF scenePoint);

    // Frame clock: advances every running action to time (seconds).
    void update(double time);
    bool hasRunningActions() const;

    // What changed since the last frame, in scene points.
    void invalidate(const QRectF& sceneRect);
    void invalidateAll();
    // A node that keeps its own record of what changed (the canvas, for thousands of cells
    // at a time) asks for a frame; takeDirtyRect collects the node's record then. A node
    // must withdraw before it goes away.
    void invalidateLater(Node* node);
    void withdrawInvalidation(Node* node);
    bool needsDisplay() const { return needsDisplay_; }
    // Changes whenever anything may have moved or changed shape (every invalidateAll), so
    // nodes can keep their scene bounds between such changes.
    quint64 layoutGeneration() const { return layoutGeneration_; }
    // The area to redraw (everything after invalidateAll), and clears the record.
    QRectF takeDirtyRect();

    // Called once whenever something becomes dirty or an action starts, until the view
    // takes the dirty rect; the presenting view uses it to schedule a frame.
    void setDisplayRequestHandler(std::function<void()> handler);
    void actionsScheduled();

private:
    void requestDisplay();

    QSizeF size_;
    Color backgroundColor_ = Color::black();
    ScaleMode scaleMode_ = ScaleMode::fill;
    bool needsDisplay_ = true;
    bool everything_ = true;
    QRectF dirty_;
    std::vector<Node*> reporting_;
    bool requested_ = false;
    quint64 layoutGeneration_ = 1;
    std::function<void()> displayRequestHandler_;
};
