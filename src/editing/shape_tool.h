#pragma once

#include <QPoint>
#include <vector>

#include "editing/tool.h"

// A tool that drags a shape out from where the finger went down to where it is: the shape is
// shown while the finger moves and becomes one undo step when it lifts. A drag that is cut
// short or cancelled leaves nothing behind. A tap paints the one cell under it (and its mirror
// images) as one step.
class ShapeTool : public Tool {
public:
    void handleTap(const Gesture& gesture, EditorFields& editor) override;
    void handleDraw(const Gesture& gesture, EditorFields& editor) override;
    bool followsPath() const override { return false; }
    void interruptStroke(EditorFields& editor) override;

    // The shape's cells from the anchor to the current cell, before mirroring and clipping.
    virtual std::vector<QPoint> cells(QPoint anchor, QPoint current,
                                      const ToolOptions& options) const = 0;

private:
    void showShape(QPoint current, EditorFields& editor) const;
};

// A straight line; Shift keeps it horizontal, vertical or diagonal.
class LineTool final : public ShapeTool {
public:
    std::vector<QPoint> cells(QPoint anchor, QPoint current,
                              const ToolOptions& options) const override;
};

// A rectangle, outlined or filled; Shift makes it a square.
class RectangleTool final : public ShapeTool {
public:
    std::vector<QPoint> cells(QPoint anchor, QPoint current,
                              const ToolOptions& options) const override;
    Option option() const override { return Option::filledShapes; }
};

// An ellipse, outlined or filled; Shift makes it a circle.
class EllipseTool final : public ShapeTool {
public:
    std::vector<QPoint> cells(QPoint anchor, QPoint current,
                              const ToolOptions& options) const override;
    Option option() const override { return Option::filledShapes; }
};
