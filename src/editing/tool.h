#pragma once

#include <QPoint>
#include <optional>
#include <vector>

#include "editing/editor_fields.h"
#include "gestures/gesture.h"

class Canvas;
class Pixel;

// Turns a touch on the canvas into commands. Tools are stateless; a stroke's or a fill's
// state lives in the editor's fields.
class Tool {
public:
    // The one option of the toolbar's that belongs to a tool, if it has one.
    enum class Option { none, filledShapes, replaceColor };

    virtual ~Tool() = default;
    virtual void handleTap(const Gesture& gesture, EditorFields& editor) = 0;
    virtual void handleDraw(const Gesture& gesture, EditorFields& editor) = 0;
    // Whether a drag should reach the tool at every cell the finger passed (a brush), or only
    // where the finger is now (a shape, which is redrawn from its anchor each time).
    virtual bool followsPath() const { return true; }
    // The drag stops short of its end (a second finger, undo, another tool): the tool leaves
    // the canvas as a finished step should find it.
    virtual void interruptStroke(EditorFields&) {}
    virtual Option option() const { return Option::none; }

    // The grid cell (column, row from the bottom) under the gesture, also beyond the grid's
    // edges; nothing without a canvas view.
    static std::optional<QPoint> cellAt(const Gesture& gesture, EditorFields& editor);
    // The grid position of one of the canvas's cells.
    static QPoint cellOf(const Canvas& canvas, const Pixel& pixel);
    // The cells on the grid and their mirror images as the editor's options ask, each once.
    static std::vector<Pixel*> withMirrorImages(const std::vector<QPoint>& cells,
                                                EditorFields& editor);

protected:
    // The cells under the gesture's location, in hit-test order; none without a canvas view.
    static std::vector<Pixel*> cellsUnderTouch(const Gesture& gesture, EditorFields& editor);
    // Those cells and their mirror images.
    static std::vector<Pixel*> mirroredCellsUnderTouch(const Gesture& gesture,
                                                       EditorFields& editor);
};
