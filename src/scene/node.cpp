#include "scene/node.h"

#include <cmath>

#include "scene/scene.h"

Node::Node() = default;

Node::~Node() = default;

Scene* Node::scene() const {
    const Node* top = this;
    while (top->parent_) {
        top = top->parent_;
    }
    return const_cast<Scene*>(dynamic_cast<const Scene*>(top));
}

void Node::setPosition(QPointF position) {
    if (position == position_) {
        return;
    }
    position_ = position;
    setNeedsDisplayAll();
}

void Node::setXScale(double scale) {
    xScale_ = scale;
    setNeedsDisplayAll();
}

void Node::setYScale(double scale) {
    yScale_ = scale;
    setNeedsDisplayAll();
}

void Node::setScale(double scale) {
    xScale_ = scale;
    yScale_ = scale;
    setNeedsDisplayAll();
}

void Node::setZRotation(double radians) {
    zRotation_ = radians;
    setNeedsDisplayAll();
}

bool Node::containsLocalPoint(QPointF point) const {
    const QRectF area = localBounds();
    // Half-open on the right and top: a point on an edge shared by two cells belongs to one.
    return !area.isEmpty() && point.x() >= area.left() && point.x() < area.right() &&
           point.y() >= area.top() && point.y() < area.bottom();
}

QTransform Node::transformToParent() const {
    // Qt maps row vectors: scale first, then rotate, then translate.
    const double c = std::cos(zRotation_);
    const double s = std::sin(zRotation_);
    return QTransform(c * xScale_, s * xScale_, -s * yScale_, c * yScale_, position_.x(),
                      position_.y());
}

QTransform Node::transformToScene() const {
    QTransform t;
    for (const Node* n = this; n && n->parent_; n = n->parent_) {
        t = t * n->transformToParent();
    }
    return t;
}

QPointF Node::convertPointToScene(QPointF point) const { return transformToScene().map(point); }

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
    actions_.push_back(running);
    if (Scene* s = scene()) {
        s->actionsScheduled();
    }
}

void Node::updateActions(double time) {
    for (size_t i = 0; i < actions_.size();) {
        if (actions_[i].advance(*this, time)) {
            actions_.erase(actions_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    for (const auto& child : children_) {
        child->updateActions(time);
    }
}

void Node::draw(QPainter&, const QTransform&, const QRectF&) const {}

void Node::drawTree(QPainter& painter, const QTransform& parentToDevice,
                    const QRectF& clip) const {
    const QTransform toDevice = transformToParent() * parentToDevice;
    draw(painter, toDevice, clip);
    for (const auto& child : children_) {
        child->drawTree(painter, toDevice, clip);
    }
}

void Node::collectNodesAt(QPointF pointInParent, std::vector<Node*>& found) {
    bool invertible = false;
    const QTransform inverse = transformToParent().inverted(&invertible);
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
    if (Scene* s = scene()) {
        s->invalidate(transformToScene().mapRect(drawnBounds()));
    }
}

void Node::setNeedsDisplayAll() {
    if (Scene* s = scene()) {
        s->invalidateAll();
    }
}

void Node::adopt(std::unique_ptr<Node> child) {
    child->parent_ = this;
    Node* raw = child.get();
    children_.push_back(std::move(child));
    if (Scene* s = scene()) {
        s->invalidateAll();
        if (raw->hasActions()) {
            s->actionsScheduled();
        }
    }
}
