#include "scene/scene_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "scene/scene.h"

namespace {
constexpr int kFrameIntervalMs = 8;  // up to 120 frames a second while something moves
}

SceneView::SceneView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    frameTimer_.setInterval(kFrameIntervalMs);
    connect(&frameTimer_, &QTimer::timeout, this, &SceneView::tick);
    clock_.start();
}

SceneView::~SceneView() {
    if (scene_) {
        scene_->setDisplayRequestHandler({});
    }
}

void SceneView::presentScene(Scene* scene) {
    if (scene_) {
        scene_->setDisplayRequestHandler({});
    }
    scene_ = scene;
    if (scene_) {
        scene_->invalidateAll();
        scene_->setDisplayRequestHandler([this] { displayRequested(); });
    }
    update();
}

double SceneView::currentTime() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

QTransform SceneView::sceneToViewTransform() const {
    if (!scene_ || scene_->size().isEmpty()) {
        return {};
    }
    const QSizeF s = scene_->size();
    double kx = width() / s.width();
    double ky = height() / s.height();
    switch (scene_->scaleMode()) {
        case Scene::ScaleMode::aspectFill:
            kx = ky = std::max(kx, ky);
            break;
        case Scene::ScaleMode::aspectFit:
            kx = ky = std::min(kx, ky);
            break;
        case Scene::ScaleMode::resizeFill:
            kx = ky = 1;
            break;
        case Scene::ScaleMode::fill:
            break;
    }
    const double offsetX = (width() - s.width() * kx) / 2;
    const double offsetY = (height() - s.height() * ky) / 2;
    // Scene y grows upward, view y downward.
    return QTransform(kx, 0, 0, -ky, offsetX, offsetY + s.height() * ky);
}

QPointF SceneView::convertPointToScene(QPointF viewPoint) const {
    bool invertible = false;
    const QTransform inverse = sceneToViewTransform().inverted(&invertible);
    return invertible ? inverse.map(viewPoint) : viewPoint;
}

QPointF SceneView::convertPointFromScene(QPointF scenePoint) const {
    return sceneToViewTransform().map(scenePoint);
}

void SceneView::displayRequested() {
    if (scene_ && scene_->hasRunningActions() && !frameTimer_.isActive()) {
        frameTimer_.start();
    }
    if (!flushQueued_) {
        // Coalesce every change made while handling one event into one repaint request.
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &SceneView::flush, Qt::QueuedConnection);
    }
}

void SceneView::flush() {
    flushQueued_ = false;
    if (!scene_ || !scene_->needsDisplay()) {
        return;
    }
    const QRectF dirty = sceneToViewTransform().mapRect(scene_->takeDirtyRect());
    update(dirty.toAlignedRect().adjusted(-1, -1, 1, 1));
}

void SceneView::tick() {
    if (!scene_) {
        frameTimer_.stop();
        return;
    }
    scene_->update(currentTime());
    if (!scene_->hasRunningActions()) {
        frameTimer_.stop();
    }
    flush();
}

void SceneView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!scene_) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(event->rect());
    // The nodes draw in device pixels, so that shapes snap to real pixels at any display
    // scale: at scale 3 a cell edge may fall on any third of a point.
    const QTransform viewToDevice = painter.deviceTransform();
    painter.setWorldTransform(viewToDevice.inverted());
    const QRectF clip = viewToDevice.mapRect(QRectF(event->rect()));
    const QTransform sceneToDevice = sceneToViewTransform() * viewToDevice;
    // The background only where no node covers it: a frame is mostly memory bandwidth.
    QRegion background(clip.toAlignedRect());
    for (const auto& child : scene_->children()) {
        const QTransform toDevice = child->transformToParent() * sceneToDevice;
        const QRectF opaque = child->opaqueBounds();
        if (!opaque.isEmpty() && toDevice.type() <= QTransform::TxScale) {
            // Whole pixels only: those a drawing covers for certain whatever its rounding.
            const QRectF area = toDevice.mapRect(opaque).intersected(clip);
            const QPoint topLeft(int(std::ceil(area.left())), int(std::ceil(area.top())));
            const QPoint bottomRight(int(std::floor(area.right())) - 1,
                                     int(std::floor(area.bottom())) - 1);
            background -= QRect(topLeft, bottomRight);
        }
    }
    const QColor backgroundColor = scene_->backgroundColor().toQColor();
    for (const QRect& part : background) {
        painter.fillRect(part, backgroundColor);
    }
    scene_->drawTree(painter, sceneToDevice, clip);
}

void SceneView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (scene_) {
        scene_->invalidateAll();
    }
}
