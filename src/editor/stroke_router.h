#pragma once

#include <QPointF>
#include <memory>

#include "editing/editor_fields.h"
#include "editing/tool.h"
#include "gestures/gesture.h"

class PanGestureRecognizer;

// Hands one-finger gestures on the canvas to the active tool: a tap as it is, a drag as a
// stroke whose began, changed and ended phases cover every cell the finger passed (or, for a
// shape, where it is). A stroke cut short (a second finger, a pan, undo or redo) still becomes
// one undo step; a shape cut short leaves nothing.
class StrokeRouter {
public:
    // tool is the editor's slot for the active tool, read at every gesture.
    StrokeRouter(EditorFields& editor, const std::unique_ptr<Tool>& tool);

    void tap(const Gesture& gesture);
    // drawingAllowed is false while a two-finger pan runs: a stroke then paints nothing more.
    void draw(const PanGestureRecognizer& recognizer, bool drawingAllowed);
    // Ends the open stroke, entering the group it made into the history unless the tool has
    // (a shape's tool takes its shape away instead).
    void finishInterruptedStroke();
    void undo();
    void redo();

    bool isStrokeOpen() const { return strokeOpen_; }

private:
    // Hands the tool the path between two samples of a drag, as changed phases.
    void drawAlong(QPointF from, QPointF to, bool includeEnd);

    EditorFields& editor_;
    const std::unique_ptr<Tool>& tool_;
    // A stroke's began phase reached the tool and its end has not yet.
    bool strokeOpen_ = false;
    // The editor's group when the open stroke began: a stroke that leaves it in place (the
    // bucket's) made no group of its own, and an older one must never be entered again.
    std::shared_ptr<GroupDrawCommand> groupBeforeStroke_;
    QPointF lastDrawLocation_;
};
