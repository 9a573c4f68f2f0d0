#pragma once

class DrawingViewController;

// The editor's tools: the fan menu's tool list and the tool options the toolbar's switches
// and the M key change.
class EditorTools {
public:
    explicit EditorTools(DrawingViewController& editor) : editor_(editor) {}

    // Adds the tools to the editor's fan menu and wires the toolbar's option switches.
    void install();
    // Shows the options on the toolbar and the mirror axes on the canvas.
    void showToolOptions();
    void cycleMirror();
    void toggleFilledShapes();
    void toggleReplaceColor();
    // Tool keys act only while the editor is in front.
    bool acceptsToolKeys() const;

private:
    DrawingViewController& editor_;
};
