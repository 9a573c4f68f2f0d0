#include "scene/node.h"

#include <cmath>

#include "scene/scene.h"

Node::Node() = default;

Node::~Node() = default;

void Node::setPosition(QPointF position) {
    if (position == position_) {
        return;
    }
    position_ = position;
    transformChanged();
}

void Node::setXScale(double scale) {
    xScale_ = scale;
    transformChanged();
}

void Node::setYScale(double scale) {
    yScale_ = scale;
    transformChanged();
}

void Node::setScale(double scale) {
    xScale_ = scale;
    yScale_ = scale;
    transformChanged();
}

void Node::setZRotation(double radians) {
    zRotation_ = radians;
    transformChanged();
}

void Node::transformChanged() {
    // Qt maps row vectors: scale first, then rotate, then translate.
    // Most nodes never turn; their cells alone are tens of thousands.
    const double c = zRotation_ == 0 ? 1.0 : std::cos(zRotation_);
    const double s = zRotation_ == 0 ? 0.0 : std::sin(zRotation_);
    toParent_ = QTransform(c * xScale_, s * xScale_, -s * yScale_, c * yScale_, position_.x(),
                           position_.y());
    setNeedsDisplayAll();
}

bool Node::containsLocalPoint(QPointF point) const {
    const QRectF area = localBounds();
    // Half-open on the right and top: a point on an edge shared by two cells belongs to one.
    return !area.isEmpty() && point.x() >= area.left() && point.x() < area.right() &&
           point.y() >= area.top() && point.y() < area.bottom();
}

QTransform Node::transformToScene() const {
    QTransform t;
    for (const Node* n = this; n && n->parent_; n = n->parent_) {
        t *= n->toParent_;
    }
    return t;
}

QPointF Node::convertPointToScene(QPointF point) const {
    return transformToScene().map(point);
}

QPointF Node::convertPointFromScene(QPointF scenePoint) const {
    bool invertible = false;
    const QTransform inverse = transformToScene().inverted(&invertible);
    return invertible ? inverse.map(scenePoint) : QPointF();
}

QPointF Node::convertPoint(QPointF point, const Node& other) const {
    return convertPointFromScene(other.convertPointToScene(point));
}

void Node::run(const Action& action) {
    RunningAction running(action);
    if (action.duration() <= 0) {
        // Instant actions land at once, so the next event already sees their result.
        running.finish(*this);
        return;
    }
    const bool had = hasActions();
    actions_.push_back(running);
    actionsChanged(had);
    if (Scene* s = scene()) {
        s->actionsScheduled();
    }
}

void Node::removeAllActions() {
    const bool had = hasActions();
    actions_.clear();
    actionsChanged(had);
}

void Node::actionsChanged(bool hadActions) {
    if (hadActions && !hasActions()) {
        removeActing(1);
    } else if (!hadActions && hasActions()) {
        addActing(1);
    }
}

void Node::addActing(size_t count) {
    for (Node* n = this; n; n = n->parent_) {
        n->actingInTree_ += count;
    }
}

void Node::removeActing(size_t count) {
    for (Node* n = this; n; n = n->parent_) {
        n->actingInTree_ -= count;
    }
}

void Node::updateActions(double time) {
    if (actingInTree_ == 0) {
        return;
    }
    const bool had = hasActions();
    for (size_t i = 0; i < actions_.size();) {
        if (actions_[i].advance(*this, time)) {
            actions_.erase(actions_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    actionsChanged(had);
    // An action may add children; index rather than iterate.
    for (size_t i = 0; i < children_.size() && actingInTree_ > 0; ++i) {
        children_[i]->updateActions(time);
    }
}

void Node::draw(QPainter&, const QTransform&, const QRectF&) const {}

void Node::drawTree(QPainter& painter, const QTransform& parentToDevice, const QRectF& clip) const {
    const QTransform toDevice = toParent_ * parentToDevice;
    draw(painter, toDevice, clip);
    for (const auto& child : children_) {
        child->drawTree(painter, toDevice, clip);
    }
}

void Node::collectNodesAt(QPointF pointInParent, std::vector<Node*>& found) {
    bool invertible = false;
    const QTransform inverse = toParent_.inverted(&invertible);
    if (!invertible) {
        return;
    }
    const QPointF local = inverse.map(pointInParent);
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        (*it)->collectNodesAt(local, found);
    }
    if (containsLocalPoint(local)) {
        found.push_back(this);
    }
}

void Node::setNeedsDisplay() {
    if (!scene_) {
        return;
    }
    // A fill or an undo recolours hundreds of cells that have not moved since the last time.
    if (sceneBoundsGeneration_ != scene_->layoutGeneration()) {
        sceneBounds_ = transformToScene().mapRect(drawnBounds());
        sceneBoundsGeneration_ = scene_->layoutGeneration();
    }
    scene_->invalidate(sceneBounds_);
}

void Node::setNeedsDisplayAll() {
    if (scene_) {
        scene_->invalidateAll();
    }
}

void Node::joinScene(Scene* scene) {
    scene_ = scene;
    for (const auto& child : children_) {
        child->joinScene(scene);
    }
}

void Node::adopt(std::unique_ptr<Node> child) {
    child->parent_ = this;
    child->joinScene(scene_);
    Node* raw = child.get();
    children_.push_back(std::move(child));
    if (raw->actingInTree_ > 0) {
        addActing(raw->actingInTree_);
    }
    if (Scene* s = scene_) {
        s->invalidateAll();
        if (raw->hasActions()) {
            s->actionsScheduled();
        }
    }
}
