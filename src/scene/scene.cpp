#include "scene/scene.h"

#include <algorithm>

Scene::Scene(QSizeF size) : size_(size) {
    setSceneRoot(this);
}

Scene::~Scene() {
    removeAllChildren();
}

void Scene::setBackgroundColor(const Color& color) {
    backgroundColor_ = color;
    invalidateAll();
}

void Scene::setScaleMode(ScaleMode mode) {
    scaleMode_ = mode;
    invalidateAll();
}

std::vector<Node*> Scene::nodesAt(QPointF scenePoint) {
    std::vector<Node*> found;
    const auto& kids = children();
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
        (*it)->collectNodesAt(scenePoint, found);
    }
    return found;
}

void Scene::update(double time) {
    updateActions(time);
}

bool Scene::hasRunningActions() const {
    return hasActionsInTree();
}

void Scene::invalidate(const QRectF& sceneRect) {
    if (!everything_ && !sceneRect.isNull()) {
        if (dirty_.isNull()) {
            dirty_ = sceneRect;
        } else {
            // By hand rather than united(): a fill adds hundreds of rects in a row.
            dirty_.setCoords(std::min(dirty_.left(), sceneRect.left()),
                             std::min(dirty_.top(), sceneRect.top()),
                             std::max(dirty_.right(), sceneRect.right()),
                             std::max(dirty_.bottom(), sceneRect.bottom()));
        }
    }
    needsDisplay_ = true;
    requestDisplay();
}

void Scene::invalidateAll() {
    ++layoutGeneration_;
    everything_ = true;
    needsDisplay_ = true;
    requestDisplay();
}

void Scene::invalidateLater(Node* node) {
    if (std::find(reporting_.begin(), reporting_.end(), node) == reporting_.end()) {
        reporting_.push_back(node);
    }
    needsDisplay_ = true;
    requestDisplay();
}

void Scene::withdrawInvalidation(Node* node) {
    reporting_.erase(std::remove(reporting_.begin(), reporting_.end(), node), reporting_.end());
}

QRectF Scene::takeDirtyRect() {
    for (Node* node : reporting_) {
        const QRectF changed = node->takeChangedSceneRect();
        if (!changed.isNull()) {
            dirty_ = dirty_.isNull() ? changed : dirty_.united(changed);
        }
    }
    reporting_.clear();
    const QRectF area = everything_ ? QRectF(QPointF(0, 0), size_).united(dirty_) : dirty_;
    dirty_ = QRectF();
    everything_ = false;
    needsDisplay_ = false;
    requested_ = false;
    return area;
}

void Scene::setDisplayRequestHandler(std::function<void()> handler) {
    displayRequestHandler_ = std::move(handler);
    requested_ = false;
    if (needsDisplay_) {
        requestDisplay();
    }
}

void Scene::actionsScheduled() {
    requested_ = false;
    requestDisplay();
}

void Scene::requestDisplay() {
    if (requested_ || !displayRequestHandler_) {
        return;
    }
    requested_ = true;
    displayRequestHandler_();
}
