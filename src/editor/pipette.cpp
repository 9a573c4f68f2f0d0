#include "editor/pipette.h"

#include "canvas/pixel.h"
#include "editor/canvas_limits.h"
#include "platform/impact_feedback_generator.h"
#include "scene/scene.h"

Pixel* cellAtScenePoint(const CanvasView& view, QPointF scenePoint) {
    const std::vector<Node*> nodes = view.canvasScene()->nodesAt(scenePoint);
    return nodes.empty() ? nullptr : dynamic_cast<Pixel*>(nodes.front());
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
        const QPointF q = clampIntoEdges(pt, canvasView_->canvasBoundsInView());
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
