#pragma once

#include "editing/tool.h"

// Paints the cells under the finger: a tap is one undo step per cell, a drag one step.
class Paintbrush final : public Tool {
public:
    void handleTap(const Gesture& gesture, EditorFields& editor) override;
    void handleDraw(const Gesture& gesture, EditorFields& editor) override;
};
