#include "editor/pipette.h"

#include <QWidget>
#include <algorithm>
#include <limits>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editor/canvas_limits.h"
#include "platform/impact_feedback_generator.h"
#include "scene/scene.h"

Pixel* cellAtScenePoint(const CanvasView& view, QPointF scenePoint) {
    const std::vector<Node*> nodes = view.canvasScene()->nodesAt(scenePoint);
    return nodes.empty() ? nullptr : dynamic_cast<Pixel*>(nodes.front());
}

std::optional<Edges> canvasEdgesWithin(const CanvasView& view, const QRectF& area) {
    const Canvas* canvas = view.canvas();
    if (!canvas || canvas->pixelArray().empty()) {
        return std::nullopt;
    }
    // The corners of the grid, in the canvas's own units from its first cell's corner.
    const QPointF origin = canvas->pixelArray().front()->position();
    const QSizeF size(static_cast<double>(canvas->width) * Pixel::kSize,
                      static_cast<double>(canvas->height) * Pixel::kSize);
    constexpr double kFar = std::numeric_limits<double>::infinity();
    double left = kFar, top = kFar, right = -kFar, bottom = -kFar;
    for (const QPointF corner :
         {origin, origin + QPointF(size.width(), 0), origin + QPointF(0, size.height()),
          origin + QPointF(size.width(), size.height())}) {
        const QPointF p = view.convertPointFromScene(canvas->convertPointToScene(corner));
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    const QRectF shown = QRectF(QPointF(left, top), QPointF(right, bottom)).intersected(area);
    if (shown.isEmpty()) {
        return std::nullopt;
    }
    return Edges{shown.left(), shown.bottom(), shown.right(), shown.top()};
}

Pipette::Pipette(QWidget* view, CanvasView* canvasView) : view_(view), canvasView_(canvasView) {}

void Pipette::handle(const Gesture& gesture) {
    if (!canvasView_) {
        return;
    }
    const QPointF pt = gesture.locationInView();
    Pixel* cell = cellAtScenePoint(*canvasView_, canvasView_->convertPointToScene(pt));
    const GestureState state = gesture.state();
    if (state == GestureState::began) {
        ImpactFeedbackGenerator(ImpactFeedbackGenerator::FeedbackStyle::light).impactOccurred();
        if (circle_) {
            circle_->deleteLater();
        }
        circle_ = nullptr;
        if (!cell) {
            return;
        }
        auto* circle = new Button(view_);
        circle->setObjectName(QStringLiteral("pipetteCircle"));
        circle->setAccessibleName(QStringLiteral("Picked colour"));
        circle->setUserInteractionEnabled(false);
        circle->setCornerRadius(40);
        circle->setBackgroundColor(cell->fillColor());
        circle->setBorder(0.75, Color::darkGray());
        circle->setShadow(Color::black(), 5, 0.4, QPointF(0, 3));
        circle->setFrame(QRectF(0, 0, 80, 80));
        circle->setCenter(QPointF(pt.x(), pt.y() - 10));
        pick(cell->fillColor());
        circle->show();
        circle->raise();
        circle_ = circle;
        return;
    }
    if (state == GestureState::changed) {
        if (!circle_) {
            return;
        }
        const QRectF area = visibleArea ? visibleArea() : QRectF(view_->rect());
        const std::optional<Edges> edges = canvasEdgesWithin(*canvasView_, area);
        if (!edges) {
            return;
        }
        const QPointF q = clampIntoEdges(pt, *edges);
        if (!cell) {
            const QPointF inCanvasView = canvasView_->mapFrom(view_, q);
            cell = cellAtScenePoint(*canvasView_, canvasView_->convertPointToScene(inCanvasView));
        }
        if (!cell) {
            return;
        }
        circle_->setCenter(QPointF(q.x(), q.y() - 10));
        circle_->setBackgroundColor(cell->fillColor());
        pick(cell->fillColor());
        return;
    }
    removeCircle();
}

void Pipette::removeCircle() {
    if (circle_) {
        circle_->hide();
        circle_->deleteLater();
    }
    circle_ = nullptr;
}

void Pipette::pick(const Color& color) {
    if (onPick) {
        onPick(color);
    }
}
