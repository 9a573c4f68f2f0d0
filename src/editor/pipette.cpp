#include "editor/pipette.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <limits>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editor/canvas_limits.h"
#include "platform/impact_feedback_generator.h"
#include "scene/scene.h"

namespace {
constexpr double kCircleSide = 80;
constexpr double kBorderWidth = 0.75;
// The picked colour shows in a ring around the enlarged cells.
constexpr double kRingWidth = 5;

// The circle over the finger, showing the cells around the picked one enlarged, as they stand
// on screen, the picked one outlined in the middle, inside a ring of the picked colour.
class MagnifierCircle final : public Button {
public:
    using Button::Button;

    // One pixel per cell, the picked one in the middle; replaces what is shown.
    void showCells(QImage cells) {
        cells_ = std::move(cells);
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        // Shadow, the picked colour and the border; the cells go inside the ring.
        Button::paintEvent(event);
        if (cells_.isNull() || cells_.width() != cells_.height()) {
            return;
        }
        const QRectF f = frame().translated(-QPointF(pos()));
        const double cell = Pipette::kMagnifiedCellSide;
        const QPointF corner = f.center() - QPointF(cell, cell) * cells_.width() / 2;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // One texel a cell, without smoothing: crisp cells, a round edge.
        QBrush cells(cells_);
        cells.setTransform(QTransform::fromTranslate(corner.x(), corner.y()).scale(cell, cell));
        QPainterPath inside;
        const double inset = kBorderWidth + kRingWidth;
        inside.addEllipse(f.adjusted(inset, inset, -inset, -inset));
        painter.fillPath(inside, cells);
        // The picked cell's outline, dark and light so that it shows on any colour, outside
        // the cell so that its colour shows whole.
        const int middle = cells_.width() / 2;
        const QRectF picked(corner + QPointF(middle, middle) * cell, QSizeF(cell, cell));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(20, 20, 20), 1));
        painter.drawRect(picked.adjusted(-0.5, -0.5, 0.5, 0.5));
        painter.setPen(QPen(QColor(255, 255, 255), 1));
        painter.drawRect(picked.adjusted(-1.5, -1.5, 1.5, 1.5));
    }

private:
    QImage cells_;
};

// A unit step along one of the view's axes, (1, 0), (-1, 0), (0, 1) or (0, -1): the nearest
// to v, or when along is given the nearest of the two across it.
QPoint axisStep(QPointF v, std::optional<QPoint> along = std::nullopt) {
    const bool horizontal = along ? along->x() == 0 : std::abs(v.x()) >= std::abs(v.y());
    if (horizontal) {
        return QPoint(v.x() < 0 ? -1 : 1, 0);
    }
    return QPoint(0, v.y() < 0 ? -1 : 1);
}

// The cells around (column, row) as the view shows them, side x side with that cell in the
// middle: one pixel each, opaque as on screen; positions off the grid show the background.
// Reads only those cells' colours.
QImage neighbourhood(const CanvasView& view, int64_t column, int64_t row, int side) {
    const Canvas& canvas = *view.canvas();
    QImage image(side, side, QImage::Format_RGB32);
    if (image.isNull() || canvas.pixelArray().empty()) {
        return {};
    }
    // Which way a step along the grid's columns and rows goes in the view, turned as the
    // canvas is (to the nearest quarter while it turns).
    const QPointF origin = canvas.pixelArray().front()->position();
    const auto inView = [&](double x, double y) {
        return view.convertPointFromScene(
            canvas.convertPointToScene(origin + QPointF(Pixel::kSize * x, Pixel::kSize * y)));
    };
    const auto x = static_cast<double>(column);
    const auto y = static_cast<double>(row);
    const QPointF here = inView(x + 0.5, y + 0.5);
    const QPoint alongColumns = axisStep(inView(x + 1.5, y + 0.5) - here);
    const QPoint alongRows = axisStep(inView(x + 0.5, y + 1.5) - here, alongColumns);
    const QRgb background = CanvasView::sceneBackgroundColor().toQColor().rgb();
    const int half = side / 2;
    for (int j = 0; j < side; ++j) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = 0; i < side; ++i) {
            // The view offset (i, j) from the middle in grid steps: the axes are orthogonal
            // unit steps, so each grid step is the offset's part along it.
            const int di = i - half;
            const int dj = j - half;
            const int64_t cx = column + di * alongColumns.x() + dj * alongColumns.y();
            const int64_t cy = row + di * alongRows.x() + dj * alongRows.y();
            const bool onGrid = cx >= 0 && cy >= 0 && cx < canvas.width && cy < canvas.height;
            line[i] =
                onGrid ? canvas.shownOver(static_cast<size_t>(cx * canvas.height + cy), background)
                       : background;
        }
    }
    return image;
}
}  // namespace

Pixel* cellAtScenePoint(const CanvasView& view, QPointF scenePoint) {
    const std::vector<Node*> nodes = view.canvasScene()->nodesAt(scenePoint);
    return nodes.empty() ? nullptr : dynamic_cast<Pixel*>(nodes.front());
}

std::optional<Edges> canvasEdgesWithin(const CanvasView& view, const QRectF& area) {
    if (!view.canvas() || view.canvas()->pixelArray().empty()) {
        return std::nullopt;
    }
    const Edges bounds = view.canvasBoundsInView();
    const QRectF shown =
        QRectF(QPointF(bounds.left, bounds.top), QPointF(bounds.right, bounds.bottom))
            .intersected(area);
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
        auto* circle = new MagnifierCircle(view_);
        circle->setObjectName(QStringLiteral("pipetteCircle"));
        circle->setAccessibleName(QStringLiteral("Picked colour"));
        circle->setUserInteractionEnabled(false);
        circle->setCornerRadius(kCircleSide / 2);
        circle->setBackgroundColor(cell->fillColor());
        circle->setBorder(kBorderWidth, Color::darkGray());
        circle->setShadow(Color::black(), 5, 0.4, QPointF(0, 3));
        circle->setFrame(QRectF(0, 0, kCircleSide, kCircleSide));
        circle->setCenter(QPointF(pt.x(), pt.y() - 10));
        circle_ = circle;
        magnify(*cell);
        pick(cell->fillColor());
        circle->show();
        circle->raise();
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
        magnify(*cell);
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

void Pipette::magnify(const Pixel& cell) {
    auto* circle = dynamic_cast<MagnifierCircle*>(circle_.data());
    if (!circle || !canvasView_) {
        return;
    }
    const Canvas& canvas = *canvasView_->canvas();
    const int64_t index = canvas.indexOf(&cell).value_or(-1);
    if (index < 0 || canvas.height <= 0) {
        return;
    }
    circle->showCells(
        neighbourhood(*canvasView_, index / canvas.height, index % canvas.height, kMagnifiedCells));
}

void Pipette::pick(const Color& color) {
    if (onPick) {
        onPick(color);
    }
}
