#pragma once

#include <vector>

#include "editing/editor_fields.h"
#include "gestures/gesture.h"

class Pixel;

// Turns a touch on the canvas into commands. Tools are stateless; a stroke's or a fill's
// state lives in the editor's fields.
class Tool {
public:
    virtual ~Tool() = default;
    virtual void handleTap(const Gesture& gesture, EditorFields& editor) = 0;
    virtual void handleDraw(const Gesture& gesture, EditorFields& editor) = 0;

protected:
    // The cells under the gesture's location, in hit-test order; none without a canvas view.
    static std::vector<Pixel*> cellsUnderTouch(const Gesture& gesture, EditorFields& editor);
};
