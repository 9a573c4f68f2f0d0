#include "editor/stroke_router.h"

#include <algorithm>
#include <cmath>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "gestures/pan_gesture_recognizer.h"

StrokeRouter::StrokeRouter(EditorFields& editor, const std::unique_ptr<Tool>& tool)
    : editor_(editor), tool_(tool) {}

void StrokeRouter::tap(const Gesture& gesture) {
    tool_->handleTap(gesture, editor_);
}

void StrokeRouter::draw(const PanGestureRecognizer& recognizer, bool drawingAllowed) {
    const GestureState state = recognizer.state();
    const bool ending = state == GestureState::ended || state == GestureState::cancelled ||
                        state == GestureState::failed;
    if (!drawingAllowed) {
        // Cells painted before drawing was switched off must stay undoable.
        if (ending) {
            finishInterruptedStroke();
        }
        return;
    }
    if (state != GestureState::began && !strokeOpen_) {
        // A stroke whose beginning was not drawn (drawing was off then) paints nothing: its
        // cells would belong to no undo step.
        return;
    }
    const QPointF location = recognizer.locationInView();
    if (state == GestureState::began) {
        finishInterruptedStroke();
        strokeOpen_ = true;
        groupBeforeStroke_ = editor_.groupDrawCommand;
        // The pan begins only once the finger has moved a little: start the stroke where the
        // finger went down, so the first cell is painted too.
        const QPointF start = location - recognizer.translationInView(recognizer.view());
        tool_->handleDraw(GestureSnapshot(GestureState::began, start), editor_);
        if (tool_->followsPath()) {
            drawAlong(start, location, true);
        } else {
            tool_->handleDraw(GestureSnapshot(GestureState::changed, location), editor_);
        }
    } else {
        // Every cell the finger passed, not only those under the sampled positions; a shape
        // only needs where the finger is now.
        if (tool_->followsPath()) {
            drawAlong(lastDrawLocation_, location, false);
        }
        tool_->handleDraw(recognizer, editor_);
    }
    lastDrawLocation_ = location;
    if (state == GestureState::ended) {
        strokeOpen_ = false;
        groupBeforeStroke_.reset();
    } else if (state == GestureState::cancelled || state == GestureState::failed) {
        // Cells painted by an interrupted stroke must stay undoable.
        finishInterruptedStroke();
    }
}

void StrokeRouter::drawAlong(QPointF from, QPointF to, bool includeEnd) {
    if (!editor_.canvasView) {
        return;
    }
    const double cell = editor_.canvasView->canvas()->xScale() * Pixel::kSize;
    const double step = std::max(1.0, cell / 3);
    const QPointF delta = to - from;
    const double length = std::hypot(delta.x(), delta.y());
    const int steps = static_cast<int>(std::ceil(length / step));
    for (int i = 1; i < steps || (includeEnd && i == steps); ++i) {
        const QPointF point = from + delta * (static_cast<double>(i) / steps);
        tool_->handleDraw(GestureSnapshot(GestureState::changed, point), editor_);
    }
}

void StrokeRouter::finishInterruptedStroke() {
    if (!strokeOpen_) {
        return;
    }
    strokeOpen_ = false;
    // A shape still being dragged goes; a brush stroke keeps what it painted.
    tool_->interruptStroke(editor_);
    const std::shared_ptr<GroupDrawCommand> group = editor_.groupDrawCommand;
    const bool madeByStroke = group && group != groupBeforeStroke_;
    groupBeforeStroke_.reset();
    const auto& history = editor_.commandManager.commandStack();
    const bool entered = !history.empty() && history.back() == group;
    if (madeByStroke && !entered && !group->empty()) {
        editor_.commandManager.execute(group);
    }
}

void StrokeRouter::undo() {
    // A stroke still open becomes its step first, so that undo takes back what is painted.
    finishInterruptedStroke();
    editor_.commandManager.undo();
}

void StrokeRouter::redo() {
    finishInterruptedStroke();  // painting is a new step: nothing is left to redo after it
    editor_.commandManager.redo();
}
