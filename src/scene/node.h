#pragma once

#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <memory>
#include <vector>

#include "scene/action.h"

class QPainter;
class Scene;

// A node of the scene graph: position, x and y scale and rotation (radians, counter-clockwise)
// relative to its parent, and ordered children drawn after it. y grows upward.
class Node {
public:
    Node();
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    QPointF position() const { return position_; }
    void setPosition(QPointF position);
    double xScale() const { return xScale_; }
    double yScale() const { return yScale_; }
    void setXScale(double scale);
    void setYScale(double scale);
    void setScale(double scale);
    double zRotation() const { return zRotation_; }
    void setZRotation(double radians);

    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }

    Node* parent() const { return parent_; }
    // The scene at the root of this node's tree, or nothing while it is not in one.
    Scene* scene() const { return scene_; }
    const std::vector<std::unique_ptr<Node>>& children() const { return children_; }

    // Takes ownership; the child is drawn above earlier children.
    template <typename T>
    T* addChild(std::unique_ptr<T> child) {
        T* raw = child.get();
        adopt(std::unique_ptr<Node>(std::move(child)));
        return raw;
    }

    // This node's own area, in its own coordinates (empty for a plain node).
    virtual QRectF localBounds() const { return {}; }
    // Whether a point in this node's own coordinates lies in its area.
    virtual bool containsLocalPoint(QPointF point) const;
    // What this node's drawing covers in its own coordinates (bounds plus any stroke).
    virtual QRectF drawnBounds() const { return localBounds(); }
    // For a node that invalidates later (Scene::invalidateLater): what changed since, in
    // scene points, clearing its record.
    virtual QRectF takeChangedSceneRect() { return {}; }
    // What this node's drawing covers with opaque colour, in its own coordinates (nothing by
    // default); the view leaves the background out there.
    virtual QRectF opaqueBounds() const { return {}; }

    // From this node's coordinates into its parent's.
    const QTransform& transformToParent() const { return toParent_; }
    // From this node's coordinates into the scene's.
    QTransform transformToScene() const;
    QPointF convertPointToScene(QPointF point) const;
    QPointF convertPointFromScene(QPointF scenePoint) const;
    // A point in other's coordinates, in this node's coordinates.
    QPointF convertPoint(QPointF point, const Node& other) const;

    void run(const Action& action);
    bool hasActions() const { return !actions_.empty(); }
    void removeAllActions();
    // Whether this node or one below it has actions under way.
    bool hasActionsInTree() const { return actingInTree_ > 0; }
    // Advances this node's actions and its children's to time (scene clock, seconds).
    void updateActions(double time);

    // Draws this node's own content. toDevice maps its coordinates to device pixels, which
    // are the painter's coordinates on entry (combine further transforms with it); clip is in
    // device pixels.
    virtual void draw(QPainter& painter, const QTransform& toDevice, const QRectF& clip) const;
    // Draws this node and its subtree in order. A node with very many children that it can
    // draw more cheaply itself (the canvas's cells) takes this over.
    virtual void drawTree(QPainter& painter, const QTransform& parentToDevice,
                          const QRectF& clip) const;
    // Collects every node under a point given in the parent's coordinates: topmost first,
    // children before their parent. Overridable for the same reason as drawTree.
    virtual void collectNodesAt(QPointF pointInParent, std::vector<Node*>& found);

protected:
    // Asks the scene to redraw what this node covers.
    void setNeedsDisplay();
    // Asks the scene to redraw everything. Every change of a transform or of what a node
    // covers must come through here: it also retires the nodes' cached scene bounds.
    void setNeedsDisplayAll();

    // For the scene itself, which is the root of its own tree.
    void setSceneRoot(Scene* scene) { scene_ = scene; }
    // For the scene too: its nodes go while it is still whole, as they may call on it.
    void removeAllChildren() { children_.clear(); }

private:
    void adopt(std::unique_ptr<Node> child);
    void joinScene(Scene* scene);
    void transformChanged();
    // Keeps actingInTree_ of this node and those above it right after actions_ changed.
    void actionsChanged(bool hadActions);
    void addActing(size_t count);
    void removeActing(size_t count);

    QPointF position_{0, 0};
    double xScale_ = 1;
    double yScale_ = 1;
    double zRotation_ = 0;
    bool userInteractionEnabled_ = false;
    Node* parent_ = nullptr;
    Scene* scene_ = nullptr;
    // Kept up to date by the setters: drawing and invalidation ask for it once per node and
    // frame or change, and the trigonometry would otherwise run every time.
    QTransform toParent_;
    // drawnBounds() in scene points, valid while the scene's layout generation is this one.
    QRectF sceneBounds_;
    quint64 sceneBoundsGeneration_ = 0;
    std::vector<std::unique_ptr<Node>> children_;
    std::vector<RunningAction> actions_;
    // Nodes with actions in this subtree, this one included: the frame clock and the view's
    // question whether anything moves skip the canvas's tens of thousands of still cells.
    size_t actingInTree_ = 0;
};
