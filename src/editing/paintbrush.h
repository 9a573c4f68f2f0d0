#pragma once

#include "editing/tool.h"

// Paints the cells under the finger and their mirror images: a tap is one undo step, a drag
// one step.
class Paintbrush : public Tool {
public:
    void handleTap(const Gesture& gesture, EditorFields& editor) override;
    void handleDraw(const Gesture& gesture, EditorFields& editor) override;

protected:
    virtual Color paintColor(const EditorFields& editor) const {
        return editor.currentDrawingColor;
    }
};

// The paintbrush with the blank cell's colour.
class Eraser final : public Paintbrush {
protected:
    Color paintColor(const EditorFields&) const override { return Color::white(); }
};
